// The length charts (Load, Disp and Shear v Length): one line per chosen reading along the
// bolt. Only the chosen readings' values are read (or computed): a selection of a million
// readings is read as dates alone.
#include "charts/ChartDrawings.h"
#include "calc/Numbers.h"
#include "charts/ChartCalc.h"
#include "charts/GraphColumns.h"
#include "core/ErrorTrap.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "widgets/PageHost.h"

#include <QDateTime>
#include <QHash>
#include <QLabel>
#include <cmath>

using Axis = ChartControl::Axis;

namespace {
constexpr int LengthSeries = 16;  // temperature + 15 readings
constexpr int MaxLines = 15;
const QString PickedWarning = QStringLiteral(
    "There are more than 15 records selected to plot, only the last 15 readings will be plotted. Go to the Readings "
    "Tab to select or unselect which data to plot");

// The stored column a length chart draws.
QString lengthColumn(ChartRules::Profile profile)
{
    switch (profile) {
        case ChartRules::Profile::Load:
            return QStringLiteral("Load");
        case ChartRules::Profile::Displacement:
            return QStringLiteral("Disp");
        case ChartRules::Profile::Shear:
            break;
    }
    return QStringLiteral("Stretch");
}
}  // namespace

ChartDrawings::~ChartDrawings() = default;

void ChartDrawings::drawLoadVsLength()
{
    runTrapped(QStringLiteral(" G_DrawSgraph"), [&] { drawLength(*m_charts.S, ChartRules::Profile::Load); });
    m_charts.S->refresh();
}

void ChartDrawings::drawDispVsLength()
{
    runTrapped(QStringLiteral(" G_DrawDvLgraph"),
               [&] { drawLength(*m_charts.DvL, ChartRules::Profile::Displacement); });
    m_charts.DvL->refresh();
}

void ChartDrawings::drawShearVsLength()
{
    runTrapped(QStringLiteral(" G_DrawSvLgraph"), [&] { drawLength(*m_charts.SvL, ChartRules::Profile::Shear); });
    m_charts.SvL->refresh();
}

bool ChartDrawings::lengthComputes(ChartRules::Profile profile) const
{
    // The choices other than picked dates may draw readings the displacement and shear
    // passes did not compute (they compute the marked ones): those values are computed
    // from the readings' zeroed strains and loads, as the passes do.
    return m_profiles != ChartRules::ProfileChoice::Picked && profile != ChartRules::Profile::Load;
}

std::unique_ptr<ChartDrawings::LengthRead> ChartDrawings::readLength(ChartRules::Profile profile,
                                                                     const RowComputer& compute)
{
    const bool picked = m_profiles == ChartRules::ProfileChoice::Picked;
    const Calc::GraphSelection selection = picked ? Calc::GraphSelection::Spatial : Calc::GraphSelection::Plottable;
    auto read = std::make_unique<LengthRead>();
    read->profile = profile;
    // The candidate readings: those marked for the length charts, or for the other choices
    // every reading that is plotted at all.
    read->candidates = readLengthCandidates(selection);
    const std::vector<double>& keys = read->candidates->dates();
    read->times.reserve(keys.size());
    for (double key : keys) read->times.push_back(std::isnan(key) ? QDateTime() : ChartRules::keyDateTime(key));
    read->chosen = ChartRules::chooseProfiles(read->times, m_profiles, &read->periods);
    if (read->chosen.empty()) return read;

    // The chosen readings' columns: the drawn column of gauges 1 to 10, or what it is
    // computed from.
    QStringList names;
    const QString column = lengthColumn(profile);
    for (int k = 1; k <= 10; ++k) names << column + QString::number(k);
    if (lengthComputes(profile)) {
        const QString from =
            profile == ChartRules::Profile::Shear ? QStringLiteral("zero%1") : QStringLiteral("Load%1");
        for (int k = 1; k <= Calc::ChannelCount; ++k) names << from.arg(k);
    }
    std::vector<qint64> rows;
    for (qsizetype at : read->chosen) rows.push_back(read->candidates->rowIds()[size_t(at)]);
    if (compute) {
        read->values = compute(selection, names, rows);
        if (!read->values) return nullptr;
    } else {
        const QString chosenRows = QStringLiteral("SELECT * FROM `") + m_s.currentSensorId() +
                                   QStringLiteral("` WHERE ") + SqlDialect::rowIdsIn(rows) +
                                   QStringLiteral(" ORDER BY FullDate");
        read->values = std::make_unique<GraphColumns>(m_s.db, chosenRows, names, QString());
    }
    QHash<qint64, size_t> at;
    for (size_t i = 0; i < read->values->rowIds().size(); ++i) at.insert(read->values->rowIds()[i], i);
    for (qint64 id : rows) {
        const auto found = at.constFind(id);
        // (The candidates and the chosen readings' values are two reads: another program
        // deleted a chosen reading between them. The drawing stops and says so; the next
        // visit reads both again.)
        if (found == at.constEnd())
            throw TwError(ErrNo::DatabaseError, QStringLiteral("The readings changed while they were read."));
        read->valueRow.push_back(*found);
    }
    return read;
}

bool ChartDrawings::computeLength(ChartRules::Profile profile, const RowComputer& compute)
{
    m_lengthRead.reset();
    std::unique_ptr<LengthRead> read;
    try {
        read = readLength(profile, compute);
    } catch (const TwError&) {
        return false;  // the drawing reads it again the usual way, and tells
    }
    if (!read) return false;
    m_lengthRead = std::move(read);
    return true;
}

// Runs under the caller's error trap: the first failing step stops the drawing, and what
// was drawn up to there stays on the chart.
void ChartDrawings::drawLength(ChartControl& c, ChartRules::Profile profile)
{
    using ChartRules::Profile;
    using ChartRules::ProfileChoice;
    // What was computed for this chart just before is drawn; anything else is read now.
    std::unique_ptr<LengthRead> kept = std::move(m_lengthRead);
    if (kept && kept->profile != profile) kept.reset();
    const Position along = profile == Profile::Displacement ? Position::Node : Position::Centre;
    // 1-2. Title; only Load v Length takes its value-axis title from the sensor type.
    c.clearTitle();
    c.addTitleLine(chartTitle());
    if (profile == Profile::Load) c.setAxisTitle(Axis::Left, m_s.rsConfig->text(QStringLiteral("TemporalYaxis")));
    // 3. The candidate readings and the ones chosen.
    const int n = configInt("NumChannels");
    const SensorDetails shown = m_win.shownSensor();
    const bool stacked = shown.stacked.value_or(false);
    const ChartRules::ProfilePlan plan = ChartRules::profilePlan(profile, stacked, n);
    const bool picked = m_profiles == ProfileChoice::Picked;
    const std::unique_ptr<LengthRead> read = kept ? std::move(kept) : readLength(profile, nullptr);
    // 4. Every series emptied and hidden.
    for (int i = 0; i < LengthSeries; ++i) {
        c.clearSeries(i);
        c.setSeriesVisible(i, false);
    }
    // 5-6. Starting limits from the preferences; distances from 0.
    c.setMaximum(Axis::Left, Numbers::localeValue(m_s.prefs.MaxY));
    c.setMinimum(Axis::Left, Numbers::localeValue(m_s.prefs.MinY));
    c.setMinimum(Axis::Bottom, 0);
    // 7. The readings of the choice, at most 15, with a note when some are left out.
    const qsizetype periods = read->periods;
    if (periods > MaxLines && (picked || m_profiles == ProfileChoice::Weekly || m_profiles == ProfileChoice::Monthly)) {
        m_charts.lblW15->setText(
            picked ? PickedWarning
            : m_profiles == ProfileChoice::Weekly
                ? QStringLiteral("The record spans %1 weeks: 15 of them, spread across it, are "
                                 "plotted. Choose the last 15 readings to see the latest in detail.")
                      .arg(periods)
                : QStringLiteral("The record spans %1 months: 15 of them, spread across it, are "
                                 "plotted. Choose the last 15 readings to see the latest in detail.")
                      .arg(periods));
        m_charts.lblW15->setVisible(true);
    } else {
        m_charts.lblW15->setText(PickedWarning);
        m_charts.lblW15->setVisible(false);
    }
    std::optional<Calc::PassFormulas> formulas;
    if (lengthComputes(profile))
        formulas.emplace(SensorDetails::typeOf(*m_s.rsSensors), stacked, shown.kFactor, shown.gaugeLength);
    // 8. One line per reading, its date and time in the legend.
    const QChar ds = ChartRules::systemDateSeparator(), ts = ChartRules::systemTimeSeparator();
    for (size_t line = 0; line < read->chosen.size(); ++line) {
        const int r = int(line) + 1;
        const QDateTime& time = read->times[size_t(read->chosen[line])];
        c.setSeriesVisible(r, true);
        if (!time.isValid()) throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
        c.setSeriesTitle(r, ChartRules::formatDateTime(time, ds, ts));
        const std::array<double, 11> values =
            lineValues(*read->values, read->valueRow[line], profile, plan.lastGauge, formulas);
        for (int k = 1; k <= plan.lastGauge; ++k) {
            const double x = positionNumber(shown, along, k);
            if (std::isnan(values[size_t(k)])) continue;  // no value at this position in this reading: no point
            c.addPoint(r, x, values[size_t(k)]);
        }
        if (plan.closeAtNextNode) c.addPoint(r, positionNumber(shown, Position::Node, n + 1), 0);
        if (plan.closeAtCable) c.addPoint(r, Numbers::localeValue(shown.lengthOfCable), 0);
        c.setMinimum(Axis::Bottom, 0);
        c.setMaximum(Axis::Bottom, ChartRules::lengthAxisMaximum(c.seriesMaxX(r)));
        c.setIncrement(Axis::Bottom, ChartRules::lengthTickStep(c.maximum(Axis::Bottom)));
    }
    // 9. The graph data: the candidate readings, at the last row.
    if (m_s.rsGraph && m_s.rsGraph->isOpen() && m_s.rsGraph->recordCount() > 0) m_s.rsGraph->moveLast();
    // 10. Final value-axis limits from the values drawn.
    applyScale(c, c.dataMinimum(Axis::Left), c.dataMaximum(Axis::Left), int(ChartCalc::Band::L));
}

std::unique_ptr<GraphColumns> ChartDrawings::readLengthCandidates(Calc::GraphSelection selection)
{
    const QString sql = Calc::graphQuery(m_s.currentSensorId(), selection);
    try {
        auto cols = std::make_unique<GraphColumns>(m_s.db, sql, QStringList(), QStringLiteral("FullDate"));
        m_s.rsGraph = std::make_unique<Recordset>(m_s.db);
        m_s.rsGraph->openWithRows(sql, cols->rowIds());
        return cols;
    } catch (const TwError&) {
        // Opened the usual way, which logs why the selection cannot be read.
        ChartCalc::openGraphData(m_win, selection == Calc::GraphSelection::Spatial ? ChartCalc::Selection::Spatial
                                                                                   : ChartCalc::Selection::Plottable);
        if (!m_s.rsGraph || !m_s.rsGraph->isOpen()) throw;
        return std::make_unique<GraphColumns>(*m_s.rsGraph, QStringList(), QStringLiteral("FullDate"));
    }
}

// The values of one reading's line at gauges 1 to `last`: the stored column, or computed
// from the reading's loads (displacements) or zeroed strains (shear) when `formulas` is set.
std::array<double, 11> ChartDrawings::lineValues(const GraphColumns& cols, size_t row, ChartRules::Profile profile,
                                                 int last, const std::optional<Calc::PassFormulas>& formulas)
{
    std::array<double, 11> out;
    out.fill(NAN);
    last = std::min(last, 10);
    if (!formulas) {
        const QString column = lengthColumn(profile);
        for (int k = 1; k <= last; ++k) out[size_t(k)] = cols.numbers(column + QString::number(k))[row];
        return out;
    }
    Calc::Columns computed;
    if (profile == ChartRules::Profile::Shear) {
        Calc::ChannelValues z{};
        for (int k = 1; k <= Calc::ChannelCount; ++k) z[size_t(k)] = cols.numbers(QStringLiteral("zero%1").arg(k))[row];
        computed = formulas->shears(z);
    } else {
        Calc::Columns loads;
        loads.count = formulas->loadCount();
        for (int k = 1; k <= loads.count && k <= 6; ++k)
            loads.v[size_t(k)] = cols.numbers(QStringLiteral("Load%1").arg(k))[row];
        computed = formulas->displacements(loads);
    }
    for (int k = 1; k <= last && k <= computed.count; ++k) out[size_t(k)] = computed[k];
    return out;
}
