#pragma once
#include "data/GraphData.h"
#include "data/PassRecord.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Database;

// The computed columns a chart draws, computed while the readings are read instead of
// waiting for a pass to store them: the same baseline and the same arithmetic as the pass
// of that kind (data/PassRows.h), so every value is bit for bit what the pass stores. A
// reading outside the pass's selection, and a column the pass does not write for the
// sensor's type and layout, gives what is stored.
namespace Calc {

struct SensorInputs;

struct ComputedColumns {
    std::vector<qint64> rowIds;                                // the drawn selection, in date order
    std::shared_ptr<std::vector<double>> dates;                // FullDate through the caller's key
    QStringList names;                                         // the asked columns the table has
    std::vector<std::shared_ptr<std::vector<double>>> values;  // one per name, NaN for no value
};

// Reads the drawn selection of the sensor's readings with the named columns computed as a
// pass of kind would store them. nullopt when it cannot be done without something the pass
// logs (a text that is not a number, loads or displacements that cannot be computed, an
// empty pass selection, a table that cannot be read): the pass itself is then to run first,
// as it tells the user. dateKey turns a FullDate text into a chart key; expectedRows sizes
// the arrays ahead (0: the table's count of readings). onlyRows, when not empty, narrows
// the drawn selection to those readings (row ids).
std::optional<ComputedColumns> computeColumns(Database& db, const SensorInputs& in, PassKind kind, GraphSelection drawn,
                                              const QStringList& columns,
                                              const std::function<double(QByteArrayView)>& dateKey,
                                              qsizetype expectedRows = 0, const std::vector<qint64>& onlyRows = {});

// From how many readings a table in a file has its drawn selection read in two halves at
// once, the later one on a helper thread with a connection of its own (in the snapshot of
// the caller's connection): below, one thread reads it all. Tests lower it.
qint64 splitReadingsFrom();
void setSplitReadingsFrom(qint64 readings);

// About how many readings a pass of kind would compute now, counted up to atMost + 1 (the
// changed ones where it may compute only those, else its whole selection). Throws TwError
// when the table cannot be read.
qint64 passWork(Database& db, const SensorInputs& in, PassKind kind, qint64 atMost);

}  // namespace Calc
