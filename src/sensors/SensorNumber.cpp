#include "sensors/SensorNumber.h"
#include "calc/Numbers.h"

namespace SensorNumber {

Check check(const QString& number)
{
    // Only digits make a number: signs, decimal points, blanks or exponents would give a
    // sensor a data table named like "-25040100" or "2504.0100".
    if (number.isEmpty()) return Check::NotNumeric;
    for (const QChar c : number)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Check::NotNumeric;
    if (number.size() != 9) return Check::WrongLength;
    const double serial = Numbers::leadingValue(split(number).serial);
    if (serial < 1 || serial > 999) return Check::SerialOutOfRange;
    return Check::Ok;
}

QString refusalText(Check c)
{
    switch (c) {
        case Check::NotNumeric:
            return QStringLiteral("Sensor # must be a numeric value");
        case Check::WrongLength:
            return QStringLiteral("Sensor # must be 9 digits");
        case Check::SerialOutOfRange:
            return QStringLiteral("Last 3 digits must be between 001 and 999");
        case Check::Ok:
            break;
    }
    return QString();
}

Parts split(const QString& number) { return {number.left(4), number.mid(4, 2), number.mid(6, 3)}; }

}  // namespace SensorNumber
