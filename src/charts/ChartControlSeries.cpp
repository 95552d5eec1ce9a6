// The series of a chart control: their points, ranges and density, and the sample of a
// long line that the plotting library is given to draw (see SeriesSampler.h).
#include "charts/ChartControl.h"
#include "charts/ChartParts.h"
#include "charts/ChartRules.h"
#include "charts/SeriesSampler.h"
#include "core/TwError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using Line = std::shared_ptr<const std::vector<double>>;

// The line with its points in key order and without points that have no key, as the
// plotting library would keep it. The arrays are shared when they are already so.
std::pair<Line, Line> cleanLine(Line xs, Line ys)
{
    const size_t n = std::min(xs->size(), ys->size());
    bool clean = xs->size() == n && ys->size() == n;
    for (size_t i = 0; clean && i < n; ++i)
        if (std::isnan((*xs)[i]) || (i > 0 && (*xs)[i] < (*xs)[i - 1])) clean = false;
    if (clean) return {std::move(xs), std::move(ys)};
    std::vector<size_t> order;
    order.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (!std::isnan((*xs)[i])) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return (*xs)[a] < (*xs)[b]; });
    auto keys = std::make_shared<std::vector<double>>();
    auto values = std::make_shared<std::vector<double>>();
    keys->reserve(order.size());
    values->reserve(order.size());
    for (size_t i : order) {
        keys->push_back((*xs)[i]);
        values->push_back((*ys)[i]);
    }
    return {std::move(keys), std::move(values)};
}
}  // namespace

void ChartControl::dropWhole(Series& s)
{
    // A line of a told revision is kept aside with its sample; the library's points move
    // with it, and the graph is left an empty container of its own.
    const size_t index = size_t(&s - m_series.data());
    if (s.whole() && s.revision != 0 && index < m_kept.size()) {
        m_kept[index] = KeptLine{s, s.graph->data()};
        s.graph->setData(QSharedPointer<QCPGraphDataContainer>::create());
    }
    s.fromKeys = s.fromValues = nullptr;
    s.revision = 0;
    s.keys.reset();
    s.values.reset();
    s.hasValues = false;
    s.sampled = {};
    s.overviewSpan = {};
    s.overview.clear();
}

void ChartControl::setSeriesData(int index, const std::vector<double>& xs, const std::vector<double>& ys)
{
    setSeriesData(index, std::make_shared<const std::vector<double>>(xs),
                  std::make_shared<const std::vector<double>>(ys));
}

void ChartControl::setSeriesData(int index, Line xs, Line ys)
{
    setSeriesData(index, std::move(xs), std::move(ys), {});
}

void ChartControl::releaseKeptLines()
{
    for (std::optional<KeptLine>& k : m_kept) k.reset();
}

bool ChartControl::grewInOrder(const std::vector<double>& keys, const std::vector<size_t>& added)
{
    for (size_t a : added) {
        if (a >= keys.size() || std::isnan(keys[a])) return false;
        if ((a > 0 && keys[a - 1] > keys[a]) || (a + 1 < keys.size() && keys[a] > keys[a + 1])) return false;
    }
    return true;
}

bool ChartControl::restoreKept(Series& s, const void* xs, const void* ys, const LineRevision& revision)
{
    std::optional<KeptLine>& kept = m_kept[size_t(&s - m_series.data())];
    if (!kept) return false;
    KeptLine k = std::move(*kept);
    kept.reset();
    const Series& line = k.line;
    if (revision.number == 0 || line.fromKeys != xs || line.fromValues != ys) return false;
    const bool same = line.revision == revision.number;
    // Grown in place: the line shares the arrays themselves (they needed no cleaning) and
    // the points put in keep the keys in order.
    const bool grown = !same && revision.grownFrom == line.revision && revision.added && line.keys.get() == xs &&
                       line.values.get() == ys && line.keys->size() == line.values->size() &&
                       grewInOrder(*line.keys, *revision.added);
    if (!same && !grown) return false;
    s.keys = line.keys;
    s.values = line.values;
    s.valueLow = line.valueLow;
    s.valueHigh = line.valueHigh;
    s.hasValues = line.hasValues;
    s.fromKeys = xs;
    s.fromValues = ys;
    s.revision = revision.number;
    if (same) {
        // As it was: the library's points, the sample's range and the overview.
        s.sampled = line.sampled;
        s.overviewSpan = line.overviewSpan;
        s.overview = line.overview;
        s.graph->setData(k.points);
        return true;
    }
    // Only the points put in widen the values' range; the sample is taken again.
    for (size_t a : *revision.added) {
        const double v = (*s.values)[a];
        if (std::isnan(v)) continue;
        s.valueLow = s.hasValues ? std::min(s.valueLow, v) : v;
        s.valueHigh = s.hasValues ? std::max(s.valueHigh, v) : v;
        s.hasValues = true;
    }
    s.sampled = {};
    s.overviewSpan = {};
    s.overview.clear();
    s.graph->data()->clear();
    return true;
}

void ChartControl::setSeriesData(int index, Line xs, Line ys, const LineRevision& revision)
{
    checkIndex(index);
    if (!xs || !ys) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    Series& s = m_series[size_t(index)];
    dropWhole(s);
    const void* fromKeys = xs.get();
    const void* fromValues = ys.get();
    if (restoreKept(s, fromKeys, fromValues, revision)) {
        m_zoomed = false;
        schedule();
        return;
    }
    s.graph->data()->clear();
    auto [keys, values] = cleanLine(std::move(xs), std::move(ys));
    s.keys = std::move(keys);
    s.values = std::move(values);
    s.hasValues = false;
    for (double v : *s.values) {
        if (std::isnan(v)) continue;
        if (!s.hasValues) {
            s.valueLow = s.valueHigh = v;
            s.hasValues = true;
        } else {
            s.valueLow = std::min(s.valueLow, v);
            s.valueHigh = std::max(s.valueHigh, v);
        }
    }
    s.sampled = {};
    s.overviewSpan = {};
    s.overview.clear();
    s.fromKeys = fromKeys;
    s.fromValues = fromValues;
    s.revision = revision.number;
    m_zoomed = false;
    schedule();
}

void ChartControl::addPoint(int index, double x, double y)
{
    checkIndex(index);
    Series& s = m_series[size_t(index)];
    if (s.whole()) {
        // One more point on a whole line: the library takes the line over, point by point.
        QVector<QCPGraphData> points;
        points.reserve(qsizetype(s.keys->size()));
        for (size_t i = 0; i < s.keys->size(); ++i) points.append(QCPGraphData((*s.keys)[i], (*s.values)[i]));
        s.graph->data()->set(points, true);
        s.revision = 0;  // the line changes: nothing of it is kept aside
        dropWhole(s);
    }
    s.graph->addData(x, y);
    schedule();
}

int ChartControl::pointCount(int index) const
{
    checkIndex(index);
    const Series& s = m_series[size_t(index)];
    return s.whole() ? int(s.keys->size()) : s.graph->data()->size();
}

QPointF ChartControl::point(int index, int i) const
{
    checkIndex(index);
    const Series& s = m_series[size_t(index)];
    if (s.whole()) return QPointF(s.keys->at(size_t(i)), s.values->at(size_t(i)));
    const auto it = s.graph->data()->at(i);
    return QPointF(it->key, it->value);
}

double ChartControl::seriesMaxX(int index) const
{
    checkIndex(index);
    const Series& s = m_series[size_t(index)];
    if (s.whole()) return s.keys->empty() ? 0 : s.keys->back();
    bool found = false;
    const QCPRange r = s.graph->getKeyRange(found);
    return found ? r.upper : 0;
}

double ChartControl::seriesMaxY(int index) const
{
    checkIndex(index);
    const Series& s = m_series[size_t(index)];
    if (s.whole()) return s.hasValues ? s.valueHigh : 0;
    bool found = false;
    const QCPRange r = s.graph->getValueRange(found);
    return found ? r.upper : 0;
}

bool ChartControl::seriesRange(const Series& s, Axis axis, double& lower, double& upper) const
{
    bool found = false;
    QCPRange r;
    if (s.whole()) {
        found = axis == Axis::Bottom ? !s.keys->empty() : s.hasValues;
        if (found)
            r = axis == Axis::Bottom ? QCPRange(s.keys->front(), s.keys->back()) : QCPRange(s.valueLow, s.valueHigh);
    } else {
        r = axis == Axis::Bottom ? s.graph->getKeyRange(found) : s.graph->getValueRange(found);
    }
    lower = r.lower;
    upper = r.upper;
    return found;
}

double ChartControl::dataMinimum(Axis axis) const
{
    double lo = NaN;
    for (const Series& s : m_series) {
        double lower = 0, upper = 0;
        if (axis == Axis::Left && isOwnAxis(s)) continue;  // measured on the right axis
        if (s.graph->visible() && seriesRange(s, axis, lower, upper) && (std::isnan(lo) || lower < lo)) lo = lower;
    }
    return std::isnan(lo) ? 0 : lo;
}

double ChartControl::dataMaximum(Axis axis) const
{
    double hi = NaN;
    for (const Series& s : m_series) {
        double lower = 0, upper = 0;
        if (axis == Axis::Left && isOwnAxis(s)) continue;
        if (s.graph->visible() && seriesRange(s, axis, lower, upper) && (std::isnan(hi) || upper > hi)) hi = upper;
    }
    return std::isnan(hi) ? 0 : hi;
}

int ChartControl::screenColumns() const
{
    // The data area is never wider than the plot; before the first layout its own width
    // may not be known yet.
    return std::max({m_plot->width(), m_plot->axisRect()->width(), 200});
}

void ChartControl::sampleSeries(int columns)
{
    const QCPRange keys = m_plot->xAxis->range();
    for (Series& s : m_series) {
        if (!s.whole() || !s.graph->visible()) continue;
        if (s.sampled.is(columns, keys.lower, keys.upper)) continue;
        const bool overview = s.overviewSpan.is(columns, keys.lower, keys.upper);
        std::vector<qsizetype> sampled;
        if (!overview) sampled = SeriesSampler::sample(*s.keys, *s.values, keys.lower, keys.upper, columns);
        const std::vector<qsizetype>& picked = overview ? s.overview : sampled;
        QVector<QCPGraphData> points;
        points.reserve(qsizetype(picked.size()));
        for (qsizetype i : picked) points.append(QCPGraphData((*s.keys)[size_t(i)], (*s.values)[size_t(i)]));
        s.graph->data()->set(points, true);
        if (!overview && keys.lower <= s.keys->front() && keys.upper >= s.keys->back()) {
            s.overview = std::move(sampled);
            s.overviewSpan = {keys.lower, keys.upper, columns};
        }
        s.sampled = {keys.lower, keys.upper, columns};
    }
}

// Markers and smoothing where they can be seen: a line with more points on screen than
// one every few pixels is drawn without diamonds and without antialiasing, which keeps
// a chart of years of hourly readings quick to redraw; zooming in brings them back.
void ChartControl::fitMarkersToDensity()
{
    const QCPRange keys = m_plot->xAxis->range();
    const int room = std::max(1, m_plot->axisRect()->width() / 4);
    for (Series& s : m_series) {
        if (!s.graph->visible()) continue;
        int shown = 0;
        if (s.whole()) {
            // Counted as the library counts its own points: one beyond each edge included.
            auto begin = std::lower_bound(s.keys->begin(), s.keys->end(), keys.lower);
            auto end = std::upper_bound(begin, s.keys->end(), keys.upper);
            if (begin != s.keys->begin()) --begin;
            if (end != s.keys->end()) ++end;
            shown = int(std::min<std::ptrdiff_t>(end - begin, std::numeric_limits<int>::max()));
        } else {
            const auto data = s.graph->data();
            shown = int(data->findEnd(keys.upper) - data->findBegin(keys.lower));
        }
        const bool dense = shown > room;
        if (dense == s.dense) continue;
        s.dense = dense;
        const QColor c = s.graph->pen().color();
        s.graph->setScatterStyle(QCPScatterStyle(dense ? QCPScatterStyle::ssNone : QCPScatterStyle::ssDiamond,
                                                 QPen(c, 1), QBrush(c), s.markerSize));
        s.graph->setAntialiased(!dense);
    }
}

// ----- the right axis of the own-axis series --------------------------------------------------
bool ChartControl::isOwnAxis(const Series& s) const
{
    return m_ownAxisSeries >= 0 && m_ownAxisSeries < seriesCount() && &s == &m_series[size_t(m_ownAxisSeries)];
}

void ChartControl::setOwnAxisSeries(int index, const QString& axisTitle)
{
    for (Series& s : m_series) s.graph->setValueAxis(m_plot->yAxis);
    m_ownAxisSeries = index;
    m_ownAxisTitle = axisTitle;
    m_plot->yAxis2->setLabel(axisTitle);
    applyOwnAxis();
    schedule();
}

void ChartControl::applyOwnAxis()
{
    QCPAxis* right = m_plot->yAxis2;
    const Series* own =
        m_ownAxisSeries >= 0 && m_ownAxisSeries < seriesCount() ? &m_series[size_t(m_ownAxisSeries)] : nullptr;
    if (own && own->graph->valueAxis() != right) own->graph->setValueAxis(right);
    double lo = 0, hi = 0;
    const bool shown = own && own->inUse && own->graph->visible() && seriesRange(*own, Axis::Left, lo, hi);
    right->setVisible(shown);
    if (!shown || m_zoomed) return;
    // Round steps with a step's room above and below the values.
    const double step = ChartRules::roundStep(std::max(hi - lo, 1.0) / 5);
    right->setRange(std::floor(lo / step) * step - step, std::ceil(hi / step) * step + step);
}

bool ChartControl::isRightAxisShown() const { return m_plot->yAxis2->visible(); }
QString ChartControl::rightAxisTitle() const { return m_plot->yAxis2->label(); }
double ChartControl::rightLower() const { return m_plot->yAxis2->range().lower; }
double ChartControl::rightUpper() const { return m_plot->yAxis2->range().upper; }

bool ChartControl::isOnRightAxis(int index) const
{
    checkIndex(index);
    return m_series[size_t(index)].graph->valueAxis() == m_plot->yAxis2;
}

// ----- markers at the edge of the data area ---------------------------------------------------
namespace {
constexpr int RingRoom = 10;  // half a ring and its pen
}

void ChartControl::fitEdgeRoom()
{
    for (Series& s : m_series)
        if (auto* g = dynamic_cast<EdgeGraph*>(s.graph))
            g->setEdgeRoom(m_zoomed ? 0 : int(std::ceil(s.markerSize / 2)) + 1);
    for (QCPGraph* ring : m_markGraphs)
        if (auto* g = dynamic_cast<EdgeGraph*>(ring)) g->setEdgeRoom(m_zoomed ? 0 : RingRoom);
}

int ChartControl::edgeRoom(int index) const
{
    checkIndex(index);
    const auto* g = dynamic_cast<const EdgeGraph*>(m_series[size_t(index)].graph);
    return g ? g->edgeRoom() : 0;
}
