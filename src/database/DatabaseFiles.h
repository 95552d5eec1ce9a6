#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

struct sqlite3;

// The file work behind backup, restore and compaction of the database. Widget-free.
//
// Each operation writes a new file under a temporary name, checks that the new file is a
// readable database of ours, and only then moves it into place with one atomic rename.
// Whatever fails (a write, the check, the rename), the temporary file is removed and the
// file that was there before - the database or an earlier backup - is left byte for
// byte as it was. Failures throw TwError; a cancelled operation returns false.
class Database;

namespace DatabaseFiles {

// The steps at which a test can make an operation fail.
enum class Step { Write, Check, Replace };

// Hooks for progress and for tests. All are optional.
struct Hooks {
    // Called with 0..1000 while writing; returning false cancels (nothing is changed).
    std::function<bool(int permille)> progress;
    // Called before each step; returning false makes that step fail.
    std::function<bool(Step)> beforeStep;
    // Called once the new file is written and before it is checked (tests damage it here).
    std::function<void(const QString& path)> afterWrite;
    // Writing stops with an error once this many bytes are written (-1: never; backup and
    // restore).
    qint64 failAfterBytes = -1;
};

// "HALYXbackup" + day as "yyyy-MM-dd" + ".mdb".
QString backupFileName(const QDate& day);

// The name the day's next backup takes in backupFolder: the day's name while it is free,
// then "HALYXbackup" + day + "_2.mdb", "_3.mdb", ...: a later backup of the same day keeps
// the earlier ones.
QString nextBackupFileName(const QString& backupFolder, const QDate& day);

// "HALYXbackup" + the moment as "yyyy-MM-dd-HHmmss" + "-before-upgrade.mdb": the copy kept
// from before an upgrade, which a later backup of the same day never replaces.
QString upgradeBackupFileName(const QDateTime& when);

// "HALYXbackup" + the moment as "yyyy-MM-dd-HHmmss" + "-before-restore.mdb": the copy of
// the current database kept, when the user asks for it, before a backup replaces it.
QString restoreBackupFileName(const QDateTime& when);

// How long ago a file was made, as the restore question says it: "less than an hour ago",
// "3 hours ago", "yesterday", "12 days ago", "5 months ago", "2 years ago".
QString ageText(const QDateTime& made, const QDateTime& now);

// The names of the files in the backup folder, as the file system lists them (empty when
// the folder does not exist).
QStringList listBackups(const QString& backupFolder);

// Throws TwError unless path is a readable, undamaged database holding the program's
// fixed tables (Sensors, Configuration, Prefs and the template sensordata). thorough runs
// the engine's full integrity check (indexes against their tables too), not the quick one.
void checkOurDatabase(const QString& path, bool thorough = false);

// The schema steps the database file at path has had that this release does not know
// (empty for a database of this release or an earlier one). Throws TwError when the file
// cannot be read.
QStringList unknownSteps(const QString& path);

// Why the backup at backupPath must not replace the database in use, as the sentence the
// user is shown (empty when it may): it must be there and readable, a Tarnwell database,
// undamaged (the full integrity check), and have had no schema step this release does not
// know (a backup made by a newer release, which this one would not keep whole). Reads the
// backup only; a restore asks this before anything is replaced or copied.
QString restoreRefusal(const QString& backupPath);

// The temporary files an interrupted backup or restore leaves behind: "*.partial" in the
// backup folder, "<database>.restoring" beside the database file, and their journals.
// Removes them and returns the paths removed (for the log). Call before the database is
// opened.
QStringList removeLeftovers(const QString& backupFolder, const QString& databasePath);

// Copies the database open on source - a consistent snapshot taken with the engine's
// online backup - into backupFolder (created when missing) as the day's next backup
// (nextBackupFileName: an earlier backup of the same day is kept). Returns the backup's path, or an empty
// text when cancelled.
QString backup(sqlite3* source, const QString& backupFolder, const QDate& day, const Hooks& hooks = {});

// As above, under the given file name in backupFolder (the copy made before a database
// is upgraded to a newer layout).
QString backupAs(sqlite3* source, const QString& backupFolder, const QString& fileName, const Hooks& hooks = {});

// The day's backup of a team database on a server: a consistent snapshot of it (one
// read-only transaction of the server) written as a Tarnwell database file in
// backupFolder, checked table by table (DatabaseCopy), which the program opens as any
// database file. Returns the backup's path.
QString backupServer(Database& server, const QString& backupFolder, const QDate& day, const Hooks& hooks = {});
QString backupServerAs(Database& server, const QString& backupFolder, const QString& fileName, const Hooks& hooks = {});

// Replaces every table of the team database on server by those of the backup file, in one
// transaction of the server: the backup's tables and rows are copied and checked
// (DatabaseCopy), and when anything fails - the backup not a sound Tarnwell database or
// made by a newer release, the user without the rights to drop and create tables, a check - the server's database
// stays exactly as it was. A backup of an earlier layout is upgraded first, in a copy
// made in the system's temporary folder (the backup itself is never changed). Throws
// TwError saying why.
void restoreServer(Database& server, const QString& backupPath);

// As backup(), reading the database file at databasePath on a connection of its own.
QString backupFile(const QString& databasePath, const QString& backupFolder, const QDate& day, const Hooks& hooks = {});

// Replaces the database file with a copy of the backup. The backup is checked first (a
// sound Tarnwell database, not made by a newer release); the copy is made beside the
// database and checked again before it replaces the file.
// No connection may be open on the database. Returns false when cancelled.
bool restore(const QString& backupPath, const QString& databasePath, const Hooks& hooks = {});

// Compacts folder + fileName (folder ends with "/") in place, through the engine's own
// journalled rewrite: the file keeps its identity, owner and permissions, a write of
// another connection is never lost (it waits, or the compaction does not run), and a
// failure or a cancel leaves the file as it was. No "Copy_" or journal file is left.
//
// Skipped (nothing done, *skippedBecause says why) when the file or its folder is
// read-only, or another connection holds a lock on the database. Throws TwError when
// the file is missing or not a database, or the rewrite fails. Only the Write step and
// progress hooks apply.
enum class Compacted { Done, Cancelled, Skipped };
Compacted compact(const QString& folder, const QString& fileName, const Hooks& hooks = {},
                  QString* skippedBecause = nullptr);

}  // namespace DatabaseFiles
