#pragma once
#include "tools/LoggerDates.h"
#include "tools/LoggerFile.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerReadings.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Database;

// The logger import's work on files and on the database, free of any window: the working
// copy and its layout file, the reading built from a row, the append, and the archive copy.
namespace LoggerImport {

// Whether a file (not a folder) exists at the path, and whether a folder does.
bool FileExists(const QString& path);
bool FolderExists(const QString& path);

// The file names the import uses in the data folder.
inline const QString SchemaFileName = QStringLiteral("Schema.ini");
inline const QString WorkingCopyName = QStringLiteral("datafile.txt");
inline const QString ArchiveFolderName = QStringLiteral("imports");

struct DataFile {
    bool noDataFile = true;             // the chosen path named no file
    bool cancelled = false;             // reading was stopped by the user
    std::vector<LoggerFile::Row> rows;  // every row of the working copy, in file order
};

// Writes "Schema.ini" into the data folder, copies the chosen file to "datafile.txt"
// there (replacing an earlier copy), reads the copy, and deletes "Schema.ini" again,
// whatever happens. A path that names no file gives noDataFile. Throws TwError when a
// file cannot be written or read; its description says which file and why, in words a
// user understands (it is shown).
DataFile openDataFile(const QString& dataFolder, const QString& path, const LoggerFile::Progress& progress = {});

// The working copy read in whichever logger format it is (see LoggerFormats). A path that
// names no file gives noDataFile; a file over LoggerFormats::MaxFileBytes is refused
// (file.error). Throws TwError when a file cannot be written or read.
struct LoggerData {
    bool noDataFile = true;
    LoggerFormats::Opened file;
};
LoggerData openLoggerFile(const QString& dataFolder, const QString& path, const LoggerFile::Progress& progress = {});

// The sensor the rows are appended to: its number, the type's channel count, whether it
// has a temperature channel (then C4 of the comma-separated layout is ChannelT), limits.
using Target = LoggerReadings::Target;

// Looks up the sensor's type: gauges = the type's NumChannels, tempChannel = TempChannel,
// and its limits. Throws TwError when the sensor or its type is unknown.
Target targetFor(Database& db, const QString& sensorId);

// The reading a row gives, as stored texts.
struct Reading {
    QString key;           // "<sensor> yyyy/MM/dd HH:mm:ss"
    QString readingDate;   // "yyyy/MM/dd"
    QString readingTime;   // "HH:mm:ss"
    QString fullDate;      // stored date and time, "yyyy-MM-dd HH:mm:ss"
    QString channelT;      // "##0.0", empty when the field is empty (only with a temperature channel)
    QStringList channels;  // "##0.00" for Channel1 .. Channel<gauges>; an empty field gives 0.00
};

// The leading number of a text ("." as decimal point, 0 when there is none) with a fixed
// number of decimals, rounded half away from zero on its decimal digits: "1.225" -> "1.23"
// at 2, "21.25" -> "21.3" at 1, "-5" -> "-5.00", "abc" -> "0.00".
QString leadingFixed(QStringView text, int decimals);

// Builds the reading of a row; nullopt for a broken row or a date that cannot be read.
std::optional<Reading> readingFromRow(const LoggerFile::Row& row, LoggerDates::Layout layout, const Target& target);

// Which rows the sensor has a reading for already (by their moments, NoMoment for none):
// the rows whose reading key is stored. Throws TwError on a database failure.
std::vector<bool> storedRows(Database& db, const QString& sensorId, const std::vector<qint64>& moments);

// The message that reports an append's duplicates (empty when there are none).
QString duplicatesMessage(const QStringList& keys);

// Keeps a copy of an imported file in the data folder: "imports/TW<sensor>_<yyyy-MM-dd>.<suffix>",
// with "_2", "_3" ... added when that name is taken. The source is never moved or deleted.
// Returns the copy's path; throws TwError when it cannot be made.
QString archiveCopy(const QString& dataFolder, const QString& source, const QString& sensorId, const QDate& day,
                    const QString& suffix = QStringLiteral("txt"));

}  // namespace LoggerImport
