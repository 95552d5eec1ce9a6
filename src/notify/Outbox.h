#pragma once
#include "data/AlarmEpisodes.h"
#include "notify/NotifySettings.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QHash>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Database;
class Statement;

// The outbox of alarm notifications, kept in the database. The evaluation queues a row per
// change of an episode and channel inside its own transaction, so a change recorded is a
// notification kept; whichever program recorded it sends afterwards, outside any write
// transaction. A sender first claims rows in a transaction of its own, so two programs at
// once never send the same row; a row whose sending failed is tried again by a later run,
// waiting longer after each failure, and given up after a day (shown as failed).
namespace Outbox {

// Queues the notifications of one evaluation run: the settings, recipients and response
// plans are read once, the group of each sensor once, and every row goes through one
// prepared statement. Lives no longer than the run (what the team changes meanwhile is
// seen by the next one).
class Queue {
public:
    explicit Queue(Database& db);
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    // Queues the notifications of one change of an episode ("opened", "raised", "cleared",
    // "reminder") for the channels set (mail when there are recipients for the sensor at
    // the level, the hook when one is set). Returns how many rows were queued, -1 when the
    // change was held back by the cool-down. Runs inside the caller's transaction.
    int enqueue(const AlarmEpisodes::Episode& e, const QString& change, const QDateTime& now);

    const NotifySettings::Settings& settings();

private:
    const NotifySettings::Group& groupOf(const QString& sensorId);
    bool heldBack(const AlarmEpisodes::Episode& e);
    void insertRow(const AlarmEpisodes::Episode& e, const QString& change, const QString& channel,
                   const QStringList& to, const QString& subject, const QString& body, const QByteArray& json,
                   const QString& nowText);

    Database& m_db;
    std::optional<NotifySettings::Settings> m_settings;
    std::optional<std::vector<NotifySettings::Recipient>> m_recipients;
    std::optional<std::vector<NotifySettings::Plan>> m_plans;
    QHash<QString, NotifySettings::Group> m_groups;
    std::unique_ptr<Statement> m_insert;
    std::unique_ptr<Statement> m_notifiedBefore;
};

// Queues a reminder for every active Action episode not acknowledged at Action whose rise
// (or last reminder) was recorded at least the reminder time before now; each once.
int queueReminders(Database& db, const QDateTime& now);

struct Row {
    qint64 id = 0;
    qint64 episodeId = 0;
    QString change;
    QString channel;  // "mail" or "hook"
    QStringList recipients;
    QString subject;
    QString body;
    QByteArray payload;
    QString createdAt;
    int attempts = 0;
    QString nextAttemptAt;
    QString sentAt;
    QString failedAt;
    QString lastError;
};

// Rows not sent: waiting (to be tried again) and failed (given up), oldest first.
std::vector<Row> unsent(Database& db);
// "2 notifications waiting, 1 failed" (empty when none).
QString unsentText(Database& db);

// Delivers one row: an empty text when delivered, otherwise why not.
using Deliver = std::function<QString(const Row& row)>;

struct Report {
    int sent = 0;
    int failed = 0;        // failed this time (tried again later, or given up)
    QStringList problems;  // one line per failure, for the log
};

// Claims the rows due at now and delivers each. Never called inside a transaction.
Report deliver(Database& db, const QDateTime& now, const Deliver& deliverRow);

// The senders of the settings: libcurl's SMTP and the hook command.
Deliver realSenders(Database& db);

// What a program that records alarms does after its transaction: queues the reminders
// due, then delivers what is due with the real senders; each failure goes to the log.
Report sendDue(Database& db);

// Sends the test message with the settings given to the addresses and through the hook,
// at once and not through the outbox. Returns the problems (empty: all delivered).
QStringList sendTest(const NotifySettings::Settings& s, const QStringList& to, const QString& who);

}  // namespace Outbox
