#pragma once
#include <QString>

class Database;

// What the user is told when the database does not open. Widget-free.
namespace ConnectFailure {

// The "could not connect" message: why (Database::openFailure()) and where Tarnwell
// looked; for a damaged or foreign file, where the backups are.
QString message(const Database& db, const QString& path);

}  // namespace ConnectFailure
