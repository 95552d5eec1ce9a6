// Backup, restore and compaction files: what each makes, and that a failure at any step
// leaves the database (and an earlier backup) byte for byte as it was.
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "maintenance/DatabaseFiles.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using DatabaseFiles::Hooks;
using DatabaseFiles::Step;
Q_DECLARE_METATYPE(Hooks)

namespace {

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every row of every table, in a fixed order, as text: two databases with the same dump
// hold the same data.
QStringList dump(const QString& path)
{
    QStringList out;
    Database db(QStringLiteral("dump"));
    if (!db.open(path)) return {QStringLiteral("<cannot open>")};
    QSqlQuery tables(db.handle());
    tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    QStringList names;
    while (tables.next()) names << tables.value(0).toString();
    for (const QString& t : names) {
        QSqlQuery q(db.handle());
        q.exec(QStringLiteral("SELECT * FROM `%1` ORDER BY rowid").arg(t));
        while (q.next()) {
            QStringList row{t};
            for (int i = 0; i < q.record().count(); ++i) row << q.value(i).toString();
            out << row.join('|');
        }
    }
    return out;
}

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

void addData(int readings = 300)
{
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {QStringLiteral("250475001")});
    TestData::addSensor(*db, {QStringLiteral("250455002")});
    TestData::addManyReadings(*db, QStringLiteral("250475001"), readings, QDateTime(QDate(2011, 1, 1), QTime(8, 0)));
}

Hooks failAt(Step s)
{
    Hooks h;
    h.beforeStep = [s](Step now) { return now != s; };
    return h;
}

Hooks damageCopy()
{
    Hooks h;
    h.afterWrite = [](const QString& path) {
        QFile f(path);
        if (f.open(QIODevice::ReadWrite)) f.resize(f.size() / 2);
    };
    return h;
}

Hooks failAfter(qint64 n)
{
    Hooks h;
    h.failAfterBytes = n;
    return h;
}

void addFailures()
{
    QTest::addColumn<Hooks>("hooks");
    QTest::newRow("cannot write") << failAt(Step::Write);
    QTest::newRow("disk full after 64 KB") << failAfter(64 * 1024);
    QTest::newRow("written copy damaged") << damageCopy();
    QTest::newRow("check refused") << failAt(Step::Check);
    QTest::newRow("rename fails") << failAt(Step::Replace);
}

}  // namespace

class TestFileCopies : public QObject {
    Q_OBJECT
    TestHome home;
    const QDate day{2011, 3, 5};

    QString dbPath() const { return Paths::databasePath(); }
    QString backups() const { return Paths::backupFolder(); }

private slots:
    void init() { TestData::installFresh(); }

    void backupNameAndListing()
    {
        QCOMPARE(DatabaseFiles::backupFileName(day), QString("HALYXbackup2011-03-05.mdb"));
        QVERIFY(DatabaseFiles::listBackups(backups()).isEmpty());   // no folder yet
        addData(10);
        const QString made = DatabaseFiles::backupFile(dbPath(), backups(), day);
        QCOMPARE(made, backups() + "/HALYXbackup2011-03-05.mdb");
        QCOMPARE(DatabaseFiles::listBackups(backups()), QStringList{"HALYXbackup2011-03-05.mdb"});
        QCOMPARE(dump(made), dump(dbPath()));
    }

    void twoBackupsInADayLeaveOneFileTheLater()
    {
        addData(10);
        DatabaseFiles::backupFile(dbPath(), backups(), day);
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        // The second backup is taken from an open connection, as the program does.
        Database db(QStringLiteral("live"));
        QVERIFY(db.open(dbPath()));
        DatabaseFiles::backup(db.sqliteHandle(), backups(), day);
        db.close();
        QCOMPARE(filesIn(backups()), QStringList{"HALYXbackup2011-03-05.mdb"});
        QCOMPARE(dump(backups() + "/HALYXbackup2011-03-05.mdb"), dump(dbPath()));
        QVERIFY(dump(dbPath()).join('\n').contains("250435009"));
    }

    void failedBackupKeepsEarlierBackupAndDatabase_data() { addFailures(); }
    void failedBackupKeepsEarlierBackupAndDatabase()
    {
        QFETCH(Hooks, hooks);
        addData(2000);
        const QString earlier = DatabaseFiles::backupFile(dbPath(), backups(), day);
        const QByteArray earlierBytes = bytes(earlier);
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        const QByteArray dbBytes = bytes(dbPath());
        QVERIFY_THROWS_EXCEPTION(TwError, DatabaseFiles::backupFile(dbPath(), backups(), day, hooks));
        QCOMPARE(bytes(earlier), earlierBytes);
        QCOMPARE(bytes(dbPath()), dbBytes);
        QCOMPARE(filesIn(backups()), QStringList{"HALYXbackup2011-03-05.mdb"});
    }

    void cancelledBackupMakesNothing()
    {
        addData(2000);
        Hooks h;
        h.progress = [](int) { return false; };
        QCOMPARE(DatabaseFiles::backupFile(dbPath(), backups(), day, h), QString());
        QVERIFY(filesIn(backups()).isEmpty());
    }

    void restoreRoundTripLosesNothing()
    {
        addData(1500);
        const QStringList original = dump(dbPath());
        const QString backup = DatabaseFiles::backupFile(dbPath(), backups(), day);
        {
            auto db = TestData::openDatabase();
            db->execute(QStringLiteral("DELETE FROM `250475001` WHERE rowid % 3 = 0"));
            db->execute(QStringLiteral("DELETE FROM Sensors WHERE InstrumentID = '250455002'"));
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        QVERIFY(dump(dbPath()) != original);
        QVERIFY(DatabaseFiles::restore(backup, dbPath()));
        QCOMPARE(dump(dbPath()), original);
        QCOMPARE(filesIn(Paths::dataFolder()).filter(".restoring"), QStringList());
    }

    void failedRestoreLeavesDatabaseByteIdentical_data() { addFailures(); }
    void failedRestoreLeavesDatabaseByteIdentical()
    {
        QFETCH(Hooks, hooks);
        addData(2000);
        const QString backup = DatabaseFiles::backupFile(dbPath(), backups(), day);
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        const QByteArray dbBytes = bytes(dbPath());
        QVERIFY_THROWS_EXCEPTION(TwError, DatabaseFiles::restore(backup, dbPath(), hooks));
        QCOMPARE(bytes(dbPath()), dbBytes);
        QVERIFY(!QFile::exists(dbPath() + ".restoring"));
    }

    void restoreRefusesWhatIsNotOurDatabase_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("foreignDatabase");
        QTest::newRow("text file") << QByteArray("Date,Time,Ch1\r\n2011/03/05,10:00,12.5\r\n") << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("another program's database") << QByteArray() << true;
        QTest::newRow("truncated backup") << QByteArray("truncate") << false;
    }
    void restoreRefusesWhatIsNotOurDatabase()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, foreignDatabase);
        addData(2000);
        QDir().mkpath(backups());
        const QString bad = backups() + "/HALYXbackup2011-03-04.mdb";
        if (foreignDatabase) {
            Database other(QStringLiteral("other"));
            QVERIFY(other.create(bad));
            other.execute(QStringLiteral("CREATE TABLE Invoices (Number TEXT, Amount REAL)"));
            other.close();
        } else if (content == "truncate") {
            const QString good = DatabaseFiles::backupFile(dbPath(), backups(), day);
            QByteArray b = bytes(good);
            b.truncate(b.size() / 3);
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(b);
        } else {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray dbBytes = bytes(dbPath());
        try {
            DatabaseFiles::restore(bad, dbPath());
            QFAIL("the restore was not refused");
        } catch (const TwError& e) {
            QVERIFY(e.description.contains("HALYXbackup2011-03-04.mdb"));
        }
        QCOMPARE(bytes(dbPath()), dbBytes);
    }

    void cancelledRestoreChangesNothing()
    {
        addData(2000);
        const QString backup = DatabaseFiles::backupFile(dbPath(), backups(), day);
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        const QByteArray dbBytes = bytes(dbPath());
        Hooks h;
        h.progress = [](int) { return false; };
        QVERIFY(!DatabaseFiles::restore(backup, dbPath(), h));
        QCOMPARE(bytes(dbPath()), dbBytes);
    }

    void compactionShrinksAndKeepsEveryRow()
    {
        addData(5000);
        {
            auto db = TestData::openDatabase();
            db->execute(QStringLiteral("DELETE FROM `250475001` WHERE rowid > 100"));
        }
        const QStringList before = dump(dbPath());
        const qint64 sizeBefore = QFileInfo(dbPath()).size();
        DatabaseFiles::compact(Paths::dataFolder() + '/', QStringLiteral("TarnwellHALYX.mdb"));
        QVERIFY2(QFileInfo(dbPath()).size() < sizeBefore / 2, "the file did not shrink");
        QCOMPARE(dump(dbPath()), before);
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/Copy_TarnwellHALYX.mdb"));
    }

    void failedCompactionLeavesDatabaseByteIdentical_data() { addFailures(); }
    void failedCompactionLeavesDatabaseByteIdentical()
    {
        QFETCH(Hooks, hooks);
        addData(3000);
        {
            auto db = TestData::openDatabase();
            db->execute(QStringLiteral("DELETE FROM `250475001` WHERE rowid > 100"));
        }
        const QByteArray dbBytes = bytes(dbPath());
        QVERIFY_THROWS_EXCEPTION(TwError, DatabaseFiles::compact(Paths::dataFolder() + '/',
                                                                 QStringLiteral("TarnwellHALYX.mdb"), hooks));
        QCOMPARE(bytes(dbPath()), dbBytes);
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/Copy_TarnwellHALYX.mdb"));
    }

    void cancelledCompactionLeavesDatabaseByteIdentical()
    {
        addData(5000);
        const QByteArray dbBytes = bytes(dbPath());
        Hooks hooks;
        int calls = 0;
        hooks.progress = [&](int) {
            ++calls;
            return false;   // the user cancels at the first sight of the progress window
        };
        QVERIFY(!DatabaseFiles::compact(Paths::dataFolder() + '/', QStringLiteral("TarnwellHALYX.mdb"), hooks));
        QVERIFY(calls >= 1);
        QCOMPARE(bytes(dbPath()), dbBytes);
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/Copy_TarnwellHALYX.mdb"));
    }

    void compactionOfADamagedDatabaseChangesNothing()
    {
        QFile f(dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("not a database at all");
        f.close();
        const QByteArray dbBytes = bytes(dbPath());
        QVERIFY_THROWS_EXCEPTION(TwError, DatabaseFiles::compact(Paths::dataFolder() + '/',
                                                                 QStringLiteral("TarnwellHALYX.mdb")));
        QCOMPARE(bytes(dbPath()), dbBytes);
    }
};

QTEST_GUILESS_MAIN(TestFileCopies)
#include "tst_filecopies.moc"
