// Start-up of the main window, the single-copy rule, preferences and the error log.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "core/Paths.h"
#include "data/Preferences.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

class TestStartup : public QObject {
    Q_OBJECT
    TestHome home;

    QByteArray readLog()
    {
        QFile f(Paths::logFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() { TestData::installFresh(); }
    void cleanup()
    {
        for (int n = 1; n <= ErrorLog::KeptOlderFiles; ++n) QFile::remove(ErrorLog::olderLogPath(n));
    }

    void noSensorsShowsMessageAndZero()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("Tarnwell HALYX"));
        QCOMPARE(m.script.shown.size(), size_t(1));
        QCOMPARE(m.script.shown[0].text,
                 QString("There are no sensors in the database, \r\nclick the ADD NEW button to begin using Tarnwell"));
        QCOMPARE(m.script.shown[0].title, QString("Orrisford's Tarnwell"));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        QCOMPARE(w.findChild<QLineEdit*>("txtSCount")->text(), QString("0"));
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 0);
        QVERIFY(!w.startupRefused());
    }

    void tabsAndCaptions()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        auto* tabs = w.findChild<QTabWidget*>("SSTab1");
        QVERIFY(tabs);
        const QStringList expected = {"1. Identification", "2. Installation",   "3. Readings",
                                      "4. Load v Time",    "5. Disp v Time",    "6. Load v Length",
                                      "7. Disp v Length",  "8. Shear v Length", "9. Utilities"};
        QCOMPARE(tabs->count(), expected.size());
        for (int i = 0; i < tabs->count(); ++i) QCOMPARE(tabs->tabText(i), expected[i]);
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void sensorsListedInNumberOrder()
    {
        {
            auto db = TestData::openDatabase();
            // Entered out of order: the list follows InstrumentID order.
            for (const char* id : {"250475002", "240155001", "250435001"}) TestData::addSensor(*db, {id});
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(m.script.shown.empty());
        auto* combo = w.findChild<QComboBox*>("cboSensors");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString("240155001"));
        QCOMPARE(combo->itemText(1), QString("250435001"));
        QCOMPARE(combo->itemText(2), QString("250475002"));
        QCOMPARE(combo->currentText(), QString("240155001"));
        QCOMPARE(w.findChild<QLineEdit*>("txtSCount")->text(), QString("3"));
        QCOMPARE(w.shared().currentSensorId(), QString("240155001"));
        QCOMPARE(w.findChild<QLineEdit*>("txtSensor")->text(), QString("N12-240155001"));
    }

    void oneSensor()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250401001"});
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 1);
        QCOMPARE(w.findChild<QLineEdit*>("txtSCount")->text(), QString("1"));
        QCOMPARE(w.shared().currentSensorId(), QString("250401001"));
    }

    // A file that is there but cannot be used: the message says why and where Tarnwell
    // looked, and the file is left as it was.
    void foreignOrDamagedDatabaseRefusesToStart_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("why");
        QTest::newRow("not a database") << QByteArray("Standard Jet DB, or anything else")
                                        << "The file is not a Tarnwell database.";
        QTest::newRow("damaged") << QByteArray("SQLite format 3\0garbage garbage garbage", 40)
                                 << "The database file is damaged (file is not a database).";
        QTest::newRow("empty file") << QByteArray("") << "The file is not a Tarnwell database.";
    }
    void foreignOrDamagedDatabaseRefusesToStart()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, why);
        {
            QFile f(Paths::databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(content);
        }
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(w.connectFailed());
            QCOMPARE(m.script.shown.size(), size_t(1));
            QCOMPARE(m.script.shown[0].text, "ERROR: could not connect to database\r\n\r\n" + why +
                                                 "\r\nTarnwell looked for it here:\r\n" + Paths::databasePath() +
                                                 "\r\n\r\nProgram must exit");
            QCOMPARE(m.script.shown[0].title, QString("Database connection error"));
            QCOMPARE(m.script.shown[0].icon, Messages::Icon::Critical);
        }
        QCOMPARE(TestEnv::fileHash(Paths::databasePath()),
                 QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    }

    // What an interrupted backup or restore left under its temporary name is removed at
    // the next start, each file logged; the backups stay.
    void leftoverCopiesAreRemovedAtStart()
    {
        TARNWELL_FILE_ONLY();  // the copies of a file database lie beside it
        const QString backups = Paths::backupFolder();
        QVERIFY(QDir().mkpath(backups));
        const QStringList leftovers = {backups + "/HALYXbackup2011-03-05.mdb.partial",
                                       backups + "/HALYXbackup2011-03-05-101500-before-upgrade.mdb.partial",
                                       Paths::databasePath() + ".restoring"};
        const QString kept = backups + "/HALYXbackup2011-03-04.mdb";
        for (const QString& path : leftovers + QStringList{kept}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("half a copy");
        }
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            QVERIFY(w.shared().db.isOpen());
        }
        const QByteArray log = readLog();
        for (const QString& path : leftovers) {
            QVERIFY2(!QFile::exists(path), qPrintable(path));
            QVERIFY(log.contains(("Removed " + path + ", left by an interrupted backup or restore").toUtf8()));
        }
        QVERIFY(QFile::exists(kept));
    }

    void secondCopyIsTurnedAway()
    {
        const QString lockDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        ScriptedMessages m;
        MainWindow first;
        first.show();
        QVERIFY(!first.startupRefused());
        QVERIFY(QFile::exists(MainWindow::instanceLockPath()));
        QVERIFY(MainWindow::instanceLockPath().startsWith(lockDir + "/tarnwell-"));
        m.script.shown.clear();
        {
            MainWindow second;
            second.show();
            QVERIFY(second.turnedAway());
            QCOMPARE(m.script.texts(), QStringList{"Tarnwell is already running\r\nCannot load program again"});
            QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        }
        // The first copy is left alone: its lock and connection survive the second's end.
        QVERIFY(first.shared().db.isOpen());
        QLockFile probe(MainWindow::instanceLockPath());
        QVERIFY(!probe.tryLock(0));
    }

    // A copy on another machine that shares this home folder holds its own lock: this
    // machine's copy starts all the same.
    void copyOnAnotherMachineIsNoSecondCopy()
    {
        const QString lockDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        QDir().mkpath(lockDir);
        {
            QFile other(lockDir + "/tarnwell-site-office-pc.lock");
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("4242\ntarnwell\nsite-office-pc\n");
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(!w.startupRefused());
        QVERIFY(!w.turnedAway());
        QFile::remove(lockDir + "/tarnwell-site-office-pc.lock");
    }

    void getPrefsKeepsValuesWhenTableIsEmpty()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        Shared& s = w.shared();
        QCOMPARE(s.prefs.MineID, QString("N12-"));
        QCOMPARE(s.prefs.MaxY, QString("10"));
        s.db.execute("DELETE FROM Prefs");
        QFile::remove(Paths::logFilePath());
        SessionData::GetPrefs(s);
        QCOMPARE(s.prefs.MineID, QString("N12-"));
        QCOMPARE(s.prefs.MinY, QString("0"));
        QVERIFY(readLog().contains(" Module1_GetPrefs"));
        // A null field stops the reading there: the fields after it keep their values.
        s.db.execute("INSERT INTO Prefs (MineID, MaxY, MinY, MinX, MaxX) VALUES ('K7-', '20', NULL, '1', '2')");
        SessionData::GetPrefs(s);
        QCOMPARE(s.prefs.MineID, QString("K7-"));
        QCOMPARE(s.prefs.MaxY, QString("20"));
        QCOMPARE(s.prefs.MinY, QString("0"));
        QCOMPARE(s.prefs.MinX, QString("0"));
    }

    void logEntryByteForByte()
    {
        const QDateTime when(QDate(2011, 3, 5), QTime(14, 0, 0));
        const QString msg = trapMessage(13, "Type mismatch", " G_savefields");
        QCOMPARE(msg, QString("Err #13: Type mismatch G_savefields"));
        const QByteArray expected =
            "\r\n" + QByteArray(89, '*') + "\r\n" + "2011-03-05 14:00:00 - Err #13: Type mismatch G_savefields\r\n";
        QCOMPARE(logEntry(msg, when), expected);

        // The first entry creates the file; entries are appended.
        QFile::remove(Paths::logFilePath());
        runTrapped(" G_savefields", [] { throw TwError(13, "Type mismatch"); });
        runTrapped(" Form_Load", [] { throw TwError(3021, "No current record"); });
        const QByteArray log = readLog();
        QVERIFY(log.startsWith("\r\n" + QByteArray(89, '*') + "\r\n"));
        QVERIFY(log.contains(" - Err #13: Type mismatch G_savefields\r\n"));
        QVERIFY(log.endsWith(" - Err #3021: No current record Form_Load\r\n"));
        QCOMPARE(log.count(QByteArray(89, '*')), 2);
    }

    // The entry's date-time has a four-digit year and the seconds in every locale: the
    // program is run in two (the locale is read when a program starts).
    void logDateTimeInAnyLocale()
    {
        const QByteArray child = qgetenv("TARNWELL_LOCALE_CHILD");
        if (!child.isEmpty()) {
            QCOMPARE(QLocale::system().name(), QString::fromLatin1(child));
            QFile::remove(Paths::logFilePath());
            runTrapped(" G_savefields", [] { throw TwError(13, "Type mismatch"); });
            const QByteArray log = readLog();
            static const QRegularExpression stamp(
                "^\\r\\n\\*{89}\\r\\n\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} - Err #13: Type "
                "mismatch G_savefields\\r\\n$");
            QVERIFY2(stamp.match(QString::fromLatin1(log)).hasMatch(), log.constData());
            return;
        }
        for (const char* locale : {"en_US", "de_DE"}) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("LC_ALL", QString::fromLatin1(locale) + ".UTF-8");
            env.insert("TARNWELL_LOCALE_CHILD", locale);
            p.setProcessEnvironment(env);
            p.setProcessChannelMode(QProcess::ForwardedChannels);
            p.start(QCoreApplication::applicationFilePath(), {"logDateTimeInAnyLocale"});
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitCode(), 0);
        }
    }

    void unwritableLogNeverTroublesTheCaller()
    {
        QDir(Paths::dataFolder()).removeRecursively();
        bool after = false;
        QVERIFY(!runTrapped(" G_test", [] { throw TwError(6, "Overflow"); }));
        after = true;
        QVERIFY(after);
        QVERIFY(!QFile::exists(Paths::logFilePath()));
    }

    // ---- A bounded log ---------------------------------------------------------------------

    // Past its size the log becomes "HALYX_logfile.1.txt", the older files move up one
    // number and the oldest is dropped; the entry goes into a new file.
    void logRotatesAtItsSizeKeepingAFewOlderFiles()
    {
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        };
        const QString log = Paths::logFilePath();
        write(log, QByteArray(ErrorLog::RotateAtBytes - 10, 'a'));
        WriteLog("below the size");
        QVERIFY(!QFile::exists(ErrorLog::olderLogPath(1)));  // not yet: it was smaller
        for (int n = 1; n <= ErrorLog::KeptOlderFiles; ++n) write(ErrorLog::olderLogPath(n), QByteArray::number(n));
        const QByteArray full = readLog();
        WriteLog("Err #13: Type mismatch G_savefields");
        QVERIFY(readLog().startsWith("\r\n" + QByteArray(89, '*') + "\r\n"));
        QVERIFY(readLog().endsWith(" - Err #13: Type mismatch G_savefields\r\n"));
        QCOMPARE(readLog().count(QByteArray(89, '*')), 1);
        auto older = [](int n) {
            QFile f(ErrorLog::olderLogPath(n));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QCOMPARE(older(1), full);
        QCOMPARE(older(2), QByteArray("1"));
        QCOMPARE(older(3), QByteArray("2"));  // "3", the oldest, was dropped
        QVERIFY(!QFile::exists(ErrorLog::olderLogPath(4)));
        QCOMPARE(ErrorLog::olderLogPath(1), Paths::dataFolder() + "/HALYX_logfile.1.txt");
    }

    // A log that cannot be rotated keeps its entries coming and never troubles the caller.
    void logThatCannotBeRotatedStillWrites()
    {
        const QString log = Paths::logFilePath();
        {
            QFile f(log);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(ErrorLog::RotateAtBytes, 'a'));
        }
        // Where the older files would go there are folders with something in them: no
        // step of the rotation can be made.
        for (int n = 1; n <= ErrorLog::KeptOlderFiles; ++n) QVERIFY(QDir().mkpath(ErrorLog::olderLogPath(n) + "/kept"));
        QVERIFY(!runTrapped(" G_test", [] { throw TwError(6, "Overflow"); }));
        QVERIFY(readLog().endsWith(" - Err #6: Overflow G_test\r\n"));
        QVERIFY(readLog().startsWith("aaaa"));  // nothing was lost either
        for (int n = 1; n <= ErrorLog::KeptOlderFiles; ++n) {
            QVERIFY(QFileInfo(ErrorLog::olderLogPath(n) + "/kept").isDir());
            QDir(ErrorLog::olderLogPath(n)).removeRecursively();
        }
    }

    // Within a bulk operation identical entries are written once, in the order first met;
    // when the outermost operation ends, one entry per repeated message gives the count
    // and the first and last key. Different messages, and a single failure, stay as they are.
    void bulkOperationWritesEachEntryOnce()
    {
        QFile::remove(Paths::logFilePath());
        QString key;
        {
            const LogBulkScope pass("calculation pass", [&] { return key; });
            const QStringList keys{"k1", "k2", "k3", "k4", "k5", "k6"};
            const QStringList messages{"A", "B", "A", "A", "B", "C"};
            for (int i = 0; i < keys.size(); ++i) {
                key = keys[i];
                if (i == 3) {
                    // A nested operation (its own items) adds to the outer one's count.
                    const LogBulkScope inner("import", [] { return QStringLiteral("line 9"); });
                    WriteLog(messages[i]);
                    continue;
                }
                WriteLog(messages[i]);
            }
            QCOMPARE(readLog().count(QByteArray(89, '*')), 3);  // A, B, C so far
        }
        const QList<QByteArray> lines = readLog().split('\n');
        QStringList entries;
        for (const QByteArray& l : lines)
            if (l.contains(" - ")) entries << QString::fromLatin1(l.mid(l.indexOf(" - ") + 3)).trimmed();
        QCOMPARE(entries, (QStringList{"A", "B", "C",
                                       "The entry \"A\" happened 2 more times in this calculation pass, first key k1, "
                                       "last key line 9",
                                       "The entry \"B\" happened 1 more time in this calculation pass, first key k2, "
                                       "last key k5"}));
        // Outside any operation every entry is written.
        WriteLog("A");
        WriteLog("A");
        QCOMPARE(readLog().count(QByteArray(89, '*')), 7);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
