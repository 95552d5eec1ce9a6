#include "calc/ReadingValues.h"
#include "calc/Numbers.h"

#include <cmath>

namespace ReadingValues {

namespace {
// A value the database handed back as a number rather than as text.
bool storedAsNumber(const QVariant& v)
{
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

double leading(const QVariant& v)
{
    if (v.isNull()) return 0.0;
    return storedAsNumber(v) ? v.toDouble() : Numbers::leadingValue(v.toString());
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

bool flagTicked(const QVariant& stored)
{
    if (stored.isNull()) return true;
    if (stored.typeId() == QMetaType::Bool) return stored.toBool();
    if (storedAsNumber(stored)) return stored.toDouble() != 0;
    const QString t = stored.toString().trimmed();
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
        t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    return !(ok && d == 0);
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

Fault faultOf(const QString& text, double low, double high)
{
    double x = 0;
    if (!text.trimmed().isEmpty()) {
        const std::optional<double> v = typedNumber(text);
        if (!v) return Fault::NotANumber;
        x = *v;
    }
    return x >= low && x <= high ? Fault::None : Fault::OutsideLimits;
}

QString storedText(const QString& typed, bool temperature)
{
    return Numbers::formatText(typed, temperature ? TemperaturePattern : GaugePattern);
}

}  // namespace ReadingValues
