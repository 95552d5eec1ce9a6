// The data store: the recordset cursor, the table helpers and the set-up of a new
// database. Runs on the database file and again on a database server (tst_store_server).
#include "support/TestEnv.h"
#include "calc/Numbers.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "setup/Installer.h"
#include "store/BulkInsert.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/ReadingEdits.h"
#include "store/DatabaseCopy.h"
#include "store/Recordset.h"
#include "store/RowUpdate.h"
#include "store/Statement.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>
#include <cmath>

class TestStore : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;
    const QString id = QStringLiteral("250475001");

    QList<TestData::NewReading> fiveReadings()
    {
        QList<TestData::NewReading> list;
        for (int i = 0; i < 5; ++i) {
            TestData::NewReading r;
            // Entered out of date order on purpose: the recordset must order by FullDate.
            r.when = QDateTime(QDate(2025, 5, 10 - 2 * i), QTime(8, 0));
            r.channels = {QString::number(10 + i) + QStringLiteral(".00")};
            list << r;
        }
        return list;
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
    }
    void cleanup() { db.reset(); }

    void setupCreatesFixedTablesAndNeverOverwrites()
    {
        QCOMPARE(db->scalar("SELECT count(*) FROM Configuration").toInt(), 6);
        QCOMPARE(db->scalar("SELECT NumChannels FROM Configuration WHERE SensorType = '75'").toInt(), 6);
        QCOMPARE(db->scalar("SELECT NumChannels FROM Configuration WHERE SensorType = '25'").toInt(), 1);
        QCOMPARE(db->scalar("SELECT NumNodes FROM Configuration WHERE SensorType = '55'").toInt(), 6);
        QCOMPARE(db->scalar("SELECT Model FROM Configuration WHERE SensorType = '65'").toString(), QString("d5HALYX"));
        QCOMPARE(db->scalar("SELECT count(*) FROM Prefs").toInt(), 1);
        // Template's first fourteen columns in order.
        Recordset rs(*db);
        rs.open("SELECT * FROM sensordata ORDER BY FullDate");
        QStringList first = rs.fieldNames().mid(0, 14);
        QStringList expected = {"DateTimeKey", "ReadingDate", "ReadingTime", "ChannelT"};
        for (int i = 1; i <= 10; ++i) expected << QString("Channel%1").arg(i);
        QCOMPARE(first, expected);

        // A second install leaves the database as it is.
        db->execute("INSERT INTO Sensors (InstrumentID) VALUES ('250475009')");
        db.reset();
        const Installer::Result again =
            TestServer::wanted() ? Installer::setUpServer(TestServer::uri()) : Installer::install();
        QVERIFY(again.ok);
        QVERIFY2(again.lines.join('\n').contains("left unchanged"), qPrintable(again.lines.join('\n')));
        db = TestData::openDatabase();
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 1);
        QVERIFY(!Installer::createDatabase(Paths::databasePath()));
    }

    void openRefusesMissingAndForeignFiles()
    {
        TARNWELL_FILE_ONLY();
        Database other("other");
        QVERIFY(!other.open(Paths::dataFolder() + "/missing.mdb"));
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/missing.mdb"));  // never created
        QFile junk(Paths::dataFolder() + "/junk.mdb");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("Standard Jet DB\0\0\0 not ours", 28);
        junk.close();
        QVERIFY(!other.open(junk.fileName()));
        QVERIFY(!other.isOpen());
    }

    void tableExistsComparesExactlyAndSkipsMSys()
    {
        TestData::addSensor(*db, {id});
        db->execute("CREATE TABLE MSysObjects (x)");
        db->execute("CREATE TABLE msysLower (x)");
        const QString path = TestData::databaseTarget();
        QVERIFY(DataTables::TableExists(path, id));
        QVERIFY(DataTables::TableExists(path, "Sensors"));
        QVERIFY(!DataTables::TableExists(path, "sensors"));
        QVERIFY(!DataTables::TableExists(path, id + ' '));
        QVERIFY(!DataTables::TableExists(path, "MSysObjects"));
        QVERIFY(DataTables::TableExists(path, "msysLower"));  // only "MSys" in that case is the engine's
        QVERIFY(!DataTables::TableExists(path, "250475002"));
        QVERIFY_THROWS_EXCEPTION(TwError, DataTables::TableExists(Paths::dataFolder() + "/none.mdb", id));
    }

    void dataTableCopiesTemplateStructureWithoutRows()
    {
        // Rows in the template must not be copied, whatever their keys.
        db->execute("INSERT INTO sensordata (DateTimeKey, FullDate) VALUES ('x', '2025-01-01 00:00:00')");
        DataTables::createDataTable(*db, id);
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 0);
        const QList<Database::Column> a = db->columns("sensordata"), b = db->columns(id);
        QCOMPARE(b.size(), a.size());
        for (int i = 0; i < a.size(); ++i) {
            QCOMPARE(b[i].name, a[i].name);
            QCOMPARE(b[i].type, a[i].type);
        }
        // A required column stays required.
        QVERIFY_THROWS_EXCEPTION(TwError, db->execute(QString("INSERT INTO `%1` (ReadingDate) VALUES ('x')").arg(id)));
        // The key is kept unique by the database, and the date order has an index, as has
        // the date order of the readings marked for the length charts.
        TestData::addReadings(*db, id, {{QDateTime(QDate(2025, 1, 1), QTime(1, 0)), {"1"}, "", true, false, false}});
        QVERIFY_THROWS_EXCEPTION(
            TwError, TestData::addReadings(
                         *db, id, {{QDateTime(QDate(2025, 1, 1), QTime(1, 0)), {"2"}, "", true, false, false}}));
        if (!db->isServer()) {
            QSqlQuery plan(db->handle());
            plan.exec(QString("EXPLAIN QUERY PLAN SELECT * FROM `%1` ORDER BY FullDate").arg(id));
            QString detail;
            while (plan.next()) detail += plan.value(3).toString();
            QVERIFY2(detail.contains("INDEX"), qPrintable(detail));
            plan.exec(
                QString("EXPLAIN QUERY PLAN SELECT * FROM `%1` WHERE PlotSpatial = True ORDER BY FullDate").arg(id));
            detail.clear();
            while (plan.next()) detail += plan.value(3).toString();
            QVERIFY2(detail.contains(id + "_Spatial"), qPrintable(detail));
        } else {
            const auto indexes = [&](const char* like) {
                return db->scalar("SELECT count(*) FROM pg_indexes WHERE tablename = ? AND indexdef LIKE ?", {id, like})
                    .toInt();
            };
            QCOMPARE(indexes("%(fulldate, tw_rowid)"), 1);
            QCOMPARE(indexes("%(fulldate, tw_rowid) WHERE %plotspatial%"), 1);
            // Texts sort byte by byte as on the file, whatever the server's locale.
            QCOMPARE(db->scalar("SELECT collation_name FROM information_schema.columns WHERE table_name = ? "
                                "AND column_name = 'fulldate'",
                                {id})
                         .toString(),
                     QString("C"));
        }
        // Creating it again fails rather than overwriting.
        QVERIFY_THROWS_EXCEPTION(TwError, DataTables::createDataTable(*db, id));
        DataTables::dropDataTable(*db, id);
        QVERIFY(!DataTables::TableExists(TestData::databaseTarget(), id));
    }

    void emptyRecordsetIsAtBofAndEof()
    {
        TestData::addSensor(*db, {id});
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        QVERIFY(rs.bof());
        QVERIFY(rs.eof());
        QCOMPARE(rs.recordCount(), 0);
        rs.moveFirst();  // harmless on an empty set
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(TwError, rs.value("DateTimeKey"));
        QVERIFY_THROWS_EXCEPTION(TwError, rs.moveNext());
    }

    void movesAndPositionsFollowDateOrder()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        QCOMPARE(rs.recordCount(), 5);
        QCOMPARE(rs.absolutePosition(), 1);
        QCOMPARE(rs.text("Channel1"), QString("14.00"));  // earliest reading first
        rs.moveLast();
        QCOMPARE(rs.absolutePosition(), 5);
        QCOMPARE(rs.text("channel1"), QString("10.00"));  // names match without case
        rs.moveNext();
        QVERIFY(rs.eof());
        QCOMPARE(rs.absolutePosition(), Recordset::PosEOF);
        rs.movePrevious();
        QCOMPARE(rs.absolutePosition(), 5);
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.bof());
        rs.setAbsolutePosition(3);
        QCOMPARE(rs.text("Channel1"), QString("12.00"));
        QVERIFY_THROWS_EXCEPTION(TwError, rs.value("NoSuchColumn"));
        QVERIFY_THROWS_EXCEPTION(TwError, rs.setAbsolutePosition(6));
    }

    void updatesAddsAndDeletes()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        rs.setAbsolutePosition(2);
        rs.setValue("Channel2", "7.00");
        rs.setValue("Load1", "1.5");
        rs.setValue("Plottemporal", false);
        rs.update();
        QCOMPARE(rs.text("Channel2"), QString("7.00"));
        QCOMPARE(rs.value("Load1").toDouble(), 1.5);
        const QString key = rs.text("DateTimeKey");
        QCOMPARE(db->scalar(QString("SELECT Channel2 FROM `%1` WHERE DateTimeKey = ?").arg(id), {key}).toString(),
                 QString("7.00"));
        QCOMPARE(db->scalar(QString("SELECT Plottemporal FROM `%1` WHERE DateTimeKey = ?").arg(id), {key}).toInt(), 0);

        // A text that is not a number never reaches a numeric column.
        QVERIFY_THROWS_EXCEPTION(TwError, rs.setValue("Load2", "abc"));
        rs.cancelUpdate();

        // Moving away while editing writes the edit, as callers expect.
        rs.setValue("Channel3", "3.00");
        rs.moveNext();
        rs.movePrevious();
        QCOMPARE(rs.text("Channel3"), QString("3.00"));

        // Add: the new row is current and joins the end until a requery.
        rs.addNew();
        rs.setValue("DateTimeKey", id + " 2024/01/01 00:00:00");
        rs.setValue("FullDate", QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
        rs.update();
        QCOMPARE(rs.recordCount(), 6);
        QCOMPARE(rs.absolutePosition(), 6);
        QCOMPARE(rs.text("DateTimeKey"), id + " 2024/01/01 00:00:00");
        rs.requery();
        QCOMPARE(rs.text("DateTimeKey"), id + " 2024/01/01 00:00:00");  // now first in date order

        // Delete: the count drops at once and the next move lands on the successor.
        rs.setAbsolutePosition(3);
        const QString third = rs.text("DateTimeKey");
        rs.setAbsolutePosition(4);
        const QString fourth = rs.text("DateTimeKey");
        rs.setAbsolutePosition(3);
        rs.deleteCurrent();
        QCOMPARE(rs.recordCount(), 5);
        QVERIFY_THROWS_EXCEPTION(TwError, rs.value("DateTimeKey"));
        rs.moveNext();
        QCOMPARE(rs.text("DateTimeKey"), fourth);
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1` WHERE DateTimeKey = ?").arg(id), {third}).toInt(), 0);

        // A duplicate key is refused by the database and nothing is added.
        rs.addNew();
        rs.setValue("DateTimeKey", fourth);
        QVERIFY_THROWS_EXCEPTION(TwError, rs.update());
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 5);
    }

    void findSearchesForwardFromCurrentRow()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        rs.setAbsolutePosition(2);
        const QString second = rs.text("DateTimeKey");
        rs.moveLast();
        // Forward from the last row the second is not found, and the cursor ends at EOF.
        QVERIFY(!rs.find("DateTimeKey = '" + second + "'"));
        QVERIFY(rs.eof());
        rs.moveFirst();
        QVERIFY(rs.find("DateTimeKey='" + second + "'"));
        QCOMPARE(rs.absolutePosition(), 2);
        // The current row itself counts.
        QVERIFY(rs.find("DateTimeKey = '" + second + "'"));
        QCOMPARE(rs.absolutePosition(), 2);
        QVERIFY_THROWS_EXCEPTION(TwError, rs.find("garbage"));
    }

    void filterBookmarkAndRequery()
    {
        for (const char* s : {"250475003", "250455001", "250475002"}) TestData::addSensor(*db, {s});
        db->execute("UPDATE Sensors SET Level = 'O''Brien' WHERE InstrumentID = '250455001'");
        Recordset rs(*db);
        rs.open("SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;");
        QCOMPARE(rs.text("InstrumentID"), QString("250455001"));
        rs.moveLast();
        const qint64 mark = rs.bookmark();
        rs.setFilter("Level = ?", {QString("O'Brien")});
        QCOMPARE(rs.recordCount(), 1);
        QVERIFY(!rs.setBookmark(mark));  // not in the filtered set
        QVERIFY(rs.find("InstrumentID = '250455001'"));
        rs.clearFilter();
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(rs.setBookmark(mark));
        QCOMPARE(rs.text("InstrumentID"), QString("250475003"));
        rs.requery();
        QCOMPARE(rs.absolutePosition(), 1);
    }

    // The engine's own statements: binding, stepping, values as stored, failures with the
    // engine's message.
    void statementsRunOnTheEngine()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Statement q(*db,
                    QStringLiteral("SELECT rowid, Channel1, Channel2, zero1, IsDirty FROM `%1` WHERE FullDate >= ? "
                                   "ORDER BY FullDate")
                        .arg(id));
        q.bind(1, QStringLiteral("2025-05-06"));
        QStringList seen;
        while (q.next()) {
            seen << QString::fromUtf8(q.utf8(1).data(), q.utf8(1).size());
            QCOMPARE(q.text(2), QString(""));  // stored as empty text
            QVERIFY(q.isNull(3));              // never computed
            QVERIFY(q.isNumber(4) && q.integer(4) == 1);
        }
        QCOMPARE(seen, QStringList({"12.00", "11.00", "10.00"}));
        QVERIFY(q.next());  // ran again, same bindings
        Statement w(*db, QStringLiteral("UPDATE `%1` SET zero1 = ? WHERE Channel1 = ?").arg(id));
        w.bind(1, 2.5);
        w.bindUtf8(2, "11.00");
        QCOMPARE(w.run(), 1);
        QCOMPARE(db->scalar(QStringLiteral("SELECT zero1 FROM `%1` WHERE Channel1 = '11.00'").arg(id)).toDouble(), 2.5);
        // Values go both ways unchanged and keep their kind: numbers to the last digit,
        // texts byte for byte, yes/no as 0/1.
        {
            Statement put(*db, QStringLiteral("UPDATE `%1` SET zero1 = ?, Load2 = ?, NumTemp = ?, Channel3 = ? "
                                              "WHERE Channel1 = ?")
                                   .arg(id));
            put.bind(1, 0.1 + 0.2);
            put.bind(2, -1e-300);
            put.bind(3, qint64(1) << 52);
            put.bind(4, QStringLiteral("µε\t'\"±"));
            put.bindUtf8(5, "10.00");
            QCOMPARE(put.run(), 1);
            Statement get(*db, QStringLiteral("SELECT zero1, Load2, NumTemp, Channel3, IsDirty, zero2 FROM `%1` "
                                              "WHERE Channel1 = ?")
                                   .arg(id));
            get.bindUtf8(1, "10.00");
            QVERIFY(get.next());
            QCOMPARE(get.number(0), 0.1 + 0.2);
            QCOMPARE(get.value(0).typeId(), int(QMetaType::Double));
            QCOMPARE(get.number(1), -1e-300);
            QCOMPARE(get.integer(2), qint64(1) << 52);
            QCOMPARE(get.text(3), QString("µε\t'\"±"));
            QCOMPARE(get.value(3), QVariant(QString("µε\t'\"±")));
            QVERIFY(!get.isNumber(3) && get.isNumber(4) && !get.isNumber(5));
            QCOMPARE(get.value(4).toInt(), 1);
            QVERIFY(get.value(5).isNull() && get.utf8(5).isNull());
            QVERIFY(!get.next());
        }
        try {
            Statement bad(*db, QStringLiteral("SELECT nothing FROM `%1`").arg(id));
            bad.next();  // a server may only say so when it runs
            QFAIL("a statement on a missing column must be refused");
        } catch (const TwError& e) {
            QVERIFY(e.description.contains("nothing"));
        }
        {
            const TextTest twelve(*db, QByteArrayLiteral("tw_is_twelve"),
                                  [](QByteArrayView t) { return t == "12.00"; });
            QCOMPARE(
                db->scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE tw_is_twelve(Channel1)").arg(id)).toInt(),
                1);
            QCOMPARE(db->execute(QStringLiteral("DELETE FROM `%1` WHERE rowid > 0 AND tw_is_twelve(Channel1)").arg(id)),
                     1);
            QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(id)).toInt(), 4);
            if (db->isServer()) return;  // a test called on a bare value is the file engine's
            QCOMPARE(db->scalar(QStringLiteral("SELECT tw_is_twelve(NULL)")).toInt(), 0);
        }
        try {
            db->scalar(QStringLiteral("SELECT tw_is_twelve('12.00')"));  // unset with its object
            QFAIL("a test that was unset must not answer");
        } catch (const TwError&) {}
    }

    // Numbers written by row identity: every row gets its own values, a NaN is stored as
    // null, the fixed assignment applies to each row written and no other row changes.
    void rowUpdatesWriteByRowIdentity()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        const std::vector<qint64> ids = rs.rowIds();
        rs.close();
        {
            Transaction tx(*db);
            RowUpdate up(*db, id, {"zero1", "Load2"}, "IsDirty = 0");
            for (size_t i = 0; i + 1 < ids.size(); ++i) {
                const double values[] = {double(i) + 0.25, i == 1 ? std::nan("") : -1e-300 * double(i)};
                up.write(ids[i], values);
            }
            up.flush();
            tx.commit();
        }
        Statement q(*db, QStringLiteral("SELECT zero1, Load2, IsDirty FROM `%1` ORDER BY FullDate").arg(id));
        int row = 0;
        while (q.next()) {
            if (row < 4) {
                QCOMPARE(q.number(0), row + 0.25);
                if (row == 1) QVERIFY(q.isNull(1));
                else QCOMPARE(q.number(1), -1e-300 * row);
                QCOMPARE(q.integer(2), 0);
            } else {
                QVERIFY(q.isNull(0));  // the last row was not written
                QCOMPARE(q.integer(2), 1);
            }
            ++row;
        }
        QCOMPARE(row, 5);

        // Many rows at once (a server sends them in one batch): the same values arrive,
        // infinities and the smallest numbers included.
        const QString many = QStringLiteral("250475009");
        TestData::addSensor(*db, {many});
        TestData::addManyReadings(*db, many, 40, QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
        Recordset all(*db);
        all.open(DataTables::readingsQuery(many));
        const std::vector<qint64> manyIds = all.rowIds();
        all.close();
        auto valueOf = [](size_t i) {
            return i % 4 == 0   ? std::nan("")
                   : i % 4 == 1 ? -HUGE_VAL
                   : i % 4 == 2 ? 4.9e-324 * double(i)
                                : 0.1 * double(i);
        };
        {
            Transaction tx(*db);
            RowUpdate up(*db, many, {"zero1", "Load2"}, "IsDirty = 0");
            for (size_t i = 0; i < manyIds.size(); ++i) {
                const double values[] = {valueOf(i), double(i)};
                up.write(manyIds[i], values);
            }
            up.flush();
            tx.commit();
        }
        Statement back(*db, QStringLiteral("SELECT zero1, Load2, IsDirty FROM `%1` ORDER BY FullDate").arg(many));
        size_t i = 0;
        for (; back.next(); ++i) {
            if (i % 4 == 0) QVERIFY(back.isNull(0));
            else QCOMPARE(back.number(0), valueOf(i));
            QCOMPARE(back.number(1), double(i));
            QCOMPARE(back.integer(2), 0);
        }
        QCOMPARE(i, size_t(40));
    }

    // Appending many rows: each new key stored once with its texts byte for byte and its
    // yes/no columns as numbers; a key already there, or given twice in the same batch, is
    // told as a duplicate in the order the rows came. A few rows and many rows (a server
    // writes them differently) behave the same.
    void bulkAppendSkipsDuplicatesInOrder()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        const QByteArray taken = TestData::readingKey(id, QDateTime(QDate(2025, 5, 10), QTime(8, 0))).toUtf8();
        for (const int count : {3, 40}) {
            QList<QByteArray> told;
            Transaction tx(*db);
            BulkInsert ins(*db, id, {"DateTimeKey", "FullDate", "Channel1", "Channel2", "PlotSpatial"}, {"IsDirty"},
                           {"1"}, [&](QByteArrayView key) { told << key.toByteArray(); });
            QList<QByteArray> keys;
            for (int n = 0; n < count; ++n)
                keys << TestData::readingKey(id,
                                             QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(60 * (n + 100 * count)))
                            .toUtf8();
            const QByteArray odd = "a\tb\\c\nd ±";
            auto add = [&](const QByteArray& key, int n) {
                const QByteArray full = "2024-01-01 " + QByteArray::number(n);
                const QByteArrayView row[] = {key, full, n == 1 ? QByteArrayView(odd) : QByteArrayView("1.50"),
                                              QByteArrayView(), n % 2 ? "1" : "0"};
                ins.add(row);
            };
            add(keys[0], 0);
            add(taken, 1);  // there already
            for (int n = 1; n < count; ++n) add(keys[n], n);
            add(keys[1], 99);  // given twice
            ins.flush();
            tx.commit();
            QCOMPARE(ins.appended(), qint64(count));
            QCOMPARE(told, QList<QByteArray>({taken, keys[1]}));
            Statement q(
                *db, QStringLiteral("SELECT Channel1, Channel2, PlotSpatial, IsDirty FROM `%1` WHERE DateTimeKey = ?")
                         .arg(id));
            q.bindUtf8(1, keys[1]);
            QVERIFY(q.next());
            QCOMPARE(q.utf8(0).toByteArray(), odd);
            QVERIFY(q.isNull(1));
            QVERIFY(q.isNumber(2) && q.integer(2) == 1 && q.integer(3) == 1);
            q.reset();
        }
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(id)).toInt(), 5 + 3 + 40);
    }

    // A server that drops the connection mid-session: the statement that meets it fails as
    // a lost connection (told as such, never as success); the next one connects again, and
    // statements prepared before the loss (a recordset's) work again.
    void serverGoneMidSession()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        QCOMPARE(rs.text("Channel1"), QString("14.00"));
        const qint64 pid = db->scalar("SELECT pg_backend_pid()").toLongLong();
        Statement before(*db, QStringLiteral("SELECT count(*) FROM `%1` WHERE Channel1 > ?").arg(id));
        before.bindUtf8(1, "11.00");
        {
            auto admin = TestData::openDatabase(QStringLiteral("admin"));
            QVERIFY(admin->scalar("SELECT pg_terminate_backend(?)", {pid}).toBool());
        }
        try {
            db->scalar("SELECT count(*) FROM Sensors");
            QFAIL("a statement on a dropped connection must fail");
        } catch (const TwError& e) {
            QCOMPARE(int(e.storage), int(StorageKind::ServerGone));
        }
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 1);
        QVERIFY(db->scalar("SELECT pg_backend_pid()").toLongLong() != pid);
        QVERIFY(before.next());  // prepared again on the new connection, values kept
        QCOMPARE(before.integer(0), 3);
        rs.requery();
        rs.moveLast();
        QCOMPARE(rs.text("Channel1"), QString("10.00"));
        rs.setValue("Channel1", "10.50");
        rs.update();
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1` WHERE Channel1 = '10.50'").arg(id)).toInt(), 1);
    }

    // Engineers who are members of the role owning the database work as that role: a table
    // one of them creates (a new sensor's) is the others' to change and drop. A user outside
    // the role works as themself.
    void membersOfTheOwningRoleShareTheirTables()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        db->execute("CREATE ROLE tw_team NOLOGIN");
        db->execute("CREATE ROLE tw_ann LOGIN PASSWORD 'a' IN ROLE tw_team");
        db->execute("CREATE ROLE tw_bob LOGIN PASSWORD 'b' IN ROLE tw_team");
        db->execute("CREATE DATABASE tw_teamdb OWNER tw_team");
        const QString at = qEnvironmentVariable("PGHOST", "localhost") + ":" + qEnvironmentVariable("PGPORT", "5432");
        {
            Database ann("ann");
            QVERIFY(ann.open("postgresql://tw_ann:a@" + at + "/tw_teamdb"));
            QCOMPARE(ann.scalar("SELECT current_user").toString(), QString("tw_team"));
            ann.execute("CREATE TABLE `250101001` (DateTimeKey TEXT PRIMARY KEY, Channel1 TEXT)");
            ann.execute("INSERT INTO `250101001` (DateTimeKey, Channel1) VALUES ('k', '1')");
        }
        {
            Database bob("bob");
            QVERIFY(bob.open("postgresql://tw_bob:b@" + at + "/tw_teamdb"));
            bob.execute("UPDATE `250101001` SET Channel1 = '2'");
            bob.execute("DROP TABLE `250101001`");
            QVERIFY(!bob.tableExists("250101001"));
        }
        db->execute("DROP DATABASE tw_teamdb");
        for (const char* role : {"tw_ann", "tw_bob", "tw_team"}) db->execute(QString("DROP ROLE ") + role);
    }

    // A database file copied to an empty server: every table and row, texts byte for byte,
    // checked; a second copy into the now full server is refused; a row changed before the
    // check is caught and nothing stays; a number column holding text is named, not lost.
    void copyToServerKeepsEveryValueAndChecksIt()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        const QString file = home.path() + "/source.mdb";
        QVERIFY(Installer::createDatabase(file));
        const QString odd =
            QString::fromUtf8("tab\there, line\nend, back\\slash, \xc3\xa9t\xc3\xa9 \xe2\x82\xac 'q' \"dq\"");
        {
            Database src("source");
            QVERIFY(src.open(file));
            TestData::addSensor(src, {id});
            TestData::addReadings(src, id, fiveReadings());
            src.execute(
                QString("UPDATE `%1` SET Channel2 = ?, zero1 = 0.1, Load6 = -1e-300 WHERE Channel1 = '12.00'").arg(id),
                {odd});
            src.execute("UPDATE Sensors SET Notes = ? WHERE InstrumentID = ?", {odd, id});
            src.execute(
                "INSERT INTO AlarmEvents (SensorID, Quantity, Level, RaisedAt) VALUES (?, 'Load', 'Alert', 'x')", {id});
        }
        db.reset();
        TestServer::emptyDatabase();
        Installer::Result r = Installer::copyToServer(TestServer::uri(), file);
        QVERIFY2(r.ok, qPrintable(r.lines.join('\n')));
        db = TestData::openDatabase();
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 5);
        QCOMPARE(db->scalar(QString("SELECT Channel2 FROM `%1` WHERE Channel1 = '12.00'").arg(id)).toString(), odd);
        QCOMPARE(db->scalar(QString("SELECT Load6 FROM `%1` WHERE Channel1 = '12.00'").arg(id)).toDouble(), -1e-300);
        QCOMPARE(db->scalar("SELECT Notes FROM Sensors").toString(), odd);
        QCOMPARE(db->scalar("SELECT count(*) FROM Configuration").toInt(), 6);
        // The copied ids are followed by new ones.
        db->execute("INSERT INTO AlarmEvents (SensorID, Quantity, Level, RaisedAt) VALUES (?, 'Load', 'Alert', 'y')",
                    {id});
        QCOMPARE(db->scalar("SELECT count(DISTINCT EventID) FROM AlarmEvents").toInt(), 2);
        {
            Database src("source");
            QVERIFY(src.open(file));
            for (const QString& t : src.tableNames()) {
                const DatabaseCopy::TableCheck a = DatabaseCopy::check(src, t), b = DatabaseCopy::check(*db, t);
                if (t == "AlarmEvents") continue;     // one more event since
                if (ReadingEdits::isCountTable(t)) {  // kept by each file for itself
                    QVERIFY(!db->tableExists(t));
                    continue;
                }
                QVERIFY2(a.rows == b.rows && a.sum == b.sum, qPrintable(t));
            }
        }
        r = Installer::copyToServer(TestServer::uri(), file);
        QVERIFY(!r.ok);
        QVERIFY2(r.lines.join(' ').contains("not empty"), qPrintable(r.lines.join('\n')));

        // A changed row is caught by the check, and nothing is left on the server.
        db.reset();
        TestServer::emptyDatabase();
        {
            Database src("source"), dst("target");
            QVERIFY(src.open(file));
            QVERIFY(dst.open(TestServer::uri()));
            const DatabaseCopy::Result c = DatabaseCopy::copy(src, dst, [&] {
                dst.execute(QString("UPDATE `%1` SET Channel3 = 'changed' WHERE Channel1 = '11.00'").arg(id));
            });
            QVERIFY(!c.ok);
            QVERIFY2(c.message.contains(id) && c.message.contains("different"), qPrintable(c.message));
            QVERIFY(dst.tableNames().isEmpty());
        }
        // A text in a number column is named, and nothing is copied.
        {
            Database src("source");
            QVERIFY(src.open(file));
            src.execute(QString("UPDATE `%1` SET Load2 = 'n/a' WHERE Channel1 = '13.00'").arg(id));
        }
        r = Installer::copyToServer(TestServer::uri(), file);
        QVERIFY(!r.ok);
        QVERIFY2(r.lines.join(' ').contains("\"n/a\"") && r.lines.join(' ').contains("Load2"),
                 qPrintable(r.lines.join('\n')));
        db = TestData::openDatabase();
        QVERIFY(db->tableNames().isEmpty());
    }

    // A table's stamp changes with every write to it through this connection, and with
    // every commit of another connection that wrote it, when that commits; the table
    // dropped or made again and the connection reopened change it too. A stamp read
    // during a transaction that rolls back never looks current afterwards.
    void stampFollowsEveryChangeOfItsTable()
    {
        TestData::addSensor(*db, {id});
        TestData::addReadings(*db, id, fiveReadings());
        Database::Stamp a = db->stamp(id);
        QVERIFY(a == db->stamp(id));
        db->execute(QStringLiteral("UPDATE Prefs SET MineID = 'X-'"));
        QVERIFY(a == db->stamp(id));
        db->execute(QStringLiteral("UPDATE `%1` SET Load1 = 2 WHERE Channel1 = '11.00'").arg(id));
        QVERIFY(!(a == db->stamp(id)));
        a = db->stamp(id);
        Database::Stamp during;
        {
            Transaction tx(*db);  // rolled back
            db->execute(QStringLiteral("DELETE FROM `%1` WHERE Channel1 = '12.00'").arg(id));
            during = db->stamp(id);
            QVERIFY(!(a == during));
        }
        QVERIFY(!(during == db->stamp(id)));
        a = db->stamp(id);

        auto other = TestData::openDatabase(QStringLiteral("other"));
        {
            Transaction tx(*other);
            other->execute(QStringLiteral("UPDATE `%1` SET Load1 = 4").arg(id));
            QVERIFY(a == db->stamp(id));  // not committed yet
            tx.commit();
        }
        QVERIFY(!(a == db->stamp(id)));
        a = db->stamp(id);
        if (db->isServer()) {
            // The server tells tables apart: charts of this table keep their columns.
            other->execute(QStringLiteral("UPDATE Prefs SET MineID = 'Y-'"));
            QVERIFY(a == db->stamp(id));
        }
        other->execute(QStringLiteral("DROP TABLE `%1`").arg(id));
        QVERIFY(!(a == db->stamp(id)));
        a = db->stamp(id);
        other->createTableLike(id, QStringLiteral("sensordata"));
        QVERIFY(!(a == db->stamp(id)));
        a = db->stamp(id);
        db->close();
        QVERIFY(db->open(TestData::databaseTarget()));
        QVERIFY(!(a == db->stamp(id)));
    }

    // What other connections committed: seen when they commit (not before, not when they
    // roll back), never what this connection wrote itself.
    void othersStampSeesOnlyWhatOthersCommitted()
    {
        TestData::addSensor(*db, {id});
        auto other = TestData::openDatabase(QStringLiteral("other"));
        Database::Stamp a = db->othersStamp();
        db->execute(QStringLiteral("UPDATE Prefs SET MineID = 'X-'"));
        {
            Transaction tx(*db);
            TestData::addReadings(*db, id, fiveReadings());
            QVERIFY(a == db->othersStamp());
            tx.commit();
        }
        {
            Transaction tx(*db);  // rolled back
            db->execute(QStringLiteral("DELETE FROM `%1`").arg(id));
        }
        QVERIFY(a == db->othersStamp());
        {
            Transaction tx(*other);  // rolled back
            other->execute(QStringLiteral("DELETE FROM `%1`").arg(id));
            QVERIFY(a == db->othersStamp());
        }
        QVERIFY(a == db->othersStamp());
        const Database::Stamp b = other->othersStamp();
        other->execute(QStringLiteral("UPDATE Prefs SET MineID = 'Y-'"));
        QVERIFY(b == other->othersStamp());
        QVERIFY(!(a == db->othersStamp()));
        a = db->othersStamp();
        other->execute(QStringLiteral("DROP TABLE `%1`").arg(id));
        QVERIFY(!(a == db->othersStamp()));
    }

    // A server database whose tables were made before changes were tracked: its stamps
    // count as changed at every look (never a stale reuse) until it is set up again,
    // which puts the change trigger on every table lacking it.
    void tablesMadeBeforeChangesWereTrackedGetTrackedAtSetUp()
    {
        if (!TestServer::wanted()) QSKIP("about the server's change counters");
        TestData::addSensor(*db, {id});
        db->executeOnServer(QStringLiteral("DROP TRIGGER tw_changes_u ON \"%1\"").arg(id));
        {
            auto old = TestData::openDatabase(QStringLiteral("old"));
            QVERIFY(!(old->stamp(id) == old->stamp(id)));
            QVERIFY(!(old->othersStamp() == old->othersStamp()));
        }
        db.reset();
        const Installer::Result r = Installer::setUpServer(TestServer::uri());
        QVERIFY(r.ok);
        QVERIFY2(r.lines.join('\n').contains("changes now tracked on 1 table)"), qPrintable(r.lines.join('\n')));
        db = TestData::openDatabase();
        const Database::Stamp a = db->stamp(id);
        QVERIFY(a == db->stamp(id));
        auto other = TestData::openDatabase(QStringLiteral("other"));
        TestData::addReadings(*other, id, fiveReadings());
        QVERIFY(!(a == db->stamp(id)));
    }

    void numberFormats()
    {
        QCOMPARE(Numbers::format(12.3, "##0.00"), QString("12.30"));
        QCOMPARE(Numbers::format(7, "##0.00"), QString("7.00"));
        QCOMPARE(Numbers::format(21, "##0.0"), QString("21.0"));
        QCOMPARE(Numbers::format(0.5, "##0.00"), QString("0.50"));
        QCOMPARE(Numbers::format(-0.001, "##0.00"), QString("0.00"));
        QCOMPARE(Numbers::format(100, "##0.0#"), QString("100.0"));
        QCOMPARE(Numbers::format(12.25, "##0.0#"), QString("12.25"));
        // Halves round away from zero on the decimal value (not its binary neighbour).
        QCOMPARE(Numbers::format(2.675, "##0.00"), QString("2.68"));
        QCOMPARE(Numbers::format(2.665, "##0.00"), QString("2.67"));
        QCOMPARE(Numbers::format(0.125, "##0.00"), QString("0.13"));
        QCOMPARE(Numbers::format(-0.125, "##0.00"), QString("-0.13"));
        QCOMPARE(Numbers::format(21.25, "##0.0"), QString("21.3"));
        QCOMPARE(Numbers::format(-21.25, "##0.0"), QString("-21.3"));
        QCOMPARE(Numbers::format(0.005, "##0.0#"), QString("0.01"));
        QCOMPARE(Numbers::format(99.995, "##0.00"), QString("100.00"));
        QCOMPARE(Numbers::format(-0.004, "##0.00"), QString("0.00"));
        // The axis rule keeps its banker's rounding.
        QCOMPARE(Numbers::roundHalfEven(2.665, 2), 2.66);
        QCOMPARE(Numbers::roundHalfEven(2.675, 2), 2.68);
        QCOMPARE(Numbers::format(1234567.891, "##0.00"), QString("1234567.89"));
        QCOMPARE(Numbers::formatText("", "##0.00"), QString());
        QCOMPARE(Numbers::formatText(" abc ", "##0.00"), QString("abc"));
        QCOMPARE(Numbers::leadingValue("  12a"), 12.0);
        QCOMPARE(Numbers::leadingValue("-3.5.1"), -3.5);
        QCOMPARE(Numbers::leadingValue("abc"), 0.0);
        QCOMPARE(Numbers::leadingValue(""), 0.0);
        QVERIFY_THROWS_EXCEPTION(TwError, Numbers::localeValue("abc"));
        QCOMPARE(Numbers::localeValue("12.5"), 12.5);
        QCOMPARE(Numbers::plain(125), QString("125"));
        QCOMPARE(Numbers::plain(-20), QString("-20"));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
