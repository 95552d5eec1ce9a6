// The main window by keyboard: where Tab goes on each page, the keys of the navigation
// and Add New actions (doing exactly what their images do, on their own page only), and
// the keys that switch tabs.
#include "ModalKeys.h"

#include <QComboBox>

#include <QCheckBox>
#include <QLabel>
#include <QTabBar>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

using namespace Keys;

class TestKeysPages : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { installSensors(); }

    void startsInTheSensorBox()
    {
        Window k;
        QCOMPARE(k.tab(), int(MainWindow::TabIdentification));
        QCOMPARE(focusName(), QString("cboSensors"));
    }

    void tabOrder_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("order");  // from the control the tab key lands on, round to it again
        QTest::newRow("identification")
            << int(MainWindow::TabIdentification)
            << QStringList{"cboSensors",       "imgAddSensor",     "imgPrevious",  "imgNext",
                           "imgDelete",        "txtDateID",        "txtTypeID",    "txtSensorNo",
                           "txtFamily",        "txtLengthofCable", "optStacked",   "txtBoltkfactor",
                           "txtLengthofGauge", "txtNumGauges",     "cboDestroyed", "txtDestructionDate",
                           "txtNode(1)",       "SSTab1",           "cboSensors"};
        QTest::newRow("installation") << int(MainWindow::TabInstallation)
                                      << QStringList{"txtLevel",     "txtLocation", "txtBorehole", "txtInstallDate",
                                                     "txtInstallBy", "txtPurpose",  "txtNotes",    "cmdAlarmLevels",
                                                     "SSTab1",       "txtLevel"};
        QTest::newRow("readings") << int(MainWindow::TabReadings)
                                  << QStringList{
                                         "dtpRdate",         "dtpRtime",       "txtChannelT",   "txtChannel(1)",
                                         "txtChannel(2)",    "txtChannel(3)",  "txtChannel(4)", "txtChannel(5)",
                                         "txtChannel(6)",    "chkTemporal",    "chkSpatial",    "imgFirst",
                                         "imgPrevData",      "imgNextData",    "imgLast",       "imgAddReading",
                                         "imgDeleteReading", "imgRejectValue", "imgDatasheet",  "imgAddWrenData",
                                         "SSTab1",           "dtpRdate"};
        QTest::newRow("utilities") << int(MainWindow::TabUtilities)
                                   << QStringList{"chkDontShowDestroyed",
                                                  "txtFilterType",
                                                  "txtFilterLevel",
                                                  "txtFilterLocation",
                                                  "txtStartDate",
                                                  "txtEndDate",
                                                  "imgFilter",
                                                  "imgDatabase",
                                                  "imgBackup",
                                                  "lstFiles",
                                                  "imgRestore",
                                                  "imgReport",
                                                  "imgAlarms",
                                                  "imgHelp",
                                                  "imgOpenLog",
                                                  "imgInternet",
                                                  "imgAbout",
                                                  "SSTab1",
                                                  "chkDontShowDestroyed"};
    }

    void tabOrder()
    {
        QFETCH(int, tab);
        QFETCH(QStringList, order);
        Window k;
        k.goToTab(tab);
        QCOMPARE(k.tab(), tab);
        // The tab key puts the focus on the page's first control.
        QCOMPARE(focusName(), order.first());
        QCOMPARE(walk(int(order.size()) - 1), order.mid(1));
        // Shift+Tab walks the same way back.
        QStringList back = order;
        std::reverse(back.begin(), back.end());
        QCOMPARE(walk(int(back.size()) - 1, true), back.mid(1));
    }

    void readingBoxesOfAbsentChannelsAreSkipped()
    {
        // A type-55 sensor (listed first) has four gauges: Tab passes the boxes it does
        // not use.
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250455001"});
        }
        Window k;
        QCOMPARE(k.shownSensor(), QString("250455001"));
        k.goToTab(MainWindow::TabReadings);
        QVERIFY(!k.get<QLineEdit>("txtChannel(5)")->isEnabled());
        k.focus("txtChannel(3)");
        QCOMPARE(walk(3), (QStringList{"txtChannel(4)", "chkTemporal", "chkSpatial"}));
    }

    void readingKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("from");  // position of the reading shown first
        QTest::addColumn<int>("to");    // position shown after the key
        QTest::addColumn<QString>("message");
        const int alt = Qt::AltModifier, ctrl = Qt::ControlModifier;
        QTest::newRow("Alt+Home: first") << "txtChannel(1)" << int(Qt::Key_Home) << alt << 3 << 1 << "";
        QTest::newRow("Alt+End: last") << "txtChannel(1)" << int(Qt::Key_End) << alt << 1 << 3 << "";
        QTest::newRow("Alt+Left: previous") << "txtChannel(1)" << int(Qt::Key_Left) << alt << 2 << 1 << "";
        QTest::newRow("Ctrl+PgUp: previous") << "txtChannel(1)" << int(Qt::Key_PageUp) << ctrl << 2 << 1 << "";
        QTest::newRow("Alt+Right: next") << "txtChannel(1)" << int(Qt::Key_Right) << alt << 2 << 3 << "";
        QTest::newRow("Ctrl+PgDown: next") << "txtChannel(1)" << int(Qt::Key_PageDown) << ctrl << 2 << 3 << "";
        QTest::newRow("from the date picker") << "dtpRdate" << int(Qt::Key_End) << alt << 1 << 3 << "";
        QTest::newRow("from the time picker") << "dtpRtime" << int(Qt::Key_Left) << alt << 3 << 2 << "";
        QTest::newRow("from a check box") << "chkTemporal" << int(Qt::Key_PageDown) << ctrl << 1 << 2 << "";
        QTest::newRow("from an image") << "imgDatasheet" << int(Qt::Key_Home) << alt << 2 << 1 << "";
        QTest::newRow("next at the end") << "txtChannel(1)" << int(Qt::Key_Right) << alt << 3 << 3 << "End of readings";
        QTest::newRow("previous at the start")
            << "txtChannel(1)" << int(Qt::Key_PageUp) << ctrl << 1 << 1 << "Start of readings";
    }

    void readingKeys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, message);
        const QDateTime at[] = {R1, R2, R3};
        Window k;
        k.showReading(from);
        QCOMPARE(k.shownKey(), Keys::key(at[from - 1]));
        // A value typed into the reading shown is stored before the move, as the images do.
        auto* box = k.get<QLineEdit>("txtChannel(2)");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, "77");
        k.focus(focus);
        press(key, Qt::KeyboardModifiers(mods));
        QCOMPARE(k.shownKey(), Keys::key(at[to - 1]));
        QCOMPARE(k.get<QLineEdit>("txtRcount")->text(), QString("%1 of 3").arg(to));
        QCOMPARE(k.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(k.stored(at[from - 1], "Channel2").toString(), QString("77.00"));
        QCOMPARE(k.tab(), int(MainWindow::TabReadings));
    }

    void invalidReadingIsNotLeftByKey()
    {
        // The key runs the same check as the image: a gauge value out of the type's
        // limits keeps the reading on screen and says why.
        Window k;
        k.showReading(2);
        auto* box = k.get<QLineEdit>("txtChannel(1)");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, "999999");
        press(Qt::Key_End, Qt::AltModifier);
        QCOMPARE(k.shownKey(), key(R2));
        QVERIFY(k.get<QLabel>("lblError")->isVisibleTo(k.w.readings()->page()));
        QCOMPARE(k.stored(R2, "Channel1").toString(), QString("11.00"));
    }

    void addReadingKey()
    {
        Window k;
        k.showReading(3);
        k.focus("txtChannelT");
        press(Qt::Key_N, Qt::ControlModifier);
        const QString added = TestData::readingKey(Sensor1, QDateTime(QDate(2024, 6, 1), QTime(9, 15, 0)));
        QCOMPARE(k.readingKeys(), (QStringList{key(R1), key(R2), key(R3), added}));
        QCOMPARE(k.shownKey(), added);
        QCOMPARE(k.get<QLineEdit>("txtRcount")->text(), QString("4 of 4"));
        // No sensor prompt: Ctrl+N adds a reading on this page.
        QVERIFY(k.msgs.script.shown.empty());
    }

    // F5 anywhere in the window: what is typed is saved first, then what another copy of
    // the program added shows.
    void refreshKey()
    {
        Window k;
        k.showReading(3);
        k.get<QLineEdit>("txtChannel(1)")->setText("15.00");
        k.focus("txtChannelT");
        {
            auto other = TestData::openDatabase(QStringLiteral("another-copy"));
            TestData::addReadings(*other, Sensor1, {{QDateTime(QDate(2024, 5, 2), QTime(8, 0, 0)), {"1.00"}, "20.0"}});
        }
        press(Qt::Key_F5);
        QCOMPARE(k.stored(R3, "Channel1").toString(), QString("15.00"));
        QCOMPARE(k.shownKey(), key(R3));
        QCOMPARE(k.get<QLineEdit>("txtRcount")->text(), QString("4 of 4"));
        QVERIFY(k.msgs.script.shown.empty());
        // On the sensor pages too.
        k.goToTab(MainWindow::TabIdentification);
        {
            auto other = TestData::openDatabase(QStringLiteral("another-copy"));
            TestData::addSensor(*other, {QStringLiteral("250475003")});
        }
        k.focus("txtFamily");
        press(Qt::Key_F5);
        QCOMPARE(k.get<QComboBox>("cboSensors")->count(), 3);
        QCOMPARE(k.shownSensor(), Sensor1);
    }

    void addSensorKey()
    {
        Window k;
        k.msgs.script.promptAnswers = QStringList{"250475003"};
        k.focus("txtFamily");
        press(Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!k.msgs.script.shown.empty());
        QVERIFY(k.msgs.script.shown.front().isPrompt);
        QVERIFY(k.msgs.script.shown.front().text.startsWith("Enter new Sensor No:"));
        QCOMPARE(k.w.shared().db.scalar("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = '250475003'").toInt(), 1);
        QCOMPARE(k.shownSensor(), QString("250475003"));
        QVERIFY(k.readingKeys().size() == 3);
    }

    void sensorKeys()
    {
        Window k;
        QCOMPARE(k.shownSensor(), Sensor1);
        // What was typed into the record is stored before moving on, as the images do.
        k.get<QLineEdit>("txtFamily")->setText("KEYED");
        k.focus("txtFamily");
        press(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(k.shownSensor(), Sensor2);
        QCOMPARE(k.w.shared().db.scalar("SELECT Family FROM Sensors WHERE InstrumentID = ?", {Sensor1}).toString(),
                 QString("KEYED"));
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(k.messages(), QStringList{"End of sensors"});
        QCOMPARE(k.shownSensor(), Sensor2);
        k.focus("cboSensors");
        press(Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(k.shownSensor(), Sensor1);
        press(Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(k.messages(), (QStringList{"End of sensors", "Start of Sensors"}));
        QCOMPARE(k.shownSensor(), Sensor1);
    }

    void keysBelongToTheirPage_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        const int alt = Qt::AltModifier, ctrl = Qt::ControlModifier;
        QTest::newRow("installation: Ctrl+N") << int(MainWindow::TabInstallation) << int(Qt::Key_N) << ctrl;
        QTest::newRow("installation: Alt+Right") << int(MainWindow::TabInstallation) << int(Qt::Key_Right) << alt;
        QTest::newRow("identification: Alt+Home") << int(MainWindow::TabIdentification) << int(Qt::Key_Home) << alt;
        QTest::newRow("identification: Alt+End") << int(MainWindow::TabIdentification) << int(Qt::Key_End) << alt;
        QTest::newRow("utilities: Ctrl+N") << int(MainWindow::TabUtilities) << int(Qt::Key_N) << ctrl;
        QTest::newRow("utilities: Ctrl+PgDown") << int(MainWindow::TabUtilities) << int(Qt::Key_PageDown) << ctrl;
        QTest::newRow("readings: Ctrl+D") << int(MainWindow::TabReadings) << int(Qt::Key_D) << ctrl;
        QTest::newRow("identification: Ctrl+D") << int(MainWindow::TabIdentification) << int(Qt::Key_D) << ctrl;
    }

    void keysBelongToTheirPage()
    {
        QFETCH(int, tab);
        QFETCH(int, key);
        QFETCH(int, mods);
        Window k;
        k.showReading(2);
        k.goToTab(tab);
        QCOMPARE(k.tab(), tab);
        k.msgs.script.shown.clear();
        const qint64 position = k.readingPosition();
        press(key, Qt::KeyboardModifiers(mods));
        QVERIFY(k.msgs.script.shown.empty());
        QCOMPARE(k.shownSensor(), Sensor1);
        QCOMPARE(k.readingKeys().size(), 3);
        QCOMPARE(k.readingPosition(), position);
        QCOMPARE(k.tab(), tab);
    }

    // A page's keys work whenever its tab shows, wherever the focus was left: on the tab
    // strip, nowhere, or where a message box over a tab change left it; after such a box
    // the keyboard is back on the page.
    void pageKeysWhereverTheFocusIs_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("on the tab strip") << "tabs";
        QTest::newRow("nowhere") << "nowhere";
        QTest::newRow("sent back from a chart tab") << "chart";
    }
    void pageKeysWhereverTheFocusIs()
    {
        QFETCH(QString, where);
        Window k;
        k.showReading(3);
        k.focus("txtChannel(2)");
        QStringList before = k.readingKeys();
        ModalRun run;
        if (where == "tabs") {
            k.w.tabWidget->tabBar()->setFocus(Qt::MouseFocusReason);
        } else if (where == "nowhere") {
            QApplication::focusWidget()->clearFocus();
            QCOMPARE(QApplication::focusWidget(), nullptr);
        } else if (where == "chart") {
            // The second sensor has no readings: its time chart sends the user back to
            // the Readings tab, saying why in a real box.
            k.goToTab(MainWindow::TabIdentification);
            k.focus("cboSensors");
            press(Qt::Key_Right, Qt::AltModifier);
            k.goToTab(MainWindow::TabReadings);
            Messages::installScript(nullptr);
            whenModal(&run, [](QDialog*) { press(Qt::Key_Escape); });
            k.w.tabWidget->tabBar()->setCurrentIndex(MainWindow::TabLoadVTime);
            Messages::installScript(&k.msgs.script);
            QCOMPARE(k.tab(), int(MainWindow::TabReadings));
        }
        QVERIFY(!run.leftOpen);
        if (where == "chart") {
            k.activate();
            QTRY_VERIFY(k.w.readings()->page()->isAncestorOf(QApplication::focusWidget()));
        }
        k.msgs.script.shown.clear();
        press(Qt::Key_N, Qt::ControlModifier);
        const QString added = TestData::readingKey(k.shownSensor(), QDateTime(QDate(2024, 6, 1), QTime(9, 15, 0)));
        if (where == "chart") QCOMPARE(k.w.shared().db.scalar("SELECT COUNT(*) FROM `250475002`").toInt(), 1);
        else QCOMPARE(k.readingKeys(), before << added);
        QCOMPARE(k.shownKey(), added);
        QVERIFY(k.msgs.script.shown.empty());
    }

    void readingKeysLeaveTheSensorAlone()
    {
        Window k;
        k.showReading(2);
        press(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(k.shownKey(), key(R3));
        QCOMPARE(k.shownSensor(), Sensor1);
    }

    void tooltipsShowTheKeys_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("tip");
        QTest::newRow("add sensor") << "imgAddSensor"
                                    << "Add New (Ctrl+N)";
        QTest::newRow("previous sensor") << "imgPrevious"
                                         << "Previous (Alt+Left, Ctrl+PgUp)";
        QTest::newRow("next sensor") << "imgNext"
                                     << "Next (Alt+Right, Ctrl+PgDown)";
        QTest::newRow("first reading") << "imgFirst"
                                       << "First (Alt+Home)";
        QTest::newRow("previous reading") << "imgPrevData"
                                          << "Previous (Alt+Left, Ctrl+PgUp)";
        QTest::newRow("next reading") << "imgNextData"
                                      << "Next (Alt+Right, Ctrl+PgDown)";
        QTest::newRow("last reading") << "imgLast"
                                      << "Last (Alt+End)";
        QTest::newRow("add reading") << "imgAddReading"
                                     << "Add New (Ctrl+N)";
        QTest::newRow("database") << "imgDatabase"
                                  << "Database... (Ctrl+D)";
        QTest::newRow("no keys: delete") << "imgDelete"
                                         << "Delete";
    }

    void tooltipsShowTheKeys()
    {
        QFETCH(QString, image);
        QFETCH(QString, tip);
        Window k;
        QCOMPARE(k.get<QToolButton>(image)->toolTip(), tip);
    }

    void enterOrSpaceOnAFocusedImage_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void enterOrSpaceOnAFocusedImage()
    {
        QFETCH(int, key);
        Window k;
        k.showReading(1);
        k.focus("imgNextData");
        QCOMPARE(focusName(), QString("imgNextData"));
        press(key);
        QCOMPARE(k.shownKey(), Keys::key(R2));
        QCOMPARE(focusName(), QString("imgNextData"));
    }

    void tabKeys_data()
    {
        QTest::addColumn<int>("startTab");
        QTest::addColumn<QString>("startFocus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("focus");  // where the keyboard is on the page shown
        const int ctrl = Qt::ControlModifier, ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        QTest::newRow("Ctrl+3") << 0 << "cboSensors" << int(Qt::Key_3) << ctrl << 2 << "dtpRdate";
        QTest::newRow("Ctrl+2") << 0 << "txtFamily" << int(Qt::Key_2) << ctrl << 1 << "txtLevel";
        QTest::newRow("Ctrl+9") << 2 << "txtChannel(1)" << int(Qt::Key_9) << ctrl << 8 << "chkDontShowDestroyed";
        QTest::newRow("Ctrl+1") << 8 << "txtFilterLevel" << int(Qt::Key_1) << ctrl << 0 << "cboSensors";
        QTest::newRow("Ctrl+Tab") << 0 << "cboSensors" << int(Qt::Key_Tab) << ctrl << 1 << "txtLevel";
        QTest::newRow("Ctrl+Tab round") << 8 << "lstFiles" << int(Qt::Key_Tab) << ctrl << 0 << "cboSensors";
        QTest::newRow("Ctrl+Shift+Tab from the date picker")
            << 2 << "dtpRdate" << int(Qt::Key_Backtab) << ctrlShift << 1 << "txtLevel";
        QTest::newRow("Ctrl+Shift+Tab round")
            << 0 << "txtDateID" << int(Qt::Key_Backtab) << ctrlShift << 8 << "chkDontShowDestroyed";
        QTest::newRow("from the tab strip") << 0 << "SSTab1" << int(Qt::Key_3) << ctrl << 2 << "dtpRdate";
    }

    void tabKeys()
    {
        QFETCH(int, startTab);
        QFETCH(QString, startFocus);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, tab);
        QFETCH(QString, focus);
        Window k;
        k.goToTab(startTab);
        if (startFocus == "SSTab1") k.w.tabWidget->tabBar()->setFocus(Qt::TabFocusReason);
        else k.focus(startFocus);
        QCOMPARE(focusName(), startFocus);
        press(key, Qt::KeyboardModifiers(mods));
        QCOMPARE(k.tab(), tab);
        QCOMPARE(focusName(), focus);
        QVERIFY(k.msgs.script.shown.empty());
    }

    void tabKeyRunsTheTabChange()
    {
        // Leaving the Readings tab by key stores the reading on screen, as a click on a
        // tab does.
        Window k;
        k.showReading(1);
        auto* box = k.get<QLineEdit>("txtChannel(3)");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, "55.5");
        press(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(k.tab(), int(MainWindow::TabIdentification));
        QCOMPARE(k.stored(R1, "Channel3").toString(), QString("55.50"));
    }

    void tabLeavesThePickersAtOnce()
    {
        Window k;
        k.showReading(2);
        k.focus("dtpRdate");
        QCOMPARE(walk(2), (QStringList{"dtpRtime", "txtChannelT"}));
        // A date typed section by section is still taken when Tab leaves the picker.
        k.focus("dtpRdate");
        auto* date = k.get<QDateEdit>("dtpRdate");
        date->setDate(QDate(2024, 5, 2));
        QTest::keyClick(date, Qt::Key_End);   // the day section
        QTest::keyClick(date, Qt::Key_Down);  // one day earlier
        press(Qt::Key_Tab);
        QCOMPARE(focusName(), QString("dtpRtime"));
        const QDateTime redated(QDate(2024, 5, 1), R2.time());
        QCOMPARE(k.shownKey(), key(redated));
        QVERIFY(k.readingKeys().contains(key(redated)));
    }
};

QTEST_MAIN(TestKeysPages)
#include "tst_keys_pages.moc"
