#include "tools/LoggerFile.h"

namespace LoggerFile {

std::vector<Row> fromTable(const LoggerTable& table)
{
    std::vector<Row> rows;
    rows.reserve(size_t(table.rowCount()));
    QByteArray scratch;
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        Row row;
        row.line = table.line(r);
        row.broken = table.broken(r);
        row.fieldsOnLine = table.fieldCount(r);
        const int kept = std::min(row.fieldsOnLine, FieldCount);
        for (int i = 0; i < kept; ++i) {
            row.chars += table.decode(table.fieldBytes(r, i, scratch));
            row.bounds[size_t(i) + 1] = int(row.chars.size());
        }
        for (int i = kept; i < FieldCount; ++i) row.bounds[size_t(i) + 1] = row.bounds[size_t(i)];
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<Row> parseText(QStringView text, const Progress& progress, bool* cancelled)
{
    return parse(text.toUtf8(), progress, cancelled);
}

std::vector<Row> parse(const QByteArray& data, const Progress& progress, bool* cancelled)
{
    return fromTable(LoggerTable::fromBytes(data, progress, cancelled));
}

QStringList schemaIniLines()
{
    QStringList lines = {QStringLiteral("[datafile.txt]"), QStringLiteral("Format=CSVDelimited"),
                         QStringLiteral("DecimalSymbol=."), QStringLiteral("ColNameHeader = false"),
                         QStringLiteral("Col1=WrenDate Text")};
    for (int i = 2; i <= FieldCount; ++i) lines << QStringLiteral("Col%1=C%2 Text").arg(i).arg(i - 1);
    return lines;
}

QByteArray schemaIniBytes()
{
    QByteArray out;
    for (const QString& l : schemaIniLines()) out += l.toLatin1() + "\r\n";
    return out;
}

}  // namespace LoggerFile
