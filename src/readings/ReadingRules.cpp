#include "readings/ReadingRules.h"
#include "calc/Numbers.h"

#include <algorithm>
#include <cmath>

namespace ReadingRules {

// The boxes are named as the page labels them ("Temperature", "Gauge 2"), not by the
// columns they are stored in.
QString temperatureMessage(double low, double high)
{
    return QStringLiteral("Error: ") + fieldName(0) + QStringLiteral(" must be > ") + Numbers::plain(low) +
           QStringLiteral(" and < ") + Numbers::plain(high);
}

QString channelMessage(int channel, double low, double high)
{
    return QStringLiteral("Error: ") + fieldName(channel) + QStringLiteral(" must be > ") + Numbers::plain(low) +
           QStringLiteral(" and < ") + Numbers::plain(high);
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
    const QString what = check.fault == Check::Fault::NotANumber
                             ? fieldName(check.channel) + QStringLiteral(" holds \"") + check.text +
                                   QStringLiteral("\", which is not one number.")
                             : fieldName(check.channel) + QStringLiteral(" holds ") + check.text +
                                   QStringLiteral(", outside the limits of this sensor type (") +
                                   Numbers::plain(check.low) + QStringLiteral(" to ") + Numbers::plain(check.high) +
                                   QStringLiteral(").");
    return what + QStringLiteral(
                      "\r\nThe reading is not stored. Keep it on screen to correct it, or discard what was "
                      "typed (the reading keeps its stored values)?");
}

Check checkValues(const Limits& limits, const QString& temperatureText, const QStringList& channelTexts,
                  const QList<bool>& checked)
{
    Check c;
    auto fails = [&](int channel, const QString& typed, double low, double high) {
        if (channel < checked.size() && !checked[channel]) return false;
        const QString t = typed.trimmed();
        c.fault = ReadingValues::faultOf(t, low, high);
        if (c.fault == Check::Fault::None) return false;
        c.ok = false;
        c.channel = channel;
        c.text = t;
        c.low = low;
        c.high = high;
        c.message = c.fault == Check::Fault::NotANumber ? notANumberMessage(channel, t)
                    : channel == 0                      ? temperatureMessage(low, high)
                                                        : channelMessage(channel, low, high);
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
        case '.':
        case ',':
        case '-':
        case 8:
        case 9:
        case 13:
        case 127:
            return true;
        default:
            return false;
    }
}

int filterReadingKey(int code) { return isReadingKeyAllowed(code) ? code : 0; }

bool isFutureDate(const QDate& readingDate, const QDate& today) { return readingDate.isValid() && readingDate > today; }

}  // namespace ReadingRules
