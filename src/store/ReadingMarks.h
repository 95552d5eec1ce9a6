#pragma once
#include <QString>

class Recordset;

// The one rule for every code that writes readings (the Readings page, the datasheet, the
// logger import, a command-line importer, anything added later):
//
//     a reading that is added, imported, edited (its channel texts or temperature),
//     re-dated (its key or date columns) or whose plot flags change (Plottemporal,
//     PlotSpatial, DoNotPlot) is written with IsDirty = 1 in the same statement.
//
// The calculation passes then compute again only the marked readings when nothing else
// changed, and clear the mark of what they computed (see data/PassRecord.h). A reading
// written without the mark keeps the values computed from its old contents until a full
// pass, so a writer that forgets it shows stale loads on the charts.
//
// Deleting readings needs no mark: what a deletion changes (the baseline, the first
// reading of a selection) the passes check for themselves. The computed columns (zero,
// NumTemp, Load, Disp, Stretch) are written by the passes only.
namespace ReadingMarks {

// The column that carries the mark, and its value for a reading that changed. Any other
// non-zero value also means "changed" to the passes; 0 or null means "computed".
inline constexpr const char* Column = "IsDirty";
inline constexpr int Changed = 1;

// "IsDirty = 1": to add to the SET list of an UPDATE of readings.
QString setChanged();

// Marks the row being edited or added in a recordset over a sensor's data table (call it
// before update()).
void markChanged(Recordset& rs);

// Whether a change to this column of a reading must mark it (names match without case).
bool isInputColumn(const QString& column);

}  // namespace ReadingMarks
