#pragma once
#include "app/Shared.h"

#include <QSet>
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

// The main window: one tab control, SSTab1, with nine tabs. It owns the shared state and
// one controller per subsystem, and dispatches the window's events (load, resize, tab
// change, unload, end). Constructing it and showing it runs the start-up sequence.
class frmTarnwell : public QWidget {
    Q_OBJECT
public:
    // Tab indexes of SSTab1.
    enum Tab { TabIdentification = 0, TabInstallation, TabReadings, TabLoadVTime, TabDispVTime,
               TabLoadVLength, TabDispVLength, TabShearVLength, TabUtilities };

    explicit frmTarnwell(QWidget* parent = nullptr);
    ~frmTarnwell() override;

    Shared& shared() { return m_shared; }
    QTabWidget* SSTab1 = nullptr;

    SensorRegistry* sensors() const { return m_sensors; }
    ReadingsController* readings() const { return m_readings; }
    ChartsController* charts() const { return m_charts; }
    ToolsController* tools() const { return m_tools; }
    UtilitiesController* utilities() const { return m_utilities; }

    // Start-up outcome: a second copy turned away, or no database connection. In both
    // cases the window closes and the program ends.
    bool turnedAway() const { return m_turnedAway; }
    bool connectFailed() const { return m_connectFailed; }
    bool startupRefused() const { return m_turnedAway || m_connectFailed; }

    // The start-up sequence (run once, on the first show).
    void Form_Load();
    // Places SSTab1 for the window's state.
    void Form_Resize();
    // Closing: save the shown sensor and, on the Readings tab, a valid reading. False when
    // what is on screen could not be saved and the user keeps it (the window stays open).
    bool Form_Unload();
    // Release: close the recordsets and the connection, then compact the database.
    void Form_Terminate();

    // The tab SSTab1 showed before the current one.
    int previousTab() const { return m_previousTab; }

    // Moves SSTab1 to a tab as if the user had clicked it (runs the tab change).
    void selectTab(int index);

    // The structural check of the open database file in the background (started after the
    // first paint and after a restore); damage found is told once.
    void startStructureCheck();
    // Tests and the start-up benchmark may leave the check out.
    static void setStructureCheckEnabled(bool enabled);
    // The start-up found that the database cannot be written (the user was told).
    bool viewOnly() const { return m_viewOnly; }

    // How the user picks a database file on an account that has none (tests replace the
    // file dialog). An empty text means cancelled.
    using DatabaseChooser = std::function<QString(QWidget* parent)>;
    static void setDatabaseChooser(DatabaseChooser chooser);

    // Size of SSTab1 in pixels (fixed; the window centres it when maximised).
    static constexpr int TabWidth = 1100;
    static constexpr int TabHeight = 680;

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
    std::unique_ptr<QLockFile> m_instanceLock;
    bool m_loaded = false;
    bool m_turnedAway = false;
    bool m_connectFailed = false;
    bool m_terminated = false;
    bool m_painted = false;
    bool m_viewOnly = false;
    QSet<int> m_toldKinds;         // storage faults told in this run, by kind
    QSet<int> m_toldThisAction;    // ... and in the action now running
    int m_previousTab = 0;
    int m_currentTab = 0;
};
