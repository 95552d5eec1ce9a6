#pragma once
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Which tables of a server database changed, told the way transactions see them.
//
// The server keeps one row per table in tw_changes: a counter and the id of the last
// transaction that wrote the table. Statement-level triggers on every table of the
// program (AFTER INSERT, UPDATE, DELETE that changed rows, and TRUNCATE) raise its
// table's counter once in each writing transaction, so the raise is seen by others
// exactly when that transaction commits, and undone with it when it rolls back. (A
// sequence would not do: its values are handed out outside transactions.) The same
// function keeps two tallies in session settings (undone with their transaction too):
// the raises this session made, so that "what others committed" is the sum of the
// counters less that tally (one cheap query), and this session's write statements per
// table, which the table's stamp includes so that it moves with each own write inside a
// transaction. Beside the counter, each row keeps how many transactions changed its table
// otherwise than by adding rows (updated, deleted, emptied, made or dropped): while that
// stands still, the only change since is added rows.
//
// Cost: the counter row is locked by the writing transaction until it ends, so two
// writers of the SAME table take turns at commit (they would mostly meet on the table's
// unique keys anyway); writers of different tables never wait for each other.
//
// Statements here are in the server's own dialect, run on the driver's inner connection.
namespace ServerChanges {

// The table's name as the server has it (lower case, no quotes).
QString serverName(const QString& table);

// Makes the bookkeeping table and functions when they are missing. false with the error
// when the server refused.
bool ensureSetUp(const QSqlDatabase& inner, QSqlError* error);
// Puts the change trigger on one table (made again when there). false with the error.
bool track(const QSqlDatabase& inner, const QString& table, QSqlError* error);
// Counts a change of a table that no trigger sees (the table dropped or made).
bool note(const QSqlDatabase& inner, const QString& table, QSqlError* error);

// Whether every table of the program on this connection's schema has its trigger and the
// connection may read the counters.
bool everyTableTracked(const QSqlDatabase& inner);
// Puts the trigger on every table of the program that lacks it (after ensureSetUp);
// returns how many got one. Throws nothing: false with the error.
bool trackAll(const QSqlDatabase& inner, int* added, QSqlError* error);

// Queries answering with one row: the counter and last writer of one table (no row
// when it was never written since tracked); what others committed as one number.
QString tableQuery(const QString& table);
QString othersQuery();
// One row: whether the edit counter is kept (false on a layout before it), the
// transactions that wrote the table and those of them that changed it otherwise than by
// adding rows.
QString appendsQuery(const QString& table);

}  // namespace ServerChanges
