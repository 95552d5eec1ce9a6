#include "maintenance/FilterCriteria.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace FilterCriteria {

QString typeEntry(const QString& code, const QString& model)
{
    const QString c = code.trimmed(), m = model.trimmed();
    return m.isEmpty() ? c : c + QStringLiteral(": ") + m;
}

QStringList standardTypeEntries()
{
    QStringList out;
    for (int channels = 1; channels <= 6; ++channels)
        out << typeEntry(QString::number(15 + 10 * channels), QStringLiteral("d%1HALYX").arg(channels));
    return out;
}

std::optional<QString> typeCode(const QString& text, const QStringList& entries)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return QString();
    for (const QString& entry : entries) {
        const QString code = entry.section(u':', 0, 0).trimmed();
        if (t == entry || t == code) return code;
    }
    return std::nullopt;
}

QString escapeLike(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_') out += u'\\';
        out += c;
    }
    return out;
}

std::optional<QDate> parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})$"));
    const QRegularExpressionMatch m = ymd.match(t);
    if (m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (d.isValid()) return d;
        return std::nullopt;
    }
    const QLocale loc = QLocale::system();
    for (const QString& fmt : {loc.dateFormat(QLocale::ShortFormat), loc.dateFormat(QLocale::LongFormat)}) {
        QDate d = loc.toDate(t, fmt);
        // A two-digit year reads as 19xx; the program's sensors are all from this century.
        if (d.isValid() && d.year() < 1950 && !fmt.contains(QLatin1String("yyyy"))) d = d.addYears(100);
        if (d.isValid()) return d;
    }
    return std::nullopt;
}

QString storedDate(const QDate& d) { return d.toString(QStringLiteral("yyyy/MM/dd")); }

namespace {
QString quoted(const QString& v)
{
    QString q = v;
    q.replace('\'', QLatin1String("''"));
    return '\'' + q + '\'';
}
}  // namespace

Result build(const Input& in, const QDate& today)
{
    Result r;
    const std::optional<QString> code = typeCode(in.type, in.types);
    if (!code) {
        r.problem = Problem::UnknownType;
        return r;
    }
    const QString level = in.level.trimmed();
    const QString location = in.location.trimmed();
    QString startText = in.startDate.trimmed();
    QString endText = in.endDate.trimmed();
    std::optional<QDate> start, end;
    if (!startText.isEmpty()) {
        start = parseDate(startText);
        if (!start) {
            r.problem = Problem::BadStartDate;
            return r;
        }
    }
    if (!endText.isEmpty()) {
        end = parseDate(endText);
        if (!end) {
            r.problem = Problem::BadEndDate;
            return r;
        }
    }
    if (start && !end) {
        end = today;
        endText = QLocale::system().toString(today, QLocale::ShortFormat);
    } else if (end && !start) {
        start = QDate(1999, 1, 1);
        startText = QStringLiteral("1999/01/01");
    }

    QStringList where, text;
    QVariantList binds;
    if (in.dontShowDestroyed) {
        where << QStringLiteral("Destroyed = ?");
        binds << QStringLiteral("No");
        text << QStringLiteral("Destroyed = 'No'");
    }
    if (!code->isEmpty()) {
        where << QStringLiteral("SensorType = ?");
        binds << *code;
        text << QStringLiteral("SensorType =") + quoted(*code);
    }
    // Any part of the text, case ignored: a level typed "12" finds "1200" and "B12".
    const auto contains = [&](const QString& column, const QString& typed) {
        where << column + QStringLiteral(" LIKE ? ESCAPE '\\'");
        binds << QStringLiteral("%") + escapeLike(typed) + QStringLiteral("%");
        text << column + QStringLiteral(" contains ") + quoted(typed);
    };
    if (!level.isEmpty()) contains(QStringLiteral("Level"), level);
    if (!location.isEmpty()) contains(QStringLiteral("Location"), location);
    if (start) {
        where << QStringLiteral("InstallDate >= ? AND InstallDate <= ?");
        binds << storedDate(*start) << storedDate(*end);
        text << QStringLiteral("InstallDate >= ") + startText + QStringLiteral(" AND InstallDate <= ") + endText;
    }
    if (where.isEmpty()) {
        r.problem = Problem::NoCriteria;
        return r;
    }
    r.criteria.where = where.join(QStringLiteral(" AND "));
    r.criteria.binds = binds;
    r.criteria.text = text.join(QStringLiteral(" AND "));
    return r;
}

}  // namespace FilterCriteria
