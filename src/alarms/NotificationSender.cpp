#include "alarms/NotificationSender.h"
#include "core/ErrorLog.h"
#include "notify/Outbox.h"
#include "store/Database.h"

#include <QAtomicInteger>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>

struct NotificationSender::Result {
    Outbox::Report report;
};

NotificationSender::NotificationSender(QObject* parent) : QObject(parent) {}

NotificationSender::~NotificationSender()
{
    m_again = false;
    if (!m_thread) return;
    if (m_thread->wait(QDeadlineTimer(CloseWaitMs))) {
        delete m_thread;
        return;
    }
    // Still waiting on a server: the thread keeps only its own connection and result, and
    // is left to finish (or to end with the program); its object is let go with it.
    m_thread->disconnect(this);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread = nullptr;
}

void NotificationSender::start(const QString& path, const QString& password)
{
    m_path = path;
    m_password = password;
    if (m_thread) {
        m_again = true;  // rows queued after this run claimed its own are sent by the next
        return;
    }
    launch();
}

void NotificationSender::launch()
{
    static QAtomicInteger<int> runs;
    const QString name = QStringLiteral("tarnwell-notify-%1").arg(runs.fetchAndAddRelaxed(1));
    auto result = std::make_shared<Result>();
    m_result = result;
    m_thread = QThread::create([name, path = m_path, password = m_password, result] {
        Database db(name);
        if (!db.open(path, password)) {
            result->report.problems << QStringLiteral("Alarm notifications not sent: ") +
                                           Database::describe(db.openFailure());
            WriteLog(result->report.problems.back());
            return;
        }
        result->report = Outbox::sendDue(db);
    });
    connect(m_thread, &QThread::finished, this, &NotificationSender::ended, Qt::QueuedConnection);
    m_thread->start();
    emit started();
}

void NotificationSender::ended()
{
    if (!m_thread || !m_thread->isFinished()) return;
    delete m_thread;
    m_thread = nullptr;
    const Outbox::Report r = m_result ? m_result->report : Outbox::Report{};
    m_result.reset();
    if (m_again) {
        m_again = false;
        launch();
    }
    emit finished(r.sent, r.failed, r.problems);
}

bool NotificationSender::wait(int ms)
{
    QDeadlineTimer deadline(ms);
    while (m_thread) {
        if (!m_thread->wait(deadline)) return false;
        ended();
    }
    return true;
}
