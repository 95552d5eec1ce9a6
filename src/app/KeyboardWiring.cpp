#include "app/KeyboardWiring.h"
#include "app/MainWindow.h"
#include "widgets/Keyboard.h"

#include <QAbstractSpinBox>
#include <QShortcut>
#include <QTabWidget>

namespace Keyboard {

void install(MainWindow& win)
{
    QTabWidget* tabs = win.tabWidget;
    const QKeySequence previous1(Qt::ALT | Qt::Key_Left), previous2(Qt::CTRL | Qt::Key_PageUp);
    const QKeySequence next1(Qt::ALT | Qt::Key_Right), next2(Qt::CTRL | Qt::Key_PageDown);
    const QKeySequence addNew(Qt::CTRL | Qt::Key_N);

    if (QWidget* page = tabs->widget(MainWindow::TabIdentification)) {
        clickFocusOnly(page, {"txtSensor", "txtSnav", "txtSCount", "txtMineID", "txtSensor3"});
        setTabOrder(page,
                    {"cboSensors", "imgAddSensor", "imgPrevious", "imgNext", "imgDelete", "txtDateID", "txtTypeID",
                     "txtSensorNo", "txtFamily", "txtLengthofCable", "optStacked", "optStaggered", "txtBoltkfactor",
                     "txtLengthofGauge", "txtNumGauges", "cboDestroyed", "txtDestructionDate", "txtNode(1)"});
        addActionKeys(page, QStringLiteral("imgAddSensor"), {addNew});
        addActionKeys(page, QStringLiteral("imgPrevious"), {previous1, previous2});
        addActionKeys(page, QStringLiteral("imgNext"), {next1, next2});
        // The window opens with the keyboard in the sensor box.
        if (QWidget* box = page->findChild<QWidget*>(QStringLiteral("cboSensors"))) box->setFocus();
    }

    if (QWidget* page = tabs->widget(MainWindow::TabInstallation)) {
        clickFocusOnly(page, {"txtSensor2"});
        setTabOrder(page, {"txtLevel", "txtLocation", "txtBorehole", "txtInstallDate", "txtInstallBy", "txtPurpose",
                           "txtNotes", "cmdAlarmLevels"});
    }

    if (QWidget* page = tabs->widget(MainWindow::TabReadings)) {
        clickFocusOnly(page, {"txtReadingID"});
        setTabOrder(page, {"dtpRdate",      "dtpRtime",         "txtChannelT",    "txtChannel(1)", "txtChannel(2)",
                           "txtChannel(3)", "txtChannel(4)",    "txtChannel(5)",  "txtChannel(6)", "chkTemporal",
                           "chkSpatial",    "imgFirst",         "imgPrevData",    "imgNextData",   "imgLast",
                           "imgAddReading", "imgDeleteReading", "imgRejectValue", "imgDatasheet",  "imgAddWrenData"});
        for (const char* name : {"dtpRdate", "dtpRtime"})
            if (auto* picker = page->findChild<QAbstractSpinBox*>(QLatin1String(name))) tabLeavesPicker(picker);
        addActionKeys(page, QStringLiteral("imgFirst"), {QKeySequence(Qt::ALT | Qt::Key_Home)});
        addActionKeys(page, QStringLiteral("imgPrevData"), {previous1, previous2});
        addActionKeys(page, QStringLiteral("imgNextData"), {next1, next2});
        addActionKeys(page, QStringLiteral("imgLast"), {QKeySequence(Qt::ALT | Qt::Key_End)});
        addActionKeys(page, QStringLiteral("imgAddReading"), {addNew});
    }

    if (QWidget* page = tabs->widget(MainWindow::TabUtilities)) {
        setTabOrder(page, {"chkDontShowDestroyed", "txtFilterType", "txtFilterLevel", "txtFilterLocation",
                           "txtStartDate", "txtEndDate", "imgFilter", "imgDatabase", "imgBackup", "lstFiles",
                           "imgRestore", "imgReport", "imgAlarms", "imgHelp", "imgOpenLog", "imgInternet", "imgAbout"});
        addActionKeys(page, QStringLiteral("imgDatabase"), {QKeySequence(Qt::CTRL | Qt::Key_D)});
    }

    addTabKeys(&win, tabs);
    keepFocusOnShownPage(&win, tabs);

    // The Alarms window, from anywhere in the main window.
    auto* alarms = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &win);
    alarms->setObjectName(QStringLiteral("shortcutAlarms"));
    alarms->setContext(Qt::WindowShortcut);
    QObject::connect(alarms, &QShortcut::activated, &win, [&win] { win.showAlarms(); });

    // F5: the tab shown read again from the database (what other users changed).
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), &win);
    refresh->setObjectName(QStringLiteral("shortcutRefresh"));
    refresh->setContext(Qt::WindowShortcut);
    QObject::connect(refresh, &QShortcut::activated, &win, [&win] { win.refreshData(); });
}

}  // namespace Keyboard
