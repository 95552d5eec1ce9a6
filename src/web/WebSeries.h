#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class Database;
class WebCache;
struct SensorDetails;

// A time chart's columns of one sensor, as the desktop's Load v Time and Disp v Time
// charts draw them: the readings marked for the time charts in date order, their date
// keys, the temperature and each gauge line shown, computed from the raw channels while
// reading (as the chart's calculation pass would store them) without writing anything.
namespace WebSeries {

enum class Kind { Load, Disp };

struct TimeColumns {
    std::vector<double> dates;                // seconds since 1970 of the stored date-time (as UTC)
    std::vector<std::vector<double>> gauges;  // gauge k at [k - 1], NaN for no value
    std::vector<double> temperature;          // NumTemp
    qsizetype bytes() const;
};

// The columns of kind for the sensor, from the cache while the sensor's tables are
// unchanged. user: who asks (the cache keeps each person's answers apart on a server).
// Throws TwError when the readings cannot be read.
std::shared_ptr<const TimeColumns> timeColumns(Database& db, WebCache& cache, const QString& user,
                                               const SensorDetails& sensor, Kind kind);
// The same read afresh, nothing kept.
std::shared_ptr<const TimeColumns> readTimeColumns(Database& db, const SensorDetails& sensor, Kind kind);

// The tables what a sensor's columns are computed from live in.
QStringList sourceTables(const QString& sensorId);

// The rows sent for [from, to] (seconds keys) on a chart `width` columns wide: every
// reading when there are at most 2 x width of them; otherwise per column, for each line,
// its lowest value in a row at the column's first reading time and its highest in a row at
// its last (so a single spike stays), with a row of nulls for a line that has a missing
// value in the column (so a gap stays a gap). Rows are [key, gauge 1.., temperature].
struct Rows {
    std::vector<std::vector<double>> rows;
    qsizetype count = 0;  // readings in the range
};
Rows minMaxRows(const TimeColumns& cols, double from, double to, int width);

// What the overview shows of a sensor's loads: the last reading's largest gauge load and
// the largest load of every reading (NaN when none).
struct LoadSummary {
    double latest = 0;
    double peak = 0;
};
LoadSummary loadSummary(const TimeColumns& cols);

}  // namespace WebSeries
