#include "data/AlarmEpisodes.h"
#include "core/TwError.h"
#include "data/AlarmStore.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace AlarmEpisodes {

namespace {

const QString Columns = QStringLiteral(
    "EpisodeID, SensorID, Quantity, Position, Direction, Level, PeakLevel, Threshold, OpenedAt, LevelSince, ClosedAt, "
    "RecordedAt, ActionRecordedAt, WorstValue, LastValue, AckBy, AckAt, AckNote, AckLevel, RemindedAt, Notified");

QVariant orNull(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

Episode from(const QSqlQuery& q)
{
    Episode e;
    e.id = q.value(0).toLongLong();
    e.sensorId = q.value(1).toString();
    e.quantity = q.value(2).toString();
    e.position = q.value(3).toInt();
    e.direction = q.value(4).toString();
    e.level = q.value(5).toString();
    e.peakLevel = q.value(6).toString();
    e.threshold = q.value(7).toDouble();
    e.openedAt = q.value(8).toString();
    e.levelSince = q.value(9).toString();
    e.closedAt = q.value(10).toString();
    e.recordedAt = q.value(11).toString();
    e.actionRecordedAt = q.value(12).toString();
    e.worstValue = q.value(13).toDouble();
    e.lastValue = q.value(14).toDouble();
    e.ackBy = q.value(15).toString();
    e.ackAt = q.value(16).toString();
    e.ackNote = q.value(17).toString();
    e.ackLevel = q.value(18).toString();
    e.remindedAt = q.value(19).toString();
    e.notified = q.value(20).toInt() != 0;
    return e;
}

std::vector<Episode> select(Database& db, const QString& where, const QString& order, const QVariantList& binds)
{
    QSqlQuery q = runQuery(db,
                           QStringLiteral("SELECT ") + Columns + QStringLiteral(" FROM AlarmEpisodes WHERE ") + where +
                               QStringLiteral(" ORDER BY ") + order,
                           binds);
    std::vector<Episode> out;
    while (q.next()) out.push_back(from(q));
    return out;
}

QVariantList valuesOf(const Episode& e)
{
    return {e.sensorId,
            e.quantity,
            e.position,
            e.direction,
            e.level,
            e.peakLevel,
            e.threshold,
            e.openedAt,
            orNull(e.levelSince),
            orNull(e.closedAt),
            orNull(e.recordedAt),
            orNull(e.actionRecordedAt),
            e.worstValue,
            e.lastValue,
            orNull(e.ackBy),
            orNull(e.ackAt),
            orNull(e.ackNote),
            orNull(e.ackLevel),
            orNull(e.remindedAt),
            e.notified ? 1 : 0};
}

const QString ActionFirst = QStringLiteral(
    "CASE Level WHEN 'Action' THEN 0 WHEN 'Alert' THEN 1 ELSE 2 END, SensorID, Quantity, Position, EpisodeID");

}  // namespace

QString Episode::where() const { return AlarmStore::positionText(quantity, position); }

std::vector<Episode> active(Database& db, const QString& sensorId)
{
    if (sensorId.isEmpty()) return select(db, QStringLiteral("ClosedAt IS NULL"), ActionFirst, {});
    return select(db, QStringLiteral("SensorID = ? AND ClosedAt IS NULL"), ActionFirst, {sensorId});
}

std::vector<Episode> history(Database& db, const QDateTime& from, const QDateTime& to, const QString& sensorId)
{
    QString where = QStringLiteral("OpenedAt <= ? AND (ClosedAt IS NULL OR ClosedAt >= ?)");
    QVariantList binds{AlarmStore::stamp(to), AlarmStore::stamp(from)};
    if (!sensorId.isEmpty()) {
        where += QStringLiteral(" AND SensorID = ?");
        binds << sensorId;
    }
    return select(db, where, QStringLiteral("OpenedAt DESC, SensorID, EpisodeID DESC"), binds);
}

std::optional<Episode> byId(Database& db, qint64 id)
{
    std::vector<Episode> e = select(db, QStringLiteral("EpisodeID = ?"), QStringLiteral("EpisodeID"), {id});
    if (e.empty()) return std::nullopt;
    return e.front();
}

qint64 insert(Database& db, const Episode& e)
{
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("INSERT INTO AlarmEpisodes (SensorID, Quantity, Position, Direction, Level, PeakLevel, "
                                "Threshold, OpenedAt, LevelSince, ClosedAt, RecordedAt, ActionRecordedAt, WorstValue, "
                                "LastValue, AckBy, AckAt, AckNote, AckLevel, RemindedAt, Notified) "
                                "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                 valuesOf(e));
    return q.lastInsertId().toLongLong();
}

void update(Database& db, const Episode& e)
{
    QVariantList binds = valuesOf(e);
    binds << e.id;
    db.execute(
        QStringLiteral("UPDATE AlarmEpisodes SET SensorID = ?, Quantity = ?, Position = ?, Direction = ?, Level = ?, "
                       "PeakLevel = ?, Threshold = ?, OpenedAt = ?, LevelSince = ?, ClosedAt = ?, RecordedAt = ?, "
                       "ActionRecordedAt = ?, WorstValue = ?, LastValue = ?, AckBy = ?, AckAt = ?, AckNote = ?, "
                       "AckLevel = ?, RemindedAt = ?, Notified = ? WHERE EpisodeID = ?"),
        binds);
}

void linkEvents(Database& db, const Episode& e)
{
    db.execute(
        QStringLiteral("UPDATE AlarmEvents SET EpisodeID = ? WHERE SensorID = ? AND Quantity = ? AND Position = ? "
                       "AND COALESCE(Direction, '') = ? AND EpisodeID IS NULL AND ReadingDate >= ?"),
        {e.id, e.sensorId, e.quantity, e.position, e.direction, e.openedAt});
}

int acknowledge(Database& db, const QList<qint64>& ids, const QString& note, const QString& who, const QDateTime& when)
{
    if (note.trimmed().isEmpty()) throw TwError(5, QStringLiteral("An acknowledgement needs a note"));
    int changed = 0;
    Transaction tx(db);
    for (qint64 id : ids) {
        changed += int(db.execute(QStringLiteral("UPDATE AlarmEpisodes SET AckBy = ?, AckAt = ?, AckNote = ?, "
                                                 "AckLevel = PeakLevel WHERE EpisodeID = ? AND ClosedAt IS NULL "
                                                 "AND (AckLevel IS NULL OR AckLevel <> PeakLevel)"),
                                  {who, AlarmStore::stamp(when), note.trimmed(), id}));
        // The events of the episode count as acknowledged with it.
        db.execute(QStringLiteral("UPDATE AlarmEvents SET AckBy = ?, AckAt = ?, AckNote = ?, Notified = 1 "
                                  "WHERE EpisodeID = ? AND AckAt IS NULL"),
                   {who, AlarmStore::stamp(when), note.trimmed(), id});
    }
    tx.commit();
    return changed;
}

int acknowledgeSensor(Database& db, const QString& sensorId, const QString& note, const QString& who,
                      const QDateTime& when)
{
    QList<qint64> ids;
    for (const Episode& e : active(db, sensorId)) ids << e.id;
    return acknowledge(db, ids, note, who, when);
}

}  // namespace AlarmEpisodes
