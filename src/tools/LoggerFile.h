#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include "tools/LoggerTable.h"
#include <array>
#include <functional>
#include <vector>

// The logger data file: comma-separated text, one reading per line, no header line, up to
// 16 fields read as text (WrenDate, C1 .. C15). The reader follows the layout that the
// generated "Schema.ini" declares for the text driver:
//  - fields are separated by ",", blanks around an unquoted field are dropped;
//  - a field may be enclosed in double quotes; inside it "" stands for one quote and a
//    comma is part of the text;
//  - lines end in CR LF, LF or CR; the last line need not end at all; blank lines are
//    skipped;
//  - a short line leaves its missing fields empty, a long line's fields past the 16th are
//    dropped.
// A quote that is never closed on its line marks the row as broken: it is shown, but never
// selected for import, so a damaged line can never be stored half read.
namespace LoggerFile {

constexpr int FieldCount = 16;

struct Row {
    QString chars;                             // the fields' texts one after another
    std::array<int, FieldCount + 1> bounds{};  // field i is chars[bounds[i], bounds[i + 1])
    int fieldsOnLine = 0;                      // fields present on the line (before dropping)
    int line = 0;                              // line number in the file, from 1
    bool broken = false;                       // an unclosed quote

    QStringView field(int i) const
    {
        if (i < 0 || i >= FieldCount) return {};
        return QStringView(chars).mid(bounds[i], bounds[i + 1] - bounds[i]);
    }
    QString fieldText(int i) const { return field(i).toString(); }
};

// Progress of long work: done out of total; returning false asks the work to stop.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Decodes the file's bytes (UTF-8 when they are valid UTF-8, else Latin-1; a byte-order
// mark is dropped) and splits them into rows (by LoggerTable's rules). The import window
// holds a LoggerTable instead, which costs far less memory. When progress asks to stop, *cancelled is
// set and the rows read so far are returned.
std::vector<Row> parse(const QByteArray& data, const Progress& progress = {}, bool* cancelled = nullptr);

// The rows of a table split by LoggerTable, as above (the first 16 fields of each).
std::vector<Row> fromTable(const LoggerTable& table);

// The same for text already decoded.
std::vector<Row> parseText(QStringView text, const Progress& progress = {}, bool* cancelled = nullptr);

// The lines of the generated "Schema.ini", in order, without line ends.
QStringList schemaIniLines();

// The file's bytes: single-byte text, every line ending in CR LF.
QByteArray schemaIniBytes();

}  // namespace LoggerFile
