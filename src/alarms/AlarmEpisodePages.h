#pragma once
#include "data/AlarmEpisodes.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class Database;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// Asks for the note of an acknowledgement with the question given; nullopt when the person
// cancels or leaves it empty (which is said: an acknowledgement is never made without one).
std::optional<QString> askAcknowledgementNote(const QString& question);

// The "Now" page of the Alarms window: one row per active episode, Action first, with the
// response plan of the chosen row and the notifications still waiting. Acknowledge takes
// the chosen rows, or every active episode of the chosen row's sensor, with a note.
class AlarmNowPage : public QWidget {
    Q_OBJECT
public:
    using GoTo = std::function<void(const QString& sensorId)>;
    AlarmNowPage(Database& db, GoTo goTo, QWidget* parent = nullptr);

    void fill();
    void onAcknowledgeClicked();
    void onAcknowledgeSensorClicked();
    const std::vector<AlarmEpisodes::Episode>& shownEpisodes() const { return m_episodes; }

    QTableWidget* grdNow = nullptr;
    QPushButton* cmdAcknowledge = nullptr;
    QPushButton* cmdAcknowledgeSensor = nullptr;
    QLabel* lblPlan = nullptr;
    QLabel* lblOutbox = nullptr;

private:
    std::vector<AlarmEpisodes::Episode> selected() const;
    void showPlan();
    void acknowledge(const QList<qint64>& ids, const QString& what);

    Database& m_db;
    GoTo m_goTo;
    std::vector<AlarmEpisodes::Episode> m_episodes;
};

// The "History" page: every episode of the chosen period, newest first.
class AlarmHistoryPage : public QWidget {
    Q_OBJECT
public:
    explicit AlarmHistoryPage(Database& db, QWidget* parent = nullptr);
    void fill();
    const std::vector<AlarmEpisodes::Episode>& shownEpisodes() const { return m_episodes; }

    QComboBox* cboPeriod = nullptr;
    QTableWidget* grdHistory = nullptr;

private:
    Database& m_db;
    std::vector<AlarmEpisodes::Episode> m_episodes;
};
