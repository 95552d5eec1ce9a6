// Reading a recordset again after other connections changed its table: it must hold exactly
// what opening it afresh holds, whether the server let it fetch only the added rows or it
// read every row again. Runs on the database file and on a database server
// (tst_requery_server), where the change counters that tell added rows apart are checked too.
#include "support/TestEnv.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/Migrations.h"
#include "store/Recordset.h"

#include <QtTest>
#include <functional>

class TestRequery : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;
    const QString id = QStringLiteral("250475001");

    static TestData::NewReading reading(int minute, const QString& value)
    {
        TestData::NewReading r;
        r.when = QDateTime(QDate(2025, 5, 1), QTime(8, 0)).addSecs(qint64(minute) * 60);
        r.channels = {value};
        return r;
    }

    // Every row of the recordset in its order: identity, date and a value.
    static QStringList rowsOf(Recordset& rs)
    {
        QStringList rows;
        if (rs.recordCount() == 0) return rows;
        rs.moveFirst();
        while (!rs.eof()) {
            rows << QString::number(rs.bookmark()) + '|' + rs.text(QStringLiteral("FullDate")) + '|' +
                        rs.text(QStringLiteral("Channel1"));
            rs.moveNext();
        }
        return rows;
    }

    QStringList freshRows()
    {
        Recordset fresh(*db);
        fresh.open(DataTables::readingsQuery(id));
        return rowsOf(fresh);
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {id});
    }
    void cleanup() { db.reset(); }

    void requeryGivesWhatAFreshOpenGives_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("added after the last") << 0;
        QTest::newRow("added with an earlier date") << 1;
        QTest::newRow("a value edited") << 2;
        QTest::newRow("a date edited to sort last") << 3;
        QTest::newRow("deleted") << 4;
        QTest::newRow("added with a lower identity, sorting last") << 5;
        QTest::newRow("added in the same transaction as a deletion") << 6;
        QTest::newRow("emptied, then added") << 7;
    }

    // The list read, its values read into the cursor, then another connection changes the
    // table twice (each change followed by a requery): the rows, their order and their values
    // are those of a recordset opened afresh.
    void requeryGivesWhatAFreshOpenGives()
    {
        QFETCH(int, change);
        QList<TestData::NewReading> first;
        for (int i = 0; i < 20; ++i) first << reading(10 * i, QString::number(i));
        TestData::addReadings(*db, id, first);
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        QCOMPARE(rowsOf(rs), freshRows());

        auto other = TestData::openDatabase(QStringLiteral("other"));
        const QString table = QStringLiteral("`%1`").arg(id);
        int next = 1000;
        const std::function<void()> changes[] = {
            [&] {
                TestData::addReadings(*other, id, {reading(next++, "new"), reading(next++, "new2")});
            },
            [&] {
                TestData::addReadings(*other, id, {reading(next++, "late"), reading(5 + 10 * (next++ % 7), "early")});
            },
            [&] { other->execute("UPDATE " + table + " SET Channel1 = 'edited' WHERE Channel1 = '3'"); },
            [&] { other->execute("UPDATE " + table + " SET FullDate = '2030-01-01 00:00:00' WHERE Channel1 = '4'"); },
            [&] { other->execute("DELETE FROM " + table + " WHERE Channel1 = '5' OR Channel1 = '19'"); },
            [&] {
                // The identity of a transaction that took it before a later one committed.
                const qint64 low = other->scalar("SELECT min(rowid) FROM " + table).toLongLong() - 1 - next;
                TestData::addReadings(*other, id, {reading(next++, "high")});
                const QDateTime when = reading(next++, QString()).when;
                other->execute(
                    "INSERT INTO " + table + " (rowid, DateTimeKey, FullDate, Channel1) VALUES (?, ?, ?, 'low')",
                    {low, TestData::readingKey(id, when), when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
            },
            [&] {
                Transaction tx(*other);
                other->execute("DELETE FROM " + table + " WHERE Channel1 = '0'");
                TestData::addReadings(*other, id, {reading(next++, "with a deletion")});
                tx.commit();
            },
            [&] {
                other->execute("DELETE FROM " + table);
                TestData::addReadings(*other, id, {reading(next++, "after emptying")});
            },
        };
        for (int round = 0; round < 2; ++round) {
            changes[change]();
            rs.requery();
            QCOMPARE(rowsOf(rs), freshRows());
            // Rows added alone since: the list is extended, the values read so far kept.
            TestData::addReadings(*other, id, {reading(next++, QStringLiteral("round %1").arg(round))});
            rs.requery();
            QCOMPARE(rowsOf(rs), freshRows());
        }
        // This connection's own changes are as another's.
        TestData::addReadings(*db, id, {reading(next++, "own")});
        db->execute("DELETE FROM " + table + " WHERE Channel1 = '1'");
        rs.requery();
        QCOMPARE(rowsOf(rs), freshRows());
    }

    // The counters the refresh relies on: each transaction that wrote the table counts one,
    // and one more when it did anything but add rows; nothing moves for a transaction rolled
    // back, and none is given inside a transaction.
    void serverCountsEditsApartFromAddedRows()
    {
        if (!TestServer::wanted()) QSKIP("about the server's change counters");
        auto other = TestData::openDatabase(QStringLiteral("other"));
        const QString table = QStringLiteral("`%1`").arg(id);
        Database::AppendMark a = db->appendMark(id);
        QVERIFY(a.known);
        auto moved = [&](qint64 writes, qint64 edits) {
            const Database::AppendMark b = db->appendMark(id);
            const bool ok = b.known && b.writes - a.writes == writes && b.edits - a.edits == edits;
            if (!ok) qWarning("writes %lld, edits %lld", b.writes - a.writes, b.edits - a.edits);
            a = b;
            return ok;
        };
        TestData::addReadings(*other, id, {reading(1, "1"), reading(2, "2"), reading(3, "3")});
        QVERIFY(moved(1, 0));
        {
            Transaction tx(*other);
            other->execute("INSERT INTO " + table + " (DateTimeKey, Channel1) VALUES ('k4', '4')");
            other->execute("INSERT INTO " + table + " (DateTimeKey, Channel1) VALUES ('k5', '5')");
            other->execute("UPDATE " + table + " SET Channel2 = 'x'");
            other->execute("DELETE FROM " + table + " WHERE Channel1 = '1'");
            QVERIFY(moved(0, 0));  // not committed yet
            tx.commit();
        }
        QVERIFY(moved(1, 1));
        other->execute("UPDATE " + table + " SET Channel2 = 'z' WHERE Channel1 = 'none'");
        QVERIFY(moved(0, 0));
        {
            Transaction tx(*other);  // rolled back
            TestData::addReadings(*other, id, {reading(9, "9")});
            other->execute("DELETE FROM " + table);
        }
        QVERIFY(moved(0, 0));
        {
            Transaction tx(*db);
            QVERIFY(!db->appendMark(id).known);
        }
        other->executeOnServer(QStringLiteral("TRUNCATE \"%1\"").arg(id));
        QVERIFY(moved(1, 1));
        other->execute("DROP TABLE " + table);
        QVERIFY(moved(1, 1));
    }

    // A server database from before the counters: read as not known (every requery reads
    // the whole list), and upgraded by its schema step when opened by this program.
    void earlierServerDatabaseIsUpgraded()
    {
        if (!TestServer::wanted()) QSKIP("about the server's change counters");
        TestData::addReadings(*db, id, {reading(1, "1")});
        db->execute(QStringLiteral("DELETE FROM SchemaMigrations WHERE MigrationID = '2026-12-server-added-rows'"));
        db->executeOnServer(QStringLiteral("DROP FUNCTION tw_note_rows(TEXT, BOOLEAN)"));
        db->executeOnServer(QStringLiteral("ALTER TABLE tw_changes DROP COLUMN edits"));
        QVERIFY(!db->appendMark(id).known);
        Recordset rs(*db);
        rs.open(DataTables::readingsQuery(id));
        rs.requery();
        QCOMPARE(rs.recordCount(), 1);
        rs.close();
        const Migrations::Result r = Migrations::upgrade(*db, {});
        QCOMPARE(r.outcome, Migrations::Outcome::Upgraded);
        QCOMPARE(r.applied, QStringList{"2026-12-server-added-rows"});
        const Database::AppendMark a = db->appendMark(id);
        QVERIFY(a.known);
        db->execute(QStringLiteral("DELETE FROM `%1`").arg(id));
        QCOMPARE(db->appendMark(id).edits, a.edits + 1);
    }
};

QTEST_GUILESS_MAIN(TestRequery)
#include "tst_requery.moc"
