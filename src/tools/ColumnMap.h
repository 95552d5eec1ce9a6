#pragma once
#include "tools/LoggerClock.h"
#include "tools/LoggerReadings.h"

#include <QString>
#include <QStringList>
#include <optional>

class Database;

// Which columns of a logger file with named columns feed a sensor's readings: the date
// and time column and its layout, the temperature, each gauge channel, and the clock
// offset from the logger's time to the site's. Kept in the database per sensor and per
// file layout (the format and its column names), so the next file of that layout for
// that sensor needs no question.
struct ColumnMap {
    QString dateColumn;
    LoggerClock::Layout layout = LoggerClock::Layout::Iso8601;
    QString tempColumn;           // empty: no temperature
    QStringList gaugeColumns;     // Channel1, Channel2, ...; an empty name feeds nothing
    double clockOffsetHours = 0;  // site time = logger time + offset
    QStringList missingCodes;     // what the logger writes for "no reading" besides NAN, INF and an empty field

    bool operator==(const ColumnMap&) const = default;
};

namespace ColumnMaps {

// What identifies a file layout: the format's name and the column names in order.
QString signature(const QString& format, const QStringList& names);

// First guesses from the names: TIMESTAMP or a date-like name for the date (for a file
// without one, the first column whose first rows read as dates); "Temp", "T", "Temperature"
// and the like for the temperature; "Strain(1)", "Gauge1", "SG_1", "Ch1" and the like for
// the gauges in their own order, at most `gauges` of them. firstDates are the first data
// rows' texts of each column (for the layout and the date column).
ColumnMap guess(const QStringList& names, const QList<QStringList>& firstRows, int gauges, bool tempChannel);

// The codes for "no reading" as typed ("-99999, OVR"): split at commas and blanks.
QStringList parseMissingCodes(const QString& typed);

// The mapping of a map over a file's columns. Returns why it cannot be used (a column it
// names is missing) or an empty text.
QString mapping(const ColumnMap& map, const QStringList& names, LoggerReadings::Mapping& out);

// Stored maps (the LoggerMaps table). Throw TwError on a database failure.
std::optional<ColumnMap> load(Database& db, const QString& sensorId, const QString& signature);
void save(Database& db, const QString& sensorId, const QString& format, const QString& signature, const ColumnMap& map);
// The sensors that have a map for a layout, in number order.
QStringList sensorsWithMap(Database& db, const QString& signature);

}  // namespace ColumnMaps
