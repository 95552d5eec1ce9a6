#include "charts/ChartCalc.h"
#include "calc/AxisScale.h"
#include "core/AppInfo.h"
#include "core/Messages.h"
#include "core/TwError.h"
#include "charts/ChartRules.h"
#include "charts/GraphColumns.h"
#include "data/PassValues.h"
#include "data/GraphData.h"
#include "data/PassEngine.h"
#include "data/Passes.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/SqlDialect.h"
#include "widgets/PageHost.h"

#include <QProgressDialog>
#include <algorithm>

namespace ChartCalc {

namespace {
Calc::GraphSelection toCalc(Selection s)
{
    switch (s) {
        case Selection::Plottable:
            return Calc::GraphSelection::Plottable;
        case Selection::Temporal:
            return Calc::GraphSelection::Temporal;
        case Selection::Spatial:
            break;
    }
    return Calc::GraphSelection::Spatial;
}
}  // namespace

void openGraphData(PageHost& win, Selection selection) { Calc::OpenGraphData(win.shared(), toCalc(selection)); }

qint64 countGraphData(PageHost& win, Selection selection, qint64 atMost)
{
    Shared& s = win.shared();
    const QString id = s.currentSensorId();
    if (!id.isEmpty() && !id.contains(u'`')) {
        try {
            const qint64 n =
                s.db.scalar(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM ") + SqlDialect::quoteName(id) +
                                QStringLiteral(" WHERE ") + Calc::selectionCondition(toCalc(selection)) +
                                QStringLiteral(" LIMIT ?) AS selected"),
                            {atMost})
                    .toLongLong();
            s.rsGraph = std::make_unique<Recordset>(s.db);
            return n;
        } catch (const TwError&) {
            // Counted the long way below, which logs why the selection cannot be opened.
        }
    }
    Calc::OpenGraphData(s, toCalc(selection));
    const qint64 n = s.rsGraph ? std::min(atMost, s.rsGraph->recordCount()) : 0;
    if (s.rsGraph) s.rsGraph->close();
    return n;
}

Calc::SensorInputs passInputs(PageHost& win)
{
    Shared& s = win.shared();
    Calc::SensorInputs in;
    in.id = s.currentSensorId();
    in.sensorType = SensorDetails::typeOf(*s.rsSensors);
    // The layout, k factor and gauge length as typed, saved or not.
    const SensorDetails shown = win.shownSensor();
    in.stacked = shown.stacked.value_or(false);
    in.kFactorText = shown.kFactor;
    in.gaugeLengthText = shown.gaugeLength;
    return in;
}

Calc::PassKind passKind(int tab)
{
    switch (tab) {
        case PageHost::TabDispVTime:
            return Calc::PassKind::DispTime;
        case PageHost::TabDispVLength:
            return Calc::PassKind::DispLength;
        case PageHost::TabShearVLength:
            return Calc::PassKind::Shear;
        default:
            break;
    }
    return Calc::PassKind::Load;
}

namespace {
qint64 g_smallPass = 20000;
}

qint64 smallPassReadings() { return g_smallPass; }
void setSmallPassReadings(qint64 readings) { g_smallPass = readings; }

qint64 passWork(PageHost& win, int tab)
{
    Shared& s = win.shared();
    const Calc::SensorInputs in = passInputs(win);
    if (in.id.isEmpty() || in.id.contains(u'`')) return -1;
    try {
        return Calc::passWork(s.db, in, passKind(tab), g_smallPass);
    } catch (const TwError&) {
        return -1;
    }
}

QString computeKey(const Calc::SensorInputs& in, Calc::PassKind kind)
{
    return QStringList{in.id,          Calc::passName(kind),
                       in.sensorType,  in.stacked ? QStringLiteral("1") : QStringLiteral("0"),
                       in.kFactorText, in.gaugeLengthText}
        .join(QChar(0x1f));
}

std::shared_ptr<GraphColumns> computeTimeColumns(PageHost& win, int tab, const QStringList& names,
                                                 qsizetype expectedRows)
{
    Shared& s = win.shared();
    const Calc::SensorInputs in = passInputs(win);
    std::optional<Calc::ComputedColumns> computed = Calc::computeColumns(
        s.db, in, passKind(tab), Calc::GraphSelection::Temporal, names,
        [](QByteArrayView text) { return ChartRules::dateTimeKeyUtf8(text); }, expectedRows);
    if (!computed) return nullptr;
    try {
        return std::make_shared<GraphColumns>(s.db, in.id, std::move(*computed), QStringLiteral("readingdate"));
    } catch (const TwError&) {
        return nullptr;
    }
}

std::unique_ptr<GraphColumns> computeRowColumns(PageHost& win, int tab, Calc::GraphSelection drawn,
                                                const QStringList& names, const std::vector<qint64>& rows)
{
    Shared& s = win.shared();
    const Calc::SensorInputs in = passInputs(win);
    std::optional<Calc::ComputedColumns> computed = Calc::computeColumns(
        s.db, in, passKind(tab), drawn, names, [](QByteArrayView text) { return ChartRules::dateTimeKeyUtf8(text); }, 0,
        rows);
    if (!computed) return nullptr;
    try {
        return std::make_unique<GraphColumns>(s.db, in.id, std::move(*computed));
    } catch (const TwError&) {
        return nullptr;
    }
}

bool runPass(PageHost& win, int tab)
{
    Shared& s = win.shared();
    Calc::SensorInputs in = passInputs(win);
    QProgressDialog progress(QStringLiteral("Calculating the readings of sensor %1...").arg(in.id),
                             QStringLiteral("Cancel"), 0, 1000, win.widget());
    progress.setWindowTitle(AppInfo::MessageTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    in.progress = [&progress](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 1000 / total) : 0);
        return !progress.wasCanceled();
    };
    Calc::PassResult r;
    switch (tab) {
        case PageHost::TabLoadVTime:
            r = Calc::GetTemporalData(s, in);
            break;
        case PageHost::TabDispVTime:
            r = Calc::GetDispData(s, in);
            break;
        case PageHost::TabLoadVLength:
            r = Calc::GetSpatialData(s, in);
            break;
        case PageHost::TabDispVLength:
            r = Calc::GetSDispData(s, in);
            break;
        case PageHost::TabShearVLength:
            r = Calc::GetShearData(s, in);
            break;
        default:
            return true;
    }
    if (r.open == Calc::GraphOpenStatus::TableCreated) Messages::show(Calc::graphTableCreatedText(in.id));
    return !r.cancelled;
}

AxisScale scale(double smallest, double largest, Band band)
{
    const Calc::AxisScale a =
        Calc::ScaleValueAxis(smallest, largest, band == Band::T ? Calc::BandTable::T : Calc::BandTable::L);
    return {a.minimum, a.maximum, a.increment};
}

}  // namespace ChartCalc
