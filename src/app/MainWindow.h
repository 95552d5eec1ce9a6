#pragma once
#include <optional>
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QSet>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>

class QTabWidget;
class QLockFile;
class SensorRegistry;
class ReadingsController;
class ChartsController;
class ToolsController;
class UtilitiesController;
class ReportController;
class AlarmsController;

// The main window: one tab control, SSTab1, with nine tabs. It owns the shared state and
// one controller per subsystem, and dispatches the window's events (load, resize, tab
// change, unload, end). Constructing it and showing it runs the start-up sequence.
// It is the one place that knows every page: each page is given the window as a PageHost
// (the tab indexes are PageHost::Tab), and the window routes what a page asks of another.
class MainWindow : public QWidget, public PageHost {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Shared& shared() override { return m_shared; }
    QTabWidget* tabWidget = nullptr;

    SensorRegistry* sensors() const { return m_sensors; }
    ReadingsController* readings() const { return m_readings; }
    ChartsController* charts() const { return m_charts; }
    ToolsController* tools() const { return m_tools; }
    UtilitiesController* utilities() const { return m_utilities; }
    ReportController* report() const { return m_report.get(); }
    AlarmsController* alarms() const { return m_alarms; }

    // Start-up outcome: a second copy turned away, or no database connection. In both
    // cases the window closes and the program ends.
    bool turnedAway() const { return m_turnedAway; }
    bool connectFailed() const { return m_connectFailed; }
    bool startupRefused() const { return m_turnedAway || m_connectFailed; }

    // The start-up sequence (run once, on the first show).
    void startUp();
    // Places SSTab1 for the window's state: it fills the window within a margin.
    void fitToWindow();
    // The size the window opens with the first time: the tab control at its laid-out size.
    static QSize defaultSize();
    // The smallest window in which every page can still be used (the sensor pages scroll).
    static constexpr int MinimumWidth = 900;
    static constexpr int MinimumHeight = 560;
    // Closing: save the shown sensor and, on the Readings tab, leave the reading as every
    // road out of it does. False when what is on screen could not be saved and the user
    // keeps it (the window stays open).
    bool readyToClose();
    // Release: close the recordsets and the connection, then compact the database.
    void shutDown();

    // The tab SSTab1 showed before the current one.
    int previousTab() const { return m_previousTab; }

    // The tab change: saves what the tab being left holds, then prepares the tab entered.
    void runTabChange(int previousTab);
    // F5: what the current tab shows read again from the database (what other users
    // changed), after saving what is on screen.
    void refreshData();

    // Tests and the start-up benchmark may leave the check out.
    static void setStructureCheckEnabled(bool enabled);
    // The lock file that turns a second copy away: one per user (in the user's cache
    // folder) and per machine (named after it), so that copies on two machines sharing a
    // home folder both run, each on the shared database.
    static QString instanceLockPath();
    // The start-up found that the database cannot be written (the user was told).
    bool viewOnly() const { return m_viewOnly; }

    // How the user picks a database file on an account that has none (tests replace the
    // file dialog). An empty text means cancelled.
    using DatabaseChooser = std::function<QString(QWidget* parent)>;
    static void setDatabaseChooser(DatabaseChooser chooser);

    // PageHost: what the pages ask of the window (app/PageRouting.cpp).
    QWidget* widget() override { return this; }
    int currentTab() const override;
    void selectTab(int index) override;
    void setTabEnabled(int index, bool enabled) override;
    QString tabText(int index) const override;
    SensorDetails shownSensor() const override;
    void whitenSensorNodeBoxes() override;
    void enableSensorCentreBoxes(int channels) override;
    void fillSensorFields() override;
    void showSensorNumber(const QString& id) override;
    void refreshSensorList() override;
    bool rereadSensors() override;
    void showSensorsAfterReopen() override;
    void configureReadings() override;
    bool saveReading() override;
    void showReading() override;
    void openDatasheet() override;
    void importLoggerData() override;
    QImage chartPicture(int tab, const QSize& size, const QDate& from, const QDate& to) override;
    void readingsChanged() override;
    void editAlarmLevels() override;
    void showAlarms() override;
    bool goToSensor(const QString& id) override;
    // The structural check of the open database file in the background (started after the
    // first paint and after a restore); damage found is told once.
    void checkDatabaseStructure() override;
    void stopBackgroundPasses() override;
    std::vector<ChartLine> timeChartLines(int tab) override;
    void makeReport() override;
    void showAbout() override;

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTabChanged(int index);
    void endProgram();

    // Start-up steps (StartupChecks.cpp).
    bool takeInstanceLock();
    bool connectDatabase();
    bool offerNewDatabase();
    void tellWriteAccess();
    void onStructureChecked(const StructureCheck::Outcome& outcome);
    void tellStorageFault(const TwError& error, const QString& tag);
    bool askKeepTyped(const TwError& error, const QString& what);

    Shared m_shared;
    SensorRegistry* m_sensors = nullptr;
    ReadingsController* m_readings = nullptr;
    ChartsController* m_charts = nullptr;
    ToolsController* m_tools = nullptr;
    UtilitiesController* m_utilities = nullptr;
    std::unique_ptr<ReportController> m_report;
    AlarmsController* m_alarms = nullptr;
    std::unique_ptr<QLockFile> m_instanceLock;
    bool m_loaded = false;
    bool m_turnedAway = false;
    bool m_connectFailed = false;
    bool m_terminated = false;
    bool m_painted = false;
    bool m_keepingTab = false;  // going back to a tab whose typed values could not be saved
    bool m_viewOnly = false;
    QSet<int> m_toldKinds;       // storage faults told in this run, by kind
    QSet<int> m_toldThisAction;  // ... and in the action now running
    bool m_closing = false;
    int m_previousTab = 0;
    int m_currentTab = 0;
};
