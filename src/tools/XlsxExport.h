#pragma once
#include "tools/LoggerFile.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Writes a grid of texts into a new spreadsheet workbook (.xlsx), in the library's
// constant-memory mode (rows go to the file as they come). A sheet holds at most
// 1,048,576 rows, its heading included: past that the rows go on, under the same heading,
// on a further sheet named like the first with " (2)", " (3)", ... Every write is
// checked; the workbook is written as "<path>.partial" and renamed to path only once it
// is complete, so a failed or cancelled export leaves no file (and an older file of that
// name as it was). Row 0 is
// the header row and is written as text, and stays in view (frozen) on every sheet of the
// grid; in the other rows a text that reads as a number becomes a number (keeping its
// decimals), "yyyy/MM/dd" a date shown "yyyy/mm/dd", "HH:mm:ss" a time,
// "yyyy/MM/dd HH:mm:ss" a date and time shown "yyyy/mm/dd hh:mm:ss", "True"/"False" a yes/no
// value, anything else stays text. Column widths are fitted to the longest text of each
// column.
namespace XlsxExport {

using CellText = std::function<QString(int row, int column)>;

struct Result {
    bool ok = false;
    bool cancelled = false;  // stopped by the user; no file is left behind
    QString error;           // why the file could not be written
};

// A name the spreadsheet accepts for a sheet: characters []:*?/\ replaced by "_", at most
// 31 characters, never empty.
QString sheetNameFor(const QString& name);

// A further sheet of plain text rows (its first column bold), after the grid's sheet.
struct TextSheet {
    QString name;
    QList<QStringList> rows;
};

Result writeGrid(const QString& path, const QString& sheetName, int rows, int columns, const CellText& cell,
                 const LoggerFile::Progress& progress = {}, const QList<TextSheet>& more = {});

// The same for a long grid streamed row by row: the header, then the data rows as the
// reader hands them over, each as header.size() cells of UTF-8 text (valid during the
// call). The reader calls `row` once per data row, in order, and stops when it answers
// false. The workbook is written in one pass (the widths of the columns are found on
// the way), holding one row at a time. progress is told (rows written, dataRows) every
// few thousand rows and once before the file is finished; answering false cancels.
using RowSink = std::function<bool(const QByteArrayView* cells)>;
using RowReader = std::function<void(const RowSink& row)>;
Result writeRows(const QString& path, const QString& sheetName, const QStringList& header, qint64 dataRows,
                 const RowReader& reader, const LoggerFile::Progress& progress = {}, const QList<TextSheet>& more = {});

}  // namespace XlsxExport
