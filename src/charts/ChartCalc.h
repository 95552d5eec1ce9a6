#pragma once
// What the charts take from the calculations: opening the graph data of a selection, the
// calculation pass a chart tab runs first, and the value-axis scaling arithmetic.
class PageHost;

namespace ChartCalc {

enum class Selection { Plottable, Temporal, Spatial };
enum class Band { T, L };

struct AxisScale {
    double minimum = 0;
    double maximum = 0;
    double increment = 0;
};

// Opens the shared graph data recordset on the current sensor's readings of a selection.
void openGraphData(PageHost& win, Selection selection);
// Runs the calculation pass that comes before the drawing of a chart tab (3 to 7), with
// the sensor as the user left it on the sensor pages.
// Runs the tab's calculation pass with a progress window (shown when it takes more than
// half a second); false when the user cancelled it (nothing was written).
bool runPass(PageHost& win, int tab);
// The value axis's limits and step from the smallest and largest value shown.
AxisScale scale(double smallest, double largest, Band band);

}  // namespace ChartCalc
