#include "web/WebSeries.h"
#include "charts/ChartRules.h"
#include "charts/GraphColumns.h"
#include "core/TwError.h"
#include "data/GraphData.h"
#include "data/Passes.h"
#include "data/PassValues.h"
#include "data/SensorDetails.h"
#include "web/WebCache.h"
#include "web/WebSensors.h"

#include <algorithm>
#include <cmath>

namespace WebSeries {

namespace {

constexpr int AskedGauges = 10;  // the time charts ask for gauges 1..10 and show some of them

QStringList askedColumns(Kind kind)
{
    QStringList names{QStringLiteral("NumTemp")};
    const QString column = kind == Kind::Load ? QStringLiteral("Load") : QStringLiteral("Disp");
    for (int k = 1; k <= AskedGauges; ++k) names << column + QString::number(k);
    return names;
}

std::vector<double> copyOf(const std::shared_ptr<const std::vector<double>>& values)
{
    return values ? *values : std::vector<double>();
}

}  // namespace

qsizetype TimeColumns::bytes() const
{
    qsizetype n = qsizetype(dates.size()) + qsizetype(temperature.size());
    for (const auto& g : gauges) n += qsizetype(g.size());
    return n * qsizetype(sizeof(double)) + 256;
}

QStringList sourceTables(const QString& sensorId)
{
    return {sensorId, QStringLiteral("Sensors"), QStringLiteral("Configuration"), QStringLiteral("Rejections")};
}

std::shared_ptr<const TimeColumns> readTimeColumns(Database& db, const SensorDetails& sensor, Kind kind)
{
    const WebSensors::TypeSetup type = WebSensors::typeSetup(db, sensor.sensorType);
    const int shown = WebSensors::timeGauges(sensor, type, kind == Kind::Disp);
    const QStringList names = askedColumns(kind);

    const Calc::SensorInputs in = WebSensors::passInputs(sensor);
    const Calc::PassKind pass = kind == Kind::Load ? Calc::PassKind::Load : Calc::PassKind::DispTime;

    std::unique_ptr<GraphColumns> cols;
    std::optional<Calc::ComputedColumns> computed =
        Calc::computeColumns(db, in, pass, Calc::GraphSelection::Temporal, names,
                             [](QByteArrayView text) { return ChartRules::dateTimeKeyUtf8(text); });
    if (computed) {
        cols = std::make_unique<GraphColumns>(db, in.id, std::move(*computed));
    } else {
        // What the pass could not compute without telling something: the stored columns,
        // which the desktop draws too until its pass has run.
        cols = std::make_unique<GraphColumns>(db, Calc::graphQuery(in.id, Calc::GraphSelection::Temporal), names,
                                              QStringLiteral("fulldate"));
    }
    auto out = std::make_shared<TimeColumns>();
    out->dates = cols->dates();
    const QString column = kind == Kind::Load ? QStringLiteral("Load") : QStringLiteral("Disp");
    const std::vector<double> none(out->dates.size(), std::nan(""));
    auto numbersOr = [&](const QString& name) {
        try {
            return copyOf(cols->sharedNumbers(name));
        } catch (const TwError&) {
            return none;  // a column the table lacks draws nothing
        }
    };
    out->temperature = numbersOr(QStringLiteral("NumTemp"));
    for (int k = 1; k <= shown; ++k) out->gauges.push_back(numbersOr(column + QString::number(k)));
    return out;
}

std::shared_ptr<const TimeColumns> timeColumns(Database& db, WebCache& cache, const QString& user,
                                               const SensorDetails& sensor, Kind kind)
{
    const QByteArray mark = cache.mark(db, user, sourceTables(sensor.instrumentId));
    const QByteArray key = QByteArray(kind == Kind::Load ? "time-load\x1f" : "time-disp\x1f") + user.toUtf8() + '\x1f' +
                           sensor.instrumentId.toUtf8();
    return cache.get<TimeColumns>(key, mark, [&](qsizetype& bytes) {
        std::shared_ptr<const TimeColumns> cols = readTimeColumns(db, sensor, kind);
        bytes = cols->bytes();
        return cols;
    });
}

Rows minMaxRows(const TimeColumns& cols, double from, double to, int width)
{
    Rows out;
    const auto& keys = cols.dates;
    const size_t lines = cols.gauges.size() + 1;  // the gauges, then the temperature
    auto value = [&](size_t line, size_t row) {
        return line < cols.gauges.size() ? cols.gauges[line][row] : cols.temperature[row];
    };
    auto exactRow = [&](size_t row) {
        std::vector<double> r;
        r.reserve(lines + 1);
        r.push_back(keys[row]);
        for (size_t l = 0; l < lines; ++l) r.push_back(value(l, row));
        out.rows.push_back(std::move(r));
    };
    const size_t lo = size_t(std::lower_bound(keys.begin(), keys.end(), from) - keys.begin());
    const size_t hi = size_t(std::upper_bound(keys.begin(), keys.end(), to) - keys.begin());  // past the last
    out.count = qsizetype(hi > lo ? hi - lo : 0);
    // The nearest reading beyond each edge, so that the lines leave the chart where they would.
    if (lo > 0) exactRow(lo - 1);
    if (out.count <= qsizetype(2) * width) {
        for (size_t i = lo; i < hi; ++i) exactRow(i);
    } else {
        const double span = keys[hi - 1] - keys[lo];
        size_t start = lo;
        for (int c = 0; c < width && start < hi; ++c) {
            // The readings of column c: keys up to the column's right edge.
            const double edge = c == width - 1 ? keys[hi - 1] : keys[lo] + span * double(c + 1) / width;
            const size_t end =
                std::max(start + 1,
                         size_t(std::upper_bound(keys.begin() + qsizetype(start), keys.begin() + qsizetype(hi), edge) -
                                keys.begin()));
            if (end - start <= 2) {
                for (size_t i = start; i < end; ++i) exactRow(i);
                start = end;
                continue;
            }
            std::vector<double> low(lines, std::nan("")), high(lines, std::nan(""));
            std::vector<size_t> gapRows;
            for (size_t l = 0; l < lines; ++l) {
                bool gap = false;
                for (size_t i = start; i < end; ++i) {
                    const double v = value(l, i);
                    if (std::isnan(v)) {
                        if (!gap) gapRows.push_back(i);
                        gap = true;
                        continue;
                    }
                    if (std::isnan(low[l]) || v < low[l]) low[l] = v;
                    if (std::isnan(high[l]) || v > high[l]) high[l] = v;
                }
            }
            // A reading where a line has no value is sent as it is, in its place among
            // the column's two rows (before the lowest at the first reading, after the
            // highest at the last).
            std::sort(gapRows.begin(), gapRows.end());
            gapRows.erase(std::unique(gapRows.begin(), gapRows.end()), gapRows.end());
            if (!gapRows.empty() && gapRows.front() == start) exactRow(start);
            std::vector<double> first{keys[start]};
            first.insert(first.end(), low.begin(), low.end());
            out.rows.push_back(std::move(first));
            for (size_t i : gapRows)
                if (i != start && i != end - 1) exactRow(i);
            std::vector<double> last{keys[end - 1]};
            last.insert(last.end(), high.begin(), high.end());
            out.rows.push_back(std::move(last));
            if (!gapRows.empty() && gapRows.back() == end - 1) exactRow(end - 1);
            start = end;
        }
    }
    if (hi < keys.size()) exactRow(hi);
    return out;
}

LoadSummary loadSummary(const TimeColumns& cols)
{
    LoadSummary s{std::nan(""), std::nan("")};
    const size_t n = cols.dates.size();
    for (const auto& g : cols.gauges) {
        if (n > 0 && !std::isnan(g[n - 1]) && (std::isnan(s.latest) || g[n - 1] > s.latest)) s.latest = g[n - 1];
        for (const double v : g)
            if (!std::isnan(v) && (std::isnan(s.peak) || v > s.peak)) s.peak = v;
    }
    return s;
}

}  // namespace WebSeries
