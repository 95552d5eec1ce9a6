#pragma once
#include <QString>
#include <functional>

class Database;
struct Shared;

// Opening the database the program works on, and closing it again. Widget-free: what the
// user is asked (a server's password) goes through the Messages seam; what to tell when
// it fails is the caller's.
namespace DatabaseOpening {

// Opens target on db with the password kept for this run; when the server asks for a
// password, asks the user once (kept in memory only) and tries again. A password that
// was refused is forgotten.
bool openAskingPassword(Database& db, const QString& target);

// Opens target on a connection of its own, as a check before switching to it: it must
// open, hold Tarnwell's tables and be brought up to this program's layout (an older
// release's database is upgraded, as at start-up). Empty when it can be used; otherwise
// what to tell the user. dataFolder: where an upgrade keeps its copy of a file.
QString tryTarget(const QString& target, const QString& dataFolder);

enum class Outcome {
    Opened,        // the connection and the long-lived recordsets are open
    NotConnected,  // connect said no (and told why)
    Refused,       // the database must not be used: closed again, *refusal says why
};

// The caller's part of the opening: connect opens s.db on s.databasePath (asking, offering
// or telling what its situation needs) and says whether it is open; whenUpgraded, when
// given, runs once the database is up to this program's layout, before anything is read.
struct Steps {
    std::function<bool()> connect;
    std::function<void()> whenUpgraded;
};

// Opens the session's database: connects, brings a database of an earlier release up to
// date (a copy kept in the backup folder of s.dataFolder first; one changed by a newer
// release is refused), then opens Configuration on its first row, reads the preferences
// and opens Sensors in InstrumentID order. Start-up, the restore and the Database dialog's
// switch all open through here.
Outcome open(Shared& s, const Steps& steps, QString* refusal);

// Closes the session's recordsets and connection; the bookmarks of the old connection
// are forgotten (they mean nothing to the next one). Each step is tried even when an
// earlier one failed.
void close(Shared& s);

}  // namespace DatabaseOpening
