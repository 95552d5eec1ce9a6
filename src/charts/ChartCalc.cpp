#include "charts/ChartCalc.h"
#include "calc/AxisScale.h"
#include "core/AppInfo.h"
#include "core/Messages.h"
#include "data/GraphData.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QLineEdit>
#include <QProgressDialog>

namespace ChartCalc {

namespace {
Calc::GraphSelection toCalc(Selection s)
{
    switch (s) {
    case Selection::Plottable: return Calc::GraphSelection::Plottable;
    case Selection::Temporal: return Calc::GraphSelection::Temporal;
    case Selection::Spatial: break;
    }
    return Calc::GraphSelection::Spatial;
}

// The gauge length as typed on the sensor pages (the stored value when no box shows it).
QString gaugeLengthText(PageHost& win)
{
    if (QLineEdit* box = win.sensorBox(QStringLiteral("txtLengthofGauge"))) return box->text();
    Shared& s = win.shared();
    return s.rsSensors && s.rsSensors->hasCurrentRow() ? s.rsSensors->text(QStringLiteral("lengthofgauge")) : QString();
}
}  // namespace

void openGraphData(PageHost& win, Selection selection)
{
    Calc::OpenGraphData(win.shared(), toCalc(selection));
}

bool runPass(PageHost& win, int tab)
{
    Shared& s = win.shared();
    Calc::SensorInputs in;
    in.id = s.currentSensorId();
    in.sensorType = s.rsSensors->text(QStringLiteral("SensorType"));
    in.stacked = win.sensorStacked();
    in.kFactorText = win.sensorKFactorText();
    in.gaugeLengthText = gaugeLengthText(win);
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
    case PageHost::TabLoadVTime: r = Calc::GetTemporalData(s, in); break;
    case PageHost::TabDispVTime: r = Calc::GetDispData(s, in); break;
    case PageHost::TabLoadVLength: r = Calc::GetSpatialData(s, in); break;
    case PageHost::TabDispVLength: r = Calc::GetSDispData(s, in); break;
    case PageHost::TabShearVLength: r = Calc::GetShearData(s, in); break;
    default: return true;
    }
    if (r.open == Calc::GraphOpenStatus::TableCreated) Messages::show(Calc::graphTableCreatedText(in.id));
    return !r.cancelled;
}

AxisScale scale(double smallest, double largest, Band band)
{
    const Calc::AxisScale a = Calc::ScaleValueAxis(smallest, largest, band == Band::T ? Calc::BandTable::T : Calc::BandTable::L);
    return {a.minimum, a.maximum, a.increment};
}

}  // namespace ChartCalc
