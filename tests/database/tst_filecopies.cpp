// Backup, restore and compaction files: what each makes, and that a failure at any step
// leaves the database (and an earlier backup) byte for byte as it was.
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "support/FaultyDisk.h"
#include "database/DatabaseFiles.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <optional>
#include <sys/stat.h>

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

    // Compaction helpers.
    QString folder() const { return Paths::dataFolder() + '/'; }
    DatabaseFiles::Compacted compactNow(const Hooks& hooks = {}, QString* why = nullptr)
    {
        return DatabaseFiles::compact(folder(), QStringLiteral("TarnwellHALYX.mdb"), hooks, why);
    }
    static void thinOut()
    {
        auto db = TestData::openDatabase();
        db->execute(QStringLiteral("DELETE FROM `250475001` WHERE rowid > 100"));
    }
    QStringList leftovers() const
    {
        QStringList out;
        for (const QString& f : filesIn(Paths::dataFolder()))
            if (f.startsWith("Copy_") || f.endsWith("-journal")) out << f;
        return out;
    }

private slots:
    void initTestCase() { FaultyDisk::install(); }
    void init() { TestData::installFresh(); }

    void backupNameAndListing()
    {
        QCOMPARE(DatabaseFiles::backupFileName(day), QString("HALYXbackup2011-03-05.mdb"));
        QVERIFY(DatabaseFiles::listBackups(backups()).isEmpty());  // no folder yet
        addData(10);
        const QString made = DatabaseFiles::backupFile(dbPath(), backups(), day);
        QCOMPARE(made, backups() + "/HALYXbackup2011-03-05.mdb");
        QCOMPARE(DatabaseFiles::listBackups(backups()), QStringList{"HALYXbackup2011-03-05.mdb"});
        QCOMPARE(dump(made), dump(dbPath()));
    }

    // A later backup of the same day is a file of its own: the earlier one is kept as it was.
    void backupsOfOneDayAreAllKept()
    {
        addData(10);
        const QString first = DatabaseFiles::backupFile(dbPath(), backups(), day);
        const QStringList firstDump = dump(first);
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {QStringLiteral("250435009")});
        }
        // The second backup is taken from an open connection, as the program does.
        Database db(QStringLiteral("live"));
        QVERIFY(db.open(dbPath()));
        const QString second = DatabaseFiles::backup(db.sqliteHandle(), backups(), day);
        const QString third = DatabaseFiles::backup(db.sqliteHandle(), backups(), day);
        db.close();
        QCOMPARE(second, backups() + "/HALYXbackup2011-03-05_2.mdb");
        QCOMPARE(third, backups() + "/HALYXbackup2011-03-05_3.mdb");
        QCOMPARE(
            DatabaseFiles::listBackups(backups()),
            (QStringList{"HALYXbackup2011-03-05.mdb", "HALYXbackup2011-03-05_2.mdb", "HALYXbackup2011-03-05_3.mdb"}));
        QCOMPARE(dump(first), firstDump);
        QVERIFY(!firstDump.join('\n').contains("250435009"));
        QCOMPARE(dump(second), dump(dbPath()));
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
        QTest::newRow("backup of a newer release") << QByteArray("newer") << false;
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
        } else if (content == "newer") {
            QVERIFY(QFile::copy(DatabaseFiles::backupFile(dbPath(), backups(), day), bad));
            Database newer(QStringLiteral("newer"));
            QVERIFY(newer.open(bad));
            newer.execute(QStringLiteral(
                "INSERT INTO SchemaMigrations (MigrationID, AppliedAt) VALUES ('2099-01-x', '2099-01-01')"));
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

    // ---- Compaction: in place, never losing a write, leaving the file's identity -----------

    void compactionShrinksInPlaceKeepingIdentityAndRows()
    {
        addData(5000);
        thinOut();
        QFile::setPermissions(dbPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        // A leftover of an older kind of compaction goes too.
        QFile(folder() + "Copy_TarnwellHALYX.mdb").open(QIODevice::WriteOnly);
        const QStringList before = dump(dbPath());
        struct stat st0 {};
        QCOMPARE(::stat(QFile::encodeName(dbPath()).constData(), &st0), 0);
        QCOMPARE(compactNow(), DatabaseFiles::Compacted::Done);
        struct stat st1 {};
        QCOMPARE(::stat(QFile::encodeName(dbPath()).constData(), &st1), 0);
        QVERIFY2(st1.st_size < st0.st_size / 2, "the file did not shrink");
        QCOMPARE(st1.st_ino, st0.st_ino);    // the same file, rewritten where it is
        QCOMPARE(st1.st_mode, st0.st_mode);  // its permissions kept
        QCOMPARE(st1.st_uid, st0.st_uid);
        QCOMPARE(dump(dbPath()), before);
        QCOMPARE(leftovers(), QStringList());
    }

    // A connection that stays open across the compaction (another program, or a copy of
    // this one) keeps writing into the same file: nothing it writes before or after is lost.
    void writesOfAnOpenConnectionSurviveCompaction()
    {
        addData(3000);
        thinOut();
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(dbPath()));
        TestData::addSensor(other, {QStringLiteral("250435010")});  // committed before
        QCOMPARE(compactNow(), DatabaseFiles::Compacted::Done);
        TestData::addSensor(other, {QStringLiteral("250435011")});  // committed after, same connection
        other.close();
        auto check = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(check->scalar("SELECT count(*) FROM Sensors WHERE InstrumentID IN ('250435010', '250435011')").toInt(),
                 2);
        QCOMPARE(check->scalar("SELECT count(*) FROM `250475001`").toInt(), 100);
    }

    // A write another connection holds (not yet committed) makes the compaction stand
    // aside: the file is not touched, and the write commits afterwards.
    void aPendingWriteOfAnotherConnectionSkipsCompaction()
    {
        addData(2000);
        thinOut();
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(dbPath()));
        other.execute(QStringLiteral("BEGIN IMMEDIATE"));
        other.execute(QStringLiteral("INSERT INTO Prefs (MineID) VALUES ('pending')"));
        const QByteArray hash = TestEnv::fileHash(dbPath());
        QString why;
        QCOMPARE(compactNow({}, &why), DatabaseFiles::Compacted::Skipped);
        QCOMPARE(why, QString("another connection is using the database"));
        QCOMPARE(TestEnv::fileHash(dbPath()), hash);
        other.execute(QStringLiteral("COMMIT"));
        other.close();
        auto check = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(check->scalar("SELECT count(*) FROM Prefs WHERE MineID = 'pending'").toInt(), 1);
        QCOMPARE(leftovers(), QStringList());
    }

    // A read-only file or folder is left alone (even by an administrator, who could write
    // it): same bytes, same permissions.
    void readOnlyFileOrFolderIsNotCompacted_data()
    {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("file 444") << false;
        QTest::newRow("folder 555") << true;
    }
    void readOnlyFileOrFolderIsNotCompacted()
    {
        QFETCH(bool, folderReadOnly);
        addData(2000);
        thinOut();
        const QString target = folderReadOnly ? Paths::dataFolder() : dbPath();
        const auto readOnly =
            QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther |
            (folderReadOnly ? QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther : QFile::Permissions());
        const auto writable = QFile::permissions(target);
        QVERIFY(QFile::setPermissions(target, readOnly));
        const QByteArray hash = TestEnv::fileHash(dbPath());
        const auto mode = QFile::permissions(dbPath());
        QString why;
        const auto done = compactNow({}, &why);
        QFile::setPermissions(target, writable);
        QCOMPARE(done, DatabaseFiles::Compacted::Skipped);
        QCOMPARE(why, folderReadOnly ? QString("its folder is read-only") : QString("the file is read-only"));
        QCOMPARE(TestEnv::fileHash(dbPath()), hash);
        const auto bits = [](QFile::Permissions p) {
            return p & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        };
        if (!folderReadOnly) QCOMPARE(bits(mode), bits(readOnly));
    }

    // Whatever fails while the file is rewritten - refused at the start, the disk full
    // while the replaced pages are journalled, the disk failing to write or to sync the
    // database - the file is, once the engine has rolled back its journal, byte for byte
    // what it was, with every row.
    void failedCompactionLeavesDatabaseByteIdentical_data()
    {
        QTest::addColumn<QString>("fileEnding");
        QTest::addColumn<int>("failure");
        QTest::addColumn<qint64>("after");
        QTest::newRow("refused before writing") << QString() << -1 << qint64(0);
        QTest::newRow("disk full while journalling")
            << "-journal" << int(FaultyDisk::Failure::DiskFull) << qint64(64 * 1024);
        QTest::newRow("disk write error on the database")
            << "TarnwellHALYX.mdb" << int(FaultyDisk::Failure::WriteError) << qint64(4096);
        QTest::newRow("sync fails") << "TarnwellHALYX.mdb" << int(FaultyDisk::Failure::SyncError) << qint64(0);
    }
    void failedCompactionLeavesDatabaseByteIdentical()
    {
        QFETCH(QString, fileEnding);
        QFETCH(int, failure);
        QFETCH(qint64, after);
        addData(3000);
        thinOut();
        const QByteArray hash = TestEnv::fileHash(dbPath());
        const QStringList rows = dump(dbPath());
        {
            std::optional<FaultyDisk::Armed> fault;
            Hooks hooks;
            if (failure < 0) hooks = failAt(Step::Write);
            else fault.emplace(FaultyDisk::Fault{fileEnding, after, FaultyDisk::Failure(failure)});
            QVERIFY_THROWS_EXCEPTION(TwError, compactNow(hooks));
            if (failure >= 0) QVERIFY(FaultyDisk::refusals() > 0);
        }
        // The next connection plays back a journal a failed rewrite may have left.
        {
            auto db = TestData::openDatabase(QStringLiteral("recover"));
            db->scalar("SELECT count(*) FROM Sensors");
        }
        QCOMPARE(dump(dbPath()), rows);
        QCOMPARE(TestEnv::fileHash(dbPath()), hash);
        QCOMPARE(leftovers(), QStringList());
    }

    // Cancelled before it starts, the file is as it was. A cancel while it runs stops it
    // when the compacted content is still being built (the file is then as it was), or
    // lets it finish once that is being written into the file (the file is then compacted,
    // with every row); which of the two depends on the moment.
    void cancelledCompactionLosesNothing_data()
    {
        QTest::addColumn<int>("cancelAtCall");
        QTest::newRow("at once") << 1;
        QTest::newRow("while it runs") << 3;
    }
    void cancelledCompactionLosesNothing()
    {
        QFETCH(int, cancelAtCall);
        addData(5000);  // a few hundred pages: a second or so on the slow disk
        const QByteArray hash = TestEnv::fileHash(dbPath());
        const QStringList rows = dump(dbPath());
        Hooks hooks;
        int calls = 0;
        hooks.progress = [&](int) { return ++calls < cancelAtCall; };
        DatabaseFiles::Compacted done;
        {
            FaultyDisk::Armed slow({QString(), 0, FaultyDisk::Failure::Slow});
            done = compactNow(hooks);
        }
        if (cancelAtCall == 1) QCOMPARE(done, DatabaseFiles::Compacted::Cancelled);
        QVERIFY(done != DatabaseFiles::Compacted::Skipped);
        const bool compacted = done == DatabaseFiles::Compacted::Done;
        QVERIFY(calls >= cancelAtCall);
        QCOMPARE(dump(dbPath()), rows);
        if (!compacted) QCOMPARE(TestEnv::fileHash(dbPath()), hash);
        QCOMPARE(leftovers(), QStringList());
    }

    void compactionOfAForeignFileChangesNothing()
    {
        QFile f(dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("not a database at all");
        f.close();
        const QByteArray dbBytes = bytes(dbPath());
        QVERIFY_THROWS_EXCEPTION(TwError, compactNow());
        QCOMPARE(bytes(dbPath()), dbBytes);
    }
};

QTEST_GUILESS_MAIN(TestFileCopies)
#include "tst_filecopies.moc"
