#pragma once
#include "data/GraphData.h"
#include "data/PassRecord.h"
#include "data/PassRows.h"

#include <functional>
#include <optional>
#include <vector>

struct Shared;

namespace Calc {

struct SensorInputs;
struct PassResult;
struct KindRequest;

// Calculation passes the quick way, the passes of every kind requested in one read: the
// readings are read in one forward query straight from the engine and written through
// prepared statements, and a kind whose inputs are those recorded for it (PassRecord.h)
// computes only the readings marked as changed since. The values stored, the lines logged
// and the graph data left behind are those of the recordset road described in Passes.h,
// as if each kind ran on its own in the order requested.
//
// Returns nullopt, having changed nothing, when the readings cannot be read that way (a
// missing table, a name the engine cannot quote as the program's SQL text does); the
// caller then takes the recordset road, which handles those cases. A kind whose selection
// is empty is handed to emptySelection in its turn (the recordset road tells the user).
using EmptySelectionRoad = std::function<PassResult(const KindRequest&)>;
std::optional<std::vector<PassResult>> runQuickPasses(Shared& s, const std::vector<KindRequest>& request,
                                                      const EmptySelectionRoad& emptySelection);

// The condition of a selection ("DoNotPlot = False", ...), as in graphQuery.
QString selectionCondition(GraphSelection selection);

}  // namespace Calc
