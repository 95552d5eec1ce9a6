#include "readings/ReadingRules.h"
#include "calc/Numbers.h"

#include <algorithm>
#include <cmath>

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

QString notANumberMessage(int channel, const QString& text)
{
    return QStringLiteral("Error: ") + fieldName(channel) + QStringLiteral(" is not a number: ") + text;
}

QString fieldName(int channel)
{
    return channel == 0 ? QStringLiteral("Temperature") : QStringLiteral("Gauge %1").arg(channel);
}

QString refusedQuestion(const Check& check)
{
    const QString what =
        check.fault == Check::Fault::NotANumber
            ? fieldName(check.channel) + QStringLiteral(" holds \"") + check.text + QStringLiteral("\", which is not one number.")
            : fieldName(check.channel) + QStringLiteral(" holds ") + check.text +
                  QStringLiteral(", outside the limits of this sensor type (") + Numbers::plain(check.low) +
                  QStringLiteral(" to ") + Numbers::plain(check.high) + QStringLiteral(").");
    return what + QStringLiteral("\r\nThe reading is not stored. Keep it on screen to correct it, or discard what was "
                                 "typed (the reading keeps its stored values)?");
}

std::optional<double> typedNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    // Digits, one sign in front, separators: anything else ("inf", "1e5" pasted in) is no
    // typed reading value.
    for (const QChar c : t)
        if (!(c.isDigit() || c == u'.' || c == u',' || c == u'-' || c == u'+')) return std::nullopt;
    const std::optional<double> v = Numbers::tryLocaleValue(t);
    if (!v || !std::isfinite(*v)) return std::nullopt;
    return v;
}

Check checkValues(const Limits& limits, const QString& temperatureText, const QStringList& channelTexts,
                  const QList<bool>& checked)
{
    Check c;
    auto fails = [&](int channel, const QString& typed, double low, double high) {
        if (channel < checked.size() && !checked[channel]) return false;
        const QString t = typed.trimmed();
        c.channel = channel;
        c.text = t;
        c.low = low;
        c.high = high;
        if (t.isEmpty()) {
            if (0 >= low && 0 <= high) return false;   // an empty box counts as 0
        } else if (const auto x = typedNumber(t)) {
            if (*x >= low && *x <= high) return false;
        } else {
            c.ok = false;
            c.fault = Check::Fault::NotANumber;
            c.message = notANumberMessage(channel, t);
            return true;
        }
        c.ok = false;
        c.fault = Check::Fault::OutsideLimits;
        c.message = channel == 0 ? temperatureMessage(low, high) : channelMessage(channel, low, high);
        return true;
    };
    if (limits.tempChannel && fails(0, temperatureText, limits.tempLow, limits.tempHigh)) return c;
    const qint64 n = std::min<qint64>(limits.numChannels, channelTexts.size());
    for (qint64 i = 1; i <= n; ++i)
        if (fails(int(i), channelTexts[int(i - 1)], limits.lowVal, limits.highVal)) return c;
    return Check{};
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
