#include "app/MainWindow.h"
#include "alarms/AlarmsController.h"
#include "app/KeyboardWiring.h"
#include "app/SplashScreen.h"
#include "charts/ChartsController.h"
#include "core/AppInfo.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "core/StorageFault.h"
#include "data/SensorDetails.h"
#include "database/DatabaseOpening.h"
#include "maintenance/UtilitiesController.h"
#include "readings/ReadingsController.h"
#include "report/ReportController.h"
#include "sensors/SensorRegistry.h"
#include "tools/ToolsController.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QFileInfo>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmTarnwell"));
    setWindowTitle(AppInfo::MainWindowTitle);
    MessageBoxes::install();
    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("SSTab1"));
    tabWidget->tabBar()->setElideMode(Qt::ElideNone);  // every caption stays whole
    tabWidget->setGeometry(8, 8, TabWidth, TabHeight);

    m_sensors = new SensorRegistry(*this);
    m_readings = new ReadingsController(*this);
    m_charts = new ChartsController(*this);
    m_tools = new ToolsController(*this);
    m_utilities = new UtilitiesController(*this);
    m_report = std::make_unique<ReportController>(*this);
    m_alarms = new AlarmsController(*this);
    connect(m_alarms, &AlarmsController::statusesChanged, this, [this] { m_sensors->refreshStatusMarks(); });
    connect(m_alarms, &AlarmsController::activityChanged, this,
            [this](const QString& text) { m_sensors->showAlarmActivity(text); });

    tabWidget->addTab(m_sensors->identificationTab(), QStringLiteral("1. Identification"));
    tabWidget->addTab(m_sensors->installationTab(), QStringLiteral("2. Installation"));
    tabWidget->addTab(m_readings->page(), QStringLiteral("3. Readings"));
    tabWidget->addTab(m_charts->page(TabLoadVTime), QStringLiteral("4. Load v Time"));
    tabWidget->addTab(m_charts->page(TabDispVTime), QStringLiteral("5. Disp v Time"));
    tabWidget->addTab(m_charts->page(TabLoadVLength), QStringLiteral("6. Load v Length"));
    tabWidget->addTab(m_charts->page(TabDispVLength), QStringLiteral("7. Disp v Length"));
    tabWidget->addTab(m_charts->page(TabShearVLength), QStringLiteral("8. Shear v Length"));
    tabWidget->addTab(m_utilities->page(), QStringLiteral("9. Utilities"));
    connect(tabWidget, &QTabWidget::currentChanged, this, &MainWindow::onTabChanged);
    tabWidget->tabBar()->installEventFilter(this);
    tabWidget->installEventFilter(this);  // its first paint starts the structural check
    Keyboard::install(*this);

    // The default size shows every page as it was laid out; the window may grow (the
    // charts and grids take the room) or shrink to a laptop's screen (the sensor pages
    // then scroll).
    resize(defaultSize());
    setMinimumSize(MinimumWidth, MinimumHeight);
}

namespace {
// The window that tells the user about faults of the database file.
MainWindow* g_storageTeller = nullptr;
}  // namespace
QSize MainWindow::defaultSize() { return QSize(TabWidth + 16, TabHeight + 16); }

MainWindow::~MainWindow()
{
    shutDown();
    if (g_storageTeller == this) {
        StorageFault::installTeller({});
        StorageFault::installAsker({});
        g_storageTeller = nullptr;
    }
}

void MainWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!m_loaded) {
        m_loaded = true;
        startUp();
    }
}

void MainWindow::endProgram()
{
    // Close once the current event is done, so the caller's message box has returned.
    QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::startUp()
{
    Shared& s = m_shared;

    // 1. Only one copy runs at a time.
    if (!takeInstanceLock()) {
        m_turnedAway = true;
        Messages::show(QStringLiteral("Tarnwell is already running\r\nCannot load program again"),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
        endProgram();
        return;
    }
    // Faults of the database file are told to the user from here on.
    StorageFault::installTeller([this](const TwError& e, const QString& tag) { tellStorageFault(e, tag); });
    StorageFault::installAsker([this](const TwError& e, const QString& what) { return askKeepTyped(e, what); });
    g_storageTeller = this;

    s.loading = true;
    runTrapped(QStringLiteral(" Form_Load"), [&] {
        // 3. Hide the error label and select the first tab.
        m_readings->lblError->setVisible(false);
        tabWidget->setCurrentIndex(TabIdentification);

        // 4-5. Folders and the database path.
        s.makerFolder = Paths::makerFolder();
        s.dataFolder = Paths::dataFolder();
        s.databasePath = DatabaseChoice::current();

        // 6-10. The connection (on an account with no database yet, the offer to make one),
        // whether it can be written, Configuration, preferences, sensors. A database of an
        // earlier release is upgraded (after a copy is kept); one changed by a newer release
        // is left alone.
        QString refusal;
        const DatabaseOpening::Outcome opened =
            DatabaseOpening::open(s, {[this] { return connectDatabase(); }, [this] { tellWriteAccess(); }}, &refusal);
        if (opened != DatabaseOpening::Outcome::Opened) {
            m_connectFailed = true;
            if (opened == DatabaseOpening::Outcome::Refused)
                Messages::show(refusal + QStringLiteral("\r\nProgram must exit"),
                               QStringLiteral("Database connection error"), Messages::Icon::Critical);
            endProgram();
            return;
        }

        // 11-12. The sensor list and the first sensor.
        if (!s.rsSensors->bof() && !s.rsSensors->eof()) {
            m_sensors->rebuildSensorList();
            s.rsSensors->moveFirst();
            m_sensors->txtSCount->setText(QString::number(s.rsSensors->recordCount()));
            m_sensors->fillfields();
            m_sensors->cboSensors->setEditText(SensorDetails::idOf(*s.rsSensors));
        } else {
            Messages::show(QStringLiteral("There are no sensors in the database, \r\n") +
                               QStringLiteral("click the ADD NEW button to begin using Tarnwell"),
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
            m_sensors->txtSCount->setText(QStringLiteral("0"));
        }

        // The alarm levels of every sensor are evaluated once the window is on screen.
        QTimer::singleShot(0, this, [this] {
            if (!m_closing && m_shared.db.isOpen()) m_alarms->evaluateAtStartup();
        });
    });
    s.loading = false;
}

void MainWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    fitToWindow();
}

void MainWindow::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) fitToWindow();
}

void MainWindow::fitToWindow()
{
    if (isMinimized()) return;
    // The tab control fills the window within a margin of 120 twips, maximised or not.
    tabWidget->setGeometry(8, 8, std::max(0, width() - 16), std::max(0, height() - 16));
}

void MainWindow::onTabChanged(int index)
{
    m_previousTab = m_currentTab;
    m_currentTab = index;
    runTabChange(m_previousTab);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tabWidget && event->type() == QEvent::Paint && !m_painted) {
        // The window is on screen: the structural check may start, after this paint.
        m_painted = true;
        QTimer::singleShot(0, this, [this] { checkDatabaseStructure(); });
    }
    // A click on the tab strip while a chart tab of the time or load-length kind is shown
    // releases the readings recordset; the tab change reopens what the next tab needs.
    if (watched == tabWidget->tabBar() && event->type() == QEvent::MouseButtonPress) {
        const int cur = tabWidget->currentIndex();
        if (cur == TabLoadVTime || cur == TabDispVTime || cur == TabLoadVLength)
            ignoringErrors([&] {
                if (m_shared.rsReadings && m_shared.rsReadings->isOpen()) m_shared.rsReadings->close();
            });
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (!readyToClose()) {
        e->ignore();  // what is on screen could not be saved and the user keeps it
        return;
    }
    e->accept();
}

bool MainWindow::readyToClose()
{
    if (m_turnedAway || !m_loaded) return true;
    bool close = true;
    m_closing = true;  // a reading saved now is evaluated, and its events told at the next start
    runTrapped(QStringLiteral(" Form_Unload"), [&] {
        if (!m_shared.db.isOpen()) return;
        if (!m_sensors->savefields(SensorRegistry::SaveThen::Close)) close = false;
        if (tabWidget->currentIndex() == TabReadings && !m_readings->leaveReading()) close = false;
    });
    if (!close) m_closing = false;  // the window stays open with what the user kept
    return close;
}

void MainWindow::stopBackgroundPasses()
{
    if (m_charts) m_charts->stopBackgroundPasses();
}

void MainWindow::makeReport() { m_report->onReportClicked(); }

void MainWindow::showAbout()
{
    SplashScreen about(this);
    about.exec();
}

void MainWindow::shutDown()
{
    if (m_terminated) return;
    m_terminated = true;
    if (m_turnedAway || !m_loaded) return;
    // The compaction's progress window lets events through: a box losing the focus then
    // must not run its handler on released recordsets. The focus leaves now, while they
    // are still open, and the pages take no focus afterwards.
    ignoringErrors([&] {
        if (QWidget* f = QApplication::focusWidget(); f && isAncestorOf(f)) f->clearFocus();
        tabWidget->setEnabled(false);
    });
    // Computed columns still being stored are stored first (or left marked if stopped).
    ignoringErrors([&] {
        if (m_charts) m_charts->finishBackgroundPasses();
    });
    const bool wasOpen = m_shared.db.isOpen();
    // A database server looks after its own storage: there is no file to compact.
    const bool onServer = m_shared.db.isServer();
    // A database the structural check found damaged is not rewritten: it waits, as it is,
    // for a restore.
    const QStringList damage = m_shared.db.knownDamage();
    ignoringErrors([&] { m_shared.rsSensors.reset(); });
    ignoringErrors([&] { m_shared.rsReadings.reset(); });
    ignoringErrors([&] { m_shared.rsGraph.reset(); });
    ignoringErrors([&] { m_shared.rsConfig.reset(); });
    ignoringErrors([&] { m_shared.rsPrefs.reset(); });
    ignoringErrors([&] { m_shared.db.close(); });  // also stops a structural check still running
    if (!damage.isEmpty()) WriteLog(QStringLiteral("The database was not compacted: it is damaged G_CompactDB"));
    else if (wasOpen && !onServer)
        ignoringErrors([&] {
            // The file in use: the data folder's own, or the one chosen for this run.
            const QFileInfo file(m_shared.databasePath);
            m_utilities->compactDatabase(file.absolutePath() + '/', file.fileName());
        });
    m_instanceLock.reset();
}
