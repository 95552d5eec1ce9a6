#include "tools/LoggerFormats.h"
#include "tools/ColumnMap.h"
#include "tools/HeaderCsvReader.h"
#include "tools/Toa5Reader.h"

namespace LoggerFormats {

QString name(Format f)
{
    switch (f) {
        case Format::Toa5:
            return QStringLiteral("TOA5");
        case Format::HeaderCsv:
            return QStringLiteral("CSV");
        default:
            return QStringLiteral("comma-separated");
    }
}

Format detect(QByteArrayView head)
{
    if (Toa5Reader::looksLike(head)) return Format::Toa5;
    qsizetype p = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (p < head.size() && (head[p] == '\r' || head[p] == '\n' || head[p] == ' ' || head[p] == '\t')) ++p;
    if (HeaderCsvReader::looksLike(head.sliced(p))) return Format::HeaderCsv;
    return Format::CommaSeparated;
}

QString Opened::signature() const { return ColumnMaps::signature(name(format), names); }

QList<QStringList> Opened::firstRows(int n) const
{
    QList<QStringList> out;
    for (qsizetype r = 0; r < table.rowCount() && r < n; ++r) {
        QStringList row;
        for (int i = 0; i < table.fieldCount(r); ++i) row << table.field(r, i);
        out << row;
    }
    return out;
}

Opened open(QByteArray data, const LoggerTable::Progress& progress)
{
    Opened o;
    // UTF-16 is turned into UTF-8 first, so that the format is told from its text.
    QString utf16Problem;
    LoggerTable::convertUtf16(data, &utf16Problem);
    if (!utf16Problem.isEmpty()) {
        o.error = utf16Problem;
        o.errorLine = 1;
        return o;
    }
    o.format = detect(QByteArrayView(data).first(std::min<qsizetype>(data.size(), 64 * 1024)));
    switch (o.format) {
        case Format::Toa5: {
            Toa5Reader::Result r = Toa5Reader::read(std::move(data), progress);
            o.cancelled = r.cancelled;
            o.error = r.error;
            o.errorLine = r.errorLine;
            o.names = r.header.names;
            o.units = r.header.units;
            o.table = std::move(r.table);
            o.description = QStringLiteral("TOA5 file");
            if (!r.header.station().isEmpty()) o.description += QStringLiteral(", station ") + r.header.station();
            if (!r.header.tableName().isEmpty()) o.description += QStringLiteral(", table ") + r.header.tableName();
            break;
        }
        case Format::HeaderCsv: {
            HeaderCsvReader::Result r = HeaderCsvReader::read(std::move(data), progress);
            o.cancelled = r.cancelled;
            o.error = r.error;
            o.errorLine = r.errorLine;
            o.names = r.names;
            o.table = std::move(r.table);
            o.description = QStringLiteral("CSV file with %1 named columns").arg(o.names.size());
            break;
        }
        default:
            o.table = LoggerTable::fromBytes(std::move(data), progress, &o.cancelled);
            o.description = QStringLiteral("comma-separated logger file");
            if (!o.cancelled && !o.table.textProblem().isEmpty()) {
                o.error = o.table.textProblem();
                o.errorLine = o.table.textProblemLine();
                o.table = LoggerTable();
            }
            break;
    }
    return o;
}

QString mappingFor(const Opened& file, const ColumnMap& map, LoggerReadings::Mapping& out)
{
    const QString problem = ColumnMaps::mapping(map, file.names, out);
    out.requireLineEnd = true;
    return problem;
}

QString refusalText(const Opened& o)
{
    if (o.error.isEmpty()) return QString();
    return QStringLiteral("line %1: %2").arg(o.errorLine).arg(o.error);
}

LoggerReadings::Mapping commaSeparatedMapping(int layout, const LoggerReadings::Target& t)
{
    LoggerReadings::Mapping m;
    m.dateField = 0;
    m.layout = LoggerClock::Layout(std::clamp(layout, 0, 2));
    m.requireLineEnd = true;
    m.markerDate = QByteArrayLiteral("2000/01/01 00:00:80");
    const int base = t.tempChannel ? 4 : 3;
    m.tempField = t.tempChannel ? 4 : -1;
    for (int k = 1; k <= std::clamp(t.gauges, 0, 10); ++k) m.gaugeFields.push_back(base + k);
    return m;
}

}  // namespace LoggerFormats
