#pragma once
#include <QObject>
#include <QString>

class PageHost;
class QSystemTrayIcon;
struct Shared;

// The alarms for the main window: runs the evaluation (at start-up for every sensor, after
// the current sensor's readings or levels change), tells the user once when new events were
// raised, and opens the Alarms window and the levels dialog.
class AlarmsController : public QObject {
    Q_OBJECT
public:
    explicit AlarmsController(PageHost& win);

    // Every sensor with levels, then one summary message for the events not yet told
    // (those just raised and those tarnwell-import raised while the program was closed).
    void evaluateAtStartup();
    // The current sensor; with tell, one summary message when new events were raised
    // (without, they are told at the next start-up).
    void evaluateCurrent(bool tell = true);
    // The levels dialog for the current sensor; saved levels are evaluated at once.
    void editLevels();
    // The Alarms window (modal).
    void showAlarmsWindow();
    // The summary message for the events not yet told; true when one was shown.
    bool tellNewEvents();
    // Sends the alarm notifications that are due (the outbox), after the evaluation.
    void sendNotifications();

signals:
    // A stored status changed: the sensor list's marks and status line follow.
    void statusesChanged();

private:
    // A desktop notification while the window is open (where the desktop has a tray).
    void showDesktopNotice(const QString& text, bool action);

    PageHost& m_win;
    QSystemTrayIcon* m_tray = nullptr;
    Shared& m_s;
};
