// The "9. Utilities" page driven through its controls: the filter, backup and restore,
// help and links, the About window, and the compaction when the program ends.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "core/ErrorLog.h"
#include "maintenance/UtilitiesController.h"
#include "app/SplashScreen.h"
#include "readings/ReadingsController.h"
#include "widgets/SavedTo.h"
#include "store/Database.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray readLog() { return bytes(Paths::logFilePath()); }

void click(QWidget* w)
{
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

QStringList listed(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
}

QStringList listed(QListWidget* l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
    return out;
}

const QStringList AllSensors = {"250425001", "250445002", "250445003", "250455004"};

}  // namespace

class TestUtilities : public QObject {
    Q_OBJECT
    TestHome home;

    template <class T>
    static T* child(MainWindow& w, const char* name)
    {
        T* c = w.findChild<T*>(QLatin1String(name));
        if (!c) qWarning("no control %s", name);
        return c;
    }

    // Four sensors: two of type 45 and one of 75, one destroyed; levels and locations to filter on.
    static void addSensors()
    {
        auto db = TestData::openDatabase();
        for (const QString& id : AllSensors) TestData::addSensor(*db, {id});
        db->execute("UPDATE Sensors SET Level = '1200', Location = 'North' WHERE InstrumentID = '250425001'");
        db->execute(
            "UPDATE Sensors SET Level = '800', Location = 'O''Brien''s drift', InstallDate = '2009/01/01' "
            "WHERE InstrumentID = '250445002'");
        db->execute(
            "UPDATE Sensors SET Level = '800', Destroyed = 'Yes', InstallDate = '2010/06/15' "
            "WHERE InstrumentID = '250445003'");
        db->execute(
            "UPDATE Sensors SET SensorType = '75', Location = 'Stope 10% east' WHERE InstrumentID = '250455004'");
        TestData::addManyReadings(*db, "250445002", 200, QDateTime(QDate(2011, 1, 1), QTime(8, 0)));
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init()
    {
        TestData::installFresh();
        addSensors();
    }

    void filterToggleNarrowsAndRestoresTheList()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        auto* combo = child<QComboBox>(w, "cboSensors");
        auto* count = child<QLineEdit>(w, "txtSCount");
        auto* state = child<QLabel>(w, "lblFilterState");
        auto* applied = child<QLabel>(w, "lblFilter");
        w.selectTab(MainWindow::TabUtilities);

        child<QComboBox>(w, "txtFilterType")->setEditText("45: d3HALYX");
        child<QCheckBox>(w, "chkDontShowDestroyed")->setChecked(true);
        click(state);  // the caption acts as the button
        QVERIFY(m.script.shown.empty());
        QCOMPARE(listed(combo), QStringList{"250445002"});
        QCOMPARE(combo->currentText(), QString("250445002"));
        QCOMPARE(count->text(), QString("1"));
        QCOMPARE(state->text(), QString("Remove Filter"));
        QVERIFY(applied->isVisible());

        // The same toggle removes it: the full list, the boxes cleared.
        click(child<QWidget>(w, "imgFilter"));
        QCOMPARE(listed(combo), AllSensors);
        QCOMPARE(count->text(), QString("4"));
        QCOMPARE(state->text(), QString("Apply Filter"));
        QVERIFY(!applied->isVisible());
        QVERIFY(!child<QCheckBox>(w, "chkDontShowDestroyed")->isChecked());
        for (const char* box : {"txtFilterLevel", "txtFilterLocation", "txtStartDate", "txtEndDate"})
            QVERIFY2(child<QLineEdit>(w, box)->text().isEmpty(), box);
        QVERIFY(child<QComboBox>(w, "txtFilterType")->currentText().isEmpty());
    }

    // The type box offers the types of the database's Configuration table (75 included),
    // and a type added there is offered the next time the page shows.
    void typeListComesFromTheConfiguration()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        auto* type = child<QComboBox>(w, "txtFilterType");
        QCOMPARE(listed(type), (QStringList{"25: d1HALYX", "35: d2HALYX", "45: d3HALYX", "55: d4HALYX", "65: d5HALYX",
                                            "75: d6HALYX"}));
        type->setCurrentIndex(5);
        click(child<QWidget>(w, "imgFilter"));
        QVERIFY(m.script.shown.empty());
        QCOMPARE(listed(child<QComboBox>(w, "cboSensors")), QStringList{"250455004"});
        click(child<QWidget>(w, "imgFilter"));

        w.shared().db.execute("INSERT INTO Configuration (SensorType, Model, NumChannels) VALUES ('85', 'd8HALYX', 8)");
        type->setEditText("85");
        w.selectTab(MainWindow::TabInstallation);
        w.selectTab(MainWindow::TabUtilities);
        QCOMPARE(listed(type).last(), QString("85: d8HALYX"));
        QCOMPARE(type->currentText(), QString("85"));  // what was typed stays
        click(child<QWidget>(w, "imgFilter"));
        QCOMPARE(m.script.texts(), QStringList{"There are no sensors that meet the criteria"});
    }

    void typedTextIsMatchedLiterally_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("quotes") << "O'Brien's drift" << QStringList{"250445002"};
        QTest::newRow("part, case ignored") << "brien'S" << QStringList{"250445002"};
        QTest::newRow("other case") << "NORTH" << QStringList{"250425001"};
        QTest::newRow("a percent is a percent") << "%" << QStringList{"250455004"};
        QTest::newRow("an underscore is an underscore") << "10_" << QStringList();
        QTest::newRow("sql text") << "x' OR '1'='1" << QStringList();
    }
    void typedTextIsMatchedLiterally()
    {
        QFETCH(QString, location);
        QFETCH(QStringList, expected);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        child<QLineEdit>(w, "txtFilterLocation")->setText(location);
        click(child<QWidget>(w, "imgFilter"));
        auto* combo = child<QComboBox>(w, "cboSensors");
        if (expected.isEmpty()) {
            QCOMPARE(m.script.texts(), QStringList{"There are no sensors that meet the criteria"});
            QCOMPARE(listed(combo), AllSensors);
        } else {
            QVERIFY(m.script.shown.empty());
            QCOMPARE(listed(combo), expected);
        }
        QVERIFY(!readLog().contains("G_AddFilter"));
    }

    void filterRefusalsChangeNothing_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::newRow("nothing entered") << ""
                                         << ""
                                         << ""
                                         << "You must enter criteria to filter sensors on"
                                         << "Orrisford's Tarnwell" << int(Messages::Icon::Information);
        QTest::newRow("type 46") << "46"
                                 << ""
                                 << ""
                                 << "Sensor Type is not recognized\r\n\r\nPlease choose a sensor from the list, or "
                                    "enter the 2 digit sensor #"
                                 << "Tarnwell" << int(Messages::Icon::None);
        QTest::newRow("bad start") << ""
                                   << ""
                                   << "2011/13/45"
                                   << "Start date is not a valid date\r\nPlease enter a date in the format yyyy/mm/dd"
                                   << "Tarnwell" << int(Messages::Icon::None);
        QTest::newRow("no match keeps the criteria") << ""
                                                     << "9999"
                                                     << ""
                                                     << "There are no sensors that meet the criteria"
                                                     << "Orrisford's Tarnwell" << int(Messages::Icon::Exclamation);
    }
    void filterRefusalsChangeNothing()
    {
        QFETCH(QString, type);
        QFETCH(QString, level);
        QFETCH(QString, start);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        child<QComboBox>(w, "txtFilterType")->setEditText(type);
        child<QLineEdit>(w, "txtFilterLevel")->setText(level);
        child<QLineEdit>(w, "txtStartDate")->setText(start);
        click(child<QWidget>(w, "lblFilterState"));
        QCOMPARE(m.script.shown.size(), size_t(1));
        QCOMPARE(m.script.shown[0].text, text);
        QCOMPARE(m.script.shown[0].title, title);
        QCOMPARE(int(m.script.shown[0].icon), icon);
        QCOMPARE(listed(child<QComboBox>(w, "cboSensors")), AllSensors);
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("4"));
        QCOMPARE(child<QLabel>(w, "lblFilterState")->text(), QString("Apply Filter"));
        QCOMPARE(child<QLineEdit>(w, "txtFilterLevel")->text(), level);
    }

    void leavingABadEndDateSaysSoAndKeepsTheFocus()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.selectTab(MainWindow::TabUtilities);
        auto* end = child<QLineEdit>(w, "txtEndDate");
        end->setFocus();
        end->setText("2011/13/45");
        child<QLineEdit>(w, "txtFilterLevel")->setFocus();
        QCOMPARE(m.script.texts(),
                 QStringList{"End Date is not a valid date\r\nPlease type a date in the format yyyy/mm/dd"});
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        QCOMPARE(QApplication::focusWidget(), end);
        // A good date passes quietly.
        end->setText("2011/03/05");
        child<QLineEdit>(w, "txtFilterLevel")->setFocus();
        QCOMPARE(m.script.shown.size(), size_t(1));
    }

    void backupsListedAfterTheHeading()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        auto* list = child<QListWidget>(w, "lstFiles");
        w.utilities()->ListBackups();
        QCOMPARE(list->count(), 0);  // no backup folder yet

        w.utilities()->backupDay = QDate(2011, 3, 5);
        RecordedDesktop d;
        m.script.choices = {SavedTo::OpenFolderChoice};
        click(child<QWidget>(w, "Label42"));
        click(child<QWidget>(w, "imgBackup"));
        const QString folder = QDir::toNativeSeparators(Paths::backupFolder());
        QCOMPARE(m.script.texts(),
                 (QStringList{"Backup was successful\r\nSaved to " + folder + "/HALYXbackup2011-03-05.mdb",
                              "Backup was successful\r\nSaved to " + folder + "/HALYXbackup2011-03-05_2.mdb"}));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
        QCOMPARE(m.script.shown[0].title, QString("Orrisford's Tarnwell"));
        QCOMPARE(d.recorder.requests, QStringList{Paths::backupFolder()});  // Open folder, after the first only
        // The second backup of the day kept the first: both can be restored from.
        QCOMPARE(listed(list),
                 (QStringList{"List of Backups:", "HALYXbackup2011-03-05.mdb", "HALYXbackup2011-03-05_2.mdb"}));
        // The heading is no backup: nothing is chosen, and it cannot be.
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(!(list->item(0)->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)));
        QVERIFY(list->item(1)->flags() & Qt::ItemIsSelectable);
        QCOMPARE(listed(child<QComboBox>(w, "cboSensors")), AllSensors);
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("4"));
    }

    // A backup is taken from the open database: the user stays on the same sensor, with the
    // same filter, on the same tab.
    void backupKeepsSensorFilterAndTab()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        child<QComboBox>(w, "txtFilterType")->setEditText("45");
        click(child<QWidget>(w, "imgFilter"));
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("2"));
        w.shared().rsSensors->moveLast();
        const QString shown = w.shared().rsSensors->text("InstrumentID");
        QCOMPARE(shown, QString("250445003"));
        const QString filterCaption = child<QLabel>(w, "lblFilterState")->text();
        click(child<QWidget>(w, "imgBackup"));
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.texts()[0].startsWith("Backup was successful\r\nSaved to "));
        QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabUtilities));
        QCOMPARE(listed(child<QComboBox>(w, "cboSensors")), (QStringList{"250445002", "250445003"}));
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("2"));
        QCOMPARE(child<QLabel>(w, "lblFilterState")->text(), filterCaption);
        QCOMPARE(w.shared().rsSensors->text("InstrumentID"), shown);
        QVERIFY(w.shared().rsSensors->isFiltered());
    }

    void restoreRefusedOnTheHeadingAndOnNo()
    {
        ScriptedMessages m;
        m.script.answers = {Messages::Answer::Ok, Messages::Answer::Ok, Messages::Answer::No};
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->backupDay = QDate(2011, 3, 5);
        click(child<QWidget>(w, "imgBackup"));
        const QByteArray before = bytes(Paths::databasePath());
        auto* list = child<QListWidget>(w, "lstFiles");
        list->setCurrentRow(0);
        click(child<QWidget>(w, "Label27"));
        list->setCurrentRow(1);
        click(child<QWidget>(w, "imgRestore"));
        QCOMPARE(m.script.texts().mid(0, 2),
                 (QStringList{"Backup was successful\r\nSaved to " + QDir::toNativeSeparators(Paths::backupFolder()) +
                                  "/HALYXbackup2011-03-05.mdb",
                              "Please choose a file from the list to restore from"}));
        // The question names the backup's date and age, keeps its own words, and No is
        // what Enter answers.
        const QString made = QLocale::system().toString(
            QFileInfo(Paths::backupFolder() + "/HALYXbackup2011-03-05.mdb").lastModified(), QLocale::ShortFormat);
        QCOMPARE(m.script.texts()[2], "The backup HALYXbackup2011-03-05.mdb was made " + made +
                                          " (less than an hour ago).\r\n\r\nRestoring Tarnwell from backup "
                                          "HALYXbackup2011-03-05.mdb\r\nwill permanently overwrite current database. "
                                          "Continue?");
        QCOMPARE(m.script.shown.size(), size_t(3));
        QCOMPARE(m.script.shown[2].title, QString("Orrisford's TARNWELL"));
        QCOMPARE(m.script.shown[2].icon, Messages::Icon::Exclamation);
        QCOMPARE(m.script.shown[2].buttons, Messages::Buttons::YesNo);
        QCOMPARE(m.script.shown[2].defaultButton, std::optional<Messages::Answer>(Messages::Answer::No));
        QCOMPARE(bytes(Paths::databasePath()), before);
        QVERIFY(w.shared().db.isOpen());
    }

    void restoreBringsBackTheBackupsSensors()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->backupDay = QDate(2011, 3, 5);
        click(child<QWidget>(w, "imgBackup"));
        {
            auto db = TestData::openDatabase("other");
            db->execute("DELETE FROM Sensors WHERE InstrumentID = '250425001'");
            TestData::addSensor(*db, {"250475009"});
        }
        child<QListWidget>(w, "lstFiles")->setCurrentRow(1);
        click(child<QWidget>(w, "imgRestore"));
        QCOMPARE(m.script.texts().last(), QString("Restore was successful"));
        QCOMPARE(listed(child<QComboBox>(w, "cboSensors")), AllSensors);
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("4"));
        {
            auto db = TestData::openDatabase("check");
            QCOMPARE(db->scalar("SELECT count(*) FROM `250445002`").toInt(), 200);
        }
        // Asked (Yes by default) whether to keep the database being replaced: it was kept
        // under a name of its own, with the sensor added after the backup, and is listed.
        const Messages::Shown& keep = m.script.shown[2];
        QVERIFY(keep.text.startsWith("Back up the current database before it is replaced?"));
        QCOMPARE(keep.buttons, Messages::Buttons::YesNoCancel);
        QCOMPARE(keep.defaultButton, std::optional<Messages::Answer>(Messages::Answer::Yes));
        const QStringList kept = QDir(Paths::backupFolder()).entryList({"*-before-restore.mdb"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY(keep.text.endsWith(kept[0]));
        QVERIFY(listed(child<QListWidget>(w, "lstFiles")).contains(kept[0]));
        Database before("kept");
        QVERIFY(before.open(Paths::backupFolder() + '/' + kept[0]));
        QCOMPARE(before.scalar("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = '250475009'").toInt(), 1);
    }

    void failedRestoreReportsAndLeavesTheDatabase()
    {
        TARNWELL_FILE_ONLY();  // the failures are injected into the file copies
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->backupDay = QDate(2011, 3, 5);
        click(child<QWidget>(w, "imgBackup"));
        {
            auto db = TestData::openDatabase("other");
            TestData::addSensor(*db, {"250475009"});
        }
        const QByteArray before = bytes(Paths::databasePath());
        w.utilities()->fileHooks.failAfterBytes = 8192;
        child<QListWidget>(w, "lstFiles")->setCurrentRow(1);
        // Restore: yes; keep the current database first: no.
        m.script.answers = {Messages::Answer::Yes, Messages::Answer::No};
        click(child<QWidget>(w, "imgRestore"));
        QVERIFY(
            m.script.texts().last().startsWith("Error encountered during restore process\r\n\r\n"
                                               "The backup could not be copied: Disk write failed"));
        QVERIFY(m.script.texts().last().endsWith("\r\nThe database was not changed."));
        QCOMPARE(m.script.shown.back().title, QString("Tarnwell"));  // the application's title
        QVERIFY(readLog().contains(" G_CompactDB"));
        QCOMPARE(bytes(Paths::databasePath()), before);
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("5"));  // re-opened, as it was
    }

    // A backup that cannot be used - made by a newer release, or damaged - is refused
    // before anything else is asked or done: no copy of the current database is offered,
    // nothing is called successful, and the database is exactly as it was.
    void restoreRefusesABackupItCannotUse_data()
    {
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QString>("why");
        QTest::newRow("newer release") << true
                                       << QString(
                                              "was made by a newer version of Tarnwell than this one (its layout has "
                                              "changes this version does not know: 2099-01-from-the-future)");
        QTest::newRow("damaged") << false << QString("is damaged or cannot be read.");
    }
    void restoreRefusesABackupItCannotUse()
    {
        QFETCH(bool, newer);
        QFETCH(QString, why);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->backupDay = QDate(2011, 3, 5);
        click(child<QWidget>(w, "imgBackup"));
        const QString backup = Paths::backupFolder() + "/HALYXbackup2011-03-05.mdb";
        if (newer) {
            Database file("newer");
            QVERIFY(file.open(backup));
            file.execute(
                "INSERT INTO SchemaMigrations (MigrationID, AppliedAt) VALUES ('2099-01-from-the-future', "
                "'2099-01-01')");
        } else {
            QFile f(backup);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(4096));
            f.write(QByteArray(8192, '\x5a'));
        }
        {
            auto db = TestData::openDatabase("other");
            TestData::addSensor(*db, {"250475009"});
        }
        const QByteArray before = bytes(Paths::databasePath());
        child<QListWidget>(w, "lstFiles")->setCurrentRow(1);
        m.script.shown.clear();
        m.script.answers = {Messages::Answer::Yes};
        click(child<QWidget>(w, "imgRestore"));
        QCOMPARE(m.script.shown.size(), size_t(2));  // the question, then the refusal
        QCOMPARE(m.script.texts().last(),
                 "Error encountered during restore process\r\n\r\nThe backup "
                 "HALYXbackup2011-03-05.mdb " +
                     why +
                     (newer ? QString(". This version would not keep what they hold, so it does "
                                      "not restore it. Restore it with the newer version, or "
                                      "choose a backup made with this version.")
                            : QString()) +
                     "\r\nThe database was not changed.");
        QVERIFY(readLog().contains("Restore from HALYXbackup2011-03-05.mdb refused: "));
        QCOMPARE(bytes(Paths::databasePath()), before);
        QVERIFY(QDir(Paths::backupFolder()).entryList({"*-before-restore.mdb"}, QDir::Files).isEmpty());
        QVERIFY(w.shared().db.isOpen());
        auto db = TestData::openDatabase("check");
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 5);
    }

    void restoreStopsWhenTheKeptCopyFails()
    {
        TARNWELL_FILE_ONLY();  // the failures are injected into the file copies
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->backupDay = QDate(2011, 3, 5);
        click(child<QWidget>(w, "imgBackup"));
        {
            auto db = TestData::openDatabase("other");
            TestData::addSensor(*db, {"250475009"});
        }
        const QByteArray before = bytes(Paths::databasePath());
        w.utilities()->fileHooks.failAfterBytes = 8192;
        child<QListWidget>(w, "lstFiles")->setCurrentRow(1);
        click(child<QWidget>(w, "imgRestore"));  // restore: yes; keep a copy first: yes
        QVERIFY(
            m.script.texts().last().startsWith("The current database could not be backed up, so it was not replaced."));
        QVERIFY(!m.script.texts().contains("Restore was successful"));
        QCOMPARE(bytes(Paths::databasePath()), before);
        QVERIFY(QDir(Paths::backupFolder()).entryList({"*-before-restore.mdb"}, QDir::Files).isEmpty());
        QVERIFY(w.shared().db.isOpen());
        QCOMPARE(child<QLineEdit>(w, "txtSCount")->text(), QString("4"));  // nothing re-read
    }

    void failedBackupReportsAndLogs()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        w.utilities()->fileHooks.beforeStep = [](DatabaseFiles::Step s) { return s != DatabaseFiles::Step::Check; };
        click(child<QWidget>(w, "imgBackup"));
        QCOMPARE(m.script.texts().first(),
                 QString("Error encountered during backup process of TarnwellHALYX.mdb\r\n\r\n"
                         "Path/File access error (checking)\r\n"
                         "No backup was made; the backups already in HALYXbackup were kept."));
        QVERIFY(readLog().contains(" GBackupDB"));
        QVERIFY(QDir(Paths::backupFolder()).entryList(QDir::Files).isEmpty());
        QCOMPARE(child<QListWidget>(w, "lstFiles")->count(), 0);
    }

    void manualAndWebsiteGoToTheDesktop()
    {
        ScriptedMessages m;
        RecordedDesktop d;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        const QString manual = Paths::dataFolder() + "/TarnwellManual.pdf";
        QFile::remove(manual);
        click(child<QWidget>(w, "Label66"));
        QCOMPARE(m.script.texts(), QStringList{"The Tarnwell manual could not be found:\r\n" + manual});
        QVERIFY(d.recorder.requests.isEmpty());

        QFile f(manual);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4\n");
        f.close();
        click(child<QWidget>(w, "imgHelp"));
        click(child<QWidget>(w, "Label40"));
        click(child<QWidget>(w, "imgInternet"));
        QCOMPARE(d.recorder.requests,
                 (QStringList{manual, UtilitiesController::WebAddress, UtilitiesController::WebAddress}));
        QCOMPARE(m.script.shown.size(), size_t(1));

        d.recorder.answer = false;  // nothing on this desktop can open them
        click(child<QWidget>(w, "imgHelp"));
        click(child<QWidget>(w, "imgInternet"));
        QCOMPARE(m.script.texts().mid(1),
                 (QStringList{"No program could be found to open the Tarnwell manual:\r\n" + manual,
                              "No web browser could be found to open\r\n" + UtilitiesController::WebAddress}));
    }

    // "Open the log" hands the error log to the desktop's program; before anything was
    // logged it says where the log will be, and it says so when nothing can open it.
    void openTheLogGoesToTheDesktop()
    {
        ScriptedMessages m;
        RecordedDesktop d;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        m.script.shown.clear();
        const QString log = Paths::logFilePath();
        QFile::remove(log);
        click(child<QWidget>(w, "lblOpenLog"));
        QCOMPARE(m.script.texts(), QStringList{"Tarnwell has logged no errors yet. The log will be\r\n" + log});
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
        QVERIFY(d.recorder.requests.isEmpty());
        WriteLog("Err #6: Overflow G_test");
        click(child<QWidget>(w, "imgOpenLog"));
        QCOMPARE(d.recorder.requests, QStringList{log});
        QCOMPARE(m.script.shown.size(), size_t(1));
        d.recorder.answer = false;
        click(child<QWidget>(w, "imgOpenLog"));
        QCOMPARE(m.script.texts().last(), "No program could be found to open the error log:\r\n" + log);
    }

    // The box after an output opens the file's folder only when asked: by the script's
    // choice, and in the real box by its Open folder button; Enter and Escape close it.
    void savedToOpensTheFolderOnlyWhenAsked()
    {
        const QString file = QDir(Paths::dataFolder()).filePath("exports/sheet.xlsx");
        const QString folder = QFileInfo(file).absolutePath();
        RecordedDesktop d;
        {
            ScriptedMessages m;
            m.script.choices = {SavedTo::CloseChoice, SavedTo::OpenFolderChoice, SavedTo::OpenFolderChoice};
            showSavedTo(nullptr, "Export", file);
            QVERIFY(d.recorder.requests.isEmpty());
            showSavedTo(nullptr, "Export", file);
            QCOMPARE(d.recorder.requests, QStringList{folder});
            d.recorder.answer = false;
            showSavedTo(nullptr, "Export", file);
            QCOMPARE(
                m.script.texts(),
                (QStringList{"Saved to " + QDir::toNativeSeparators(file), "Saved to " + QDir::toNativeSeparators(file),
                             "Saved to " + QDir::toNativeSeparators(file),
                             "No program could be found to open the folder:\r\n" + QDir::toNativeSeparators(folder)}));
            QCOMPARE(m.script.shown[0].choices, (QStringList{"Open folder", "Close"}));
            QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
            QCOMPARE(m.script.shown[0].title, QString("Export"));
        }
        d.recorder.requests.clear();
        d.recorder.answer = true;
        MainWindow w;  // installs the real boxes
        w.show();
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            bool pressed = false;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                QCOMPARE(box->defaultButton()->objectName(), QString("cmdClose"));
                pressed = true;
                QTest::keyClick(box, key);
            });
            showSavedTo(&w, "Export", file);
            QVERIFY(pressed);
        }
        QVERIFY(d.recorder.requests.isEmpty());
        bool clicked = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            QVERIFY(box->text().startsWith("Saved to "));
            clicked = true;
            box->findChild<QPushButton*>("cmdOpenFolder")->click();
        });
        showSavedTo(&w, "Export", file);
        QVERIFY(clicked);
        QCOMPARE(d.recorder.requests, QStringList{folder});
    }

    // The caption opens the About window as a modal window; its OK closes it.
    void aboutWindowOpensFromItsCaptionAndCloses()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<SplashScreen*>(QApplication::activeModalWidget());
            if (!about) return;
            seen = true;
            about->findChild<QPushButton*>("Command1")->click();
        });
        click(child<QWidget>(w, "Label29"));
        QVERIFY(seen);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void closingCompactsTheDatabase()
    {
        TARNWELL_FILE_ONLY();  // a server compacts its own storage
        {
            auto db = TestData::openDatabase();
            TestData::addManyReadings(*db, "250425001", 4000, QDateTime(QDate(2012, 1, 1), QTime(0, 0)), 1);
            db->execute("DELETE FROM `250425001`");
        }
        const qint64 before = QFileInfo(Paths::databasePath()).size();
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            w.close();
            QVERIFY(m.script.shown.empty());
        }
        QVERIFY2(QFileInfo(Paths::databasePath()).size() < before, "the database was not compacted");
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/Copy_TarnwellHALYX.mdb"));
        auto db = TestData::openDatabase("check");
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 4);
        QCOMPARE(db->scalar("SELECT count(*) FROM `250445002`").toInt(), 200);
    }

    // Closing on the Readings tab stores the reading on screen when it is valid, before the
    // database is closed and compacted; an invalid one is left unsaved.
    void closingStoresAValidEditedReading_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("valid") << "12.3"
                               << "12.30";
        QTest::newRow("beyond the type's limits") << "99999"
                                                  << "";
    }
    void closingStoresAValidEditedReading()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        const QString id = "250425001";  // first in the list, type 25
        {
            auto db = TestData::openDatabase();
            db->execute("DELETE FROM `" + id + "`");
            TestData::NewReading r;
            r.when = QDateTime(QDate(2024, 5, 1), QTime(10, 0));
            r.channels = {""};
            r.temperature = "20.0";
            TestData::addReadings(*db, id, {r});
        }
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            Shared& s = w.shared();
            s.rsConfig->moveFirst();
            s.rsConfig->find("SensorType = '25'");
            w.readings()->ConfigureForm();
            {
                const QSignalBlocker quiet(w.tabWidget);
                w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
            }
            w.readings()->enterReadingsTab();
            auto* box = w.findChild<QLineEdit*>("txtChannel(1)");
            QVERIFY(box);
            box->setText(typed);
            w.close();
        }
        auto db = TestData::openDatabase("check");
        QCOMPARE(db->scalar("SELECT Channel1 FROM `" + id + "`").toString(), stored);
    }

    void failedCompactionAtCloseKeepsTheDatabase()
    {
        TARNWELL_FILE_ONLY();  // a server compacts its own storage
        ScriptedMessages m;
        {
            MainWindow w;
            w.show();
            w.utilities()->fileHooks.beforeStep = [](DatabaseFiles::Step s) { return s != DatabaseFiles::Step::Write; };
            w.close();
        }
        QCOMPARE(m.script.texts(), QStringList{"Error compacting TarnwellHALYX.mdb"});
        QVERIFY(readLog().contains(" G_CompactDB"));
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/Copy_TarnwellHALYX.mdb"));
        auto db = TestData::openDatabase("check");
        QCOMPARE(db->scalar("SELECT count(*) FROM `250445002`").toInt(), 200);
    }
};

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
