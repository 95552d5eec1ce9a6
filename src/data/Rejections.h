#pragma once
#include <QHash>
#include <QString>
#include <vector>

class Database;

// Values an engineer has rejected without deleting them: a whole reading, or one gauge or
// the temperature of it, with the reason, who and when. A rejected value stays stored and
// shown, and counts as no value for every calculation, chart and alarm (the passes treat it
// as an empty text). The marks live in the table Rejections, keyed by sensor, reading key
// and gauge:
//
//     Gauge 0      the whole reading (every gauge and the temperature)
//     Gauge 1..10  Channel1 .. Channel10
//     Gauge 11     the temperature (ChannelT)
//
// Deleting a reading or a sensor deletes its marks.
namespace Rejections {

constexpr int WholeReading = 0;
constexpr int Temperature = 11;

struct Mark {
    QString dateTimeKey;
    int gauge = 0;
    QString reason, by, at;
};

// Bit g set when gauge g (0 = whole reading) of that reading is rejected; only readings
// with a mark are in the map. One query per sensor. Empty on a database without the table.
QHash<QString, quint16> masks(Database& db, const QString& sensorId);

// The marks of a sensor (of one reading when dateTimeKey is given), by reading key and
// gauge.
std::vector<Mark> marks(Database& db, const QString& sensorId, const QString& dateTimeKey = {});

// Record / remove a mark (who = the account name with the same fall-back as the row
// versions; at = now as "yyyy-MM-dd HH:mm:ss"); both set IsDirty = 1 on the reading so the
// next pass recomputes it, in one transaction. Reject needs a non-empty reason and a gauge
// from 0 to 11, and the reading must exist; rejecting again replaces the mark. Throws
// TwError.
void reject(Database& db, const QString& sensorId, const QString& dateTimeKey, int gauge, const QString& reason);
void restore(Database& db, const QString& sensorId, const QString& dateTimeKey, int gauge);

// Whether gauge g is rejected in a reading's mask (a whole-reading mark rejects every gauge).
inline bool rejected(quint16 mask, int gauge) { return (mask & 1u) != 0 || (mask & (1u << gauge)) != 0; }

// Moves the marks of a reading given another key (re-dated) to that key, so they stay with
// it. Run it in the transaction that changes the reading's key; no other reading of the
// sensor may hold newKey. Marks left under newKey by an earlier re-dating belong to no
// reading and are dropped first. Does nothing on a database without the table.
void rekey(Database& db, const QString& sensorId, const QString& oldKey, const QString& newKey);

// Removes the marks of the sensor's readings that are no longer in its data table (after
// readings were deleted). Does nothing on a database without the table.
void forgetDeletedReadings(Database& db, const QString& sensorId);
// Removes every mark of the sensor (it is being deleted).
void forgetSensor(Database& db, const QString& sensorId);

}  // namespace Rejections
