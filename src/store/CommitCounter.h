#pragma once
#include <QtGlobal>
#include <optional>

class Database;

// The database file's own count of committed write transactions (the change counter in
// the file's header), shared by every connection of every program: each commit that
// wrote raises it by exactly one. Two connections of this program can therefore tell
// "the only commit since I looked was that one": what a connection's own stamp
// (Database::stamp) cannot, as it moves with any other connection's commit alike.
//
// Only a file in a rollback-journal mode keeps it so; a file in WAL mode and a server
// give nullopt (nothing can then be told, and the callers treat it as changed).
namespace CommitCounter {

// The counter as the file holds it now. Read inside a transaction that has read
// something, it is the value of that transaction's snapshot, and no other connection can
// commit until the transaction ends.
std::optional<quint32> read(Database& db);

// How many rows the connection's INSERT, UPDATE and DELETE statements changed since it
// was opened (whether it wrote at all).
qint64 rowsChanged(Database& db);

}  // namespace CommitCounter
