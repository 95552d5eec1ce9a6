#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

class Database;
class WebCache;
struct SensorDetails;

// The answer of /api/sensors/{id}/series: a time chart's lines for a period at a width.
namespace WebSeriesAnswer {

constexpr int MinWidth = 10;
constexpr int MaxWidth = 4000;
constexpr int DefaultWidth = 1000;

struct Query {
    QString kind;                // "load" or "disp"
    std::optional<double> from;  // chart keys (seconds); none: from the first reading
    std::optional<double> to;    // none: to the last
    int width = DefaultWidth;
};

QByteArray json(Database& db, WebCache& cache, const QString& user, const SensorDetails& sensor, const Query& q);

}  // namespace WebSeriesAnswer
