#pragma once
#include <QString>
#include <optional>

class Database;

// A count, per data table of a file, of what changed readings other than adding them: a
// deletion, a change to any column a reading is entered with (ReadingMarks::isInputColumn),
// a reading marked for computing again, and a drawn computed value (NumTemp, Load, Disp) of
// an unmarked reading that changed. Kept by triggers, so that a program holding readings
// read before can tell that another program since only added readings (the count
// unchanged) and read those alone. A pass computes marked readings, or every reading
// with unchanged values when its inputs did not change: neither is counted, so a pass
// costs only the triggers' condition per row. (A pass over changed inputs is told by the
// record of pass inputs, store/PassTables.h.)
// A server counts edits itself (store/ServerChanges.h); there this does nothing.
namespace ReadingEdits {

// The schema step: the table of counts and the triggers on every data table and the
// template (a data table made from the template gets them as it is made).
void create(Database& db);

// Puts the triggers on one table of a file that has the table of counts (nothing
// otherwise, or on a server).
void track(Database& db, const QString& table);

// The table's count now; none when it is not counted (a server, a database before the
// step, a table made without the triggers).
std::optional<qint64> count(Database& db, const QString& table);

}  // namespace ReadingEdits
