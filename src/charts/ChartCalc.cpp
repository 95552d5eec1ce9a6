#include "charts/ChartCalc.h"
#include "app/Shared.h"
#include "app/frmTarnwell.h"
#include "calc/Numbers.h"
#include "store/SqlDialect.h"

#include <cmath>

namespace ChartCalc {

void openGraphData(frmTarnwell& win, Selection selection)
{
    Shared& s = win.shared();
    const QString id = s.rsSensors->text(QStringLiteral("InstrumentID"));
    QString where;
    switch (selection) {
    case Selection::Plottable: where = QStringLiteral(" WHERE DoNotPlot = False ORDER BY FullDate"); break;
    case Selection::Temporal: where = QStringLiteral(" WHERE Plottemporal = True ORDER BY FullDate"); break;
    case Selection::Spatial: where = QStringLiteral(" WHERE PlotSpatial = True ORDER BY FullDate"); break;
    }
    auto rs = std::make_unique<Recordset>(s.db);
    s.rsGraph.reset();
    rs->open(QStringLiteral("SELECT * FROM `") + id + QStringLiteral("`") + where);
    if (!rs->bof() && !rs->eof()) rs->moveFirst();
    s.rsGraph = std::move(rs);
}

void runPass(frmTarnwell&, int) {}

AxisScale scale(double smallest, double largest, Band band)
{
    AxisScale r;
    r.minimum = smallest < 0 ? Numbers::roundHalfEven(smallest, 2) : 0;
    const double x = largest;
    auto r1 = [](double v) { return Numbers::roundHalfEven(v, 1); };
    auto r0 = [](double v) { return Numbers::roundHalfEven(v, 0); };
    if (x >= 0 && x < 0.1) r = {r.minimum, 0.1, 0.01};
    else if (x >= 0.1 && x < 1) r = {r.minimum, 1.0, 0.1};
    else if (x >= 1 && x < 2) r = {r.minimum, r1(x) + 0.05, 0.1};
    else if (x >= 2 && x < 3) r = {r.minimum, r1(x) + 0.1, 0.1};
    else if (x >= 3 && x < 10) r = {r.minimum, r1(x) + 0.5, 0.5};
    else if (band == Band::T) {
        if (x >= 10 && x < 16) r = {r.minimum, r0(x) + 1, 1};
        else if (x >= 16 && x <= 30) r = {r.minimum, r0(x) + 2, 2};
        else r = {r.minimum, r0(x) + 5, 10};
    } else {
        struct Row { double below; double inc; double max; };
        static const Row rows[] = {{15, 1, 15},   {20, 2, 20},   {30, 2, 30},   {40, 5, 40},   {50, 5, 50},
                                   {60, 5, 60},   {70, 10, 70},  {80, 10, 80},  {90, 10, 90},  {100, 10, 100},
                                   {120, 10, 120}};
        bool done = false;
        for (const Row& row : rows)
            if (x >= 10 && x < row.below) {
                r = {r.minimum, row.max, row.inc};
                done = true;
                break;
            }
        if (!done) {
            if (x >= 120 && x <= 125) r = {r.minimum, 130, 10};
            else r = {r.minimum, r0(x), 10};
        }
    }
    return r;
}

}  // namespace ChartCalc
