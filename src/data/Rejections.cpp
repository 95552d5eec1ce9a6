#include "data/Rejections.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/ReadingMarks.h"
#include "store/RowVersions.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

namespace Rejections {

namespace {

const QString Table = QStringLiteral("Rejections");

void requireGauge(int gauge)
{
    if (gauge < WholeReading || gauge > Temperature)
        throw TwError(ErrNo::ItemNotFound, QStringLiteral("There is no gauge %1 to reject or restore.").arg(gauge));
}

// Marks the reading for the next pass; returns whether the sensor has that reading.
bool markReading(Database& db, const QString& sensorId, const QString& dateTimeKey)
{
    return db.execute(QStringLiteral("UPDATE ") + SqlDialect::quoteName(sensorId) + QStringLiteral(" SET ") +
                          ReadingMarks::setChanged() + QStringLiteral(" WHERE DateTimeKey = ?"),
                      {dateTimeKey}) > 0;
}

}  // namespace

QHash<QString, quint16> masks(Database& db, const QString& sensorId)
{
    QHash<QString, quint16> out;
    if (!db.tableExists(Table)) return out;
    Statement q(db, QStringLiteral("SELECT DateTimeKey, Gauge FROM Rejections WHERE SensorID = ?"));
    q.bind(1, sensorId);
    while (q.next()) {
        const qint64 gauge = q.integer(1);
        if (gauge < WholeReading || gauge > Temperature) continue;
        out[q.text(0)] |= quint16(1u << gauge);
    }
    return out;
}

std::vector<Mark> marks(Database& db, const QString& sensorId, const QString& dateTimeKey)
{
    std::vector<Mark> out;
    if (!db.tableExists(Table)) return out;
    QString sql = QStringLiteral(
        "SELECT DateTimeKey, Gauge, Reason, RejectedBy, RejectedAt FROM Rejections "
        "WHERE SensorID = ?");
    if (!dateTimeKey.isNull()) sql += QStringLiteral(" AND DateTimeKey = ?");
    sql += QStringLiteral(" ORDER BY DateTimeKey, Gauge");
    Statement q(db, sql);
    q.bind(1, sensorId);
    if (!dateTimeKey.isNull()) q.bind(2, dateTimeKey);
    while (q.next()) out.push_back(Mark{q.text(0), int(q.integer(1)), q.text(2), q.text(3), q.text(4)});
    return out;
}

void reject(Database& db, const QString& sensorId, const QString& dateTimeKey, int gauge, const QString& reason)
{
    requireGauge(gauge);
    if (reason.trimmed().isEmpty())
        throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("A rejected value needs a reason."));
    Transaction tx(db);
    if (!markReading(db, sensorId, dateTimeKey))
        throw TwError(ErrNo::ItemNotFound, QStringLiteral("Sensor %1 has no reading %2.").arg(sensorId, dateTimeKey));
    db.execute(QStringLiteral("INSERT OR REPLACE INTO Rejections (SensorID, DateTimeKey, Gauge, Reason, RejectedBy, "
                              "RejectedAt) VALUES (?,?,?,?,?,?)"),
               {sensorId, dateTimeKey, gauge, reason.trimmed(), Database::loginName(), RowVersions::now()});
    tx.commit();
}

void restore(Database& db, const QString& sensorId, const QString& dateTimeKey, int gauge)
{
    requireGauge(gauge);
    Transaction tx(db);
    const qint64 removed =
        db.execute(QStringLiteral("DELETE FROM Rejections WHERE SensorID = ? AND DateTimeKey = ? AND Gauge = ?"),
                   {sensorId, dateTimeKey, gauge});
    // Only a removed mark changes what the next pass computes.
    if (removed > 0) markReading(db, sensorId, dateTimeKey);
    tx.commit();
}

void rekey(Database& db, const QString& sensorId, const QString& oldKey, const QString& newKey)
{
    if (oldKey == newKey || !db.tableExists(Table)) return;
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM Rejections WHERE SensorID = ? AND DateTimeKey = ?"), {sensorId, newKey});
    db.execute(QStringLiteral("UPDATE Rejections SET DateTimeKey = ? WHERE SensorID = ? AND DateTimeKey = ?"),
               {newKey, sensorId, oldKey});
    tx.commit();
}

void forgetDeletedReadings(Database& db, const QString& sensorId)
{
    if (!db.tableExists(Table)) return;
    const QString table = SqlDialect::quoteName(sensorId);
    db.execute(QStringLiteral("DELETE FROM Rejections WHERE SensorID = ? AND NOT EXISTS (SELECT 1 FROM ") + table +
                   QStringLiteral(" WHERE ") + table + QStringLiteral(".DateTimeKey = Rejections.DateTimeKey)"),
               {sensorId});
}

void forgetSensor(Database& db, const QString& sensorId)
{
    if (!db.tableExists(Table)) return;
    db.execute(QStringLiteral("DELETE FROM Rejections WHERE SensorID = ?"), {sensorId});
}

}  // namespace Rejections
