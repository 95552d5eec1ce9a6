#pragma once
#include "tools/LoggerReadings.h"

#include <QString>
#include <vector>

class Database;

// Which imported readings are ticked "Plot Spatial" (a line on the length charts): one
// per calendar day, not every reading, so that a logger writing every hour does not bury
// the length charts under 24 lines a day. The same rule for the import window and
// tarnwell-import, since both append through LoggerReadings::append.
namespace SpatialPerDay {

constexpr qint64 SecondsPerDay = 24 * 60 * 60;

// The calendar day of a moment (LoggerClock seconds, which start at a midnight).
inline qint64 dayOf(qint64 moment) { return moment / SecondsPerDay; }

// The choice itself: of the new readings (their moments; NoMoment for a row that adds
// nothing), the earliest of each calendar day, except on the days in spatialDays (sorted),
// which have a Plot Spatial reading already. Several rows at the earliest moment of a day
// are all chosen (they are one reading; the others are duplicates). Returns one flag per row.
std::vector<bool> choose(const std::vector<qint64>& moments, const std::vector<qint64>& spatialDays);

// The calendar days between two moments (inclusive) on which the sensor has a reading
// ticked Plot Spatial, sorted. Throws TwError on a database failure.
std::vector<qint64> spatialDays(Database& db, const QString& sensorId, qint64 from, qint64 to);

// The rows of an append that get Plot Spatial: of the storable rows (their moments) those
// the sensor does not hold yet, chosen as above against what the database holds. Run
// inside the append's transaction, before its rows are stored. Throws TwError.
std::vector<bool> forAppend(Database& db, const QString& sensorId, const std::vector<qint64>& moments,
                            const std::vector<bool>& storable);

// Ticks Plot Spatial on the readings at the chosen rows' moments (after they were stored,
// in the same transaction). Returns how many readings it ticked. Throws TwError.
qint64 mark(Database& db, const QString& sensorId, const std::vector<qint64>& moments, const std::vector<bool>& chosen);

}  // namespace SpatialPerDay
