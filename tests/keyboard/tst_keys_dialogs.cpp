// The sub-windows by keyboard: where Tab goes, Escape closing each with its own cancel
// meaning and nothing changed, Enter pressing the window's default button, and Enter in
// the grids keeping to the grid.
#include "ModalKeys.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "readings/DeleteReadingsDialog.h"
#include "report/ReportController.h"
#include "report/ReportOptionsDialog.h"
#include "tools/ToolsController.h"

#include <QDir>
#include <QPushButton>
#include <QSqlError>
#include <QSqlRecord>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

using namespace Keys;

namespace {
const QString ImportQuestion = QStringLiteral(
    "Append 2 ticked readings to sensor 250475001?\r\n\r\n"
    "Plot Spatial (the length charts) is ticked on the first new reading of each day that has none.");
}

class TestKeysDialogs : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir files;

    // A logger file for the first sensor with two readings a day apart.
    void chooseLoggerFile()
    {
        const QString path = QDir(files.path()).filePath(Sensor1 + ".txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(
            "2024/06/01 10:00:00,7,2,1,20.0,1,2,3,4,5,6\r\n"
            "2024/06/02 10:00:00,7,2,1,20.0,1,2,3,4,5,6\r\n");
        f.close();
        ToolsController::setFileChooser([path](QWidget*) { return path; });
    }

    // Opens a window with the keyboard: the image focused, then Enter.
    static void openWithEnter(Window& k, const QString& image)
    {
        k.focus(image);
        QCOMPARE(focusName(), image);
        press(Qt::Key_Return);
    }

    // What Escape must leave as it was: the sensors, the first sensor's readings, the
    // alarm levels and notification settings, the rejected values.
    static QStringList snapshot(Window& k)
    {
        QStringList rows;
        for (const QString& table :
             {QStringLiteral("Sensors"), QStringLiteral("NetworkConfig"), Sensor1, QStringLiteral("AlarmLevels"),
              QStringLiteral("AlarmNotifySettings"), QStringLiteral("AlarmRecipients"), QStringLiteral("Rejections")}) {
            QSqlQuery q(k.w.shared().db.handle());
            if (!q.exec("SELECT * FROM `" + table + "`")) rows << "ERROR: " + table + ": " + q.lastError().text();
            while (q.next()) {
                QStringList values{table};
                for (int i = 0; i < q.record().count(); ++i) values << q.value(i).toString();
                rows << values.join('|');
            }
        }
        rows.sort();
        return rows;
    }

    static void closeIfOpen(QDialog* d)
    {
        if (d->isVisible()) press(Qt::Key_Escape);
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { installSensors(); }
    void cleanup() { ToolsController::setFileChooser({}); }

    void deletionWindowEscape()
    {
        Window k;
        k.showReading(2);
        ModalRun run;
        QStringList order, back;
        DeletionChoice choice;
        whenModal(&run, [&](QDialog* d) {
            order << focusName() << walk(6);
            back = walk(6, true);
            press(Qt::Key_Escape);
            choice = qobject_cast<DeleteReadingsDialog*>(d)->choice();
        });
        openWithEnter(k, "imgDeleteReading");
        QCOMPARE(run.seen, QString("frmBatchDel"));
        QVERIFY(!run.leftOpen);
        // The safe button has the focus first; then the calendars and buttons top down.
        const QStringList expected{"CancelButton", "DelStart", "DelEnd",      "OKButton",
                                   "cmdSingleDel", "Command1", "CancelButton"};
        QCOMPARE(order, expected);
        QStringList reversed = expected;
        std::reverse(reversed.begin(), reversed.end());
        QCOMPARE(back, reversed.mid(1));
        QVERIFY(!choice.single && !choice.dateRange && !choice.all);
        QVERIFY(!choice.start.isValid() && !choice.end.isValid());
        QCOMPARE(k.readingKeys(), (QStringList{key(R1), key(R2), key(R3)}));
        QCOMPARE(k.shownKey(), key(R2));
        k.activate();
        QCOMPARE(focusName(), QString("imgDeleteReading"));
    }

    void deletionWindowEnterNeverDeletes_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("closes");  // Enter presses CANCEL, the window's default
        QTest::newRow("start calendar") << "DelStart" << false;
        QTest::newRow("end calendar") << "DelEnd" << false;
        QTest::newRow("BATCH DELETE") << "OKButton" << true;
        QTest::newRow("DELETE") << "cmdSingleDel" << true;
        QTest::newRow("DELETE ALL") << "Command1" << true;
        QTest::newRow("CANCEL") << "CancelButton" << true;
    }

    void deletionWindowEnterNeverDeletes()
    {
        QFETCH(QString, focus);
        QFETCH(bool, closes);
        Window k;
        k.showReading(2);
        ModalRun run;
        bool closed = false;
        DeletionChoice choice;
        whenModal(&run, [&](QDialog* d) {
            d->findChild<QWidget*>(focus)->setFocus(Qt::TabFocusReason);
            press(Qt::Key_Return);
            closed = !d->isVisible();
            closeIfOpen(d);
            choice = qobject_cast<DeleteReadingsDialog*>(d)->choice();
        });
        k.get<QToolButton>("imgDeleteReading")->click();
        QCOMPARE(run.seen, QString("frmBatchDel"));
        QVERIFY(!run.leftOpen);
        QCOMPARE(closed, closes);
        QVERIFY(!choice.single && !choice.dateRange && !choice.all);
        QCOMPARE(k.readingKeys().size(), 3);
    }

    void datasheetEscapeWritesNothingBack()
    {
        Window k;
        k.showReading(2);
        ModalRun run;
        QStringList back;
        bool openAfterEnter = false;
        whenModal(&run, [&](QDialog* d) {
            // The keyboard starts in the grid; Enter there leaves the window open.
            QCOMPARE(focusName(), QString("MSFlexGrid1"));
            auto* grid = d->findChild<QTableView*>("MSFlexGrid1");
            grid->setCurrentIndex(grid->model()->index(0, 4));
            press(Qt::Key_Return);
            openAfterEnter = d->isVisible();
            back = walk(4, true);
            // A value changed behind the grid: closing must not write the grid over it.
            k.w.shared().db.execute(QString("UPDATE `%1` SET Channel1 = '5.55' WHERE DateTimeKey = ?").arg(Sensor1),
                                    {key(R1)});
            press(Qt::Key_Escape);
        });
        openWithEnter(k, "imgDatasheet");
        QCOMPARE(run.seen, QString("frmDatasheet"));
        QVERIFY(!run.leftOpen);
        QVERIFY(openAfterEnter);
        QCOMPARE(back, (QStringList{"Image1", "chkExportComputed", "cmdReject",
                                    "cmdClose"}));  // Discard changes waits for a change
        QVERIFY(k.msgs.script.shown.empty());
        QCOMPARE(k.stored(R1, "Channel1").toString(), QString("5.55"));
        // The main window shows again the reading it showed.
        QCOMPARE(k.shownKey(), key(R2));
        QCOMPARE(k.get<QLineEdit>("txtRcount")->text(), QString("2 of 3"));
    }

    void datasheetEscapeDropsTheCellThenAsks()
    {
        // Escape in a cell's editor drops that edit only; Escape on the grid then closes the
        // window, asking first about the corrections entered (the script answers Save).
        Window k;
        k.showReading(3);
        ModalRun run;
        QString afterStrayKey;
        whenModal(&run, [&](QDialog* d) {
            auto* grid = d->findChild<QTableView*>("MSFlexGrid1");
            auto type = [](const char* keys) {
                for (const char* c = keys; *c; ++c) QTest::keyClick(QApplication::focusWidget(), *c);
            };
            grid->setCurrentIndex(grid->model()->index(1, 4));  // second reading, Channel1 "11.00"
            type("7");
            press(Qt::Key_Escape);
            afterStrayKey = grid->currentIndex().data().toString() + (d->isVisible() ? "" : " closed");
            grid->setCurrentIndex(grid->model()->index(0, 4));  // first reading, Channel1 "10.00"
            type("42.5");
            press(Qt::Key_Return);
            QCoreApplication::processEvents();
            press(Qt::Key_Escape);
        });
        k.get<QToolButton>("imgDatasheet")->click();
        QCOMPARE(run.seen, QString("frmDatasheet"));
        QVERIFY(!run.leftOpen);
        QCOMPARE(afterStrayKey, QString("11.00"));
        QCOMPARE(k.msgs.script.shown.size(), size_t(1));
        QCOMPARE(k.msgs.script.shown[0].choices, QStringList({"Save", "Discard", "Cancel"}));
        QCOMPARE(k.stored(R1, "Channel1").toString(), QString("42.50"));
        QCOMPARE(k.stored(R2, "Channel1").toString(), QString("11.00"));
        QCOMPARE(k.shownKey(), key(R3));
    }

    void importWindowEscapeAppendsNothing()
    {
        chooseLoggerFile();
        Window k;
        k.showReading(2);
        ModalRun run;
        QStringList order;
        bool openAfterEnter = false;
        whenModal(&run, [&](QDialog* d) {
            order << focusName() << walk(7);
            // Enter inside the grid stays in the grid: no append, no question.
            auto* grid = d->findChild<QTableView*>("MSFlexGrid1");
            grid->setFocus(Qt::TabFocusReason);
            grid->setCurrentIndex(grid->model()->index(0, 0));
            press(Qt::Key_Return);
            press(Qt::Key_Enter, Qt::KeypadModifier);
            openAfterEnter = d->isVisible();
            press(Qt::Key_Escape);
        });
        openWithEnter(k, "imgAddWrenData");
        QCOMPARE(run.seen, QString("frmWrenData"));
        QVERIFY(!run.leftOpen);
        QCOMPARE(order, (QStringList{"optDateFormat(0)", "cboWrenInt", "cmdSelectAll", "cmdSelectNone", "cmdAppend",
                                     "cmdCancel", "MSFlexGrid1", "optDateFormat(0)"}));
        QVERIFY(openAfterEnter);
        QVERIFY(k.msgs.script.shown.empty());
        QCOMPARE(k.readingKeys(), (QStringList{key(R1), key(R2), key(R3)}));
        QCOMPARE(k.shownKey(), key(R2));
    }

    void importWindowEnterAppends_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("readings");
        QTest::newRow("from the date format, Yes") << "optDateFormat(0)" << int(Messages::Answer::Yes) << 5;
        QTest::newRow("from the date format, No") << "optDateFormat(0)" << int(Messages::Answer::No) << 3;
        QTest::newRow("on the append button, Yes") << "cmdAppend" << int(Messages::Answer::Yes) << 5;
    }

    void importWindowEnterAppends()
    {
        QFETCH(QString, focus);
        QFETCH(int, answer);
        QFETCH(int, readings);
        chooseLoggerFile();
        Window k;
        k.showReading(3);
        k.msgs.script.answers = {Messages::Answer(answer)};
        ModalRun run;
        whenModal(&run, [&](QDialog* d) {
            d->findChild<QWidget*>(focus)->setFocus(Qt::TabFocusReason);
            press(Qt::Key_Return);
        });
        k.get<QToolButton>("imgAddWrenData")->click();
        QCOMPARE(run.seen, QString("frmWrenData"));
        QVERIFY(!run.leftOpen);  // appending or declining closes the window
        QVERIFY(!k.msgs.script.shown.empty());
        QCOMPARE(k.msgs.script.shown.front().text, ImportQuestion);
        QCOMPARE(k.readingKeys().size(), readings);
    }

    void reportWindowEscape()
    {
        Window k;
        k.goToTab(MainWindow::TabUtilities);
        ModalRun run;
        whenModal(&run, [](QDialog*) { press(Qt::Key_Escape); });
        openWithEnter(k, "imgReport");
        QCOMPARE(run.seen, QString("frmReport"));
        QVERIFY(!run.leftOpen);
        QVERIFY(!k.w.report()->reportWindow()->answer());
        QVERIFY(k.desktop.recorder.requests.isEmpty());
        QVERIFY(!QDir(Paths::dataFolder() + "/Reports").exists());
        QCOMPARE(k.tab(), int(MainWindow::TabUtilities));
    }

    void reportWindowByKeyboard()
    {
        // Tab through the period and the boxes, Space clears the four charts, Enter is OK.
        Window k;
        k.goToTab(MainWindow::TabUtilities);
        ModalRun run;
        QStringList order;
        whenModal(&run, [&](QDialog*) {
            order << focusName();
            // Tab moves through a date's day, month and year before it leaves the box.
            for (const QString& name : walk(7))
                if (name != order.last()) order << name;
            for (int i = 0; i < 4; ++i) {
                press(Qt::Key_Tab);
                order << focusName();
                press(Qt::Key_Space);
            }
            order << walk(5);
            press(Qt::Key_Return);  // on the cover box: the window's default, OK
        });
        k.get<QToolButton>("imgReport")->click();
        QCOMPARE(run.seen, QString("frmReport"));
        QVERIFY(!run.leftOpen);
        QCOMPARE(order, (QStringList{"chkCover", "dtpFrom", "dtpTo", "cmdWholeRecord", "chkTemp", "chkRate",
                                     "chkSpatial", "chkDvL", "chkSvL", "chkPdf", "cmdOK", "cmdCancel", "chkCover"}));
        QVERIFY(k.w.report()->reportWindow()->answer());
        const ReportOptions o = *k.w.report()->reportWindow()->answer();
        QVERIFY(o.cover && o.pdf);
        QVERIFY(!o.loadVTime && !o.dispVTime && !o.loadVLength && !o.dispVLength && !o.shearVLength);
        QCOMPARE(k.desktop.recorder.requests.size(), 2);
        QVERIFY(k.desktop.recorder.requests[0].endsWith(".odt"));
        QVERIFY(k.desktop.recorder.requests[1].endsWith(".pdf"));
    }

    // Escape in the real boxes and windows closes them, and nothing is stored: the
    // Database dialog, the alarm windows, the choice of a value to reject, the question on
    // leaving a refused reading. (The sensor deletion's question: the sensor tests.)
    void escapeChangesNothing_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("Database dialog") << "Database";
        QTest::newRow("alarm levels") << "frmAlarmLevels";
        QTest::newRow("alarm notifications") << "frmAlarmNotify";
        QTest::newRow("reject or restore a value") << "Reject or Restore a Value";
        QTest::newRow("refused reading") << "Reading not stored";
    }
    void escapeChangesNothing()
    {
        QFETCH(QString, window);
        Window k;
        k.showReading(2);
        const QString database = k.w.shared().databasePath;
        const QStringList before = snapshot(k);
        QCOMPARE(before.filter("ERROR: "), QStringList());
        Messages::installScript(nullptr);  // the boxes the user sees
        ModalRun run;
        QString seen;
        auto escape = [&seen](QDialog* d) {
            seen = d->objectName().isEmpty() ? d->windowTitle() : d->objectName();
            press(Qt::Key_Escape);
        };
        if (window == "Database") {
            k.goToTab(MainWindow::TabUtilities);
            whenModal(&run, escape);
            press(Qt::Key_D, Qt::ControlModifier);
        } else if (window == "frmAlarmLevels") {
            k.goToTab(MainWindow::TabInstallation);
            whenModal(&run, [&](QDialog* d) {
                QTest::keyClicks(QApplication::focusWidget(), "12");  // typed, then left
                escape(d);
            });
            k.get<QToolButton>("cmdAlarmLevels")->click();
        } else if (window == "frmAlarmNotify") {
            // The notification settings over the Alarms window: Escape closes each.
            ModalRun inner;
            whenModal(&run, [&](QDialog* alarms) {
                whenModal(&inner, escape);
                alarms->findChild<QPushButton*>("cmdNotifications")->click();
                QVERIFY(!inner.leftOpen);
                alarms->activateWindow();
                QVERIFY(QTest::qWaitFor([alarms] { return alarms->isActiveWindow(); }));
                press(Qt::Key_Escape);
            });
            press(Qt::Key_L, Qt::ControlModifier);
        } else if (window == "Reject or Restore a Value") {
            whenModal(&run, escape);
            k.get<QToolButton>("imgRejectValue")->click();
        } else {
            k.get<QLineEdit>("txtChannel(1)")->setText("99999");
            k.focus("txtChannel(1)");
            whenModal(&run, escape);
            press(Qt::Key_1, Qt::ControlModifier);
            QCOMPARE(k.tab(), int(MainWindow::TabReadings));  // kept on screen to be corrected
        }
        Messages::installScript(&k.msgs.script);
        QCOMPARE(seen, window);
        QVERIFY(!run.leftOpen);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(k.w.shared().databasePath, database);
        QCOMPARE(snapshot(k), before);
    }

    // An account with no database: Escape in the start-up choices makes nothing and quits.
    void startChoicesEscape()
    {
        TARNWELL_FILE_ONLY();
        QDir(Paths::makerFolder()).removeRecursively();
        ModalRun run;
        QString seen;
        whenModal(&run, [&](QDialog* d) {
            seen = d->windowTitle();
            press(Qt::Key_Escape);
        });
        MainWindow w;
        w.show();  // the start-up asks
        QVERIFY(!run.leftOpen);
        QCOMPARE(seen, QString("Orrisford's Tarnwell"));
        QVERIFY(w.connectFailed());
        QVERIFY(!QFileInfo::exists(Paths::makerFolder()));
    }

    void aboutWindowCloses_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void aboutWindowCloses()
    {
        QFETCH(int, key);
        Window k;
        k.goToTab(MainWindow::TabUtilities);
        ModalRun run;
        QString first;
        whenModal(&run, [&](QDialog*) {
            first = focusName();
            press(key);
        });
        openWithEnter(k, "imgAbout");
        QCOMPARE(run.seen, QString("frmSplash"));
        QCOMPARE(first, QString("Command1"));
        QVERIFY(!run.leftOpen);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
};

QTEST_MAIN(TestKeysDialogs)
#include "tst_keys_dialogs.moc"
