#include "web/WebProfiles.h"
#include "calc/Formulas.h"
#include "calc/Numbers.h"
#include "charts/ChartRules.h"
#include "charts/GraphColumns.h"
#include "core/TwError.h"
#include "data/GraphData.h"
#include "data/Passes.h"
#include "data/PassValues.h"
#include "data/SensorDetails.h"
#include "sensors/GaugeLayout.h"
#include "web/WebJson.h"
#include "web/WebParams.h"
#include "web/WebSensors.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace WebProfiles {

namespace {

using ChartRules::Profile;

struct Shape {
    Profile profile = Profile::Load;
    Calc::PassKind pass = Calc::PassKind::Load;
    QString column;
    bool alongNodes = false;  // displacements stand at the nodes, loads and shears at the gauge centres
};

Shape shapeOf(const QString& kind)
{
    if (kind == QLatin1String("disp"))
        return {Profile::Displacement, Calc::PassKind::DispLength, QStringLiteral("Disp"), true};
    if (kind == QLatin1String("shear"))
        return {Profile::Shear, Calc::PassKind::Shear, QStringLiteral("Stretch"), false};
    return {Profile::Load, Calc::PassKind::Load, QStringLiteral("Load"), false};
}

// The node and gauge-centre positions from the roof as the Installation page shows them
// (node 1 is the first node; the rest follow from the gauge length and the layout).
struct Positions {
    std::vector<double> nodes;    // node k at [k - 1]
    std::vector<double> centres;  // centre k at [k - 1]
};

double number(const QString& text)
{
    const std::optional<double> v = Numbers::tryLocaleValue(GaugeLayout::twoDecimals(text).trimmed());
    return v ? *v : std::nan("");
}

Positions positionsOf(const SensorDetails& s, int channels)
{
    Positions p;
    p.nodes.push_back(number(s.firstNode));
    std::optional<double> length;
    try {
        length = GaugeLayout::gaugeLength(s.gaugeLength);
    } catch (const TwError&) {
        // A gauge length that is not a number places nothing beyond the first node.
    }
    if (!length) return p;
    const GaugeLayout::Positions computed =
        GaugeLayout::compute(s.firstNode, *length, channels, s.stacked.value_or(false));
    for (const QString& t : computed.nodes) p.nodes.push_back(number(t));
    for (const QString& t : computed.centres) p.centres.push_back(number(t));
    return p;
}

double at(const std::vector<double>& v, int k)
{
    return k >= 1 && size_t(k) <= v.size() ? v[size_t(k - 1)] : std::nan("");
}

}  // namespace

QByteArray json(Database& db, const SensorDetails& sensor, const QString& kind, std::optional<double> date)
{
    const Shape shape = shapeOf(kind);
    const WebSensors::TypeSetup type = WebSensors::typeSetup(db, sensor.sensorType);
    const bool stacked = sensor.stacked.value_or(false);
    const ChartRules::ProfilePlan plan = ChartRules::profilePlan(shape.profile, stacked, type.channels);
    const int last = std::min(plan.lastGauge, Calc::ChannelCount);

    QStringList names;
    for (int k = 1; k <= last; ++k) names << shape.column + QString::number(k);
    // The readings marked for the length charts, computed as their pass would store them.
    const Calc::SensorInputs in = WebSensors::passInputs(sensor);
    std::unique_ptr<GraphColumns> cols;
    std::optional<Calc::ComputedColumns> computed =
        Calc::computeColumns(db, in, shape.pass, Calc::GraphSelection::Spatial, names,
                             [](QByteArrayView text) { return ChartRules::dateTimeKeyUtf8(text); });
    if (computed) cols = std::make_unique<GraphColumns>(db, in.id, std::move(*computed));
    else
        cols = std::make_unique<GraphColumns>(db, Calc::graphQuery(in.id, Calc::GraphSelection::Spatial), names,
                                              QStringLiteral("FullDate"));

    // Which readings: the one at or before the date asked for, or those the desktop's
    // length chart draws (the newest 15 marked).
    const std::vector<double>& keys = cols->dates();
    std::vector<qsizetype> chosen;
    if (date) {
        const auto after = std::upper_bound(keys.begin(), keys.end(), *date);
        if (after != keys.begin()) chosen.push_back(qsizetype(after - keys.begin()) - 1);
    } else {
        std::vector<QDateTime> times;
        times.reserve(keys.size());
        for (double key : keys) times.push_back(std::isnan(key) ? QDateTime() : ChartRules::keyDateTime(key));
        chosen = ChartRules::chooseProfiles(times, ChartRules::ProfileChoice::Picked);
    }

    const Positions where = positionsOf(sensor, type.channels);
    std::vector<double> xs;
    for (int k = 1; k <= last; ++k) xs.push_back(at(shape.alongNodes ? where.nodes : where.centres, k));
    // The points that close a line at zero, as the desktop's chart draws them.
    std::vector<double> closing;
    if (plan.closeAtNextNode) closing.push_back(at(where.nodes, type.channels + 1));
    if (plan.closeAtCable) closing.push_back(number(sensor.lengthOfCable));

    JsonWriter w;
    w.beginObject().member("kind", kind);
    w.key("labels").beginArray();
    for (int k = 1; k <= last; ++k) w.value(shape.column + QStringLiteral(" #") + QString::number(k));
    for (size_t i = 0; i < closing.size(); ++i) w.value("");
    w.endArray();
    w.key("positions").beginArray();
    for (double x : xs) w.value(x);
    for (double x : closing) w.value(x);
    w.endArray();
    w.key("profiles").beginArray();
    for (const qsizetype row : chosen) {
        w.beginObject().member("date", WebParams::dateText(keys[size_t(row)]));
        w.key("values").beginArray();
        for (int k = 1; k <= last; ++k) w.value(cols->numbers(names[k - 1])[size_t(row)]);
        for (size_t i = 0; i < closing.size(); ++i) w.value(0.0);
        w.endArray().endObject();
    }
    w.endArray().endObject();
    return w.take();
}

}  // namespace WebProfiles
