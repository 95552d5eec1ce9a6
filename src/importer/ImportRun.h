#pragma once
#include "tools/LoggerClock.h"

#include <QString>
#include <QStringList>
#include <vector>

class Database;
class QTextStream;

// tarnwell-import: logger files into the database with no window and no question, for a
// timer or a logger PC's script. One summary line per file; the error log for failures.
namespace ImportRun {

struct Options {
    QString databasePath;  // empty: the program's database in the data folder
    int interval = 0;      // minimum clock hours between readings taken (0: every reading)
    LoggerClock::Layout commaSeparatedLayout = LoggerClock::Layout::YearFirst;
    QString dataFolder;  // where imports/ copies go (the database's folder)
};

// What happened to one file (for one sensor, or for every sensor its layout feeds).
struct FileReport {
    QString file;
    QStringList sensors;
    qint64 appended = 0;
    qint64 duplicates = 0;
    qint64 refused = 0;        // lines that could not be stored
    QStringList refusedLines;  // the first few, "line N: reason"
    int alarmEvents = 0;
    bool failed = false;   // nothing stored for this file
    bool skipped = false;  // folder mode: nothing to do for it (reason says why)
    QString reason;

    QString summary() const;  // the line printed for the file
};

// Imports one file for one sensor (its column map must be known for a file with named
// columns). Never throws.
FileReport importFile(Database& db, const QString& sensorId, const QString& path, const Options& options);

// Imports every file of a folder not imported before whose sensors are known: a file with
// named columns goes to every sensor with a map for its layout; a comma-separated file
// named "<sensor number>.txt" to that sensor. Each file is recorded by name, size and
// content hash in the same transaction as its readings, so it goes in once, also when two
// runs meet. Files already imported are not reported; a file that cannot be read is
// reported as failed with its reason. Never throws.
std::vector<FileReport> importFolder(Database& db, const QString& folder, const Options& options);

// The one line a folder run prints when it finds no file it has not imported before.
QString nothingNewLine(const QString& folder);

// 0 when every file went in, 1 when some lines were refused, 2 when a file failed.
int exitCode(const std::vector<FileReport>& reports);

// The whole command: arguments (without the program's name), output, errors; returns the
// exit code.
int run(const QStringList& args, QTextStream& out, QTextStream& err);

QString helpText();

}  // namespace ImportRun
