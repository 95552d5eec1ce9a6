#pragma once
// What the charts take from the calculations: opening the graph data of a selection, the
// calculation pass a chart tab runs first, and the value-axis scaling arithmetic.
#include "data/Passes.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

class PageHost;
class GraphColumns;

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
// How many readings the current sensor's selection has, counted up to atMost (a large
// selection is not read for it). Leaves the graph data closed, as opening the selection
// to count it and closing it again would; a selection that cannot be opened counts 0 and
// is logged as opening it is.
qint64 countGraphData(PageHost& win, Selection selection, qint64 atMost);
// Runs the calculation pass that comes before the drawing of a chart tab (3 to 7), with
// the sensor as the user left it on the sensor pages.
// Runs the tab's calculation pass with a progress window (shown when it takes more than
// half a second); false when the user cancelled it (nothing was written).
bool runPass(PageHost& win, int tab);
// The sensor's inputs to a pass as the user left them on the sensor pages.
Calc::SensorInputs passInputs(PageHost& win);
// The pass a chart tab (3 to 7) runs.
Calc::PassKind passKind(int tab);
// A pass over at most this many readings runs before its chart is drawn (a fraction of a
// second); a larger one of a time chart runs after, while the chart shows what it computed
// itself. Tests lower it to see the larger case on a few readings.
qint64 smallPassReadings();
void setSmallPassReadings(qint64 readings);
// About how many readings the tab's pass over the current sensor would compute now,
// counted up to just past smallPassReadings(); -1 when that cannot be told.
qint64 passWork(PageHost& win, int tab);
// What computed columns of a tab depend on: the sensor, the pass and its inputs.
QString computeKey(const Calc::SensorInputs& in, Calc::PassKind kind);
// A time chart tab's columns (NumTemp and the gauges' Load or Disp) computed while reading,
// as the tab's pass would store them; null when only the pass can compute them (it logs
// or tells something).
std::shared_ptr<GraphColumns> computeTimeColumns(PageHost& win, int tab, const QStringList& names,
                                                 qsizetype expectedRows);

// Some readings of a selection (row ids, at least one) with the named columns computed as
// the pass of a chart tab (3 to 7) would store them, in the selection's order; null when
// only the pass can compute them (it logs or tells something).
std::unique_ptr<GraphColumns> computeRowColumns(PageHost& win, int tab, Calc::GraphSelection drawn,
                                                const QStringList& names, const std::vector<qint64>& rows);

// The value axis's limits and step from the smallest and largest value shown.
AxisScale scale(double smallest, double largest, Band band);

}  // namespace ChartCalc
