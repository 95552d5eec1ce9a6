#include "web/WebOverview.h"
#include "charts/ChartRules.h"
#include "core/TwError.h"
#include "store/Statement.h"
#include "web/WebCache.h"
#include "web/WebJson.h"
#include "web/WebParams.h"
#include "web/WebSensors.h"
#include "web/WebSeries.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace WebOverview {

namespace {

// What the overview takes from a sensor's readings; kept while they are unchanged.
struct ReadingSummary {
    double lastKey = std::nan("");
    WebSeries::LoadSummary loads{std::nan(""), std::nan("")};
};

double lastReadingKey(Database& db, const QString& id)
{
    try {
        Statement q(db, QStringLiteral("SELECT FullDate FROM ") + WebSensors::quotedName(id) +
                            QStringLiteral(" ORDER BY FullDate DESC LIMIT 1"));
        if (!q.next()) return std::nan("");
        const double key = ChartRules::dateTimeKeyUtf8(q.utf8(0));
        q.reset();
        return key;
    } catch (const TwError&) {
        return std::nan("");  // no data table: no reading
    }
}

std::shared_ptr<const ReadingSummary> summaryOf(Database& db, WebCache& cache, const QString& user,
                                                const SensorDetails& s)
{
    const QByteArray mark = cache.mark(db, user, WebSeries::sourceTables(s.instrumentId));
    const QByteArray key = "summary\x1f" + user.toUtf8() + '\x1f' + s.instrumentId.toUtf8();
    return cache.get<ReadingSummary>(key, mark, [&](qsizetype& bytes) {
        auto r = std::make_shared<ReadingSummary>();
        r->lastKey = lastReadingKey(db, s.instrumentId);
        if (!std::isnan(r->lastKey)) {
            try {
                r->loads = WebSeries::loadSummary(*WebSeries::timeColumns(db, cache, user, s, WebSeries::Kind::Load));
            } catch (const TwError&) {
                // Loads that cannot be read show as none; the sensor is still listed.
            }
        }
        bytes = qsizetype(sizeof(ReadingSummary)) + 128;
        return r;
    });
}

Line lineFor(Database& db, WebCache& cache, const QString& user, const SensorDetails& s,
             const QHash<QString, AlarmStore::State>& states, double now)
{
    Line l;
    l.id = s.instrumentId;
    l.mineLevel = s.level;
    l.location = s.location;
    l.type = s.sensorType;
    // As the sensor pages show it: a sensor without levels (or not evaluated yet) has no state.
    const std::optional<AlarmStore::Levels> levels = AlarmStore::levels(db, s.instrumentId);
    const bool hasLevels = levels && levels->any();
    const auto st = states.constFind(s.instrumentId);
    if (hasLevels && st != states.constEnd()) {
        l.severity = st->status;
        l.since = WebParams::apiDate(st->since);
        l.headline = st->headline;
    }
    const std::shared_ptr<const ReadingSummary> r = summaryOf(db, cache, user, s);
    l.ageDays = std::nan("");
    if (!std::isnan(r->lastKey)) {
        l.lastReading = WebParams::dateText(r->lastKey);
        l.ageDays = (now - r->lastKey) / 86400.0;
    }
    l.stale = l.severity == AlarmStore::Severity::Stale ||
              (hasLevels && levels->staleDays && !std::isnan(l.ageDays) && l.ageDays > *levels->staleDays);
    l.latestLoad = r->loads.latest;
    l.peakLoad = r->loads.peak;
    return l;
}

bool sameText(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

double nowKey()
{
    const QDateTime local = QDateTime::currentDateTime();
    return double(QDateTime(local.date(), local.time(), Qt::UTC).toSecsSinceEpoch());
}

std::vector<Line> lines(Database& db, WebCache& cache, const QString& user, const Filter& filter, double now)
{
    const QHash<QString, AlarmStore::State> states = AlarmStore::states(db);
    std::vector<Line> out;
    for (const SensorDetails& s : WebSensors::all(db)) {
        if (!filter.mineLevel.isEmpty() && !sameText(filter.mineLevel, s.level)) continue;
        if (!filter.location.isEmpty() && !sameText(filter.location, s.location)) continue;
        Line l = lineFor(db, cache, user, s, states, now);
        if (!filter.state.isEmpty() && !sameText(filter.state, AlarmStore::word(l.severity))) continue;
        out.push_back(std::move(l));
    }
    std::sort(out.begin(), out.end(), [](const Line& a, const Line& b) {
        if (a.severity != b.severity) return int(a.severity) > int(b.severity);
        // No reading at all is the oldest.
        const double ageA = std::isnan(a.ageDays) ? INFINITY : a.ageDays;
        const double ageB = std::isnan(b.ageDays) ? INFINITY : b.ageDays;
        if (ageA != ageB) return ageA > ageB;
        return a.id < b.id;
    });
    return out;
}

Line lineOf(Database& db, WebCache& cache, const QString& user, const SensorDetails& sensor, double now)
{
    return lineFor(db, cache, user, sensor, AlarmStore::states(db), now);
}

void writeLine(JsonWriter& w, const Line& l)
{
    w.beginObject();
    w.member("id", l.id).member("mineLevel", l.mineLevel).member("location", l.location).member("type", l.type);
    w.member("severity", int(l.severity));
    w.member("state", AlarmStore::word(l.severity));
    w.member("colour", AlarmStore::colourName(l.severity));
    w.key("since").textOrNull(l.since);
    w.key("headline").textOrNull(l.headline);
    w.key("lastReading").textOrNull(l.lastReading);
    w.member("ageDays", l.ageDays);
    w.member("stale", l.stale);
    w.member("latestLoad", l.latestLoad);
    w.member("peakLoad", l.peakLoad);
    w.endObject();
}

}  // namespace WebOverview
