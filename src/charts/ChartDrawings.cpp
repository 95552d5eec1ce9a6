#include "charts/ChartDrawings.h"
#include "charts/ChartAppearance.h"
#include "calc/Numbers.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/GraphColumns.h"
#include "core/ErrorTrap.h"
#include "data/AlarmStore.h"
#include "calc/Formulas.h"
#include "data/GraphData.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/CommitCounter.h"
#include "store/ReadingEdits.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"
#include "widgets/PageHost.h"

#include <QDateTime>
#include <QLabel>
#include <cmath>

using Axis = ChartControl::Axis;

namespace {
constexpr int TimeSeries = 11;  // temperature + 10 gauges
constexpr int ControlArrayElementMissing = 340;
}  // namespace

namespace {
// What a sensor's stored computed columns were computed from, pass by pass (without when
// and over how many readings), and its rejected values.
QString passInputs(Database& db, const QString& sensor)
{
    QString cols = QStringLiteral("quote(Pass)||quote(BaselineKey)");
    for (int i = 1; i <= 10; ++i) cols += QStringLiteral("||quote(Baseline%1)").arg(i);
    cols += QStringLiteral("||quote(SensorType)||quote(Stacked)||quote(KFactor)||quote(GaugeLength)");
    Statement q(db,
                QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM PassInputs WHERE SensorID = ? ORDER BY Pass"));
    q.bind(1, sensor);
    QString out;
    while (q.next()) out += q.text(0) + '\n';
    // The values rejected (each rejection or restoration marks its reading for computing
    // again without changing what it was entered with).
    if (db.tableExists(QStringLiteral("Rejections"))) {
        Statement r(db, QStringLiteral("SELECT DateTimeKey || '/' || Gauge FROM Rejections WHERE SensorID = ? "
                                       "ORDER BY DateTimeKey, Gauge"));
        r.bind(1, sensor);
        while (r.next()) out += r.text(0) + ';';
    }
    return out;
}
}  // namespace

ChartDrawings::ChartDrawings(PageHost& win, const Charts& charts) : m_win(win), m_s(win.shared()), m_charts(charts) {}

namespace {
// The text of a position shown, none past the positions the pages have.
const QString* shownPosition(const SensorDetails& shown, bool node, int k)
{
    if (k < 1) return nullptr;
    if (node) return k <= SensorDetails::NodeCount ? &shown.nodes.at(size_t(k - 1)) : nullptr;
    return k <= SensorDetails::CentreCount ? &shown.centres.at(size_t(k - 1)) : nullptr;
}
}  // namespace

double ChartDrawings::positionNumber(const SensorDetails& shown, Position along, int k)
{
    const bool node = along == Position::Node;
    if (const QString* text = shownPosition(shown, node, k)) return Numbers::localeValue(*text);
    // Worded as the position box it stands for.
    const QString name = (node ? QStringLiteral("txtRelSGanchor(%1)") : QStringLiteral("txtRelSGCenter(%1)")).arg(k);
    throw TwError(ControlArrayElementMissing,
                  QStringLiteral("Control array element '") + name + QStringLiteral("' doesn't exist"));
}

double ChartDrawings::positionDistance(const SensorDetails& shown, Position along, int k)
{
    const QString* text = shownPosition(shown, along == Position::Node, k);
    const std::optional<double> v = text ? Numbers::tryLocaleValue(text->trimmed()) : std::nullopt;
    return v ? *v : NAN;
}

int ChartDrawings::configInt(const char* field) const
{
    const QVariant v = m_s.rsConfig->value(QLatin1String(field));
    if (v.isNull()) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    return v.toInt();
}

QString ChartDrawings::chartTitle() const { return m_s.prefs.MineID + SensorDetails::idOf(*m_s.rsSensors); }

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
void ChartDrawings::drawLoadVsTime() { drawTime(*m_charts.T, false); }
void ChartDrawings::drawDispVsTime() { drawTime(*m_charts.T2, true); }

ChartDrawings::ReadMoment ChartDrawings::readMoment()
{
    const QString table = m_s.currentSensorId();
    ReadMoment now = readMoment(table);
    now.extent = extentOf(table);
    return now;
}

std::optional<ChartDrawings::Extent> ChartDrawings::extentOf(const QString& table)
{
    const std::optional<qint64> edits = ReadingEdits::count(m_s.db, table);
    if (!edits || !m_s.db.tableExists(QStringLiteral("PassInputs"))) return std::nullopt;
    Extent e;
    e.edits = *edits;
    const QString quoted = SqlDialect::quoteName(table);
    e.rows = m_s.db.scalar(QStringLiteral("SELECT count(*) FROM ") + quoted).toLongLong();
    e.highest = m_s.db.scalar(QStringLiteral("SELECT max(rowid) FROM ") + quoted).toLongLong();
    e.inputs = passInputs(m_s.db, table);
    return e;
}

ChartDrawings::ReadMoment ChartDrawings::readMoment(const QString& table)
{
    return {m_s.db.stamp(table), CommitCounter::read(m_s.db)};
}

void ChartDrawings::useTimeColumns(const QString& key, std::shared_ptr<GraphColumns> computed, const ReadMoment& at)
{
    m_key = key;
    m_offered = std::move(computed);
    m_offeredAt = at;
}

void ChartDrawings::passStored(const QString& key, quint32 from, quint32 to)
{
    for (ReadColumns& r : m_read) {
        if (!r.columns || r.key.isEmpty() || r.key != key || r.at.commits != from) continue;
        const ReadMoment now = readMoment(r.table);
        // The pass computed from what the columns were computed from, and stored them.
        r.at.commits = to;
        r.storedAlike = true;
        // Nothing committed since the pass, this connection wrote nothing: what it sees
        // now is what the pass left.
        Database::Stamp& was = r.at.stamp;
        if (now.commits == to && now.stamp.generation == was.generation && now.stamp.tableWrites == was.tableWrites &&
            now.stamp.rollbacks == was.rollbacks) {
            was.dataVersion = now.stamp.dataVersion;
            was.schemaVersion = now.stamp.schemaVersion;
        }
    }
}

bool ChartDrawings::othersOnlyAdded(const ReadColumns& kept, std::vector<qint64>& added, Extent& now)
{
    const std::optional<Extent>& was = kept.at.extent;
    if (!was) return false;
    const std::optional<Extent> is = extentOf(kept.table);
    // No edit, deletion or mark (each counted), and any pass since computed from the same
    // inputs (so it computed only rows marked, that is added, since).
    if (!is || is->edits != was->edits || is->inputs != was->inputs) return false;
    Statement q(m_s.db, QStringLiteral("SELECT rowid FROM ") + SqlDialect::quoteName(kept.table) +
                            QStringLiteral(" WHERE rowid > ? ORDER BY rowid"));
    q.bind(1, was->highest);
    while (q.next() && added.size() <= UpdateLimit) added.push_back(q.integer(0));
    // Every row beyond the highest one is new, and none came or went below it (a row
    // replaced in place of another would leave the count short). A commit that added
    // nothing changed something else: computed columns are written only by passes, over
    // the readings added or marked, so any other such write is read in full.
    if (added.empty() || added.size() > UpdateLimit || is->rows != was->rows + qint64(added.size())) return false;
    now = *is;
    return true;
}

bool ChartDrawings::updateStored(ReadColumns& kept, ReadMoment now)
{
    const Database::Stamp& was = kept.at.stamp;
    // This connection reopened or the table's layout changed: the whole selection is read.
    if (!kept.columns || !kept.storedAlike || was.generation != now.stamp.generation ||
        was.schemaVersion != now.stamp.schemaVersion)
        return false;
    try {
        // One view of the database for telling what changed and reading it.
        Transaction tx(m_s.db);
        std::vector<qint64> changed;
        Extent extent;
        const bool others = was.dataVersion != now.stamp.dataVersion;
        // Another program committed: only the rows it added may be read alone.
        if (others && !othersOnlyAdded(kept, changed, extent)) return false;
        const std::optional<std::vector<qint64>> written = m_s.db.rowsWrittenSince(kept.table, was.tableWrites);
        if (!written || changed.size() + written->size() > UpdateLimit) return false;
        changed.insert(changed.end(), written->begin(), written->end());
        if (!others) {
            const std::optional<Extent> is = extentOf(kept.table);
            if (is) extent = *is;
            now.extent = is;
        } else {
            now.extent = extent;
        }
        if (!kept.columns->update(m_s.db, kept.sql, kept.rows, std::move(changed), QStringLiteral("readingdate")))
            return false;
        tx.commit();
    } catch (const TwError&) {
        return false;
    }
    kept.at = now;
    kept.key.clear();
    return true;
}

bool ChartDrawings::stillCurrent(const ReadColumns& kept, const ReadMoment& now)
{
    if (kept.at.stamp == now.stamp) return true;
    // Another connection committed (the stamp cannot tell which): still current when the
    // file's commit count says no commit came since, or only passes that stored what the
    // columns hold, and this connection wrote nothing meanwhile.
    const Database::Stamp& was = kept.at.stamp;
    return kept.at.commits && now.commits && *kept.at.commits == *now.commits &&
           was.generation == now.stamp.generation && was.tableWrites == now.stamp.tableWrites &&
           was.rollbacks == now.stamp.rollbacks;
}

bool ChartDrawings::timeColumnsCurrent(const QString& key)
{
    const QString sql = Calc::graphQuery(m_s.currentSensorId(), Calc::GraphSelection::Temporal);
    const ReadMoment now = readMoment(m_s.currentSensorId());
    for (const ReadColumns& r : m_read)
        if (r.columns && r.sql == sql && r.key == key && stillCurrent(r, now)) return true;
    return false;
}

void ChartDrawings::dropTimeColumns(bool displacement)
{
    ChartControl* c = displacement ? m_charts.T2 : m_charts.T;
    if (c) {
        for (int i = 0; i < TimeSeries; ++i) ignoringErrors([&] { c->clearSeries(i); });
        c->releaseKeptLines();
    }
    m_read[displacement ? 1 : 0] = ReadColumns();
    m_offered.reset();
}

std::shared_ptr<const GraphColumns> ChartDrawings::readTimeColumns(ChartControl& chart, const QStringList& names,
                                                                   bool displacement)
{
    const QString sql = Calc::graphQuery(m_s.currentSensorId(), Calc::GraphSelection::Temporal);
    try {
        m_s.rsGraph = std::make_unique<Recordset>(m_s.db);
        const ReadMoment now = readMoment(m_s.currentSensorId());
        // Each time chart keeps its own columns, read again only when they are not current.
        const size_t slot = displacement ? 1 : 0;
        ReadColumns& kept = m_read[slot];
        const bool same = kept.columns && kept.sql == sql && kept.names == names;
        const bool current = same && kept.key == m_key && stillCurrent(kept, now);
        // Stored columns wanted: those kept, with the rows written since read again.
        const bool updated = !current && same && m_key.isEmpty() && !m_offered && updateStored(kept, now);
        if (!current && !updated) {
            const qsizetype expected = kept.columns ? kept.columns->rowCount() + 1024 : 0;
            // Nothing of the columns drawn last is held while new ones are read.
            chart.releaseKeptLines();
            kept = ReadColumns();
            std::shared_ptr<GraphColumns> cols = std::move(m_offered);
            kept.at = cols ? m_offeredAt : now;
            // (taken before reading: a row added meanwhile is read again later, harmlessly)
            if (!cols) kept.at.extent = extentOf(m_s.currentSensorId());
            kept.storedAlike = !cols;
            if (!cols)
                cols = std::make_shared<GraphColumns>(m_s.db, sql, names, QStringLiteral("fulldate"),
                                                      QStringLiteral("readingdate"), expected);
            kept.rows = cols->takeRowIds();
            kept.columns = std::move(cols);
            kept.table = m_s.currentSensorId();
            kept.sql = sql;
            kept.names = names;
            kept.key = m_key;
        }
        m_s.rsGraph->openWithRows(sql, kept.rows);
        return kept.columns;
    } catch (const TwError&) {
        m_read.fill(ReadColumns());
        // Opened the usual way, which logs why the selection cannot be read.
        ChartCalc::openGraphData(m_win, ChartCalc::Selection::Temporal);
        if (!m_s.rsGraph || !m_s.rsGraph->isOpen()) return nullptr;
        return std::make_shared<GraphColumns>(*m_s.rsGraph, names, QStringLiteral("fulldate"),
                                              QStringLiteral("readingdate"));
    }
}

void ChartDrawings::drawTime(ChartControl& c, bool displacement)
{
    const QString column = displacement ? QStringLiteral("Disp") : QStringLiteral("Load");
    auto step = [](auto&& f, CodePlace where = CodePlace::here()) { ignoringErrors(f, where); };

    // 1. Legend titles of the gauge series: the gauge and its distance from the roof (the
    // gauge's centre for loads, its node for displacements).
    step([&] {
        const int n = configInt(displacement ? "NumNodes" : "NumChannels");
        const SensorDetails shown = m_win.shownSensor();
        const Position along = displacement ? Position::Node : Position::Centre;
        for (int k = 1; k <= n && k < int(m_titles.size()); ++k)
            m_titles.at(size_t(k)) = ChartRules::positionTitle(k, positionDistance(shown, along, k));
    });
    // 2-4. Title, no axis title, every series emptied and hidden.
    step([&] {
        c.clearTitle();
        c.addTitleLine(chartTitle());
    });
    step([&] { c.setAxisTitle(Axis::Bottom, QString()); });
    for (int i = 0; i < TimeSeries; ++i)
        step([&] {
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
    step([&] { cols = readTimeColumns(c, names, displacement); });
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
        // Told what changed since it was drawn, the chart binds only that.
        c.setSeriesData(series, cols->sharedDates(), cols->sharedNumbers(yColumn),
                        {cols->revision(), cols->grownFrom(), &cols->addedAt()});
    };
    // 10. Temperature.
    step([&] { bind(0, QStringLiteral("NumTemp")); });
    step([&] { c.setSeriesVisible(0, true); });
    // 11. The gauge series for the layout and channel count.
    int n = 0;
    bool stacked = false;
    step([&] {
        n = configInt("NumChannels");
        stacked = m_win.shownSensor().stacked.value_or(false);
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
        const ChartRules::TimeAxisPlan plan =
            ChartRules::timeAxisPlan(first, last, ChartRules::systemDateSeparator(), ChartRules::systemTimeSeparator());
        c.setAutomatic(Axis::Bottom, true);
        ChartAppearance::applyTimeAxisPlan(c, plan);
    });
    c.refresh();
}

// The levels of the chart's quantity as labelled lines in their level's colour, and a ring
// around each drawn reading that raised an event on a gauge line shown.
void ChartDrawings::drawAlarms(ChartControl& c, bool displacement, int shownSeries, double& low, double& high)
{
    std::vector<ChartControl::LevelLine> lines;
    std::vector<ChartControl::Mark> marks;
    try {
        alarmDrawings(displacement, shownSeries, lines, marks, low, high);
    } catch (...) {
        // A failure leaves no other sensor's levels on the chart.
        c.setLevelLines({});
        c.setMarks({});
        throw;
    }
    // The same lines as drawn are left standing.
    c.setLevelLines(lines);
    c.setMarks(marks);
}

void ChartDrawings::alarmDrawings(bool displacement, int shownSeries, std::vector<ChartControl::LevelLine>& lines,
                                  std::vector<ChartControl::Mark>& marks, double& low, double& high)
{
    using AlarmStore::Severity;
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
}

// ----- after a legend tick box changed -------------------------------------------------------
void ChartDrawings::rescaleValueAxis(ChartControl& c)
{
    const bool time = &c == m_charts.T || &c == m_charts.T2;
    double lo = c.dataMinimum(Axis::Left), hi = c.dataMaximum(Axis::Left);
    if (time)
        for (const ChartControl::LevelLine& l : c.levelLines()) {
            lo = std::min(lo, l.value);
            hi = std::max(hi, l.value);
        }
    applyScale(c, lo, hi, int(time ? ChartCalc::Band::T : ChartCalc::Band::L));
    c.refresh();
}
