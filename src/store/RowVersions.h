#pragma once
#include <QString>
#include <QStringList>

class Database;

// Who changed a sensor or a reading last, and when: every row of Sensors and of each
// sensor's data table (and the template the data tables copy) carries
//
//     RowVersion  a number raised by one with every change of the row (0 for rows
//                 written before the columns existed)
//     ChangedBy   the login name of the user who made the change
//     ChangedAt   when ("yyyy-MM-dd HH:mm:ss", local time)
//
// The one rule for every code that adds or changes such rows through the store (the
// recordset does it by itself): set the three columns in the same statement. An update of
// a row the user has seen carries the version read ("... WHERE RowVersion = ?") and
// stores nothing when another user changed the row in between; the user is then told who
// did it and when. The calculation passes write values computed from a reading's own
// columns and leave the three columns alone, so that a pass never makes a user's edit look
// stale. The columns are bookkeeping, not reading data: the datasheet, the export and the
// charts never show them.
namespace RowVersions {

inline constexpr const char* VersionColumn = "RowVersion";
inline constexpr const char* ByColumn = "ChangedBy";
inline constexpr const char* AtColumn = "ChangedAt";

// Whether column is one of the three (names match without case).
bool isBookkeeping(const QString& column);

// Whether the table has the three columns (tables of a database that has not had the
// step that adds them do not). Throws TwError when the table cannot be read.
bool present(Database& db, const QString& table);

// The time of a change, as ChangedAt holds it.
QString now();

// "RowVersion = RowVersion + 1, ChangedBy = ?, ChangedAt = ?": to add to the SET list of
// an UPDATE; bind the user's name and now() in that order.
QString setNext();

// "RowVersion, ChangedBy, ChangedAt" and "1, ?, ?": to add to the column and value lists
// of an INSERT; bind the user's name and now() in that order.
QString insertColumns();
QString insertValues();

// The schema step: adds the three columns to Sensors, the template and every data table.
void addColumns(Database& db);

// What the user is told when a save is refused because someone else changed the row
// ("reading", "sensor"), or because someone else deleted it.
QString changedMessage(const QString& what, const QString& by, const QString& at);
QString deletedMessage(const QString& what);
// What the user is told when a deletion is refused because someone else changed the row.
QString notDeletedMessage(const QString& what, const QString& by, const QString& at);

}  // namespace RowVersions
