#pragma once
#include "tools/LoggerTable.h"

#include <QStringList>

// A comma-separated file whose first line names the columns ("Date,Temp,Gauge1,...");
// one column holds the date and time, in a layout the user picks. Blank lines are
// skipped; the rest splits by LoggerTable's rules.
namespace HeaderCsvReader {

struct Result {
    bool ok = false;
    bool cancelled = false;
    int errorLine = 0;
    QString error;      // why the header line is refused
    QStringList names;  // the column names, in order
    LoggerTable table;  // the rows after the header line
};

// Whether a first line looks like a row of column names rather than a reading: at least
// two fields, none of them empty, and the first one not a date and time.
bool looksLike(QByteArrayView head);

Result read(QByteArray data, const LoggerTable::Progress& progress = {});

}  // namespace HeaderCsvReader
