#include "charts/ChartCalc.h"
#include "app/Messages.h"
#include "app/Shared.h"
#include "app/frmTarnwell.h"
#include "calc/AxisScale.h"
#include "calc/GraphData.h"
#include "calc/Passes.h"
#include "sensors/SensorRegistry.h"

#include <QLineEdit>

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
QString gaugeLengthText(frmTarnwell& win)
{
    for (QWidget* page : {win.sensors()->identificationPage(), win.sensors()->installationPage()})
        if (page)
            if (auto* box = page->findChild<QLineEdit*>(QStringLiteral("txtLengthofGauge"))) return box->text();
    Shared& s = win.shared();
    return s.rsSensors && s.rsSensors->hasCurrentRow() ? s.rsSensors->text(QStringLiteral("lengthofgauge")) : QString();
}
}  // namespace

void openGraphData(frmTarnwell& win, Selection selection)
{
    Calc::OpenGraphData(win.shared(), toCalc(selection));
}

void runPass(frmTarnwell& win, int tab)
{
    Shared& s = win.shared();
    Calc::SensorInputs in;
    in.id = s.currentSensorId();
    in.sensorType = s.rsSensors->text(QStringLiteral("SensorType"));
    in.stacked = win.sensors()->isStacked();
    in.kFactorText = win.sensors()->boltKFactorText();
    in.gaugeLengthText = gaugeLengthText(win);
    Calc::PassResult r;
    switch (tab) {
    case frmTarnwell::TabLoadVTime: r = Calc::GetTemporalData(s, in); break;
    case frmTarnwell::TabDispVTime: r = Calc::GetDispData(s, in); break;
    case frmTarnwell::TabLoadVLength: r = Calc::GetSpatialData(s, in); break;
    case frmTarnwell::TabDispVLength: r = Calc::GetSDispData(s, in); break;
    case frmTarnwell::TabShearVLength: r = Calc::GetShearData(s, in); break;
    default: return;
    }
    if (r.open == Calc::GraphOpenStatus::TableCreated) Messages::show(Calc::graphTableCreatedText(in.id));
}

AxisScale scale(double smallest, double largest, Band band)
{
    const Calc::AxisScale a = Calc::ScaleValueAxis(smallest, largest, band == Band::T ? Calc::BandTable::T : Calc::BandTable::L);
    return {a.minimum, a.maximum, a.increment};
}

}  // namespace ChartCalc
