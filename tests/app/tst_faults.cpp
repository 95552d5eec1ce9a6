// The program under faults of its database file and surroundings, grouped by fault: each
// case proves that nothing was lost (rows and the file's hash before and after) and that
// the user was told, in plain words. Faults that depend on file permissions run as an
// unprivileged user (the administrator may write read-only files); faults that cannot be
// made for real (a full or failing disk) are injected below the engine (FaultyDisk).
#include "support/FaultyDisk.h"
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "maintenance/UtilitiesController.h"
#include "readings/ReadingsController.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"
#include "core/Paths.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <optional>

namespace {

const QString Sensor = QStringLiteral("250475001");  // type 75: six gauges and a temperature
const QString Second = QStringLiteral("250475002");

QString dbPath() { return Paths::databasePath(); }
QByteArray dbHash() { return TestEnv::fileHash(dbPath()); }

QByteArray readLog()
{
    QFile f(Paths::logFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void addData()
{
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {Sensor});
    TestData::addSensor(*db, {Second});
    TestData::addManyReadings(*db, Sensor, 3, QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
    db->execute(QStringLiteral("UPDATE `%1` SET Plottemporal = 1, PlotSpatial = 1").arg(Sensor));  // charts can draw
}

// Another program's connection to the database.
struct Other {
    Database db{QStringLiteral("other-program")};
    Other() { QVERIFY(db.open(dbPath())); }
    void holdPendingWrite()
    {
        db.execute(QStringLiteral("BEGIN IMMEDIATE"));
        db.execute(QStringLiteral("INSERT INTO Prefs (MineID) VALUES ('other')"));
    }
    void commit() { db.execute(QStringLiteral("COMMIT")); }
};

template <class T>
T* child(MainWindow& w, const QString& name)
{
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no control %s", qPrintable(name));
    return c;
}
void click(MainWindow& w, const QString& name) { child<QToolButton>(w, name)->click(); }

// The window on the Readings tab of the first sensor, its last reading shown.
void toReadings(MainWindow& w) { w.selectTab(MainWindow::TabReadings); }

QString channel1(const QString& position)
{
    auto db = TestData::openDatabase(QStringLiteral("look"));
    return db
        ->scalar(QStringLiteral("SELECT Channel1 FROM `%1` ORDER BY FullDate LIMIT 1 OFFSET %2").arg(Sensor, position))
        .toString();
}

// Writes garbage over one page of the sensor's data table, as a failing disk would.
void damageDataTable()
{
    qint64 page = 0, root = 0;
    {
        auto db = TestData::openDatabase(QStringLiteral("damage"));
        page = db->scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
        root = db->scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = ?"), {Sensor}).toLongLong();
    }
    QFile f(dbPath());
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek((root - 1) * page));
    f.write(QByteArray(int(page), '\x5a'));
}

}  // namespace

class TestFaults : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { FaultyDisk::install(); }
    void init()
    {
        TestData::installFresh();
        MainWindow::setDatabaseChooser({});
    }
    void cleanup() { FaultyDisk::disarm(); }

    // ---- Another connection holds a write --------------------------------------------------

    // At shutdown: the compaction stands aside (logged, not told), the database is not
    // touched, and the other program's write commits afterwards.
    void pendingWriteOfAnotherProgramAcrossShutdown()
    {
        ScriptedMessages m;
        Other other;
        QByteArray before;
        {
            MainWindow w;
            w.show();
            m.script.shown.clear();
            other.holdPendingWrite();
            before = dbHash();
            QVERIFY(w.close());
        }
        QVERIFY(m.script.shown.empty());
        QVERIFY(
            readLog().contains("The database was not compacted: another connection is using the database G_CompactDB"));
        QCOMPARE(dbHash(), before);
        other.commit();
        QCOMPARE(other.db.scalar("SELECT count(*) FROM Prefs WHERE MineID = 'other'").toInt(), 1);
        QVERIFY(!QFile::exists(dbPath() + "-journal"));
    }

    // A save that waits for another program's lock gives up within about a second and
    // asks: kept, the typed value stays on screen and the move stops; once the lock is
    // gone, the same action saves it. Discarded, the move goes on and the row is as it was.
    void saveBlockedByAnotherProgram()
    {
        addData();
        ScriptedMessages m;
        MainWindow w;
        w.show();
        toReadings(w);
        auto* box = child<QLineEdit>(w, "txtChannel(1)");
        const QString position = child<QLineEdit>(w, "txtRcount")->text();
        QCOMPARE(position, QString("3 of 3"));
        click(w, "imgFirst");
        const QString stored0 = channel1("0");
        box->setText("12.3");
        m.script.shown.clear();
        Other other;
        other.holdPendingWrite();
        m.script.choices = {0};  // keep it on screen
        click(w, "imgNextData");
        QCOMPARE(m.script.shown.size(), size_t(1));
        QCOMPARE(m.script.shown[0].text,
                 QString("The reading on screen could not be saved: another program is using the database and has "
                         "locked it.\r\n\r\nTry again once the other program has finished with the database.\r\n\r\n"
                         "Keep what you typed on screen, to save it later, or discard it?"));
        QCOMPARE(m.script.shown[0].choices, (QStringList{"Keep it on screen", "Discard it"}));
        QCOMPARE(child<QLineEdit>(w, "txtRcount")->text(), QString("1 of 3"));
        QCOMPARE(box->text(), QString("12.3"));
        // Closing now keeps the window open with the value.
        m.script.choices = {0};
        QVERIFY(!w.close());
        QCOMPARE(box->text(), QString("12.3"));
        other.commit();
        QCOMPARE(channel1("0"), stored0);  // the stored value, untouched so far
        click(w, "imgNextData");
        QCOMPARE(child<QLineEdit>(w, "txtRcount")->text(), QString("2 of 3"));
        QCOMPARE(channel1("0"), QString("12.30"));

        // Discarded: the move goes on, the row keeps its value.
        box->setText("99");
        other.holdPendingWrite();
        m.script.shown.clear();
        m.script.choices = {1};
        const QString stored = channel1("1");
        click(w, "imgNextData");
        QCOMPARE(m.script.shown.size(), size_t(1));
        QCOMPARE(child<QLineEdit>(w, "txtRcount")->text(), QString("3 of 3"));
        other.commit();
        QCOMPARE(channel1("1"), stored);
    }

    // ---- The database is locked or cannot be written at start-up -------------------------------

    void lockedAtStartUp_data()
    {
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("not even readable") << true;
        QTest::newRow("a write pending") << false;
    }
    void lockedAtStartUp()
    {
        QFETCH(bool, exclusive);
        addData();
        Other other;
        if (exclusive) {
            other.db.execute(QStringLiteral("BEGIN EXCLUSIVE"));
            other.db.execute(QStringLiteral("UPDATE Prefs SET MineID = 'X'"));
        } else {
            other.holdPendingWrite();
        }
        const QByteArray before = dbHash();
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QCOMPARE(w.connectFailed(), exclusive);
            if (exclusive) {
                QCOMPARE(
                    m.script.texts(),
                    QStringList{"ERROR: could not connect to database\r\n\r\nAnother program is using the database "
                                "and has locked it (database is locked).\r\nTarnwell looked for it here:\r\n" +
                                dbPath() + "\r\n\r\nProgram must exit"});
            } else {
                QVERIFY(w.viewOnly());
                QCOMPARE(m.script.texts().first(),
                         "Tarnwell can show this database but cannot save to it: another program is using it and has "
                         "locked it.\r\n\r\n" +
                             dbPath() +
                             "\r\n\r\nYou can look at sensors, readings and charts (as last calculated). Nothing you "
                             "change can be saved until that program lets it go; every save tries again.");
                // What still works: the sensors are listed and shown.
                QCOMPARE(w.shared().currentSensorId(), Sensor);
            }
        }
        // Nothing was written: not by a save, nor by the compaction at shutdown.
        QCOMPARE(dbHash(), before);
        other.db.execute(QStringLiteral("ROLLBACK"));
        auto check = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(check->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Sensor)).toInt(), 3);
    }

    // A read-only database file: told once at start-up, every save that fails is told,
    // the typed values stay on screen when the user keeps them, and nothing is written -
    // not even by the compaction at shutdown.
    void readOnlyFileIsViewOnly()
    {
        TARNWELL_AS_UNPRIVILEGED_USER();
        addData();
        QVERIFY(QFile::setPermissions(dbPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = dbHash();
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(w.viewOnly());
            QCOMPARE(
                m.script.texts().first(),
                "Tarnwell can show this database but cannot save to it: the file is read-only.\r\n\r\n" + dbPath() +
                    "\r\n\r\nYou can look at sensors, readings and charts (as last calculated). Nothing you change "
                    "can be saved until the file and its folder can be written and Tarnwell is started again.");
            m.script.shown.clear();
            child<QLineEdit>(w, "txtLevel")->setText("changed");
            m.script.choices = {0};
            click(w, "imgNext");
            QCOMPARE(m.script.shown.size(), size_t(1));
            QVERIFY(m.script.shown[0].text.startsWith(
                "The sensor's details could not be saved: the database file or its folder is read-only.\r\n\r\n"
                "Make the file and its folder writable, then start Tarnwell again."));
            QCOMPARE(w.shared().currentSensorId(), Sensor);
            QCOMPARE(child<QLineEdit>(w, "txtLevel")->text(), QString("changed"));
            m.script.choices = {1};
            click(w, "imgNext");
            QCOMPARE(w.shared().currentSensorId(), Second);
            // Looking around asks nothing more: leaving a sensor unchanged writes nothing,
            // and the charts (whose values cannot be stored, as start-up said) are drawn
            // from what is stored.
            m.script.shown.clear();
            click(w, "imgPrevious");
            w.selectTab(MainWindow::TabInstallation);
            w.selectTab(MainWindow::TabReadings);
            w.selectTab(MainWindow::TabLoadVTime);
            QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabLoadVTime));
            w.selectTab(MainWindow::TabDispVTime);
            w.selectTab(MainWindow::TabIdentification);
            QCOMPARE(m.script.texts(), QStringList());
        }
        QCOMPARE(dbHash(), before);
        QCOMPARE(QFile::permissions(dbPath()) & QFile::WriteOwner, QFile::Permissions());
    }

    // A read-only data folder: the journal every save needs cannot be made there.
    void readOnlyFolderIsViewOnly()
    {
        TARNWELL_AS_UNPRIVILEGED_USER();
        addData();
        const QString folder = Paths::dataFolder();
        const auto writable = QFile::permissions(folder);
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray before = dbHash();
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(w.viewOnly());
            QVERIFY(m.script.texts().first().startsWith(
                "Tarnwell can show this database but cannot save to it: its folder is read-only, and every save keeps "
                "a journal file there while it is written."));
            m.script.shown.clear();
            w.selectTab(MainWindow::TabReadings);
            QCOMPARE(m.script.texts(), QStringList());  // nothing changed: nothing to save
            child<QLineEdit>(w, "txtChannel(1)")->setText("7.5");
            m.script.choices = {0};
            w.selectTab(MainWindow::TabLoadVTime);  // the tab change saves the reading first
            QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabReadings));  // kept: back on its tab
            QCOMPARE(child<QLineEdit>(w, "txtChannel(1)")->text(), QString("7.5"));
            QVERIFY(
                m.script.texts().first().startsWith("The reading on screen could not be saved: the database file "
                                                    "or its folder is read-only."));
            m.script.choices = {1};
        }
        QFile::setPermissions(folder, writable);
        QCOMPARE(dbHash(), before);
        QVERIFY(!QFile::exists(dbPath() + "-journal"));
    }

    // A save cut short leaves its journal beside the file, to be played back into it. In a
    // folder that cannot be written that cannot happen: it is said as such, never as a
    // disk I/O error, and once the folder is writable the next start recovers the file.
    void interruptedSaveInAReadOnlyFolderIsToldAsSuch()
    {
        TARNWELL_AS_UNPRIVILEGED_USER();
        addData();
        {
            auto db = TestData::openDatabase();
            TestData::addManyReadings(*db, Second, 3000, QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
        }
        const QByteArray committed = dbHash();
        // The file and its journal as a crash half-way through a large save leaves them.
        {
            Database live(QStringLiteral("crashing"));
            QVERIFY(live.open(dbPath()));
            live.execute(QStringLiteral("PRAGMA cache_size = 5"));  // the save spills into the file early
            Transaction tx(live);
            live.execute(QStringLiteral("UPDATE `%1` SET Channel1 = '99.99'").arg(Second));
            QVERIFY(QFile::copy(dbPath(), dbPath() + ".crashed"));
            QVERIFY(QFile::copy(dbPath() + "-journal", dbPath() + ".crashed-journal"));
        }
        QCOMPARE(dbHash(), committed);
        QVERIFY(QFile::remove(dbPath()));
        QVERIFY(QFile::rename(dbPath() + ".crashed", dbPath()));
        QVERIFY(QFile::rename(dbPath() + ".crashed-journal", dbPath() + "-journal"));
        QVERIFY(dbHash() != committed);

        const QString folder = Paths::dataFolder();
        const auto writable = QFile::permissions(folder);
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            QVERIFY(w.connectFailed());
            QCOMPARE(m.script.shown.size(), size_t(1));
            const QString text = m.script.texts().first();
            QVERIFY2(text.contains("The database file needs recovery, but its folder is read-only (a save was "
                                   "interrupted, and its journal TarnwellHALYX.mdb-journal must be played back"),
                     qPrintable(text));
            QVERIFY(!text.contains("I/O"));
        }
        QFile::setPermissions(folder, writable);
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            QVERIFY(w.shared().db.isOpen());
        }
        QVERIFY(!QFile::exists(dbPath() + "-journal"));
        auto db = TestData::openDatabase(QStringLiteral("after"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE Channel1 = '99.99'").arg(Second)).toInt(),
                 0);
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Second)).toInt(), 3000);
    }

    // The "could not connect" message says why: the file may not be read, or its folder
    // not looked into.
    void unreadableDatabaseSaysWhy()
    {
        TARNWELL_AS_UNPRIVILEGED_USER();
        const QString folder = Paths::dataFolder();
        for (bool wholeFolder : {false, true}) {
            const QString target = wholeFolder ? folder : dbPath();
            const auto was = QFile::permissions(target);
            QVERIFY(QFile::setPermissions(target,
                                          wholeFolder ? QFile::ReadOwner | QFile::WriteOwner : QFile::Permissions()));
            ScriptedMessages m;
            {
                MainWindow w;
                w.show();
                QVERIFY(w.connectFailed());
            }
            QFile::setPermissions(target, was);
            QCOMPARE(m.script.shown.size(), size_t(1));
            QVERIFY2(
                m.script.texts()[0].startsWith("ERROR: could not connect to database\r\n\r\nTarnwell is not allowed "
                                               "to read the database file"),
                qPrintable(m.script.texts()[0]));
            QVERIFY(m.script.texts()[0].contains("Tarnwell looked for it here:\r\n" + dbPath()));
        }
        QVERIFY(QFile::exists(dbPath()));
    }

    // ---- A damaged database ---------------------------------------------------------------------

    // Found by the structural check soon after the window shows; Backup then refuses to
    // copy it over a good backup; it is not compacted at shutdown. Nothing is changed.
    void damagedPageIsFoundInTheBackground()
    {
        addData();
        {
            auto db = TestData::openDatabase(QStringLiteral("fill"));
            TestData::addManyReadings(*db, Second, 2000, QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
        }
        ScriptedMessages m;
        const QDate day(2011, 3, 5);
        QString earlier;
        {
            MainWindow w;
            w.show();
            w.utilities()->backupDay = day;
            w.utilities()->GBackupDB(Paths::dataFolder() + '/', "TarnwellHALYX.mdb");
            earlier = Paths::backupFolder() + "/HALYXbackup2011-03-05.mdb";
            QVERIFY(QFile::exists(earlier));
        }
        const QByteArray earlierHash = TestEnv::fileHash(earlier);
        damageDataTable();
        const QByteArray damagedHash = dbHash();
        m.script.shown.clear();
        {
            MainWindow w;
            w.show();
            QVERIFY(!w.connectFailed());
            QTRY_VERIFY_WITH_TIMEOUT(
                !m.script.texts().filter("is damaged. The check of its structure found:").isEmpty(), 10000);
            const QString told = m.script.texts().filter("is damaged").first();
            QVERIFY(
                told.startsWith("The database TarnwellHALYX.mdb is damaged. The check of its structure found:\r\n"));
            QVERIFY(told.contains("\"9. Utilities\""));
            QVERIFY(told.contains("\"Restore from Backup\""));
            QVERIFY(readLog().contains("found damage"));
            m.script.shown.clear();
            w.utilities()->GBackupDB(Paths::dataFolder() + '/', "TarnwellHALYX.mdb");
            QCOMPARE(m.script.texts(),
                     QStringList{"Error encountered during backup process of TarnwellHALYX.mdb\r\n\r\nThe database is "
                                 "damaged, so no backup was made: a damaged copy must not replace a good backup. The "
                                 "backups already in HALYXbackup were kept; restore the database from one of them."});
        }
        QCOMPARE(TestEnv::fileHash(earlier), earlierHash);
        QCOMPARE(dbHash(), damagedHash);
        QVERIFY(readLog().contains("The database was not compacted: it is damaged G_CompactDB"));
    }

    // The structural check reads the whole file, holding it shared; a save that comes
    // meanwhile makes it step aside instead of waiting behind it, and the check starts
    // again later and reports.
    void structureCheckStepsAsideForASave()
    {
        addData();
        {
            auto db = TestData::openDatabase(QStringLiteral("fill"));
            TestData::addManyReadings(*db, Second, 8000, QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
        }
        Database db(QStringLiteral("program"));
        QVERIFY(db.open(dbPath()));
        std::optional<StructureCheck::Outcome> outcome;
        {
            FaultyDisk::Armed slow({QStringLiteral("TarnwellHALYX.mdb"), 0, FaultyDisk::Failure::Slow});
            db.startStructureCheck([&](const StructureCheck::Outcome& o) { outcome = o; });
            QTest::qWait(150);
            QVERIFY(db.structureCheckRunning());
            // Waiting behind the check would end in "database is locked" (thrown).
            db.execute(QStringLiteral("UPDATE Prefs SET MineID = 'K7-'"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 15000);
        QVERIFY(!outcome->damaged);
        QCOMPARE(db.scalar("SELECT MineID FROM Prefs").toString(), QString("K7-"));
    }

    // A restore from a damaged backup is refused with that reason; the database is not
    // changed.
    void restoreFromADamagedBackupIsRefused()
    {
        addData();
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.utilities()->backupDay = QDate(2011, 3, 5);
        w.utilities()->GBackupDB(Paths::dataFolder() + '/', "TarnwellHALYX.mdb");
        const QString backup = Paths::backupFolder() + "/HALYXbackup2011-03-05.mdb";
        {
            QFile f(backup);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(4096));
            f.write(QByteArray(4096, '\x5a'));
        }
        w.shared().db.close();
        const QByteArray before = dbHash();
        m.script.shown.clear();
        QVERIFY(
            !w.utilities()->GRestoreDB(Paths::dataFolder() + '/', "TarnwellHALYX.mdb", "HALYXbackup2011-03-05.mdb"));
        QCOMPARE(m.script.texts(), QStringList{"Error encountered during restore process\r\n\r\nThe backup "
                                               "HALYXbackup2011-03-05.mdb is damaged or cannot be read.\r\n"
                                               "The database was not changed."});
        QCOMPARE(dbHash(), before);
        w.utilities()->reopenDatabase();
        QCOMPARE(w.shared().rsSensors->recordCount(), 2);
    }

    // ---- The single-copy lock --------------------------------------------------------------------

    // A lock file that cannot be made is its own message, and the program starts; a lock
    // left by a copy that no longer runs does not turn this one away.
    void lockFileProblemsDoNotTurnAway()
    {
        addData();
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        QDir(cache).removeRecursively();
        {
            QFile blocker(cache);  // a file where the folder should be
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(!w.startupRefused());
            QCOMPARE(m.script.shown.size(), size_t(1));
            QVERIFY(m.script.texts()[0].startsWith("Tarnwell could not make its lock file\r\n" +
                                                   MainWindow::instanceLockPath() + "\r\n("));
            QVERIFY(m.script.texts()[0].endsWith("it starts anyway, so make sure it is not already running."));
            QCOMPARE(w.shared().currentSensorId(), Sensor);
        }
        QFile::remove(cache);
        QDir().mkpath(cache);
        // A lock of a process that is gone (the program was killed).
        {
            QFile stale(MainWindow::instanceLockPath());
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("999999\ntst_faults\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }
        m.script.shown.clear();
        {
            MainWindow w;
            w.show();
            QVERIFY(!w.turnedAway());
            QVERIFY(m.script.shown.empty());
        }
    }

    // ---- An account with no database yet (a packaged install started from the menu) ------------

    void accountWithoutDatabase_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("sensors");
        QTest::newRow("create an empty database") << 0 << 0;
        QTest::newRow("with demonstration data") << 1 << 3;
        QTest::newRow("quit") << 3 << -1;
    }
    void accountWithoutDatabase()
    {
        QFETCH(int, choice);
        QFETCH(int, sensors);
        QDir(Paths::makerFolder()).removeRecursively();
        ScriptedMessages m;
        m.script.choices = {choice};
        {
            MainWindow w;
            w.show();
            QCOMPARE(
                m.script.shown[0].text.left(62),
                QString("Tarnwell found no database for this account. It looked for\r\n%1").arg(dbPath()).left(62));
            QVERIFY(m.script.shown[0].text.contains("(that folder does not exist yet)"));
            QCOMPARE(m.script.shown[0].choices,
                     (QStringList{"Create an empty database", "Create it with demonstration data",
                                  "Use a copy of a database file...", "Quit"}));
            QCOMPARE(w.connectFailed(), sensors < 0);
            if (sensors >= 0) QCOMPARE(w.shared().rsSensors->recordCount(), sensors);
        }
        if (sensors < 0) {
            // Nothing is made without the user's word.
            QVERIFY(!QFileInfo::exists(Paths::makerFolder()));
            QCOMPARE(m.script.shown.size(), size_t(1));
            return;
        }
        QVERIFY(QFile::exists(Paths::dataFolder() + "/TarnwellManual.pdf"));
        auto db = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(db->scalar("SELECT count(*) FROM Configuration").toInt(), 6);
        if (sensors == 0)
            QVERIFY(
                m.script.texts().contains("There are no sensors in the database, \r\nclick the ADD NEW button to "
                                          "begin using Tarnwell"));
    }

    // A copy of a database file the user picks; a file that is no database of ours is
    // refused with the reason, and the choice is offered again.
    void accountWithoutDatabaseTakesACopy()
    {
        addData();
        QTemporaryDir elsewhere;
        const QString good = elsewhere.filePath("site.mdb");
        const QString foreign = elsewhere.filePath("notes.mdb");
        QVERIFY(QFile::copy(dbPath(), good));
        {
            QFile f(foreign);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("minutes of the meeting");
        }
        const QByteArray goodHash = TestEnv::fileHash(good);
        QDir(Paths::dataFolder()).removeRecursively();
        QStringList picks{foreign, good};
        MainWindow::setDatabaseChooser([&](QWidget*) { return picks.takeFirst(); });
        ScriptedMessages m;
        m.script.choices = {2, 2};
        {
            MainWindow w;
            w.show();
            QVERIFY(!w.connectFailed());
            QCOMPARE(w.shared().currentSensorId(), Sensor);
        }
        QVERIFY(
            m.script.texts()[1].startsWith("Tarnwell could not set up the database; nothing was changed:\r\n\r\n"
                                           "Cannot use " +
                                           foreign +
                                           " as the database: notes.mdb is not a Tarnwell "
                                           "database"));
        QCOMPARE(TestEnv::fileHash(good), goodHash);  // the file picked is left as it was
        auto db = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Sensor)).toInt(), 3);
    }

    // ---- The disk fails while saving (injected) ---------------------------------------------------

    // A full disk while a reading is saved on leaving the tab: kept, the window goes back to
    // the Readings tab with the value; the database file is unchanged; freed, it saves.
    void diskFullWhileSaving()
    {
        addData();
        ScriptedMessages m;
        MainWindow w;
        w.show();
        toReadings(w);
        auto* box = child<QLineEdit>(w, "txtChannel(2)");
        box->setText("42");
        m.script.shown.clear();
        const QByteArray before = dbHash();
        {
            FaultyDisk::Armed full({QStringLiteral("-journal"), 0, FaultyDisk::Failure::DiskFull});
            m.script.choices = {0};
            w.selectTab(MainWindow::TabUtilities);
            QVERIFY(FaultyDisk::refusals() > 0);
        }
        QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabReadings));
        QCOMPARE(box->text(), QString("42"));
        QVERIFY(m.script.texts().first().startsWith("The reading on screen could not be saved: the disk is full."));
        QVERIFY(readLog().contains(" G_SaveReadings"));
        QCOMPARE(dbHash(), before);
        w.selectTab(MainWindow::TabUtilities);
        QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabUtilities));
        auto db = TestData::openDatabase(QStringLiteral("check"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT Channel2 FROM `%1` ORDER BY FullDate DESC LIMIT 1").arg(Sensor))
                     .toString(),
                 QString("42.00"));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
