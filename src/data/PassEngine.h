#pragma once
#include "data/GraphData.h"
#include "data/PassRecord.h"
#include "data/PassRows.h"

#include <optional>

struct Shared;

namespace Calc {

struct SensorInputs;
struct PassResult;

// A calculation pass the quick way: the selection is read in one forward query straight
// from the engine and written through one prepared statement, and when the pass's inputs
// are those recorded for it (PassRecord.h) only the readings marked as changed since are
// computed. The values stored, the lines logged and the graph data left behind are those
// of the recordset road described in Passes.h.
//
// Returns nullopt, having changed nothing, when the selection cannot be read that way
// (a missing table, an empty selection, a name the engine cannot quote as the program's
// SQL text does); the caller then takes the recordset road, which handles those cases.
std::optional<PassResult> runQuickPass(Shared& s, const SensorInputs& in, GraphSelection selection, PassKind kind,
                                       PassExtra extra);

// The condition of a selection ("DoNotPlot = False", ...), as in graphQuery.
QString selectionCondition(GraphSelection selection);

}  // namespace Calc
