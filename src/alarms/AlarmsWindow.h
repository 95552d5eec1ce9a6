#pragma once
#include "data/AlarmStore.h"

#include <QDialog>
#include <functional>
#include <vector>

class AlarmHistoryPage;
class AlarmNowPage;
class Database;
class QTabWidget;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// The Alarms window: "Now" (the active episodes, acknowledged there), "History" (the
// episodes of a period) and "Events": the alarm events of every sensor, newest reading
// first, shown by status (open, acknowledged, or all). Acknowledge asks for a note and records it with the
// login name and the moment; "Go to sensor" shows the event's sensor in the main window
// and closes. Escape closes; Enter in the list goes to the sensor.
class AlarmsWindow : public QDialog {
    Q_OBJECT
public:
    using GoTo = std::function<bool(const QString& sensorId)>;
    AlarmsWindow(Database& db, GoTo goTo, QWidget* parent = nullptr);

    // The events shown, in order.
    const std::vector<AlarmStore::Event>& shownEvents() const { return m_events; }
    void fill();
    void onAcknowledgeClicked();
    void onGoToSensorClicked();

    QTabWidget* tabAlarms = nullptr;
    AlarmNowPage* pageNow = nullptr;
    AlarmHistoryPage* pageHistory = nullptr;
    QComboBox* cboAlarmFilter = nullptr;
    QTableWidget* grdAlarms = nullptr;
    QPushButton* cmdAcknowledge = nullptr;
    QPushButton* cmdGoToSensor = nullptr;
    QPushButton* cmdNotifications = nullptr;
    QPushButton* cmdExportLevels = nullptr;
    QPushButton* cmdImportLevels = nullptr;

    // The alarm levels of every sensor to a CSV file, and back with a preview first.
    void exportLevels(const QString& path);
    void importLevels(const QString& path);
    QLabel* lblAlarmCount = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<AlarmStore::Event> selectedEvents() const;

    Database& m_db;
    GoTo m_goTo;
    std::vector<AlarmStore::Event> m_events;
};
