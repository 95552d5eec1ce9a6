#pragma once
#include "data/AlarmStore.h"

#include <QByteArray>
#include <QString>
#include <vector>

class Database;
class WebCache;
class JsonWriter;
struct SensorDetails;

// The overview: every sensor with its alarm state, its last reading and how long ago, its
// latest and peak load, worst first.
namespace WebOverview {

struct Line {
    QString id, mineLevel, location, type;
    AlarmStore::Severity severity = AlarmStore::Severity::NoLevels;
    QString since, headline;  // the stored state's
    QString lastReading;      // API date text; empty: no reading
    double ageDays = 0;       // NaN without a reading
    bool stale = false;
    double latestLoad = 0;  // NaN: none
    double peakLoad = 0;
};

struct Filter {
    QString mineLevel, location, state;  // empty: any; compared without case (state: its word)
};

// The lines of every sensor that passes the filter, worst first (severity, then the oldest
// last reading, then the id). now: the mine's time as a chart key (seconds, as UTC).
std::vector<Line> lines(Database& db, WebCache& cache, const QString& user, const Filter& filter, double now);

// One sensor's line.
Line lineOf(Database& db, WebCache& cache, const QString& user, const SensorDetails& sensor, double now);

// The state object of a line, as the API gives it.
void writeLine(JsonWriter& w, const Line& line);

// The mine's time now as a chart key.
double nowKey();

}  // namespace WebOverview
