#pragma once
#include <QString>

// Where the data lives: the database file of the data folder (the default), another
// database file, or a database server given by a postgresql:// URI. The choice made in the
// Database dialog is remembered per user; `tarnwell --database URI|PATH` chooses for one
// run without changing what is remembered. Passwords are never written anywhere: the
// server's client library finds them in ~/.pgpass or PGPASSWORD, and one typed in is kept
// in this process's memory only, for the rest of the run.
namespace DatabaseChoice {

// The database this run uses: the one given for the run, else the remembered one, else
// the data folder's file.
QString current();
// Chooses for this run only (the command line).
void setForThisRun(const QString& target);
// Remembers the choice for this user (the Database dialog) and uses it from now on; an
// empty target goes back to the data folder's file.
void remember(const QString& target);
QString remembered();
// Whether target is the data folder's own file (the default).
bool isDefault(const QString& target);
// The target as shown to the user: a path as it is, a URI without its password.
QString display(const QString& target);
bool isServer(const QString& target);

// What the user typed as the database, checked before anything is opened: a database
// file's path (it must be an existing file) or a server address. A password written into
// the address is taken out of it (Tarnwell keeps none) and handed back apart, for this run.
struct Checked {
    QString target;    // what to open: the path, or the address without a password
    QString problem;   // empty when the entry can be used; else what is wrong with it
    QString password;  // the password that was in the address (empty when none)
};
Checked check(const QString& typed);

// The main window's title for a database: the program's own title, and for any database
// other than the data folder's file the database as shown to the user.
QString windowTitle(const QString& target);

// A password typed in for a server this run (in memory only).
void keepPassword(const QString& target, const QString& password);
QString password(const QString& target);

}  // namespace DatabaseChoice
