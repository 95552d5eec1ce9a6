// The alarms as the user meets them in the program: one summary message at start-up, the
// status mark and word in the sensor list, the status line, the level lines and event marks
// of the time charts, the Alarms window (acknowledge with a note, go to sensor), the levels
// dialog's checks, and a reading typed on the Readings page evaluated when it is saved.
#include "support/TestEnv.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmEpisodePages.h"
#include "alarms/AlarmsController.h"
#include "alarms/AlarmLevelsDialog.h"
#include "alarms/AlarmsWindow.h"
#include "alarms/NotificationSettingsDialog.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmStore.h"
#include "notify/NotifySettings.h"
#include "notify/Outbox.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"
#include "tools/XlsxExport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
const QString Watched = QStringLiteral("240375001");
const QString Quiet = QStringLiteral("240375002");
const QDateTime T0 = QDateTime(QDate::currentDate().addDays(-20), QTime(8, 0));

TestData::NewReading loads(const QDateTime& when, double l1)
{
    TestData::NewReading r;
    r.when = when;
    const QString c = QString::number(100 * l1, 'f', 2);
    r.channels = {c, "0.00", "0.00", c, "0.00", "0.00"};
    r.temperature = "20.0";
    return r;
}

void setUpSensors()
{
    TestData::installFresh();
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {Watched});
    TestData::addSensor(*db, {Quiet});
    TestData::addReadings(*db, Watched, {loads(T0, 0), loads(T0.addDays(1), 6), loads(T0.addDays(2), 13)});
    TestData::addReadings(*db, Quiet, {loads(T0, 0), loads(T0.addDays(1), 1)});
    AlarmStore::Levels l;
    l.loadAlertUpper = 8;
    l.loadActionUpper = 12;
    AlarmStore::saveLevels(*db, Watched, l);
    AlarmStore::saveLevels(*db, Quiet, l);
}

// Starts the program and lets the start-up evaluation run.
void start(MainWindow& w)
{
    w.show();
    QTRY_VERIFY(!w.shared().loading);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
}  // namespace

class TestAlarmWindows : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void startupTellsOnceAndMarksTheList()
    {
        setUpSensors();
        {
            ScriptedMessages m;
            m.script.answers = {Messages::Answer::No};  // do not open the Alarms window
            MainWindow w;
            start(w);
            QCOMPARE(m.script.shown.size(), size_t(1));
            QCOMPARE(m.script.shown[0].title, QString("Alarms"));
            QVERIFY2(m.script.shown[0].text.startsWith("1 sensor passed Action since " +
                                                       T0.addDays(2).toString("yyyy/MM/dd 08:00")),
                     qPrintable(m.script.shown[0].text));
            QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);

            // The list: a coloured mark, and the word in the entry and its tooltip.
            auto* list = w.findChild<QComboBox*>("cboSensors");
            const int i = list->findText(Watched);
            QVERIFY(!list->itemData(i, Qt::DecorationRole).isNull());
            QVERIFY(list->itemData(i, Qt::ToolTipRole).toString().startsWith("Alarm status: Action - Load #1 13.00 t"));
            QCOMPARE(list->itemData(i, Qt::UserRole + 41).toString(), QString("Action"));
            QCOMPARE(list->itemData(list->findText(Quiet), Qt::UserRole + 41).toString(), QString("OK"));

            // The status line of the sensor shown.
            QVERIFY(w.goToSensor(Watched));
            auto* line = w.findChild<QLabel*>("lblAlarmStatus");
            QVERIFY2(line->toolTip() ==
                         "Alarm status: Action - Load #1 13.00 t since " + T0.addDays(2).toString("yyyy/MM/dd 08:00"),
                     qPrintable(line->toolTip()));
            QCOMPARE(line->property("status").toString(), QString("Action"));
            QVERIFY(w.findChild<QLabel*>("lblAlarmLevels")->text().contains("Load above: Alert 8 t, Action 12 t"));

            // Load v Time: the two levels as labelled lines, the reading that raised the event
            // marked.
            w.tabWidget->setCurrentIndex(MainWindow::TabLoadVTime);
            auto* chart = w.findChild<ChartControl*>("ChartT");
            QVERIFY(chart);
            QCOMPARE(int(chart->levelLines().size()), 2);
            QCOMPARE(chart->levelLines()[0].label, QString("Alert 8 t"));
            QCOMPARE(chart->levelLines()[1].label, QString("Action 12 t"));
            QCOMPARE(chart->levelLines()[1].colour, QColor(AlarmStore::colourName(AlarmStore::Severity::Action)));
            QCOMPARE(chart->markCount(), 1);
            QVERIFY(chart->maximum(ChartControl::Axis::Left) >= 13);
            // Disp v Time has no displacement levels: no lines.
            w.tabWidget->setCurrentIndex(MainWindow::TabDispVTime);
            QVERIFY(w.findChild<ChartControl*>("ChartT2")->levelLines().empty());
            w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
            m.script.shown.clear();
        }
        // The next start has nothing new to tell.
        ScriptedMessages again;
        MainWindow w;
        start(w);
        QVERIFY(again.script.shown.empty());
    }

    // The window sends beside its work: while a hook holds the sending, the window goes on
    // (this test runs its events), the status line says so and the row waits; once the
    // hook may finish, every row is sent once and the line is back to the status alone.
    void notificationsAreSentBesideTheWindow()
    {
        setUpSensors();
        QTemporaryDir dir;
        const QString release = dir.filePath("release"), calls = dir.filePath("calls");
        const QString hook = dir.filePath("hook.sh");
        {
            QFile f(hook);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\ncat > /dev/null\necho call >> '" + calls.toUtf8() + "'\ni=0\nwhile [ ! -e '" +
                    release.toUtf8() + "' ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n[ -e '" +
                    release.toUtf8() + "' ]\n");
        }
        QFile::setPermissions(hook, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        auto db = TestData::openDatabase();
        NotifySettings::Settings s;
        s.hookCommand = hook;
        NotifySettings::save(*db, s);

        ScriptedMessages m;
        m.script.answers = {Messages::Answer::No};
        MainWindow w;
        start(w);
        QVERIFY(w.goToSensor(Watched));
        auto* line = w.findChild<QLabel*>("lblAlarmStatus");
        QTRY_VERIFY(QFile::exists(calls));
        QVERIFY2(line->text().contains(QStringLiteral("Sending alarm notifications\u2026")), qPrintable(line->text()));
        const size_t queued = Outbox::unsent(*db).size();
        QVERIFY(queued >= 1);

        QFile(release).open(QIODevice::WriteOnly);
        QTRY_VERIFY_WITH_TIMEOUT(Outbox::unsent(*db).empty(), 20000);
        QTRY_VERIFY(!line->text().contains(QStringLiteral("Sending")));
        QVERIFY(line->toolTip().startsWith("Alarm status: Action"));
        QFile f(calls);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(size_t(f.readAll().count("call")), queued);
    }

    void alarmsWindowAcknowledgesWithANoteAndGoesToTheSensor()
    {
        setUpSensors();
        ScriptedMessages m;
        m.script.answers = {Messages::Answer::No};
        MainWindow w;
        start(w);
        m.script.shown.clear();
        QVERIFY(w.goToSensor(Quiet));

        QString wentTo;
        AlarmsWindow window(w.shared().db, [&](const QString& id) {
            wentTo = id;
            return w.goToSensor(id);
        });
        QCOMPARE(window.grdAlarms->rowCount(), 1);
        QCOMPARE(window.grdAlarms->item(0, 0)->text(), QString("Open"));
        QCOMPARE(window.grdAlarms->item(0, 2)->text(), QString("Action"));
        QCOMPARE(window.grdAlarms->item(0, 3)->text(), QString("Load #1 (upper)"));
        QCOMPARE(window.grdAlarms->item(0, 4)->text(), QString("13.00 t"));

        // No note, no acknowledgement.
        m.script.promptAnswers = {QString("   ")};
        window.onAcknowledgeClicked();
        QCOMPARE(m.script.texts().last(), QString("An acknowledgement needs a note: nothing was acknowledged."));
        QVERIFY(AlarmStore::events(w.shared().db)[0].ackAt.isEmpty());
        // Cancelled: nothing either.
        m.script.promptAnswers = {QString()};
        window.onAcknowledgeClicked();
        QVERIFY(AlarmStore::events(w.shared().db)[0].ackAt.isEmpty());

        // Started without a login's environment (a scheduled job, a service), the
        // acknowledgement still names the account, as the row versions do.
        const QByteArray user = qgetenv("USER"), logname = qgetenv("LOGNAME");
        qunsetenv("USER");
        qunsetenv("LOGNAME");
        m.script.promptAnswers = {QString("Bolt re-tensioned, reading daily")};
        window.onAcknowledgeClicked();
        qputenv("USER", user);
        qputenv("LOGNAME", logname);
        const AlarmStore::Event e = AlarmStore::events(w.shared().db)[0];
        QCOMPARE(e.ackNote, QString("Bolt re-tensioned, reading daily"));
        QVERIFY(!e.ackBy.isEmpty());
        QCOMPARE(e.ackBy, w.shared().db.userName());
        QVERIFY(!e.ackAt.isEmpty());
        QCOMPARE(window.grdAlarms->item(0, 0)->text(), QString("Acknowledged"));
        window.cboAlarmFilter->setCurrentIndex(1);  // open only
        QCOMPARE(window.grdAlarms->rowCount(), 0);
        window.cboAlarmFilter->setCurrentIndex(2);  // acknowledged only
        QCOMPARE(window.grdAlarms->rowCount(), 1);

        // Enter in the list goes to the event's sensor and closes the window.
        window.show();
        window.grdAlarms->setFocus();
        QTest::keyClick(window.grdAlarms, Qt::Key_Return);
        QCOMPARE(wentTo, Watched);
        QCOMPARE(w.shared().currentSensorId(), Watched);
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

    // "Now" holds one row per active episode; a rise from Alert to Action stays one
    // episode and needs a new acknowledgement; a value back within the levels moves it to
    // "History" only.
    void nowShowsEpisodesAndARiseNeedsANewAcknowledgement()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {Watched});
        TestData::addReadings(*db, Watched, {loads(T0, 0), loads(T0.addDays(1), 9)});
        AlarmStore::Levels l;
        l.loadAlertUpper = 8;
        l.loadActionUpper = 12;
        AlarmStore::saveLevels(*db, Watched, l);
        AlarmEvaluation::evaluateSensor(*db, Watched, QDateTime::currentDateTime());
        ScriptedMessages m;
        AlarmsWindow window(*db, {});
        QCOMPARE(window.tabAlarms->currentWidget(), window.pageNow);
        QTableWidget* now = window.pageNow->grdNow;
        QCOMPARE(now->rowCount(), 1);
        QStringList row;
        for (int c = 0; c < 5; ++c) row << now->item(0, c)->text();
        QCOMPARE(row, (QStringList{Watched, "#1 (upper)", "Load", "Alert", "9.00 t"}));
        m.script.promptAnswers = {QString("watching it")};
        window.pageNow->onAcknowledgeClicked();
        QVERIFY(now->item(0, 6)->text().startsWith(AlarmStore::loginName()));

        TestData::addReadings(*db, Watched, {loads(T0.addDays(2), 13), loads(T0.addDays(3), 12.5)});
        AlarmEvaluation::evaluateSensor(*db, Watched, QDateTime::currentDateTime());
        window.pageNow->fill();
        QCOMPARE(now->rowCount(), 1);
        QCOMPARE(now->item(0, 3)->text(), QString("Action"));
        QCOMPARE(now->item(0, 4)->text(), QString("13.00 t"));  // the worst value
        QVERIFY(now->item(0, 6)->text().contains("again needed"));
        m.script.promptAnswers = {QString("area barricaded")};
        window.pageNow->onAcknowledgeSensorClicked();
        QVERIFY(AlarmEpisodes::active(*db, Watched)[0].acknowledged());

        TestData::addReadings(*db, Watched, {loads(T0.addDays(4), 1)});
        AlarmEvaluation::evaluateSensor(*db, Watched, QDateTime::currentDateTime());
        window.pageNow->fill();
        QCOMPARE(now->rowCount(), 0);
        window.pageHistory->fill();
        QTableWidget* history = window.pageHistory->grdHistory;
        QCOMPARE(history->rowCount(), 1);
        QCOMPARE(history->item(0, 3)->text(), QString("Action"));
        QCOMPARE(history->item(0, 6)->text(), AlarmStore::shownDate(AlarmStore::stamp(T0.addDays(4))));
        QCOMPARE(db->scalar("SELECT count(*) FROM AlarmEvents WHERE EpisodeID IS NULL").toInt(), 0);
    }

    void spreadsheetGivesTheStatus()
    {
        setUpSensors();
        auto db = TestData::openDatabase();
        AlarmEvaluation::evaluateAll(*db, QDateTime::currentDateTime());
        const QList<QStringList> rows = AlarmStore::sheetRows(*db, Watched);
        QCOMPARE(rows[1], (QStringList{"Alarm status", "Action"}));
        QCOMPARE(rows.last().mid(1, 3), (QStringList{"Action", "Load #1 (upper)", "13.00 t"}));
        QCOMPARE(AlarmStore::sheetRows(*db, "240375009")[1], (QStringList{"Alarm status", "No levels"}));
        const QString path = home.path() + "/status.xlsx";
        const XlsxExport::Result r = XlsxExport::writeGrid(path, "sheet", 2, 1, [](int, int) { return QString("x"); },
                                                           {}, {{"Alarm status", rows}});
        QVERIFY(r.ok);
    }

    void levelsDialogSaysWhatToCorrect()
    {
        ScriptedMessages m;
        AlarmLevelsDialog dlg(Watched, AlarmRules::Texts{});
        dlg.box(AlarmRules::LoadAlertUpper)->setText("10");
        dlg.box(AlarmRules::LoadActionUpper)->setText("9");
        dlg.onOkClicked();
        QCOMPARE(m.script.texts(),
                 QStringList{"The upper Action level for load (9) must be above its upper Alert level (10)."});
        QVERIFY(dlg.result() != QDialog::Accepted);
        dlg.box(AlarmRules::LoadActionUpper)->setText("12,x");
        dlg.onOkClicked();
        QVERIFY(m.script.texts().last().startsWith("\"12,x\" is not a number"));
        dlg.box(AlarmRules::LoadActionUpper)->setText("12");
        dlg.box(AlarmRules::StaleDays)->setText("5");
        dlg.onOkClicked();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(*dlg.levels().loadActionUpper, 12.0);
        QCOMPARE(*dlg.levels().staleDays, 5.0);
    }

    // The web view address the alarm messages link to: only an http or https address is
    // taken (said so, nothing saved); a saved one is shown again when the dialog next
    // opens, so saving other settings keeps it.
    void notificationSettingsKeepTheWebViewAddress()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        ScriptedMessages m;
        {
            NotificationSettingsDialog dlg(*db);
            dlg.txtWebAddress->setText("tarnwell.mine.example");
            QVERIFY(!dlg.save());
            QVERIFY(m.script.texts().last().startsWith("The web view address is given as http://host"));
            QVERIFY(NotifySettings::load(*db).webAddress.isEmpty());
            dlg.txtWebAddress->setText(" https://tarnwell.mine.example/web ");
            QVERIFY(dlg.save());
        }
        NotificationSettingsDialog again(*db);
        QCOMPARE(again.txtWebAddress->text(), QString("https://tarnwell.mine.example/web"));
        again.txtHook->setText("/bin/true");
        QVERIFY(again.save());
        QCOMPARE(NotifySettings::load(*db).webAddress, QString("https://tarnwell.mine.example/web"));
    }

    void aReadingSavedOnTheReadingsPageIsEvaluated()
    {
        setUpSensors();
        ScriptedMessages m;
        m.script.answers = {Messages::Answer::No, Messages::Answer::No};
        MainWindow w;
        start(w);
        QVERIFY(w.goToSensor(Quiet));
        m.script.shown.clear();
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        w.readings()->clock = [] { return QDateTime::currentDateTime().addSecs(-60); };
        w.findChild<QToolButton*>("imgAddReading")->click();
        w.findChild<QLineEdit*>("txtChannel(1)")->setText("900");
        w.findChild<QLineEdit*>("txtChannel(4)")->setText("900");
        w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);  // leaving the tab saves it
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.startsWith("1 sensor passed Alert since"));
        QCOMPARE(w.findChild<QLabel*>("lblAlarmStatus")->property("status").toString(), QString("Alert"));
        QCOMPARE(AlarmStore::state(w.shared().db, Quiet)->headline, QString("Load #1 9.00 t"));
    }
};

QTEST_MAIN(TestAlarmWindows)
#include "tst_alarmwindows.moc"
