#include "tools/LoggerFile.h"

#include <QStringDecoder>

namespace LoggerFile {

namespace {

constexpr int ProgressEvery = 4096;   // lines between two progress reports

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isLineEnd(QChar c) { return c == u'\n' || c == u'\r'; }

// Reads one line starting at pos into row; returns the position after the line's end.
qsizetype readLine(QStringView text, qsizetype pos, Row& row)
{
    const qsizetype n = text.size();
    int field = 0;
    row.bounds[0] = 0;
    bool lineDone = false;
    while (!lineDone) {
        // One field.
        while (pos < n && isBlank(text[pos])) ++pos;
        const bool keep = field < FieldCount;
        QString value;
        if (pos < n && text[pos] == u'"') {
            ++pos;
            bool closed = false;
            while (pos < n && !isLineEnd(text[pos])) {
                const QChar c = text[pos];
                if (c == u'"') {
                    if (pos + 1 < n && text[pos + 1] == u'"') {
                        if (keep) value += u'"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    closed = true;
                    break;
                }
                if (keep) value += c;
                ++pos;
            }
            if (!closed) row.broken = true;
            // Text after the closing quote up to the separator belongs to the field.
            qsizetype start = pos;
            while (pos < n && text[pos] != u',' && !isLineEnd(text[pos])) ++pos;
            if (keep) {
                QStringView tail = text.mid(start, pos - start);
                while (!tail.isEmpty() && isBlank(tail.back())) tail.chop(1);
                value += tail;
            }
        } else {
            const qsizetype start = pos;
            while (pos < n && text[pos] != u',' && !isLineEnd(text[pos])) ++pos;
            if (keep) {
                QStringView v = text.mid(start, pos - start);
                while (!v.isEmpty() && isBlank(v.back())) v.chop(1);
                value = v.toString();
            }
        }
        if (keep) {
            row.chars += value;
            row.bounds[field + 1] = int(row.chars.size());
        }
        ++field;
        if (pos < n && text[pos] == u',') {
            ++pos;
            continue;
        }
        lineDone = true;
    }
    row.fieldsOnLine = field;
    for (int i = std::min(field, FieldCount); i < FieldCount; ++i) row.bounds[i + 1] = row.bounds[i];
    // The line end: CR LF, LF or CR.
    if (pos < n && text[pos] == u'\r') ++pos;
    if (pos < n && text[pos] == u'\n') ++pos;
    return pos;
}

bool blankLine(QStringView text, qsizetype pos)
{
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos >= text.size() || isLineEnd(text[pos]);
}

qsizetype skipLine(QStringView text, qsizetype pos)
{
    while (pos < text.size() && !isLineEnd(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == u'\r') ++pos;
    if (pos < text.size() && text[pos] == u'\n') ++pos;
    return pos;
}

}  // namespace

std::vector<Row> parseText(QStringView text, const Progress& progress, bool* cancelled)
{
    if (cancelled) *cancelled = false;
    std::vector<Row> rows;
    rows.reserve(size_t(text.size() / 48 + 1));
    qsizetype pos = 0;
    int line = 0;
    while (pos < text.size()) {
        ++line;
        if (progress && line % ProgressEvery == 0 && !progress(pos, text.size())) {
            if (cancelled) *cancelled = true;
            return rows;
        }
        if (blankLine(text, pos)) {
            pos = skipLine(text, pos);
            continue;
        }
        Row row;
        row.line = line;
        pos = readLine(text, pos, row);
        rows.push_back(std::move(row));
    }
    if (progress) progress(text.size(), text.size());
    return rows;
}

std::vector<Row> parse(const QByteArray& data, const Progress& progress, bool* cancelled)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return parseText(text, progress, cancelled);
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
