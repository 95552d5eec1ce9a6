#include "tools/Toa5Reader.h"

#include <QSet>

namespace Toa5Reader {

namespace {

QStringList fieldsOf(const LoggerTable& t, qsizetype row)
{
    QStringList out;
    for (int i = 0; i < t.fieldCount(row); ++i) out << t.field(row, i);
    return out;
}

int indexOf(const QStringList& names, QLatin1StringView name)
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace

int Header::timestampColumn() const { return indexOf(names, QLatin1StringView("TIMESTAMP")); }
int Header::recordColumn() const { return indexOf(names, QLatin1StringView("RECORD")); }

bool looksLike(QByteArrayView head)
{
    qsizetype p = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (p < head.size() && (head[p] == ' ' || head[p] == '\t' || head[p] == '\r' || head[p] == '\n')) ++p;
    head = head.sliced(p);
    return head.startsWith("\"TOA5\"") || head.startsWith("TOA5,") || head.startsWith("\"TOA5\",") ||
           head == QByteArrayView("TOA5");
}

QString checkHeader(const LoggerTable& t, Header& h, int* line)
{
    static const char* const what[] = {"environment", "field names", "units", "processing"};
    for (int r = 0; r < 4; ++r) {
        if (r >= t.rowCount()) {
            if (line) *line = r == 0 ? 1 : t.line(r - 1) + 1;
            return QStringLiteral("the file ends before its %1 line").arg(QLatin1StringView(what[r]));
        }
        if (line) *line = t.line(r);
        if (t.broken(r)) return QStringLiteral("a quote is not closed on the %1 line").arg(QLatin1StringView(what[r]));
        if (!t.lineEnded(r)) return QStringLiteral("the %1 line does not end").arg(QLatin1StringView(what[r]));
    }
    h.environment = fieldsOf(t, 0);
    h.names = fieldsOf(t, 1);
    h.units = fieldsOf(t, 2);
    h.processing = fieldsOf(t, 3);
    if (line) *line = t.line(0);
    if (h.environment.value(0) != QLatin1StringView("TOA5"))
        return QStringLiteral("the first line does not begin with \"TOA5\"");
    if (h.environment.size() != EnvironmentFields)
        return QStringLiteral(
                   "the first line has %1 fields, not the %2 of a TOA5 file (TOA5, station, logger model, "
                   "serial number, OS version, program, program signature, table name)")
            .arg(h.environment.size())
            .arg(EnvironmentFields);
    if (line) *line = t.line(1);
    QSet<QString> seen;
    for (int i = 0; i < h.names.size(); ++i) {
        if (h.names[i].trimmed().isEmpty()) return QStringLiteral("field %1 has no name").arg(i + 1);
        if (seen.contains(h.names[i].toLower()))
            return QStringLiteral("the field name %1 appears twice").arg(h.names[i]);
        seen.insert(h.names[i].toLower());
    }
    if (line) *line = t.line(2);
    if (h.units.size() != h.names.size())
        return QStringLiteral("%1 units for %2 field names").arg(h.units.size()).arg(h.names.size());
    if (line) *line = t.line(3);
    if (h.processing.size() != h.names.size())
        return QStringLiteral("%1 processing entries for %2 field names").arg(h.processing.size()).arg(h.names.size());
    return QString();
}

Result read(QByteArray data, const LoggerTable::Progress& progress)
{
    Result r;
    r.table = LoggerTable::fromBytes(std::move(data), progress, &r.cancelled);
    if (r.cancelled) return r;
    if (!r.table.textProblem().isEmpty()) {
        r.error = r.table.textProblem();
        r.errorLine = r.table.textProblemLine();
        r.table = LoggerTable();
        return r;
    }
    r.error = checkHeader(r.table, r.header, &r.errorLine);
    if (!r.error.isEmpty()) {
        r.table = LoggerTable();
        return r;
    }
    r.table.dropLeadingRows(4);
    r.ok = true;
    return r;
}

}  // namespace Toa5Reader
