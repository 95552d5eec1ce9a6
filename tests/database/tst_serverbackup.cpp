// Backup Database of a team database on a server: the server's data written as a database
// file of the program's own format, which opens as any database file, with every table and
// row as the server has them, taken in one snapshot.
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "database/DatabaseFiles.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/DatabaseCopy.h"
#include "store/Migrations.h"

#include <QDir>
#include <QSqlQuery>
#include <QtTest>

class TestServerBackup : public QObject {
    Q_OBJECT
    TestHome home;
    const QString id = QStringLiteral("250475001");

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
    }

    void backupIsADatabaseFileWithEveryRow()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {id});
        TestData::addManyReadings(*db, id, 300, QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
        db->execute("UPDATE Sensors SET Notes = ? WHERE InstrumentID = ?",
                    {QString::fromUtf8("n\xc3\xb8tes\tand\nmore"), id});
        const QString folder = Paths::dataFolder() + "/HALYXbackup";
        const QString made = DatabaseFiles::backupServer(*db, folder, QDate(2026, 12, 7));
        QCOMPARE(made, folder + "/" + DatabaseFiles::backupFileName(QDate(2026, 12, 7)));
        QVERIFY(!QFile::exists(made + ".partial"));
        QVERIFY(Database::looksLikeSqlite(made));

        Database file("backup");
        QVERIFY(file.open(made));
        QVERIFY(!file.isServer());
        QVERIFY(Migrations::status(file).upToDate());
        QCOMPARE(file.scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 300);
        QCOMPARE(file.scalar("SELECT Notes FROM Sensors").toString(), QString::fromUtf8("n\xc3\xb8tes\tand\nmore"));
        for (const QString& t : db->tableNames()) {
            const DatabaseCopy::TableCheck a = DatabaseCopy::check(*db, t), b = DatabaseCopy::check(file, t);
            QVERIFY2(a.rows == b.rows && a.sum == b.sum, qPrintable(t));
        }
        // The same day again makes a second file and keeps the first.
        db->execute(QString("DELETE FROM `%1` WHERE FullDate < '2024-01-02'").arg(id));
        file.close();
        const QString second = DatabaseFiles::backupServer(*db, folder, QDate(2026, 12, 7));
        QCOMPARE(second, folder + "/HALYXbackup2026-12-07_2.mdb");
        QVERIFY(file.open(second));
        QCOMPARE(file.scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 300 - 24);
        file.close();
        QVERIFY(file.open(made));
        QCOMPARE(file.scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 300);
    }

    // Restore onto the server: every table replaced by the backup's in one transaction; a
    // backup that fails its check, or a user without the rights, leaves the server as it was.
    void restoreReplacesEverythingOrNothing()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {id});
        TestData::addManyReadings(*db, id, 48, QDateTime(QDate(2024, 1, 1), QTime(0, 0)));
        const QString folder = Paths::dataFolder() + "/HALYXbackup";
        const QString made = DatabaseFiles::backupServer(*db, folder, QDate(2026, 12, 7));
        // Changes after the backup: a reading gone, a sensor and its table added.
        db->execute(QString("DELETE FROM `%1` WHERE FullDate < '2024-01-02'").arg(id));
        TestData::addSensor(*db, {"250475002"});
        DatabaseFiles::restoreServer(*db, made);
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 48);
        QVERIFY(!db->tableExists("250475002"));
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 1);
        // The program goes on writing to what was restored.
        TestData::addReadings(*db, id, {{QDateTime(QDate(2025, 1, 1), QTime(0, 0)), {"1"}, "", true, false, false}});

        // A user who may not drop the tables: refused, nothing changed.
        db->execute("CREATE ROLE tw_reader LOGIN PASSWORD 'r'");
        db->execute("GRANT USAGE ON SCHEMA public TO tw_reader");
        db->execute("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tw_reader");
        Database reader("reader");
        QVERIFY(reader.open("postgresql://tw_reader:r@" + qEnvironmentVariable("PGHOST", "localhost") + ":" +
                            qEnvironmentVariable("PGPORT", "5432") + "/" +
                            qEnvironmentVariable("PGDATABASE", "postgres")));
        QVERIFY_THROWS_EXCEPTION(TwError, DatabaseFiles::restoreServer(reader, made));
        QCOMPARE(db->scalar(QString("SELECT count(*) FROM `%1`").arg(id)).toInt(), 49);
        reader.close();
        db->execute("DROP OWNED BY tw_reader");
        db->execute("DROP ROLE tw_reader");
    }

    // The server takes a backup of an earlier release once it is brought up to this
    // release's layout (in a copy: the backup file stays as it was), and refuses one of a
    // newer release, naming what it does not know, before it changes anything.
    void restoreUpgradesAnOlderBackupAndRefusesANewerOne()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {id});
        const QString folder = Paths::dataFolder() + "/HALYXbackup";
        QDir().mkpath(folder);
        const QString older = folder + "/HALYXbackup2011-03-05.mdb";
        QVERIFY(QFile::copy(QStringLiteral(TARNWELL_FIXTURES "/release-1.0.mdb"), older));
        QFile::setPermissions(older, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray olderHash = TestEnv::fileHash(older);
        Database fixture("fixture");
        QVERIFY(fixture.open(older));
        const QStringList sensors = [&] {
            QStringList out;
            QSqlQuery q(fixture.handle());
            q.exec("SELECT InstrumentID FROM Sensors ORDER BY InstrumentID");
            while (q.next()) out << q.value(0).toString();
            return out;
        }();
        fixture.close();
        QVERIFY(!sensors.isEmpty());

        DatabaseFiles::restoreServer(*db, older);
        QCOMPARE(TestEnv::fileHash(older), olderHash);
        QVERIFY(Migrations::status(*db).upToDate());
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), int(sensors.size()));
        QVERIFY(db->tableExists(sensors.first()));

        const QString newer = DatabaseFiles::backupServer(*db, folder, QDate(2026, 12, 7));
        {
            Database file("newer");
            QVERIFY(file.open(newer));
            file.execute(
                "INSERT INTO SchemaMigrations (MigrationID, AppliedAt) VALUES ('2099-01-from-the-future', "
                "'2099-01-01')");
        }
        TestData::addSensor(*db, {"250475002"});
        try {
            DatabaseFiles::restoreServer(*db, newer);
            QFAIL("a backup of a newer release was restored");
        } catch (const TwError& e) {
            QVERIFY2(e.description.contains("newer version of Tarnwell") &&
                         e.description.contains("2099-01-from-the-future"),
                     qPrintable(e.description));
        }
        QVERIFY(db->tableExists("250475002"));
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), int(sensors.size()) + 1);
    }
};

QTEST_GUILESS_MAIN(TestServerBackup)
#include "tst_serverbackup.moc"
