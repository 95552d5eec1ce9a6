#include "tools/ColumnMap.h"
#include "core/TwError.h"
#include "store/Database.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace ColumnMaps {

namespace {

bool readsAs(const QString& text, LoggerClock::Layout l)
{
    const QByteArray b = text.toUtf8();
    return LoggerClock::read(b, l).has_value();
}

// The layout that reads every sample; the first one in the order ISO, year first, day
// first, month first.
std::optional<LoggerClock::Layout> layoutOf(const QStringList& samples)
{
    using L = LoggerClock::Layout;
    for (L l : {L::Iso8601, L::YearFirst, L::DayFirst, L::MonthFirst}) {
        bool all = !samples.isEmpty();
        for (const QString& s : samples) all = all && readsAs(s, l);
        if (all) return l;
    }
    return std::nullopt;
}

QStringList column(const QList<QStringList>& rows, int c)
{
    QStringList out;
    for (const QStringList& r : rows)
        if (c < r.size() && !r[c].trimmed().isEmpty()) out << r[c];
    return out;
}

bool isTemperatureName(const QString& n)
{
    static const QRegularExpression re(QStringLiteral("^(t|tc|temp|temperature|temp_?c|temp_?deg_?c|t_?avg|temp_?avg|"
                                                      "temp(erature)?[_ ]?\\(?1\\)?)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(n.trimmed()).hasMatch();
}

// The number in a gauge name ("Strain(3)" -> 3, "SG_12" -> 12), or -1 when the name is
// not a gauge's.
int gaugeNumber(const QString& n)
{
    static const QRegularExpression re(QStringLiteral("^(strain|gauge|gage|sg|ch|chan|channel|vw|microstrain|ustrain)"
                                                      "[ _]?(avg)?[ _]?\\(?([0-9]{1,2})\\)?(_?avg)?$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(n.trimmed());
    return m.hasMatch() ? m.captured(3).toInt() : -1;
}

}  // namespace

QString signature(const QString& format, const QStringList& names) { return format + u'|' + names.join(u','); }

ColumnMap guess(const QStringList& names, const QList<QStringList>& firstRows, int gauges, bool tempChannel)
{
    ColumnMap m;
    int date = -1;
    for (int i = 0; i < names.size() && date < 0; ++i)
        if (names[i].compare(QLatin1StringView("TIMESTAMP"), Qt::CaseInsensitive) == 0) date = i;
    static const QRegularExpression dateName(QStringLiteral("date|time|stamp"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (int i = 0; i < names.size() && date < 0; ++i)
        if (dateName.match(names[i]).hasMatch() && layoutOf(column(firstRows, i))) date = i;
    for (int i = 0; i < names.size() && date < 0; ++i)
        if (layoutOf(column(firstRows, i))) date = i;
    if (date >= 0) {
        m.dateColumn = names[date];
        m.layout = layoutOf(column(firstRows, date)).value_or(LoggerClock::Layout::Iso8601);
    }
    if (tempChannel)
        for (const QString& n : names)
            if (isTemperatureName(n)) {
                m.tempColumn = n;
                break;
            }
    // Gauges by their number; columns whose names carry no number are not guessed.
    QList<QPair<int, int>> numbered;  // (number, column)
    for (int i = 0; i < names.size(); ++i) {
        const int g = gaugeNumber(names[i]);
        if (g >= 0 && names[i] != m.tempColumn) numbered.append({g, i});
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](auto a, auto b) { return a.first < b.first; });
    for (int k = 0; k < gauges; ++k) m.gaugeColumns << (k < numbered.size() ? names[numbered[k].second] : QString());
    return m;
}

QStringList parseMissingCodes(const QString& typed)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList codes;
    for (const QString& c : typed.split(separators, Qt::SkipEmptyParts))
        if (!codes.contains(c, Qt::CaseInsensitive)) codes << c;
    return codes;
}

QString mapping(const ColumnMap& map, const QStringList& names, LoggerReadings::Mapping& out)
{
    auto find = [&](const QString& n) {
        for (int i = 0; i < names.size(); ++i)
            if (names[i] == n) return i;
        return -1;
    };
    out = LoggerReadings::Mapping{};
    for (const QString& c : map.missingCodes) out.missingCodes.push_back(c.trimmed().toUtf8());
    out.expectedFields = int(names.size());
    out.layout = map.layout;
    out.offsetSeconds = qint64(std::llround(map.clockOffsetHours * 3600.0));
    out.dateField = find(map.dateColumn);
    if (map.dateColumn.isEmpty()) return QStringLiteral("no column is chosen for the date and time");
    if (out.dateField < 0) return QStringLiteral("the file has no column %1").arg(map.dateColumn);
    out.tempField = -1;
    if (!map.tempColumn.isEmpty()) {
        out.tempField = find(map.tempColumn);
        if (out.tempField < 0) return QStringLiteral("the file has no column %1").arg(map.tempColumn);
    }
    for (const QString& g : map.gaugeColumns) {
        const int i = g.isEmpty() ? -1 : find(g);
        if (!g.isEmpty() && i < 0) return QStringLiteral("the file has no column %1").arg(g);
        out.gaugeFields.push_back(i);
    }
    return QString();
}

std::optional<ColumnMap> load(Database& db, const QString& sensorId, const QString& sig)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT DateColumn, DateLayout, TempColumn, GaugeColumns, ClockOffsetHours, MissingCodes "
                       "FROM LoggerMaps WHERE SensorID = ? AND Signature = ?"));
    q.addBindValue(sensorId);
    q.addBindValue(sig);
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) return std::nullopt;
    ColumnMap m;
    m.dateColumn = q.value(0).toString();
    m.layout = LoggerClock::Layout(std::clamp(q.value(1).toInt(), 0, LoggerClock::LayoutCount - 1));
    m.tempColumn = q.value(2).toString();
    for (const auto& v : QJsonDocument::fromJson(q.value(3).toString().toUtf8()).array())
        m.gaugeColumns << v.toString();
    m.clockOffsetHours = q.value(4).toDouble();
    for (const auto& v : QJsonDocument::fromJson(q.value(5).toString().toUtf8()).array())
        m.missingCodes << v.toString();
    return m;
}

void save(Database& db, const QString& sensorId, const QString& format, const QString& sig, const ColumnMap& m)
{
    QJsonArray gauges;
    for (const QString& g : m.gaugeColumns) gauges.append(g);
    QJsonArray codes;
    for (const QString& c : m.missingCodes) codes.append(c);
    db.execute(QStringLiteral("INSERT OR REPLACE INTO LoggerMaps (SensorID, Signature, Format, DateColumn, DateLayout, "
                              "TempColumn, GaugeColumns, ClockOffsetHours, SavedAt, MissingCodes) "
                              "VALUES (?,?,?,?,?,?,?,?,?,?)"),
               {sensorId, sig, format, m.dateColumn, int(m.layout), m.tempColumn,
                QString::fromUtf8(QJsonDocument(gauges).toJson(QJsonDocument::Compact)), m.clockOffsetHours,
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                QString::fromUtf8(QJsonDocument(codes).toJson(QJsonDocument::Compact))});
}

QStringList sensorsWithMap(Database& db, const QString& sig)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT m.SensorID FROM LoggerMaps m JOIN Sensors s ON s.InstrumentID = m.SensorID "
                       "WHERE m.Signature = ? ORDER BY m.SensorID"));
    q.addBindValue(sig);
    if (!q.exec()) throwSqlError(q.lastError());
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    return out;
}

}  // namespace ColumnMaps
