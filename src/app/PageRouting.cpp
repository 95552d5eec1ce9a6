// What the pages ask of the main window, routed to the page that answers, and the tab
// change, which calls on every page: the only code that knows them all.
#include "alarms/AlarmsController.h"
#include "app/MainWindow.h"
#include "charts/ChartsController.h"
#include "core/ErrorTrap.h"
#include "data/SensorDetails.h"
#include "maintenance/UtilitiesController.h"
#include "readings/ReadingsController.h"
#include "sensors/SensorRegistry.h"
#include "tools/ToolsController.h"

#include <QComboBox>
#include <QImage>
#include <QTabWidget>

// ----- the tab change -----------------------------------------------------------------------
// Every step runs with errors ignored: a failing step is skipped silently and the next
// one runs.
void MainWindow::runTabChange(int previousTab)
{
    const int tab = tabWidget->currentIndex();
    if (tab == previousTab || m_keepingTab) return;

    // 1. Save what the tab being left holds. What could not be saved and stays on screen
    // (the user's choice) keeps its tab: back to it, with nothing refilled.
    bool saved = true;
    if (previousTab == TabIdentification || previousTab == TabInstallation) {
        ignoringErrors([&] { saved = m_sensors->savefields(SensorRegistry::SaveThen::Refill); });
        if (saved) ignoringErrors([&] { m_sensors->fillfields(); });
    } else if (previousTab == TabReadings) {
        ignoringErrors([&] { saved = m_readings->leaveReadingsTab(); });
    }
    if (!saved) {
        m_keepingTab = true;
        ignoringErrors([&] { selectTab(previousTab); });
        m_keepingTab = false;
        return;
    }

    // Sensors other users added or deleted meanwhile are in the list (a sensor shown that
    // is gone is told, and the first one shown instead).
    ignoringErrors([&] { m_sensors->rereadSensorsIfChanged(false); });

    // 2-6. Prepare the tab entered.
    switch (tab) {
        case TabIdentification:
            ignoringErrors([&] { m_sensors->enterIdentificationTab(); });
            m_shared.savedReadingBookmark = 0;
            break;
        case TabInstallation:
            ignoringErrors([&] { m_sensors->enterInstallationTab(); });
            break;
        case TabReadings:
            // Opens the readings, shows the saved (or the last) reading, and removes a working
            // copy "datafile.txt" left by a logger import.
            ignoringErrors([&] { m_readings->enterReadingsTab(); });
            break;
        case TabUtilities:
            ignoringErrors([&] { m_utilities->ListBackups(); });
            break;
        default:
            if (ChartsController::isChartTab(tab)) m_charts->enterChartTab(tab, previousTab);
            break;
    }
}

void MainWindow::refreshData()
{
    const int tab = currentTab();
    if (tab == TabReadings) {
        // The sensor shown deleted meanwhile: told, and the readings of the one shown now.
        if (!rereadSensors()) ignoringErrors([&] { m_readings->enterReadingsTab(); });
        else m_readings->refreshReadings();
    } else if (tab == TabIdentification || tab == TabInstallation) {
        m_sensors->refreshSensors();
    } else {
        ignoringErrors([&] { m_sensors->rereadSensorsIfChanged(true); });
        if (ChartsController::isChartTab(tab) && tab == currentTab()) m_charts->enterChartTab(tab, tab);
    }
}

// ----- tabs ---------------------------------------------------------------------------------
int MainWindow::currentTab() const { return tabWidget->currentIndex(); }

void MainWindow::selectTab(int index) { tabWidget->setCurrentIndex(index); }

void MainWindow::setTabEnabled(int index, bool enabled) { tabWidget->setTabEnabled(index, enabled); }

QString MainWindow::tabText(int index) const { return tabWidget->tabText(index); }

// ----- the sensor pages ---------------------------------------------------------------------
SensorDetails MainWindow::shownSensor() const { return m_sensors->shownSensor(); }

void MainWindow::whitenSensorNodeBoxes() { m_sensors->whitenNodeBoxes(); }

void MainWindow::enableSensorCentreBoxes(int channels) { m_sensors->enableCentreBoxes(channels); }

void MainWindow::fillSensorFields() { m_sensors->fillfields(); }

void MainWindow::showSensorNumber(const QString& id) { m_sensors->cboSensors->setEditText(id); }

void MainWindow::refreshSensorList() { m_sensors->refreshSensorList(); }

bool MainWindow::rereadSensors()
{
    bool kept = true;
    ignoringErrors([&] { kept = m_sensors->rereadSensorsIfChanged(false); });
    return kept;
}

void MainWindow::showSensorsAfterReopen() { m_sensors->showSensorsAfterReopen(); }

// ----- the Readings page, the tools and the charts -----------------------------------------
void MainWindow::configureReadings() { m_readings->ConfigureForm(); }

bool MainWindow::saveReading() { return m_readings->leaveReading(); }

void MainWindow::showReading()
{
    ignoringErrors([&] { m_readings->fillreadings(); });
    ignoringErrors([&] { m_readings->showCount(); });
}

void MainWindow::openDatasheet() { m_tools->onDatasheetClicked(); }

void MainWindow::importLoggerData() { m_tools->onImportLoggerDataClicked(); }

QImage MainWindow::chartPicture(int tab, const QSize& size, const QDate& from, const QDate& to)
{
    if (!m_charts->prepareChart(tab) || !m_charts->narrowToPeriod(tab, from, to)) return QImage();
    return m_charts->renderChart(tab, size);
}

std::vector<PageHost::ChartLine> MainWindow::timeChartLines(int tab) { return m_charts->timeChartLines(tab); }

// ----- alarms -------------------------------------------------------------------------------
void MainWindow::readingsChanged()
{
    if (!m_loaded || m_shared.loading) return;
    m_alarms->evaluateCurrent(!m_closing);
}

void MainWindow::editAlarmLevels() { m_alarms->editLevels(); }

void MainWindow::showAlarms() { m_alarms->showAlarmsWindow(); }

bool MainWindow::goToSensor(const QString& id)
{
    if (currentTab() != TabIdentification) selectTab(TabIdentification);
    return m_sensors->selectSensor(id);
}
