#include "readings/ReadingFormats.h"
#include "calc/Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <QVariant>

namespace ReadingFormats {

QString dateText(const QDate& date) { return date.toString(DateFormat); }

QString timeText(const QTime& time) { return time.toString(TimeFormat); }

QString readingKey(const QString& instrumentId, const QDate& date, const QTime& time)
{
    return instrumentId + ' ' + dateText(date) + ' ' + timeText(time);
}

QDateTime fullDate(const QDate& date, const QTime& time)
{
    return QDateTime(date, QTime(time.hour(), time.minute(), time.second()));
}

QString keyCriterion(const QString& key)
{
    return QStringLiteral("DateTimeKey = '") + QString(key).replace('\'', QStringLiteral("''")) + '\'';
}

QString storedChannelText(const QString& boxText) { return Numbers::formatText(boxText, ChannelPattern); }

QString storedTemperatureText(const QString& boxText)
{
    return Numbers::formatText(boxText, TemperaturePattern);
}

QDate parseStoredDate(const QString& text)
{
    // Year first with "/" or "-" between the parts, one or two digits for month and day,
    // anything after a blank (a time) ignored.
    static const QRegularExpression ymd(QStringLiteral("^\\s*(\\d{4})[/-](\\d{1,2})[/-](\\d{1,2})(\\s.*)?$"));
    const auto m = ymd.match(text);
    if (m.hasMatch()) return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QString t = text.trimmed();
    if (t.isEmpty()) return QDate();
    const QLocale loc = QLocale::system();
    QDate d = loc.toDate(t, QLocale::ShortFormat);
    if (!d.isValid()) d = loc.toDate(t, QLocale::LongFormat);
    return d;
}

QTime parseStoredTime(const QString& text)
{
    static const QRegularExpression hms(QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*$"));
    const auto m = hms.match(text);
    if (!m.hasMatch()) return QTime();
    return QTime(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
}

QDateTime parseFullDate(const QVariant& value)
{
    if (value.isNull()) return QDateTime();
    if (value.typeId() == QMetaType::QDateTime) return value.toDateTime();
    const QString t = value.toString().trimmed();
    QDateTime dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid()) dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        const QDate d = parseStoredDate(t);
        if (d.isValid()) dt = QDateTime(d, parseStoredTime(t.section(' ', 1, 1)).isValid()
                                               ? parseStoredTime(t.section(' ', 1, 1)) : QTime(0, 0));
    }
    return dt;
}

QString countText(qint64 position, qint64 count)
{
    return QString::number(position) + QStringLiteral(" of ") + QString::number(count);
}

QString duplicateOnMessage(const QDate& date, const QTime& time)
{
    return QStringLiteral("There is already a reading on ") + dateText(date) + QStringLiteral(" at ") + timeText(time);
}

QString rangeDeletedMessage(qint64 count, const QDate& start, const QDate& end)
{
    const QLocale loc = QLocale::system();
    return QString::number(count) + QStringLiteral(" readings were deleted from ") +
           loc.toString(start, QLocale::ShortFormat) + QStringLiteral(" and ") + loc.toString(end, QLocale::ShortFormat);
}

}  // namespace ReadingFormats
