#pragma once
#include "tools/LoggerTable.h"

#include <QStringList>

// The four-header-line logger text format ("TOA5", written as .dat or .csv):
//   line 1  the environment: "TOA5", station, logger model, serial number, OS version,
//           program, program signature, table name;
//   line 2  the field names ("TIMESTAMP","RECORD","Temp","Strain(1)", ...);
//   line 3  their units ("TS","RN","Deg C","uStrain", ...);
//   line 4  their processing ("","","Smp","Avg", ...);
// then one record a line: the timestamp quoted, numbers unquoted, NAN / INF / -INF for no
// value. TIMESTAMP and RECORD may be absent. A header that does not hold together is
// refused with its line and the reason (line 1 must hold its
// eight fields); the records are checked later, row by row.
namespace Toa5Reader {

constexpr int EnvironmentFields = 8;  // line 1 holds exactly these

struct Header {
    QStringList environment;  // line 1's fields ("TOA5", station, ...)
    QStringList names;        // line 2
    QStringList units;        // line 3
    QStringList processing;   // line 4
    QString station() const { return environment.value(1); }
    QString tableName() const { return environment.value(7); }
    int timestampColumn() const;  // index of TIMESTAMP, -1 when absent
    int recordColumn() const;     // index of RECORD, -1 when absent
};

struct Result {
    bool ok = false;
    bool cancelled = false;
    int errorLine = 0;  // line of the file the refusal is about
    QString error;      // why the header is refused
    Header header;
    LoggerTable table;  // the records (the header's four lines dropped)
};

// Whether a file's first line starts as this format's does (its first field is TOA5).
bool looksLike(QByteArrayView head);

// Splits the file and checks its header.
Result read(QByteArray data, const LoggerTable::Progress& progress = {});

// The header's checks alone, on a table whose first four rows are the header lines.
// Returns the refusal (empty when it holds together) and its line.
QString checkHeader(const LoggerTable& table, Header& header, int* line);

}  // namespace Toa5Reader
