#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

// The installer's job: the data folder and, when missing, the database file with its
// fixed tables and template. An existing database is never touched.
namespace Installer {

struct Result {
    bool ok = true;
    QStringList lines;  // what was done, for the user
};

// Creates what is missing under the data folder (documents folder + /Orrisford/Tarnwell).
Result install();

// Everything the set-up tool does, for the tool and for the program itself when it starts
// on an account that has no database yet.
struct Options {
    bool manual = true;  // write the manual into the data folder
    bool demo = false;   // add the demonstration sensors (to a database that has none)
    QDate demoEnd;       // the day of the last demonstration reading (today when invalid)
    // When given, the database is a checked copy of this file (a database of the program)
    // instead of a new, empty one. An existing database is never replaced.
    QString copyFrom;
};
Result setUp(const Options& options);

// Creates a new database file at path with the fixed tables and template. Refuses (false)
// when a file exists there already.
bool createDatabase(const QString& path, QString* error = nullptr);

// Makes the database on a server (given by a postgresql:// URI) ready for Tarnwell: the
// fixed tables, the template and every layout step, in one transaction, when it has none
// of them; otherwise only the steps it has not had. Running it again changes nothing.
// password is used where the URI and the usual places (~/.pgpass, PGPASSWORD) give none.
Result setUpServer(const QString& uri, const QString& password = QString());

// Copies a database file (the data folder's own when from is empty) into an empty database
// on a server, every table and row, checked after copying (DatabaseCopy); nothing stays on
// the server when any of it fails.
Result copyToServer(const QString& uri, const QString& from = QString(), const QString& password = QString());

// Renders the user manual (built into the set-up tool) to a PDF file at path, replacing
// an older one only once the new one is complete. Needs a QGuiApplication.
bool writeManual(const QString& path, QString* error = nullptr);

// The manual's source text (Markdown).
QString manualSource();

}  // namespace Installer
