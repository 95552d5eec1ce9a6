#pragma once
#include <QString>

class Database;

// Brings a database just opened by the program up to the program's layout. Widget-free.
namespace DatabaseUpgrade {

// Applies the pending schema steps to the open database, after a copy of it is written to
// the backup folder of dataFolder ("HALYXbackup/HALYXbackup<moment>-before-upgrade.mdb").
// An upgrade is one log line and no message. Returns false, with the text to show the user
// in *refusal, when the database must not be used: it was changed by a newer program, or
// the copy or an upgrade step failed (the database is then exactly as it was).
bool upgradeOpenDatabase(Database& db, const QString& dataFolder, QString* refusal);

}  // namespace DatabaseUpgrade
