// Schema versions: a database of release 1.0 is upgraded after a copy is kept, a newer one is
// refused untouched, and a failed upgrade leaves the database exactly as it was.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "database/DatabaseUpgrade.h"
#include "store/Database.h"
#include "store/Migrations.h"
#include "store/ReadingEdits.h"
#include "store/DataTables.h"
#include "store/RowVersions.h"
#include "data/Rejections.h"
#include "readings/ReadingDeletion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QtTest>

using Migrations::Migration;

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

qint64 count(Database& db, const QString& table)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(table)).toLongLong();
}

bool hasTable(Database& db, const QString& name)
{
    return db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"), {name})
               .toInt() > 0;
}

QStringList upgradeCopies()
{
    return QDir(Paths::dataFolder() + QStringLiteral("/HALYXbackup"))
        .entryList({QStringLiteral("*-before-upgrade.mdb")}, QDir::Files);
}

}  // namespace

class TestMigrations : public QObject {
    Q_OBJECT
    TestHome home;

    // Puts the release-1.0 database where the program looks for its database.
    void installReleaseOne()
    {
        TestData::installFresh();
        QFile::remove(Paths::databasePath());
        QVERIFY(QFile::copy(QStringLiteral(TARNWELL_FIXTURES "/release-1.0.mdb"), Paths::databasePath()));
        QFile::setPermissions(Paths::databasePath(), QFile::ReadOwner | QFile::WriteOwner);
    }

private slots:
    void newDatabaseIsUpToDate()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        const Migrations::Status st = Migrations::status(*db);
        QVERIFY(st.upToDate());
        QCOMPARE(st.applied.size(), qsizetype(Migrations::all().size()));
    }

    void releaseOneIsUpgradedAfterACopyAndKeepsEveryReading()
    {
        installReleaseOne();
        const QByteArray before = fileHash(Paths::databasePath());
        {
            Database db;
            QVERIFY(db.open(Paths::databasePath()));
            const Migrations::Status st = Migrations::status(db);
            QVERIFY(st.applied.isEmpty());
            QCOMPARE(st.pending.size(), qsizetype(Migrations::all().size()));
            QString refusal;
            QVERIFY(DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), &refusal));
            QVERIFY(refusal.isEmpty());
            QVERIFY(Migrations::status(db).upToDate());
            QCOMPARE(count(db, "240375101"), 40);
            QCOMPARE(count(db, "240355103"), 105);
            QCOMPARE(count(db, "Sensors"), 3);
            // The alarm tables are there, empty, and take levels and events.
            for (const char* table : {"AlarmLevels", "AlarmEvents", "AlarmState"}) {
                QVERIFY2(hasTable(db, table), table);
                QCOMPARE(count(db, table), 0);
            }
            db.execute(
                "INSERT INTO AlarmLevels (SensorID, LoadAlertUpper, LoadActionUpper) VALUES ('240355103', 5, 8)");
            db.execute(
                "INSERT INTO AlarmEvents (SensorID, Quantity, Position, Level, RaisedAt) "
                "VALUES ('240355103', 'Load', 1, 'Alert', '2026-12-01 08:00:00')");
            db.execute("DELETE FROM AlarmEvents");
            db.execute("DELETE FROM AlarmLevels");
            const QString who = db.scalar("SELECT AppliedBy FROM SchemaMigrations LIMIT 1").toString();
            QCOMPARE(who, Database::loginName());
            QVERIFY(!who.isEmpty());
        }
        // The copy is the database as it was: the old layout and every reading.
        const QStringList copies = upgradeCopies();
        QCOMPARE(copies.size(), 1);
        {
            Database copy;
            QVERIFY(copy.open(Paths::dataFolder() + "/HALYXbackup/" + copies[0]));
            QVERIFY(!hasTable(copy, "SchemaMigrations"));
            QCOMPARE(count(copy, "240375102"), 40);
        }
        QVERIFY(fileHash(Paths::databasePath()) != before);

        // Opening again changes nothing and makes no second copy.
        const QByteArray upgraded = fileHash(Paths::databasePath());
        {
            Database db;
            QVERIFY(db.open(Paths::databasePath()));
            QVERIFY(DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), nullptr));
        }
        QCOMPARE(fileHash(Paths::databasePath()), upgraded);
        QCOMPARE(upgradeCopies().size(), 1);
    }

    // The record of the calculations: its tables, and on every data table (and the template,
    // which new tables copy) the index of readings marked as changed.
    void releaseOneGainsTheRecordOfTheCalculations()
    {
        installReleaseOne();
        Database db;
        QVERIFY(db.open(Paths::databasePath()));
        QVERIFY(DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), nullptr));
        QVERIFY(hasTable(db, "PassInputs"));
        QVERIFY(hasTable(db, "PassPending"));
        for (const char* table : {"sensordata", "240375101", "240355103"}) {
            const QString sql =
                db.scalar(
                      "SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND name LIKE '%IsDirty'",
                      {QString::fromLatin1(table)})
                    .toString();
            QVERIFY2(sql.contains("WHERE IsDirty <> 0"), table);
        }
        // Nothing is recorded yet: the first pass of every sensor is a full one.
        QCOMPARE(count(db, "PassInputs"), 0);
    }

    // Who changed each sensor and reading: the three columns on Sensors, the template and
    // every data table; what was stored stays as it was, at version 0 with nobody named;
    // a data table made afterwards has them too.
    void releaseOneGainsRowVersions()
    {
        installReleaseOne();
        Database db;
        QVERIFY(db.open(Paths::databasePath()));
        QVERIFY(DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), nullptr));
        for (const char* table : {"Sensors", "sensordata", "240375101", "240375102", "240355103"})
            QVERIFY2(RowVersions::present(db, table), table);
        QCOMPARE(db.scalar("SELECT count(*) FROM `240355103` WHERE RowVersion = 0 AND ChangedBy IS NULL").toInt(), 105);
        QCOMPARE(db.scalar("SELECT count(*) FROM Sensors WHERE RowVersion = 0").toInt(), 3);
        // Tables that are not a sensor's readings are left alone.
        QVERIFY(!RowVersions::present(db, "Configuration"));
        DataTables::createDataTable(db, "250475009");
        QVERIFY(RowVersions::present(db, "250475009"));
    }

    // Rejected values: the table is there after the upgrade; a mark records who, when and
    // why, marks its reading for the next pass, and goes with its reading or its sensor.
    void releaseOneGainsRejectedValues()
    {
        installReleaseOne();
        Database db;
        QVERIFY(db.open(Paths::databasePath()));
        QVERIFY(DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), nullptr));
        QVERIFY(hasTable(db, "Rejections"));
        QCOMPARE(count(db, "Rejections"), 0);

        const QString id = "240355103";
        db.execute("UPDATE `240355103` SET IsDirty = 0");
        const QString first = db.scalar("SELECT DateTimeKey FROM `240355103` ORDER BY FullDate LIMIT 1").toString();
        const QString last = db.scalar("SELECT DateTimeKey FROM `240355103` ORDER BY FullDate DESC LIMIT 1").toString();
        Rejections::reject(db, id, first, 2, "  gauge cable cut  ");
        Rejections::reject(db, id, last, Rejections::WholeReading, "logger restarted");
        Rejections::reject(db, id, last, Rejections::Temperature, "probe wet");
        Rejections::reject(db, id, last, Rejections::Temperature, "probe flooded");  // replaces the mark
        QCOMPARE(db.scalar("SELECT count(*) FROM `240355103` WHERE IsDirty <> 0").toInt(), 2);

        const QHash<QString, quint16> masks = Rejections::masks(db, id);
        QCOMPARE(masks.size(), 2);
        QCOMPARE(masks.value(first), quint16(1u << 2));
        QCOMPARE(masks.value(last), quint16(1u | (1u << 11)));
        QVERIFY(Rejections::rejected(masks.value(first), 2));
        QVERIFY(!Rejections::rejected(masks.value(first), 1));
        QVERIFY(Rejections::rejected(masks.value(last), 5));  // the whole reading

        const std::vector<Rejections::Mark> marks = Rejections::marks(db, id, last);
        QCOMPARE(marks.size(), size_t(2));
        QCOMPARE(marks[1].gauge, 11);
        QCOMPARE(marks[1].reason, QString("probe flooded"));
        QCOMPARE(marks[1].by, Database::loginName());
        QVERIFY(QDateTime::fromString(marks[1].at, "yyyy-MM-dd HH:mm:ss").isValid());
        QCOMPARE(Rejections::marks(db, id)[0].reason, QString("gauge cable cut"));

        // Refused: no reason, no such gauge, no such reading; nothing is stored.
        auto refused = [&](const QString& key, int gauge, const QString& reason) {
            try {
                Rejections::reject(db, id, key, gauge, reason);
            } catch (const TwError&) {
                return true;
            }
            return false;
        };
        QVERIFY(refused(first, 3, "   "));
        QVERIFY(refused(first, 12, "why"));
        QVERIFY(refused("1999/01/01 00:00:00", 3, "why"));
        QCOMPARE(count(db, "Rejections"), 3);

        // Restoring marks the reading again and removes only that mark.
        db.execute("UPDATE `240355103` SET IsDirty = 0");
        Rejections::restore(db, id, last, Rejections::Temperature);
        QCOMPARE(Rejections::masks(db, id).value(last), quint16(1));
        QCOMPARE(db.scalar("SELECT IsDirty FROM `240355103` WHERE DateTimeKey = ?", {last}).toInt(), 1);

        // Deleting readings deletes their marks; deleting the sensor's table deletes the rest.
        const QDate lastDay = ReadingDeletion::extentOf(db, id).last;
        // A file counts the deletion as one edit, and keeps both triggers.
        const std::optional<qint64> edits = ReadingEdits::count(db, id);
        QCOMPARE(edits.has_value(), !db.isServer());
        QVERIFY(ReadingDeletion::deleteBetween(db, id, lastDay, lastDay, {}) > 0);
        QCOMPARE(ReadingEdits::count(db, id), edits ? std::optional<qint64>(*edits + 1) : std::nullopt);
        QCOMPARE(Rejections::masks(db, id).keys(), QList<QString>{first});
        DataTables::dropDataTable(db, id);
        QCOMPARE(count(db, "Rejections"), 0);
    }

    // Alarm events recorded before episodes existed: an Alert event followed by an Action
    // one on the same position and side make one episode, raised; a later event opens the
    // next; the last one stays active when the sensor's state still stands past the level,
    // and an acknowledgement carries over.
    void releaseOneEventsBecomeEpisodes()
    {
        installReleaseOne();
        Database db;
        QVERIFY(db.open(Paths::databasePath()));
        std::vector<Migration> before;
        for (const Migration& m : Migrations::all())
            if (QLatin1String(m.id) != QLatin1String("2026-12-alarm-episodes")) before.push_back(m);
        QCOMPARE(before.size() + 1, Migrations::all().size());
        QCOMPARE(Migrations::upgrade(db, {}, before).outcome, Migrations::Outcome::Upgraded);
        auto event = [&](const char* pos, const char* level, const char* dir, const char* date, const char* ackAt) {
            db.execute(
                "INSERT INTO AlarmEvents (SensorID, Quantity, Position, Level, Direction, Threshold, Value, "
                "ReadingKey, ReadingDate, RaisedAt, AckBy, AckAt) VALUES ('240375101', 'Load', ?, ?, ?, 8, 9, 'k', "
                "?, ?, ?, ?)",
                {QString(pos), QString(level), QString(dir), QString(date), QString(date),
                 ackAt ? QVariant("shift") : QVariant(), ackAt ? QVariant(ackAt) : QVariant()});
        };
        event("1", "Alert", "upper", "2026-01-01 00:00:00", nullptr);
        event("1", "Action", "upper", "2026-01-02 00:00:00", "2026-01-02 01:00:00");
        event("1", "Alert", "upper", "2026-01-05 00:00:00", nullptr);
        event("2", "Alert", "lower", "2026-01-03 00:00:00", nullptr);
        db.execute(
            "INSERT INTO AlarmState (SensorID, Status, Positions) VALUES ('240375101', 'Alert', "
            "'{\"L1\":[1,\"2026-01-05 00:00:00\",9],\"L2\":[0,\"\",0]}')");
        QCOMPARE(Migrations::upgrade(db, {}, Migrations::all()).outcome, Migrations::Outcome::Upgraded);
        QSqlQuery q(db.handle());
        QVERIFY(
            q.exec("SELECT Position, Level, PeakLevel, OpenedAt, ClosedAt, AckBy, AckLevel FROM AlarmEpisodes "
                   "ORDER BY Position, OpenedAt"));
        QStringList rows;
        while (q.next())
            rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                                q.value(6).toString()}
                        .join('|');
        QCOMPARE(rows, (QStringList{"1|Action|Action|2026-01-01 00:00:00|2026-01-05 00:00:00|shift|Action",
                                    "1|Alert|Alert|2026-01-05 00:00:00|||",
                                    "2|Alert|Alert|2026-01-03 00:00:00|2026-01-03 00:00:00||"}));
        QCOMPARE(db.scalar("SELECT count(*) FROM AlarmEvents WHERE EpisodeID IS NULL").toInt(), 0);
    }

    void newerDatabaseIsRefusedUntouched()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            db->execute(
                "INSERT INTO SchemaMigrations (MigrationID, AppliedAt) VALUES ('2099-01-from-the-future', '2099-01-01 "
                "00:00:00')");
        }
        const QByteArray before = fileHash(Paths::databasePath());
        {
            Database db;
            QVERIFY(db.open(Paths::databasePath()));
            const Migrations::Status st = Migrations::status(db);
            QVERIFY(st.newer());
            QCOMPARE(st.unknown, QStringList{"2099-01-from-the-future"});
            QString refusal;
            QVERIFY(!DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), &refusal));
            QVERIFY(refusal.contains("newer version of Tarnwell"));
        }
        QCOMPARE(fileHash(Paths::databasePath()), before);
        QVERIFY(upgradeCopies().isEmpty());
    }

    void noCopyMeansNoUpgrade()
    {
        installReleaseOne();
        // The backup folder's name is taken by a file: no copy can be made.
        QFile blocker(Paths::dataFolder() + "/HALYXbackup");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray before = fileHash(Paths::databasePath());
        {
            Database db;
            QVERIFY(db.open(Paths::databasePath()));
            QString refusal;
            QVERIFY(!DatabaseUpgrade::upgradeOpenDatabase(db, Paths::dataFolder(), &refusal));
            QVERIFY(refusal.contains("could not be upgraded"));
            QVERIFY(refusal.contains("left exactly as it was"));
            QVERIFY(!hasTable(db, "SchemaMigrations"));
        }
        QCOMPARE(fileHash(Paths::databasePath()), before);
        QFile::remove(Paths::dataFolder() + "/HALYXbackup");
    }

    void failingStepUndoesEveryStep()
    {
        installReleaseOne();
        std::vector<Migration> steps = Migrations::all();
        steps.push_back({"test-adds-a-table", "a table", [](Database& db) {
                             db.execute("CREATE TABLE AddedByTest (x TEXT)");
                             db.execute("INSERT INTO AddedByTest VALUES ('y')");
                         }});
        steps.push_back({"test-fails", "a failure", [](Database& db) { db.execute("CREATE TABLE Sensors (x TEXT)"); }});
        const QByteArray before = fileHash(Paths::databasePath());
        {
            Database db;
            QVERIFY(db.open(Paths::databasePath()));
            bool copied = false;
            const Migrations::Result r = Migrations::upgrade(
                db,
                [&] {
                    copied = true;
                    return QString("copy");
                },
                steps);
            QVERIFY(copied);
            QCOMPARE(r.outcome, Migrations::Outcome::Failed);
            QVERIFY(r.applied.isEmpty());
            QVERIFY(r.detail.contains("Sensors"));
            QVERIFY(!hasTable(db, "AddedByTest"));
            QVERIFY(!hasTable(db, "SchemaMigrations"));
            QCOMPARE(Migrations::status(db, steps).pending.size(), qsizetype(steps.size()));
        }
        QCOMPARE(fileHash(Paths::databasePath()), before);
    }

    void programStartsOnReleaseOneWithoutAWord()
    {
        installReleaseOne();
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(!w.startupRefused());
            QVERIFY(m.script.shown.empty());
            QCOMPARE(w.shared().currentSensorId(), QString("240355103"));
        }
        QFile log(Paths::logFilePath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("Database upgraded"), 1);
        QCOMPARE(upgradeCopies().size(), 1);
    }

    void programRefusesNewerDatabase()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            db->execute(
                "INSERT INTO SchemaMigrations (MigrationID, AppliedAt) VALUES ('2099-01-from-the-future', '2099-01-01 "
                "00:00:00')");
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(w.connectFailed());
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.contains("newer version of Tarnwell"));
        QVERIFY(m.script.shown[0].text.endsWith("Program must exit"));
    }
};

QTEST_MAIN(TestMigrations)
#include "tst_migrations.moc"
