#pragma once
#include <QString>
#include <QStringList>

// The installer's job: the data folder and, when missing, the database file with its
// fixed tables and template. An existing database is never touched.
namespace Installer {

struct Result {
    bool ok = true;
    QStringList lines;   // what was done, for the user
};

// Creates what is missing under the data folder (documents folder + /Orrisford/Tarnwell).
Result install();

// Creates a new database file at path with the fixed tables and template. Refuses (false)
// when a file exists there already.
bool createDatabase(const QString& path, QString* error = nullptr);

// Renders the user manual (built into the set-up tool) to a PDF file at path, replacing
// an older one only once the new one is complete. Needs a QGuiApplication.
bool writeManual(const QString& path, QString* error = nullptr);

// The manual's source text (Markdown).
QString manualSource();

}  // namespace Installer
