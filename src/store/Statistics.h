#pragma once
#include <QString>
#include <QtGlobal>

class Database;

// A database server plans its queries from statistics of each table that it gathers now
// and then on its own; after many rows of a table changed at once (an import, a copy, a
// calculation pass) its plans would go on from the old ones for a while, so they are
// gathered at once, and the table's pages marked as all-visible (a vacuum) so that a read in
// index order may take the index alone. A file needs none of this: its planner works from
// its indexes.
namespace Statistics {

// Rows changed at once from which the statistics are gathered.
constexpr qint64 LargeChange = 10000;

// Gathers the table's statistics on a server when rowsChanged reaches LargeChange (an
// empty table name: every table). A failure is ignored (the server gathers them later by
// itself).
void refreshAfter(Database& db, const QString& table, qint64 rowsChanged);

}  // namespace Statistics
