#pragma once
#include <QString>
#include <functional>
#include <optional>

class Database;

// A count, per data table of a file, of the changes to readings other than adding them:
// deletions and changes to the columns a reading is entered with
// (ReadingMarks::isInputColumn). Kept by triggers, so that a program holding readings read
// before can tell that another program since changed none of them. The passes write only
// the computed columns and the mark, which no trigger watches, so a pass costs no more.
// (What the triggers cannot see: computed values written over other inputs, told by the
// record of pass inputs, store/PassTables.h; readings marked because a value was rejected
// or restored, told by the rejections, data/Rejections.h.)
// A server counts edits itself (store/ServerChanges.h); there this does nothing.
namespace ReadingEdits {

// The schema step: the table of counts and the triggers on every data table and the
// template (a data table made from the template gets them as it is made).
void create(Database& db);

// Puts the triggers on one table of a file that has the table of counts (nothing
// otherwise, or on a server).
void track(Database& db, const QString& table);

// Runs deleteRows (a deletion of many readings of the table) inside the caller's
// transaction with the deletion trigger set aside, and counts the whole deletion as one
// edit: a trigger run per row made deleting half a million readings take twice as long.
// A failure rolls the caller's transaction back, trigger included.
void deleteInBulk(Database& db, const QString& table, const std::function<void()>& deleteRows);

// Whether this is the table of counts: it belongs to the file it is in (its triggers keep
// it), so a copy of the database leaves it out and the copy keeps its own.
bool isCountTable(const QString& table);

// The table's count now; none when it is not counted (a server, a database before the
// step, a table made without the triggers).
std::optional<qint64> count(Database& db, const QString& table);

}  // namespace ReadingEdits
