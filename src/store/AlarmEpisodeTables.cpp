#include "store/AlarmEpisodeTables.h"
#include "store/Database.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace AlarmEpisodeTables {

namespace {

struct OldEvent {
    qint64 id = 0;
    QString sensor, quantity, level, direction, readingDate, raisedAt, ackBy, ackAt, ackNote;
    int position = 0;
    double threshold = 0, value = 0;
};

// The key a sensor's stored state gives a position ("L2", "S" for stale).
QString stateKey(const OldEvent& e)
{
    if (e.quantity == QLatin1String("Stale")) return QStringLiteral("S");
    return e.quantity.left(1) + QString::number(e.position);
}

// Whether the stored state of the sensor still has that position past a level on the
// event's side.
bool stillOut(const QJsonObject& positions, const OldEvent& e)
{
    const QJsonArray a = positions.value(stateKey(e)).toArray();
    if (a.isEmpty()) return false;
    const int code = a.at(0).toInt();
    if (e.quantity == QLatin1String("Stale")) return code != 0;
    const bool lowSide = e.direction == QLatin1String("lower") || e.direction == QLatin1String("falling");
    return lowSide ? code < 0 : code > 0;
}

// The events in order per position and side: an Action event after an Alert one raises the
// same episode; any other event starts a new one (the value must have come back between
// them). The last episode of a position stays open when the sensor's state still has it
// past a level.
void migrateEvents(Database& db)
{
    QHash<QString, QJsonObject> states;
    {
        QSqlQuery q(db.handle());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT SensorID, Positions FROM AlarmState"))) throwSqlError(q.lastError());
        while (q.next())
            states.insert(q.value(0).toString(), QJsonDocument::fromJson(q.value(1).toString().toUtf8()).object());
    }
    std::vector<OldEvent> events;
    {
        QSqlQuery q(db.handle());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT EventID, SensorID, Quantity, Position, Level, Direction, Threshold, Value, "
                                   "ReadingDate, RaisedAt, AckBy, AckAt, AckNote FROM AlarmEvents "
                                   "ORDER BY SensorID, Quantity, Position, Direction, ReadingDate, EventID")))
            throwSqlError(q.lastError());
        while (q.next()) {
            OldEvent e;
            e.id = q.value(0).toLongLong();
            e.sensor = q.value(1).toString();
            e.quantity = q.value(2).toString();
            e.position = q.value(3).toInt();
            e.level = q.value(4).toString();
            e.direction = q.value(5).toString();
            e.threshold = q.value(6).toDouble();
            e.value = q.value(7).toDouble();
            e.readingDate = q.value(8).toString();
            e.raisedAt = q.value(9).toString();
            e.ackBy = q.value(10).toString();
            e.ackAt = q.value(11).toString();
            e.ackNote = q.value(12).toString();
            events.push_back(e);
        }
    }
    auto sameSeries = [](const OldEvent& a, const OldEvent& b) {
        return a.sensor == b.sensor && a.quantity == b.quantity && a.position == b.position &&
               a.direction == b.direction;
    };
    size_t i = 0;
    while (i < events.size()) {
        // One episode: this event and an Action event straight after an Alert one.
        size_t end = i + 1;
        if (events[i].level == QLatin1String("Alert") && end < events.size() && sameSeries(events[i], events[end]) &&
            events[end].level == QLatin1String("Action"))
            ++end;
        const OldEvent& first = events[i];
        const OldEvent& last = events[end - 1];
        const bool lastOfSeries = end >= events.size() || !sameSeries(first, events[end]);
        const bool open = lastOfSeries && stillOut(states.value(first.sensor), first);
        const QVariant closedAt =
            open ? QVariant() : QVariant(lastOfSeries ? last.readingDate : events[end].readingDate);
        // The acknowledgement of the episode is that of its highest event.
        const OldEvent& ack = last;
        db.execute(
            QStringLiteral("INSERT INTO AlarmEpisodes (SensorID, Quantity, Position, Direction, Level, PeakLevel, "
                           "Threshold, OpenedAt, LevelSince, RecordedAt, ActionRecordedAt, ClosedAt, WorstValue, "
                           "LastValue, AckBy, AckAt, AckNote, AckLevel, Notified) "
                           "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,1)"),
            {first.sensor, first.quantity, first.position, first.direction, last.level, last.level, last.threshold,
             first.readingDate, last.readingDate, first.raisedAt,
             last.level == QLatin1String("Action") ? QVariant(last.raisedAt) : QVariant(), closedAt, last.value,
             last.value, ack.ackBy.isEmpty() ? QVariant() : QVariant(ack.ackBy),
             ack.ackAt.isEmpty() ? QVariant() : QVariant(ack.ackAt),
             ack.ackNote.isEmpty() ? QVariant() : QVariant(ack.ackNote),
             ack.ackAt.isEmpty() ? QVariant() : QVariant(last.level)});
        const qint64 episode = db.scalar(QStringLiteral("SELECT MAX(EpisodeID) FROM AlarmEpisodes")).toLongLong();
        for (size_t k = i; k < end; ++k)
            db.execute(QStringLiteral("UPDATE AlarmEvents SET EpisodeID = ? WHERE EventID = ?"),
                       {episode, events[k].id});
        i = end;
    }
}

}  // namespace

void create(Database& db)
{
    // Times: OpenedAt, LevelSince and ClosedAt are the dates of the readings that opened,
    // raised and closed the episode; RecordedAt and ActionRecordedAt the clock when the
    // evaluation recorded the opening and the rise to Action (the reminder counts from it).
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmEpisodes (EpisodeID INTEGER PRIMARY KEY AUTOINCREMENT, SensorID TEXT NOT NULL, "
        "Quantity TEXT NOT NULL, Position INTEGER NOT NULL, Direction TEXT, Level TEXT NOT NULL, "
        "PeakLevel TEXT NOT NULL, Threshold REAL, OpenedAt TEXT NOT NULL, LevelSince TEXT, RecordedAt TEXT, "
        "ActionRecordedAt TEXT, ClosedAt TEXT, WorstValue REAL, LastValue REAL, AckBy TEXT, AckAt TEXT, "
        "AckNote TEXT, AckLevel TEXT, RemindedAt TEXT, Notified INTEGER NOT NULL DEFAULT 0)"));
    db.execute(QStringLiteral("CREATE INDEX AlarmEpisodes_Sensor ON AlarmEpisodes (SensorID, ClosedAt)"));
    db.execute(QStringLiteral("CREATE INDEX AlarmEpisodes_Opened ON AlarmEpisodes (OpenedAt)"));
    db.execute(QStringLiteral("ALTER TABLE AlarmEvents ADD COLUMN EpisodeID INTEGER"));
    // One row per change and channel ("mail" or "hook"), composed when it was queued.
    // A sender claims a row (ClaimedBy, ClaimedUntil) in a transaction before it sends, so
    // two programs never send the same row; a row left claimed by one that stopped is
    // taken up again when its claim runs out.
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmOutbox (OutboxID INTEGER PRIMARY KEY AUTOINCREMENT, EpisodeID INTEGER, "
        "Change TEXT NOT NULL, Channel TEXT NOT NULL, Recipients TEXT, Subject TEXT, Body TEXT, Payload TEXT, "
        "CreatedAt TEXT NOT NULL, Attempts INTEGER NOT NULL DEFAULT 0, NextAttemptAt TEXT NOT NULL, "
        "ClaimedBy TEXT, ClaimedUntil TEXT, SentAt TEXT, FailedAt TEXT, LastError TEXT)"));
    db.execute(QStringLiteral("CREATE INDEX AlarmOutbox_Due ON AlarmOutbox (SentAt, NextAttemptAt)"));
    db.execute(QStringLiteral("CREATE TABLE AlarmNotifySettings (Name TEXT PRIMARY KEY NOT NULL, Value TEXT)"));
    // Empty MineLevel / Location: every sensor.
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmRecipients (RecipientID INTEGER PRIMARY KEY AUTOINCREMENT, Address TEXT NOT NULL, "
        "MinLevel TEXT NOT NULL, MineLevel TEXT, Location TEXT)"));
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmResponsePlans (PlanID INTEGER PRIMARY KEY AUTOINCREMENT, Level TEXT NOT NULL, "
        "MineLevel TEXT, Location TEXT, Actions TEXT, Contacts TEXT)"));
    migrateEvents(db);
}

}  // namespace AlarmEpisodeTables
