#include "tools/ImportChecks.h"
#include "calc/Numbers.h"

#include <charconv>
#include <cmath>

namespace ImportChecks {

namespace {

// The number a stored text holds: as build() read it, else read from the text.
double valueOf(const char* text, int length, double known)
{
    if (!std::isnan(known)) return known;
    double v = 0;
    std::from_chars(text, text + length, v);
    return v;
}

QString outside(const QString& what, double value, double low, double high)
{
    return what + QStringLiteral(" is ") + Numbers::plain(value) + QStringLiteral(", outside the limits ") +
           Numbers::plain(low) + QStringLiteral(" to ") + Numbers::plain(high);
}

}  // namespace

QString tooLarge(const QString& what, const QString& text, double low, double high)
{
    if (std::isnan(low) || std::isnan(high))
        return what + QStringLiteral(" is ") + text + QStringLiteral(", too large for a reading");
    return what + QStringLiteral(" is ") + text + QStringLiteral(", outside the limits ") + Numbers::plain(low) +
           QStringLiteral(" to ") + Numbers::plain(high);
}

QString problem(const LoggerReadings::Target& t, const LoggerReadings::Built& b)
{
    const int gauges = std::clamp(t.gauges, 0, 10);
    if (t.tempChannel && b.tempChars > MaxFieldLength)
        return QStringLiteral("the temperature field is %1 characters long").arg(b.tempChars);
    bool anyGauge = false;
    for (int k = 0; k < gauges; ++k) {
        if (b.gaugeChars[k] > MaxFieldLength)
            return QStringLiteral("the field of gauge %1 is %2 characters long").arg(k + 1).arg(b.gaugeChars[k]);
        anyGauge = anyGauge || b.gaugeGiven[k];
    }
    if (gauges > 0 && !anyGauge) return QStringLiteral("it has a date but no gauge values");
    // A limit the type does not give (NaN) lets every value pass.
    if (t.tempChannel && b.tempLen > 0 && !(std::isnan(t.tempLow) && std::isnan(t.tempHigh))) {
        const double v = valueOf(b.temp, b.tempLen, b.tempValue);
        if (v < t.tempLow || v > t.tempHigh)
            return outside(QStringLiteral("the temperature"), v, t.tempLow, t.tempHigh);
    }
    for (int k = 0; k < gauges && !(std::isnan(t.low) && std::isnan(t.high)); ++k) {
        if (b.gaugeLen[k] <= 0) continue;
        const double v = valueOf(b.gauge[k], b.gaugeLen[k], b.gaugeValue[k]);
        if (v < t.low || v > t.high) return outside(QStringLiteral("gauge %1").arg(k + 1), v, t.low, t.high);
    }
    return QString();
}

}  // namespace ImportChecks
