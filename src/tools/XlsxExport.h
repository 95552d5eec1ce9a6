#pragma once
#include "tools/LoggerFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Writes a grid of texts into a new spreadsheet workbook (.xlsx) with one sheet. Row 0 is
// the header row and is written as text; in the other rows a text that reads as a number
// becomes a number (keeping its decimals), "yyyy/MM/dd" a date shown "yyyy/mm/dd",
// "HH:mm:ss" a time, "True"/"False" a yes/no value, anything else stays text. Column widths
// are fitted to the longest text of each column.
namespace XlsxExport {

using CellText = std::function<QString(int row, int column)>;

struct Result {
    bool ok = false;
    bool cancelled = false;   // stopped by the user; no file is left behind
    QString error;            // why the file could not be written
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

}  // namespace XlsxExport
