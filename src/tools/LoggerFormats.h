#pragma once
#include "tools/LoggerReadings.h"
#include "tools/LoggerTable.h"

#include <QList>
#include <QStringList>

struct ColumnMap;

// The logger file formats the import reads, told apart by their first line:
//  - the four-header-line format (first field "TOA5");
//  - a comma-separated file whose first line names the columns;
//  - the comma-separated layout with no header line (date first, then logger, type and
//    sensor numbers, then the channels), which needs no column map.
namespace LoggerFormats {

enum class Format { CommaSeparated, Toa5, HeaderCsv };

QString name(Format f);  // "comma-separated", "TOA5", "CSV"

// The format a file's first bytes announce.
Format detect(QByteArrayView head);

// Files larger than this are refused before they are read.
constexpr qint64 MaxFileBytes = qint64(2) << 30;

struct Opened {
    Format format = Format::CommaSeparated;
    bool cancelled = false;
    int errorLine = 0;
    QString error;        // why the file is refused (its header); empty when it was read
    QStringList names;    // column names (the formats with a header)
    QStringList units;    // units line (TOA5)
    QString description;  // one line for the window: format, station, table
    LoggerTable table;    // the data rows

    bool ok() const { return error.isEmpty() && !cancelled; }
    bool needsMap() const { return format != Format::CommaSeparated; }
    QString signature() const;
    // The first n data rows' texts (for a preview and the map's guesses).
    QList<QStringList> firstRows(int n) const;
};

Opened open(QByteArray data, const LoggerTable::Progress& progress = {});

// The mapping of a column map over the file (see ColumnMaps::mapping); the file's last
// line must also end, since a logger ends every record it writes and a line without its
// end may have lost digits of its last number. Returns why the map cannot be used.
QString mappingFor(const Opened& file, const ColumnMap& map, LoggerReadings::Mapping& out);

// The refusal as shown to a user: "line N: reason".
QString refusalText(const Opened& o);

// The mapping of the comma-separated layout: the date in field 1 read by layout (one of
// the window's three), then the temperature in field 5 when the sensor's type has one,
// and the gauges after it; numbers read strictly as in every format (an empty field, NAN
// or INF is no value), a last line without its end refused; the marker date never
// pre-selected.
LoggerReadings::Mapping commaSeparatedMapping(int layout, const LoggerReadings::Target& t);

}  // namespace LoggerFormats
