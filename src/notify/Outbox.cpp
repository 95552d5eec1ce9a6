#include "notify/Outbox.h"
#include "core/ErrorLog.h"
#include "core/TwError.h"
#include "data/AlarmStore.h"
#include "notify/NotifyMessages.h"
#include "notify/Senders.h"
#include "store/Database.h"
#include "store/Query.h"
#include "store/Statement.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>
#include <QVariant>

namespace Outbox {

namespace {

// How long a claimed row is left to its sender before another may take it up.
constexpr qint64 ClaimSeconds = 10 * 60;
// How long a row is tried before it is given up.
constexpr qint64 GiveUpSeconds = 24 * 3600;
// Rows claimed at a time.
constexpr int ClaimBatch = 50;

const QString RowColumns = QStringLiteral(
    "OutboxID, EpisodeID, Change, Channel, Recipients, Subject, Body, Payload, CreatedAt, Attempts, NextAttemptAt, "
    "SentAt, FailedAt, LastError");

Row rowFrom(const QSqlQuery& q)
{
    Row r;
    r.id = q.value(0).toLongLong();
    r.episodeId = q.value(1).toLongLong();
    r.change = q.value(2).toString();
    r.channel = q.value(3).toString();
    const QString to = q.value(4).toString();
    r.recipients = to.isEmpty() ? QStringList() : to.split(u',');
    r.subject = q.value(5).toString();
    r.body = q.value(6).toString();
    r.payload = q.value(7).toString().toUtf8();
    r.createdAt = q.value(8).toString();
    r.attempts = q.value(9).toInt();
    r.nextAttemptAt = q.value(10).toString();
    r.sentAt = q.value(11).toString();
    r.failedAt = q.value(12).toString();
    r.lastError = q.value(13).toString();
    return r;
}

QString claimant()
{
    static const QString id = QSysInfo::machineHostName() + u':' + QString::number(QCoreApplication::applicationPid()) +
                              u':' + QUuid::createUuid().toString(QUuid::Id128).left(8);
    return id;
}

// Minutes to wait after the n-th failure: 1, 2, 4, ... up to an hour.
qint64 backoffMinutes(int failures) { return std::min<qint64>(qint64(1) << std::min(failures - 1, 6), 60); }

}  // namespace

Queue::Queue(Database& db) : m_db(db) {}

Queue::~Queue() = default;

const NotifySettings::Settings& Queue::settings()
{
    if (!m_settings) m_settings = NotifySettings::load(m_db);
    return *m_settings;
}

const NotifySettings::Group& Queue::groupOf(const QString& sensorId)
{
    auto it = m_groups.find(sensorId);
    if (it == m_groups.end()) it = m_groups.insert(sensorId, NotifySettings::groupOf(m_db, sensorId));
    return *it;
}

// Another episode of the same position and side that was notified at this level (or
// higher) within the cool-down before this one reached its level.
bool Queue::heldBack(const AlarmEpisodes::Episode& e)
{
    const int cooldown = settings().cooldownMinutes;
    if (cooldown <= 0) return false;
    const QDateTime at = AlarmStore::fromStamp(e.levelSince.isEmpty() ? e.openedAt : e.levelSince);
    if (!at.isValid()) return false;
    if (!m_notifiedBefore)
        m_notifiedBefore = std::make_unique<Statement>(
            m_db, QStringLiteral("SELECT 1 FROM AlarmEpisodes WHERE SensorID = ? AND Quantity = ? AND Position = ? "
                                 "AND COALESCE(Direction, '') = ? AND EpisodeID <> ? AND Notified = 1 "
                                 "AND LevelSince >= ? AND (PeakLevel = ? OR PeakLevel = 'Action') LIMIT 1"));
    Statement& q = *m_notifiedBefore;
    q.bind(1, e.sensorId);
    q.bind(2, e.quantity);
    q.bind(3, e.position);
    q.bind(4, e.direction);
    q.bind(5, e.id);
    q.bind(6, AlarmStore::stamp(at.addSecs(-qint64(cooldown) * 60)));
    q.bind(7, e.peakLevel);
    const bool found = q.next();
    if (found) q.reset();
    return found;
}

void Queue::insertRow(const AlarmEpisodes::Episode& e, const QString& change, const QString& channel,
                      const QStringList& to, const QString& subject, const QString& body, const QByteArray& json,
                      const QString& nowText)
{
    if (!m_insert)
        m_insert = std::make_unique<Statement>(
            m_db, QStringLiteral("INSERT INTO AlarmOutbox (EpisodeID, Change, Channel, Recipients, Subject, Body, "
                                 "Payload, CreatedAt, Attempts, NextAttemptAt) VALUES (?,?,?,?,?,?,?,?,0,?)"));
    Statement& q = *m_insert;
    q.bind(1, e.id);
    q.bind(2, change);
    q.bind(3, channel);
    q.bind(4, to.join(u','));
    q.bind(5, subject);
    q.bind(6, body);
    q.bindUtf8(7, json);
    q.bind(8, nowText);
    q.bind(9, nowText);
    q.run();
}

int Queue::enqueue(const AlarmEpisodes::Episode& e, const QString& change, const QDateTime& now)
{
    const NotifySettings::Settings& s = settings();
    const bool crossing = change == QLatin1String("opened") || change == QLatin1String("raised");
    if (crossing && heldBack(e)) return -1;
    // A clearing is told only to those who were told of the crossing.
    if (change == QLatin1String("cleared") && !e.notified) return 0;
    if (!m_recipients)
        m_recipients = s.mailOn() ? NotifySettings::recipients(m_db) : std::vector<NotifySettings::Recipient>{};
    const NotifySettings::Group& place = groupOf(e.sensorId);
    const QStringList to =
        s.mailOn() ? NotifySettings::recipientsFor(*m_recipients, place, e.peakLevel) : QStringList();
    if (to.isEmpty() && !s.hookOn()) return 0;
    if (!m_plans) m_plans = NotifySettings::plans(m_db);
    const NotifyMessages::Message m =
        NotifyMessages::compose(e, change, place, AlarmPlans::planFor(*m_plans, place, e.peakLevel), s.webAddress);
    const QString nowText = AlarmStore::stamp(now);
    int rows = 0;
    if (!to.isEmpty()) {
        insertRow(e, change, QStringLiteral("mail"), to, m.subject, m.body, m.json, nowText);
        ++rows;
    }
    if (s.hookOn()) {
        insertRow(e, change, QStringLiteral("hook"), {}, m.subject, m.body, m.json, nowText);
        ++rows;
    }
    return rows;
}

int queueReminders(Database& db, const QDateTime& now)
{
    const NotifySettings::Settings s = NotifySettings::load(db);
    if (s.reminderHours <= 0) return 0;
    const QString due = AlarmStore::stamp(now.addSecs(-qint64(s.reminderHours * 3600)));
    QList<qint64> ids;
    {
        QSqlQuery q =
            runQuery(db,
                     QStringLiteral("SELECT EpisodeID FROM AlarmEpisodes WHERE ClosedAt IS NULL AND Level = 'Action' "
                                    "AND (AckAt IS NULL OR COALESCE(AckLevel, '') <> 'Action') "
                                    "AND COALESCE(RemindedAt, ActionRecordedAt) <= ?"),
                     {due});
        while (q.next()) ids << q.value(0).toLongLong();
    }
    if (ids.isEmpty()) return 0;
    int queued = 0;
    Transaction tx(db, Transaction::Lock::Immediate);
    Queue queue(db);
    for (qint64 id : ids) {
        // Taken by this run only when no other run reminded it meanwhile.
        if (db.execute(
                QStringLiteral("UPDATE AlarmEpisodes SET RemindedAt = ? WHERE EpisodeID = ? AND ClosedAt IS NULL "
                               "AND COALESCE(RemindedAt, ActionRecordedAt) <= ?"),
                {AlarmStore::stamp(now), id, due}) != 1)
            continue;
        if (const auto e = AlarmEpisodes::byId(db, id))
            queued += std::max(0, queue.enqueue(*e, QStringLiteral("reminder"), now));
    }
    tx.commit();
    return queued;
}

std::vector<Row> unsent(Database& db)
{
    QSqlQuery q = runQuery(db, QStringLiteral("SELECT ") + RowColumns +
                                   QStringLiteral(" FROM AlarmOutbox WHERE SentAt IS NULL ORDER BY OutboxID"));
    std::vector<Row> out;
    while (q.next()) out.push_back(rowFrom(q));
    return out;
}

QString unsentText(Database& db)
{
    int waiting = 0, failed = 0;
    for (const Row& r : unsent(db)) (r.failedAt.isEmpty() ? waiting : failed)++;
    QStringList parts;
    auto n = [](int k) {
        return k == 1 ? QStringLiteral("1 notification") : QStringLiteral("%1 notifications").arg(k);
    };
    if (waiting) parts << n(waiting) + QStringLiteral(" waiting");
    if (failed) parts << n(failed) + QStringLiteral(" failed");
    return parts.join(QStringLiteral(", "));
}

Report deliver(Database& db, const QDateTime& now, const Deliver& deliverRow)
{
    Report report;
    const QString me = claimant();
    const QString nowText = AlarmStore::stamp(now);
    std::vector<Row> claimed;
    {
        Transaction tx(db, Transaction::Lock::Immediate);
        QSqlQuery q =
            runQuery(db,
                     QStringLiteral("SELECT ") + RowColumns +
                         QStringLiteral(" FROM AlarmOutbox WHERE SentAt IS NULL AND FailedAt IS NULL "
                                        "AND NextAttemptAt <= ? AND (ClaimedUntil IS NULL OR ClaimedUntil < ?) "
                                        "ORDER BY OutboxID LIMIT %1")
                             .arg(ClaimBatch),
                     {nowText, nowText});
        while (q.next()) claimed.push_back(rowFrom(q));
        q.finish();
        const QString until = AlarmStore::stamp(now.addSecs(ClaimSeconds));
        for (const Row& r : claimed)
            db.execute(QStringLiteral("UPDATE AlarmOutbox SET ClaimedBy = ?, ClaimedUntil = ? WHERE OutboxID = ?"),
                       {me, until, r.id});
        tx.commit();
    }
    // After a mail fails, the other mails of this run are left for the next one (unclaimed,
    // no try counted): a mail server that is down costs one wait, not one per mail.
    bool mailFailed = false;
    for (const Row& r : claimed) {
        if (mailFailed && r.channel == QLatin1String("mail")) {
            db.execute(QStringLiteral("UPDATE AlarmOutbox SET ClaimedBy = NULL, ClaimedUntil = NULL "
                                      "WHERE OutboxID = ? AND ClaimedBy = ?"),
                       {r.id, me});
            continue;
        }
        QString problem;
        try {
            problem = deliverRow(r);
        } catch (const TwError& e) {
            problem = e.description;
        }
        if (problem.isEmpty()) {
            db.execute(QStringLiteral("UPDATE AlarmOutbox SET SentAt = ?, Attempts = Attempts + 1, LastError = NULL, "
                                      "ClaimedBy = NULL, ClaimedUntil = NULL WHERE OutboxID = ? AND ClaimedBy = ?"),
                       {AlarmStore::stamp(QDateTime::currentDateTime()), r.id, me});
            ++report.sent;
            continue;
        }
        if (r.channel == QLatin1String("mail")) mailFailed = true;
        const int failures = r.attempts + 1;
        const bool giveUp = AlarmStore::fromStamp(r.createdAt).secsTo(now) >= GiveUpSeconds;
        db.execute(
            QStringLiteral("UPDATE AlarmOutbox SET Attempts = ?, NextAttemptAt = ?, LastError = ?, FailedAt = ?, "
                           "ClaimedBy = NULL, ClaimedUntil = NULL WHERE OutboxID = ? AND ClaimedBy = ?"),
            {failures, AlarmStore::stamp(now.addSecs(backoffMinutes(failures) * 60)), problem,
             giveUp ? QVariant(nowText) : QVariant(), r.id, me});
        ++report.failed;
        report.problems << QStringLiteral("Alarm notification %1 (%2, %3) ").arg(r.id).arg(r.channel, r.change) +
                               (giveUp ? QStringLiteral("given up: ")
                                       : QStringLiteral("not delivered, tried again later: ")) +
                               problem;
    }
    return report;
}

Deliver realSenders(Database& db)
{
    const NotifySettings::Settings s = NotifySettings::load(db);
    const QString password = s.smtpUser.isEmpty() ? QString() : NotifySettings::smtpPassword();
    return [s, password](const Row& r) -> QString {
        if (r.channel == QLatin1String("mail")) {
            if (!s.mailOn()) return QStringLiteral("no mail server set");
            return Senders::sendMail(s, password, r.recipients, r.subject, r.body);
        }
        if (r.channel == QLatin1String("hook")) return Senders::runHook(s.hookCommand, r.payload);
        return QStringLiteral("unknown channel ") + r.channel;
    };
}

Report sendDue(Database& db)
{
    Report report;
    try {
        queueReminders(db, QDateTime::currentDateTime());
        report = deliver(db, QDateTime::currentDateTime(), realSenders(db));
    } catch (const TwError& e) {
        report.problems << QStringLiteral("Alarm notifications not sent: ") + e.description;
    }
    for (const QString& p : report.problems) WriteLog(p);
    return report;
}

QStringList sendTest(const NotifySettings::Settings& s, const QStringList& to, const QString& who)
{
    QStringList problems;
    const NotifyMessages::Message m = NotifyMessages::test(who, s.webAddress);
    if (s.mailOn() && !to.isEmpty()) {
        const QString password = s.smtpUser.isEmpty() ? QString() : NotifySettings::smtpPassword();
        const QString p = Senders::sendMail(s, password, to, m.subject, m.body, 30);
        if (!p.isEmpty()) problems << p;
    } else if (!s.mailOn()) {
        problems << QStringLiteral("no mail server or sender address set");
    } else {
        problems << QStringLiteral("no recipient set");
    }
    if (s.hookOn()) {
        const QString p = Senders::runHook(s.hookCommand, m.json, 30);
        if (!p.isEmpty()) problems << p;
    }
    return problems;
}

}  // namespace Outbox
