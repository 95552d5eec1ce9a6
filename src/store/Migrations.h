#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Database;

// Versions of the database layout. A database made by release 1.0 holds the fixed tables
// and the template only; every later change to the layout is a migration: a named step
// that brings a database from the layout before it to the layout after it. The table
// SchemaMigrations records which steps a database has had (its id, when, by whom, and the
// program version that applied it).
//
// Steps are identified by name, not by a running number, so that the program can tell
// three cases apart: every step it knows is applied (up to date), some are missing (older:
// upgrade), or the database records a step the program does not know (newer: refuse,
// because this program would not keep what that step added).
namespace Migrations {

struct Migration {
    const char* id;       // never changes once released, e.g. "2026-12-schema-versions"
    const char* summary;  // one line for the log
    void (*apply)(Database& db);
};

// Every step since release 1.0, in the order they are applied. A new step is added at the
// end; a released step is never edited or removed.
const std::vector<Migration>& all();

struct Status {
    QStringList applied;  // known steps the database has had
    QStringList pending;  // known steps it has not had, in the order they would run
    QStringList unknown;  // steps it has had that this program does not know
    bool newer() const { return !unknown.isEmpty(); }
    bool upToDate() const { return pending.isEmpty() && unknown.isEmpty(); }
};

// Reads what the open database has had of the given steps. Throws TwError when it cannot
// be read.
Status status(Database& db, const std::vector<Migration>& steps = all());

enum class Outcome {
    UpToDate,  // nothing to do
    Upgraded,  // pending steps applied (after a backup, when one was asked for)
    Newer,     // made or changed by a newer program: left untouched
    Failed,    // a backup or a step failed: left exactly as it was
};

struct Result {
    Outcome outcome = Outcome::UpToDate;
    QStringList applied;  // the steps applied by this call
    QString backupPath;   // the copy made before upgrading (empty when none was asked for)
    QString detail;       // why it failed, or which unknown steps a newer database has
};

// Makes a copy of the database before it is upgraded and returns the copy's path.
// Throws TwError when no copy could be made; the upgrade is then not attempted.
using BackupFn = std::function<QString()>;

// Brings the open database up to the program's layout: checks for newer steps, makes the
// backup (when backup is given and something is pending), then applies every pending step
// and records it, all in one transaction. Never throws. (Tests pass steps of their own.)
Result upgrade(Database& db, const BackupFn& backup, const std::vector<Migration>& steps = all());

// The one log line that says what an upgrade did.
QString logLine(const Result& r);

// The message shown when the database cannot be used by this program (Newer or Failed).
QString refusalMessage(const Result& r, const QString& databasePath);

}  // namespace Migrations
