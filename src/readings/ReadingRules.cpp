#include "readings/ReadingRules.h"
#include "calc/Numbers.h"

#include <algorithm>

namespace ReadingRules {

namespace {
double leading(const QVariant& v)
{
    if (v.isNull()) return 0.0;
    switch (v.typeId()) {
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Int: case QMetaType::LongLong:
    case QMetaType::UInt: case QMetaType::ULongLong:
        return v.toDouble();
    default:
        return Numbers::leadingValue(v.toString());
    }
}
}  // namespace

Limits limitsFrom(const QVariant& numChannels, const QVariant& tempChannel, const QVariant& lowVal,
                  const QVariant& highVal, const QVariant& tempLow, const QVariant& tempHigh)
{
    Limits l;
    l.numChannels = qint64(leading(numChannels));
    l.tempChannel = !tempChannel.isNull() && flagTicked(tempChannel);
    l.lowVal = leading(lowVal);
    l.highVal = leading(highVal);
    l.tempLow = leading(tempLow);
    l.tempHigh = leading(tempHigh);
    return l;
}

QString temperatureMessage(double low, double high)
{
    return QStringLiteral("Error: Channel T must be > ") + Numbers::plain(low) + QStringLiteral(" and < ") +
           Numbers::plain(high);
}

QString channelMessage(int channel, double low, double high)
{
    return QStringLiteral("Error: Channel ") + QString::number(channel) + QStringLiteral(" must be > ") +
           Numbers::plain(low) + QStringLiteral(" and < ") + Numbers::plain(high);
}

Check checkValues(const Limits& limits, const QString& temperatureText, const QStringList& channelTexts)
{
    Check c;
    if (limits.tempChannel) {
        const double t = Numbers::leadingValue(temperatureText);
        if (t < limits.tempLow || t > limits.tempHigh) {
            c.ok = false;
            c.message = temperatureMessage(limits.tempLow, limits.tempHigh);
            c.channel = 0;
            return c;
        }
    }
    const qint64 n = std::min<qint64>(limits.numChannels, channelTexts.size());
    for (qint64 i = 1; i <= n; ++i) {
        const double x = Numbers::leadingValue(channelTexts[int(i - 1)]);
        if (x < limits.lowVal || x > limits.highVal) {
            c.ok = false;
            c.message = channelMessage(int(i), limits.lowVal, limits.highVal);
            c.channel = int(i);
            return c;
        }
    }
    return c;
}

bool isReadingKeyAllowed(int code)
{
    if (code >= '0' && code <= '9') return true;
    switch (code) {
    case '.': case ',': case '-': case 8: case 9: case 13: case 127: return true;
    default: return false;
    }
}

int filterReadingKey(int code) { return isReadingKeyAllowed(code) ? code : 0; }

bool isFutureDate(const QDate& readingDate, const QDate& today)
{
    return readingDate.isValid() && readingDate > today;
}

bool flagTicked(const QVariant& stored)
{
    if (stored.isNull()) return true;
    switch (stored.typeId()) {
    case QMetaType::Bool: return stored.toBool();
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Int: case QMetaType::LongLong:
    case QMetaType::UInt: case QMetaType::ULongLong:
        return stored.toDouble() != 0;
    default: {
        const QString t = stored.toString().trimmed();
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const double d = t.toDouble(&ok);
        return !(ok && d == 0);
    }
    }
}

}  // namespace ReadingRules
