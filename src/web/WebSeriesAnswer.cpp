#include "web/WebSeriesAnswer.h"
#include "calc/Numbers.h"
#include "charts/ChartRules.h"
#include "data/AlarmStore.h"
#include "data/SensorDetails.h"
#include "web/WebJson.h"
#include "web/WebParams.h"
#include "web/WebSeries.h"

#include <cmath>

namespace WebSeriesAnswer {

namespace {

// The level lines of the chart's quantity, as the desktop chart labels them.
void writeLevels(JsonWriter& w, const std::optional<AlarmStore::Levels>& lv, bool displacement)
{
    using AlarmStore::Severity;
    w.key("levels").beginArray();
    if (lv) {
        const QString unit = displacement ? QStringLiteral(" microns") : QStringLiteral(" t");
        auto add = [&](const std::optional<double>& v, Severity sev, bool lower) {
            if (!v) return;
            w.beginObject();
            w.member("name", AlarmStore::word(sev) + (lower ? QStringLiteral(" (lower) ") : QStringLiteral(" ")) +
                                 Numbers::plain(*v) + unit);
            w.member("level", AlarmStore::word(sev)).member("colour", AlarmStore::colourName(sev));
            w.member("value", *v);
            w.endObject();
        };
        add(displacement ? lv->dispAlertUpper : lv->loadAlertUpper, Severity::Alert, false);
        add(displacement ? lv->dispActionUpper : lv->loadActionUpper, Severity::Action, false);
        add(displacement ? lv->dispAlertLower : lv->loadAlertLower, Severity::Alert, true);
        add(displacement ? lv->dispActionLower : lv->loadActionLower, Severity::Action, true);
    }
    w.endArray();
}

// The readings that raised an event on a line shown (the desktop chart's rings).
void writeEvents(JsonWriter& w, Database& db, const QString& id, bool displacement, int lines, double from, double to)
{
    w.key("events").beginArray();
    for (const AlarmStore::Event& e : AlarmStore::events(db, AlarmStore::EventFilter::All, id)) {
        const bool here = displacement ? e.quantity == QLatin1String("Disp")
                                       : (e.quantity == QLatin1String("Load") || e.quantity == QLatin1String("Rate"));
        if (!here || e.position < 1 || e.position > lines) continue;
        const double key = ChartRules::dateTimeKey(e.readingDate);
        if (std::isnan(key) || key < from || key > to) continue;
        w.beginObject();
        w.member("t", qint64(std::llround(key * 1000.0))).member("position", e.position).member("level", e.level);
        w.member("quantity", e.quantity).member("value", e.value);
        w.endObject();
    }
    w.endArray();
}

}  // namespace

QByteArray json(Database& db, WebCache& cache, const QString& user, const SensorDetails& sensor, const Query& q)
{
    const bool displacement = q.kind == QLatin1String("disp");
    const auto cols =
        WebSeries::timeColumns(db, cache, user, sensor, displacement ? WebSeries::Kind::Disp : WebSeries::Kind::Load);
    const double first = cols->dates.empty() ? 0 : cols->dates.front();
    const double last = cols->dates.empty() ? 0 : cols->dates.back();
    const double from = q.from.value_or(first);
    const double to = q.to.value_or(last);
    if (from > to) throw WebRefusal(400, QStringLiteral("from is after to"));
    const WebSeries::Rows rows = WebSeries::minMaxRows(*cols, from, to, q.width);

    JsonWriter w;
    const size_t lines = cols->gauges.size();
    // About ten bytes a value.
    w.reserve(qsizetype(rows.rows.size()) * qsizetype(lines + 2) * 10 + 1024);
    w.beginObject();
    w.member("kind", q.kind);
    w.key("labels").beginArray().value("Date");
    const QString name = displacement ? QStringLiteral("Disp #") : QStringLiteral("Load #");
    for (size_t k = 1; k <= lines; ++k) w.value(name + QString::number(k));
    w.value("Temperature").endArray();
    // The rows written straight: the bulk of the answer.
    w.key("rows").beginArray();
    QByteArray row;
    for (const std::vector<double>& r : rows.rows) {
        row.clear();
        row += '[';
        row += QByteArray::number(qint64(std::llround(r[0] * 1000.0)));  // whole milliseconds
        for (size_t i = 1; i < r.size(); ++i) {
            row += ',';
            JsonWriter::appendNumber(row, r[i]);
        }
        row += ']';
        w.raw(row);
    }
    w.endArray();
    writeLevels(w, AlarmStore::levels(db, sensor.instrumentId), displacement);
    writeEvents(w, db, sensor.instrumentId, displacement, int(lines), from, to);
    w.key("from").textOrNull(cols->dates.empty() ? QString() : WebParams::dateText(from));
    w.key("to").textOrNull(cols->dates.empty() ? QString() : WebParams::dateText(to));
    w.member("count", qint64(rows.count));
    w.endObject();
    return w.take();
}

}  // namespace WebSeriesAnswer
