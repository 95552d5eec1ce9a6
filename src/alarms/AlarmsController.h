#pragma once
#include <QObject>
#include <QString>

class NotificationSender;
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
    // Sends the alarm notifications that are due (the outbox), after the evaluation, off
    // the window's thread (when mail or a hook is set); returns at once.
    void sendNotifications();
    // The sending going on: waits for it at most ms; true when none is left.
    bool waitForSending(int ms);

signals:
    // A stored status changed: the sensor list's marks and status line follow.
    void statusesChanged();
    // What the alarms are doing in the background, for the status line ("Sending alarm
    // notifications…"); empty when nothing.
    void activityChanged(const QString& text);

private:
    // A desktop notification while the window is open (where the desktop has a tray).
    void showDesktopNotice(const QString& text, bool action);

    PageHost& m_win;
    QSystemTrayIcon* m_tray = nullptr;
    NotificationSender* m_sender = nullptr;
    Shared& m_s;
};
