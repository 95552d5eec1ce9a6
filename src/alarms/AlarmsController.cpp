#include "alarms/AlarmsController.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmRules.h"
#include "alarms/NotificationSender.h"
#include "alarms/AlarmLevelsDialog.h"
#include "alarms/AlarmsWindow.h"
#include "core/AppInfo.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/AlarmStore.h"
#include "notify/NotifySettings.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QApplication>
#include <QDateTime>
#include <QSystemTrayIcon>
#include <QTimer>

AlarmsController::AlarmsController(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared())
{
    m_sender = new NotificationSender(this);
    connect(m_sender, &NotificationSender::started, this,
            [this] { emit activityChanged(QStringLiteral("Sending alarm notifications\u2026")); });
    connect(m_sender, &NotificationSender::finished, this, [this] {
        if (!m_sender->running()) emit activityChanged(QString());
    });
}

void AlarmsController::evaluateAtStartup()
{
    if (!m_s.db.isOpen()) return;
    runTrapped(QStringLiteral(" Alarms_Startup"), [&] {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        try {
            AlarmEvaluation::evaluateAll(m_s.db, QDateTime::currentDateTime());
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
        emit statusesChanged();
        sendNotifications();
        tellNewEvents();
    });
}

void AlarmsController::sendNotifications()
{
    // After the evaluation's transaction, never inside it; failures go to the log and are
    // tried again at the next evaluation.
    if (!m_s.db.isOpen()) return;
    runTrapped(QStringLiteral(" Alarms_Notify"), [&] {
        const NotifySettings::Settings s = NotifySettings::load(m_s.db);
        if (!s.mailOn() && !s.hookOn()) return;
        m_sender->start(m_s.databasePath, DatabaseChoice::password(m_s.databasePath));
    });
}

bool AlarmsController::waitForSending(int ms) { return m_sender->wait(ms); }

void AlarmsController::showDesktopNotice(const QString& text, bool action)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_tray->setToolTip(QStringLiteral("Tarnwell alarms"));
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, &AlarmsController::showAlarmsWindow);
    }
    m_tray->show();
    m_tray->showMessage(QStringLiteral("Tarnwell alarms"), text,
                        action ? QSystemTrayIcon::Critical : QSystemTrayIcon::Warning);
}

void AlarmsController::evaluateCurrent(bool tell)
{
    const QString id = m_s.currentSensorId();
    if (id.isEmpty() || !m_s.db.isOpen()) return;
    runTrapped(QStringLiteral(" Alarms_Evaluate ") + id, [&] {
        const AlarmEvaluation::Outcome o = AlarmEvaluation::evaluateSensor(m_s.db, id, QDateTime::currentDateTime());
        if (o.written) emit statusesChanged();
        if (o.written) sendNotifications();
        if (tell && !o.newEvents.empty()) tellNewEvents();
    });
}

bool AlarmsController::tellNewEvents()
{
    const std::vector<AlarmStore::Event> fresh = AlarmStore::unnotified(m_s.db);
    if (fresh.empty()) return false;
    AlarmStore::markNotified(m_s.db);
    bool action = false;
    for (const auto& e : fresh) action = action || e.level == QLatin1String("Action");
    showDesktopNotice(AlarmEvaluation::summaryText(fresh, false), action);
    const auto answer = Messages::show(AlarmEvaluation::summaryText(fresh, true), QStringLiteral("Alarms"),
                                       action ? Messages::Icon::Exclamation : Messages::Icon::Information,
                                       Messages::Buttons::YesNo, Messages::Answer::Yes);
    if (answer == Messages::Answer::Yes) showAlarmsWindow();
    return true;
}

void AlarmsController::editLevels()
{
    const QString id = m_s.currentSensorId();
    if (id.isEmpty()) {
        Messages::show(QStringLiteral("There is no sensor to set levels for.\r\nAdd or choose a sensor first."),
                       AppInfo::MessageTitle, Messages::Icon::Information);
        return;
    }
    runTrapped(QStringLiteral(" Alarms_EditLevels"), [&] {
        const std::optional<AlarmStore::Levels> stored = AlarmStore::levels(m_s.db, id);
        AlarmLevelsDialog dlg(id, AlarmRules::textsOf(stored.value_or(AlarmStore::Levels{})), m_win.widget());
        if (dlg.exec() != QDialog::Accepted) return;
        AlarmStore::saveLevels(m_s.db, id, dlg.levels());
        evaluateCurrent();
        emit statusesChanged();
    });
}

void AlarmsController::showAlarmsWindow()
{
    runTrapped(QStringLiteral(" Alarms_Window"), [&] {
        AlarmsWindow window(
            m_s.db, [this](const QString& id) { return m_win.goToSensor(id); }, m_win.widget());
        window.exec();
    });
}
