#include "readings/ReadingFormats.h"
#include "calc/Numbers.h"
#include "data/Reading.h"

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
    return Reading::KeyColumn + QStringLiteral(" = '") + QString(key).replace('\'', QStringLiteral("''")) + '\'';
}

namespace {
// An empty box is stored as the empty text, never as a null column: a null QString would
// be bound as NULL.
QString storedText(const QString& boxText, const QString& pattern)
{
    const QString t = Numbers::formatText(boxText, pattern);
    return t.isEmpty() ? EmptyText : t;
}
}  // namespace

QString storedChannelText(const QString& boxText) { return storedText(boxText, ChannelPattern); }

QString storedTemperatureText(const QString& boxText) { return storedText(boxText, TemperaturePattern); }

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
        if (d.isValid())
            dt = QDateTime(d, parseStoredTime(t.section(' ', 1, 1)).isValid() ? parseStoredTime(t.section(' ', 1, 1))
                                                                              : QTime(0, 0));
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
           loc.toString(start, QLocale::ShortFormat) + QStringLiteral(" and ") +
           loc.toString(end, QLocale::ShortFormat);
}

namespace {
QString shortDate(const QDate& d) { return QLocale::system().toString(d, QLocale::ShortFormat); }
}  // namespace

QString deleteOneQuestion(const QString& sensor, const QString& reading)
{
    return QStringLiteral("Delete the reading of ") + reading + QStringLiteral(" of sensor ") + sensor + u'?';
}

QString deleteRangeQuestion(const QString& sensor, qint64 count, const QDate& start, const QDate& end)
{
    const QString which = count == 1 ? QStringLiteral("Delete the 1 reading of sensor ")
                                     : QStringLiteral("Delete the %1 readings of sensor ").arg(count);
    return which + sensor + QStringLiteral(" dated from ") + shortDate(start) + QStringLiteral(" to ") +
           shortDate(end) + u'?';
}

QString nothingInRangeMessage(const QString& sensor, const QDate& start, const QDate& end)
{
    if (start > end)
        return QStringLiteral("The start date ") + shortDate(start) + QStringLiteral(" is after the end date ") +
               shortDate(end) + QStringLiteral(".\r\nNo reading was deleted.");
    return QStringLiteral("Sensor ") + sensor + QStringLiteral(" has no readings dated from ") + shortDate(start) +
           QStringLiteral(" to ") + shortDate(end) + QStringLiteral(".\r\nNo reading was deleted.");
}

QString deleteAllQuestion(const QString& sensor, qint64 count)
{
    if (count == 1) return QStringLiteral("Delete the only reading of sensor ") + sensor + u'?';
    return QStringLiteral("Delete all %1 readings of sensor ").arg(count) + sensor + u'?';
}

QString noReadingsMessage(const QString& sensor)
{
    return QStringLiteral("Sensor ") + sensor + QStringLiteral(" has no readings to delete.");
}

}  // namespace ReadingFormats
