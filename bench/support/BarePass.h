#pragma once
// A calculation pass's floor: its reads and writes with SQLite's own interface and nothing
// else (one forward query of the selection's raw columns, one prepared UPDATE per row of
// the zeros, temperature, loads and the pass's displacements or shears, in one
// transaction), computing the same values.
#include "data/GraphData.h"
#include "data/PassRows.h"
#include "data/Passes.h"

class Database;

namespace Bench {

// Returns the rows written.
qint64 bareLoop(Database& db, const Calc::SensorInputs& in, Calc::GraphSelection sel, Calc::PassExtra extra);

}  // namespace Bench
