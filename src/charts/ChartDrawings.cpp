#include "charts/ChartDrawings.h"
#include "calc/Numbers.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/GraphColumns.h"
#include "core/ErrorTrap.h"
#include "data/AlarmStore.h"
#include "data/GraphData.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QLabel>
#include <QLineEdit>
#include <cmath>

using Axis = ChartControl::Axis;

namespace {
constexpr int TimeSeries = 11;     // temperature + 10 gauges
constexpr int LengthSeries = 16;   // temperature + 15 readings
constexpr int MaxLines = 15;
constexpr int ControlArrayElementMissing = 340;
}  // namespace

ChartDrawings::ChartDrawings(PageHost& win, const Charts& charts)
    : m_win(win), m_s(win.shared()), m_charts(charts)
{
}

QString ChartDrawings::boxText(const QString& name) const
{
    if (QLineEdit* box = m_win.sensorBox(name)) return box->text();
    throw TwError(ControlArrayElementMissing, QStringLiteral("Control array element '") + name +
                                                  QStringLiteral("' doesn't exist"));
}

double ChartDrawings::boxNumber(const QString& name) const { return Numbers::localeValue(boxText(name)); }

int ChartDrawings::configInt(const char* field) const
{
    const QVariant v = m_s.rsConfig->value(QLatin1String(field));
    if (v.isNull()) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    return v.toInt();
}

QString ChartDrawings::chartTitle() const
{
    return m_s.prefs.MineID + m_s.rsSensors->text(QStringLiteral("InstrumentID"));
}

// The value axis's final limits and step from the values drawn. Where the band's maximum
// falls below the largest value (a negative largest value rounded down, or one above the
// last band rounded to a whole number), the top points would be cut off: the maximum is
// then raised to the next multiple of the increment.
void ChartDrawings::applyScale(ChartControl& c, double smallest, double largest, int band)
{
    ChartCalc::AxisScale a = ChartCalc::scale(smallest, largest, ChartCalc::Band(band));
    if (a.maximum < largest && a.increment > 0) a.maximum = std::ceil(largest / a.increment - 1e-9) * a.increment + 0.0;
    c.setMinimum(Axis::Left, a.minimum);
    c.setIncrement(Axis::Left, a.increment);
    c.setMaximum(Axis::Left, a.maximum);
}

// ----- Load v Time and Disp v Time ----------------------------------------------------------
// A failing step is skipped and the drawing goes on with the next one, so a chart may come
// out partly drawn but the drawing always completes.
void ChartDrawings::DrawTgraph() { drawTime(*m_charts.T, false); }
void ChartDrawings::DrawRgraph() { drawTime(*m_charts.T2, true); }

void ChartDrawings::useTimeColumns(const QString& key, std::shared_ptr<GraphColumns> computed)
{
    m_key = key;
    m_offered = std::move(computed);
}

bool ChartDrawings::timeColumnsCurrent(const QString& key)
{
    const QString sql = Calc::graphQuery(m_s.currentSensorId(), Calc::GraphSelection::Temporal);
    const Database::Stamp now = m_s.db.stamp(m_s.currentSensorId());
    for (const ReadColumns& r : m_read)
        if (r.columns && r.sql == sql && r.key == key && r.stamp == now) return true;
    return false;
}

std::shared_ptr<const GraphColumns> ChartDrawings::readTimeColumns(const QStringList& names)
{
    const QString sql = Calc::graphQuery(m_s.currentSensorId(), Calc::GraphSelection::Temporal);
    try {
        m_s.rsGraph = std::make_unique<Recordset>(m_s.db);
        const Database::Stamp now = m_s.db.stamp(m_s.currentSensorId());
        size_t slot = m_read.size();
        for (size_t i = 0; i < m_read.size(); ++i)
            if (m_read[i].columns && m_read[i].sql == sql && m_read[i].names == names && m_read[i].key == m_key) slot = i;
        if (slot == m_read.size() || !(m_read[slot].stamp == now)) {
            if (slot == m_read.size()) slot = 1 - m_lastUsed;
            ReadColumns& r = m_read[slot];
            const qsizetype expected = r.columns ? r.columns->rowCount() + 1024 : 0;
            r = ReadColumns();
            std::shared_ptr<GraphColumns> cols = std::move(m_offered);
            if (!cols)
                cols = std::make_shared<GraphColumns>(m_s.db, sql, names, QStringLiteral("fulldate"),
                                                      QStringLiteral("readingdate"), expected);
            r.rows = cols->takeRowIds();
            r.columns = std::move(cols);
            r.sql = sql;
            r.names = names;
            r.stamp = now;
            r.key = m_key;
        }
        m_lastUsed = slot;
        m_s.rsGraph->openWithRows(sql, m_read[slot].rows);
        return m_read[slot].columns;
    } catch (const TwError&) {
        m_read.fill(ReadColumns());
        // Opened the usual way, which logs why the selection cannot be read.
        ChartCalc::openGraphData(m_win, ChartCalc::Selection::Temporal);
        if (!m_s.rsGraph || !m_s.rsGraph->isOpen()) return nullptr;
        return std::make_shared<GraphColumns>(*m_s.rsGraph, names, QStringLiteral("fulldate"), QStringLiteral("readingdate"));
    }
}

void ChartDrawings::drawTime(ChartControl& c, bool displacement)
{
    const QString column = displacement ? QStringLiteral("Disp") : QStringLiteral("Load");
    auto step = [](auto&& f) { ignoringErrors(f); };

    // 1. Legend titles of the gauge series.
    if (!displacement) {
        step([&] {
            const int n = configInt("NumChannels");
            for (int k = 1; k <= n; ++k) m_titles.at(size_t(k)) = QStringLiteral("#") + QString::number(k);
        });
    } else {
        step([&] {
            const int nodes = configInt("NumNodes");
            for (int k = 1; k <= nodes; ++k)
                m_titles.at(size_t(k)) = boxText(QStringLiteral("txtRelSGanchor(%1)").arg(k)) + QStringLiteral(" m");
        });
    }
    // 2-4. Title, no axis title, every series emptied and hidden.
    step([&] {
        c.clearTitle();
        c.addTitleLine(chartTitle());
    });
    step([&] { c.setAxisTitle(Axis::Bottom, QString()); });
    for (int i = 0; i < TimeSeries; ++i) step([&] {
        c.clearSeries(i);
        c.setSeriesVisible(i, false);
    });
    // 5. The value axis's title from the sensor type (Disp v Time keeps its own).
    if (!displacement) step([&] { c.setAxisTitle(Axis::Left, m_s.rsConfig->text(QStringLiteral("TemporalYaxis"))); });
    // 6. The readings marked for the time charts, and the columns drawn, in one query; the
    // graph data is opened on the same rows.
    std::shared_ptr<const GraphColumns> cols;
    QStringList names{QStringLiteral("NumTemp")};
    for (int k = 1; k < TimeSeries; ++k) names << column + QString::number(k);
    step([&] { cols = readTimeColumns(names); });
    // 7. The span in calendar days from the first reading to the last.
    QDate first, last;
    step([&] {
        if (!cols || cols->rowCount() == 0) throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("No current record."));
        last = ChartRules::parseReadingDate(cols->lastText());
        first = ChartRules::parseReadingDate(cols->firstText());
    });
    // 8. The value axis follows the data while the series are filled.
    step([&] { c.setAutomatic(Axis::Left, true); });
    // 9. Every series takes its X values from the reading's date and time.
    auto bind = [&](int series, const QString& yColumn) {
        if (!cols) throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("No current record."));
        c.setSeriesData(series, cols->sharedDates(), cols->sharedNumbers(yColumn));
    };
    // 10. Temperature.
    step([&] { bind(0, QStringLiteral("NumTemp")); });
    step([&] { c.setSeriesVisible(0, true); });
    // 11. The gauge series for the layout and channel count.
    int n = 0;
    bool stacked = false;
    step([&] {
        n = configInt("NumChannels");
        stacked = m_win.sensorStacked();
    });
    const int shown = ChartRules::timeGaugeCount(stacked, n);
    for (int k = 1; k <= std::min(shown, TimeSeries - 1); ++k) {
        step([&] { c.setSeriesTitle(k, m_titles.at(size_t(k))); });
        step([&] { bind(k, column + QString::number(k)); });
        step([&] { c.setSeriesVisible(k, true); });
    }
    int hideFrom = shown + 1;
    if (displacement && stacked && n > 3) step([&] { hideFrom = configInt("NumNodes") - 1; });
    for (int k = std::max(1, hideFrom); k < TimeSeries; ++k) step([&] { c.setSeriesVisible(k, false); });
    // The sensor's alarm levels as lines, and the readings that raised an event marked.
    double levelLow = NAN, levelHigh = NAN;
    step([&] { drawAlarms(c, displacement, shown, levelLow, levelHigh); });
    // 12. The graph data stays at its last row.
    step([&] { m_s.rsGraph->moveLast(); });
    // 13. Fixed value-axis limits from the values drawn (and the level lines, so that
    // they are in view).
    step([&] {
        double lo = c.minimum(Axis::Left), hi = c.maximum(Axis::Left);
        if (!std::isnan(levelLow)) lo = std::min(lo, levelLow);
        if (!std::isnan(levelHigh)) hi = std::max(hi, levelHigh);
        applyScale(c, lo, hi, int(ChartCalc::Band::T));
    });
    // 14. Time axis by the span: hours within one or two calendar days, dates beyond.
    step([&] {
        const ChartRules::TimeAxisPlan plan = ChartRules::timeAxisPlan(first, last, ChartRules::systemDateSeparator(),
                                                                       ChartRules::systemTimeSeparator());
        c.setAutomatic(Axis::Bottom, true);
        c.setDateTimeStep(Axis::Bottom, plan.step == ChartRules::TimeStep::TwoHours   ? ChartControl::TimeStep::TwoHours
                                        : plan.step == ChartRules::TimeStep::SixHours ? ChartControl::TimeStep::SixHours
                                                                                      : ChartControl::TimeStep::Automatic);
        c.setDateTimeFormat(Axis::Bottom, plan.labelFormat);
        c.setAxisTitle(Axis::Bottom, plan.title);
    });
    c.refresh();
}

// The levels of the chart's quantity as labelled lines in their level's colour, and a ring
// around each drawn reading that raised an event on a gauge line shown.
void ChartDrawings::drawAlarms(ChartControl& c, bool displacement, int shownSeries, double& low, double& high)
{
    using AlarmStore::Severity;
    std::vector<ChartControl::LevelLine> lines;
    std::vector<ChartControl::Mark> marks;
    // Cleared first: a failure below leaves no other sensor's levels on the chart.
    c.setLevelLines(lines);
    c.setMarks(marks);
    const QString id = m_s.currentSensorId();
    if (id.isEmpty()) return;
    if (const std::optional<AlarmStore::Levels> lv = AlarmStore::levels(m_s.db, id)) {
        const QString unit = displacement ? QStringLiteral(" microns") : QStringLiteral(" t");
        auto add = [&](const std::optional<double>& v, Severity sev, bool lower) {
            if (!v) return;
            lines.push_back({*v,
                             AlarmStore::word(sev) + (lower ? QStringLiteral(" (lower) ") : QStringLiteral(" ")) +
                                 Numbers::plain(*v) + unit,
                             QColor(AlarmStore::colourName(sev))});
            low = std::isnan(low) ? *v : std::min(low, *v);
            high = std::isnan(high) ? *v : std::max(high, *v);
        };
        add(displacement ? lv->dispAlertUpper : lv->loadAlertUpper, Severity::Alert, false);
        add(displacement ? lv->dispActionUpper : lv->loadActionUpper, Severity::Action, false);
        add(displacement ? lv->dispAlertLower : lv->loadAlertLower, Severity::Alert, true);
        add(displacement ? lv->dispActionLower : lv->loadActionLower, Severity::Action, true);
    }
    for (const AlarmStore::Event& e : AlarmStore::events(m_s.db, AlarmStore::EventFilter::All, id)) {
        const bool here = displacement ? e.quantity == QLatin1String("Disp")
                                       : (e.quantity == QLatin1String("Load") || e.quantity == QLatin1String("Rate"));
        if (!here || e.position < 1 || e.position > shownSeries) continue;
        marks.push_back({e.position, ChartRules::dateTimeKey(e.readingDate),
                         QColor(AlarmStore::colourName(AlarmStore::severityFromWord(e.level)))});
    }
    c.setLevelLines(lines);
    c.setMarks(marks);
}

// ----- Load, Disp and Shear v Length --------------------------------------------------------
void ChartDrawings::DrawSgraph()
{
    runTrapped(QStringLiteral(" G_DrawSgraph"), [&] { drawLength(*m_charts.S, ChartRules::Profile::Load); });
    m_charts.S->refresh();
}

void ChartDrawings::DrawDvLgraph()
{
    runTrapped(QStringLiteral(" G_DrawDvLgraph"), [&] { drawLength(*m_charts.DvL, ChartRules::Profile::Displacement); });
    m_charts.DvL->refresh();
}

void ChartDrawings::DrawSvLgraph()
{
    runTrapped(QStringLiteral(" G_DrawSvLgraph"), [&] { drawLength(*m_charts.SvL, ChartRules::Profile::Shear); });
    m_charts.SvL->refresh();
}

// Runs under the caller's error trap: the first failing step stops the drawing, and what
// was drawn up to there stays on the chart.
void ChartDrawings::drawLength(ChartControl& c, ChartRules::Profile profile)
{
    using ChartRules::Profile;
    QString column, xBox;
    switch (profile) {
    case Profile::Load: column = QStringLiteral("Load"); xBox = QStringLiteral("txtRelSGCenter(%1)"); break;
    case Profile::Displacement: column = QStringLiteral("Disp"); xBox = QStringLiteral("txtRelSGanchor(%1)"); break;
    case Profile::Shear: column = QStringLiteral("Stretch"); xBox = QStringLiteral("txtRelSGCenter(%1)"); break;
    }
    // 1-2. Title; only Load v Length takes its value-axis title from the sensor type.
    c.clearTitle();
    c.addTitleLine(chartTitle());
    if (profile == Profile::Load) c.setAxisTitle(Axis::Left, m_s.rsConfig->text(QStringLiteral("TemporalYaxis")));
    // 3. The readings marked for the length charts.
    ChartCalc::openGraphData(m_win, ChartCalc::Selection::Spatial);
    Recordset& rs = *m_s.rsGraph;
    rs.moveFirst();
    // 4. Every series emptied and hidden.
    for (int i = 0; i < LengthSeries; ++i) {
        c.clearSeries(i);
        c.setSeriesVisible(i, false);
    }
    // 5-6. Starting limits from the preferences; distances from 0.
    c.setMaximum(Axis::Left, Numbers::localeValue(m_s.prefs.MaxY));
    c.setMinimum(Axis::Left, Numbers::localeValue(m_s.prefs.MinY));
    c.setMinimum(Axis::Bottom, 0);
    // 7. At most the last 15 readings, with a warning when some are left out.
    const qint64 rows = rs.recordCount();
    int lines = int(rows);
    if (rows > MaxLines) {
        m_charts.lblW15->setVisible(true);
        rs.setAbsolutePosition(rows - (MaxLines - 1));
        lines = MaxLines;
    } else {
        m_charts.lblW15->setVisible(false);
    }
    // 8. One line per reading.
    const int n = configInt("NumChannels");
    const ChartRules::ProfilePlan plan = ChartRules::profilePlan(profile, m_win.sensorStacked(), n);
    const QChar sep = ChartRules::systemDateSeparator();
    for (int r = 1; r <= lines; ++r) {
        c.setSeriesVisible(r, true);
        const QDate date = ChartRules::parseReadingDate(rs.text(QStringLiteral("ReadingDate")));
        if (!date.isValid()) throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
        c.setSeriesTitle(r, ChartRules::formatDate(date, sep));
        for (int k = 1; k <= plan.lastGauge; ++k) {
            const double x = boxNumber(xBox.arg(k));
            const QVariant v = rs.value(column + QString::number(k));
            if (v.isNull()) continue;   // no value at this position in this reading: no point
            const double y = v.typeId() == QMetaType::QString ? Numbers::localeValue(v.toString()) : v.toDouble();
            if (std::isnan(y)) continue;
            c.addPoint(r, x, y);
        }
        if (plan.closeAtNextNode) c.addPoint(r, boxNumber(QStringLiteral("txtRelSGanchor(%1)").arg(n + 1)), 0);
        if (plan.closeAtCable) c.addPoint(r, boxNumber(QStringLiteral("txtLengthofCable")), 0);
        c.setMinimum(Axis::Bottom, 0);
        c.setMaximum(Axis::Bottom, ChartRules::lengthAxisMaximum(c.seriesMaxX(r)));
        c.setIncrement(Axis::Bottom, ChartRules::lengthTickStep(c.maximum(Axis::Bottom)));
        rs.moveNext();
    }
    // 9. The graph data stays at its last row.
    rs.moveLast();
    // 10. Final value-axis limits from the values drawn.
    applyScale(c, c.dataMinimum(Axis::Left), c.dataMaximum(Axis::Left), int(ChartCalc::Band::L));
}
