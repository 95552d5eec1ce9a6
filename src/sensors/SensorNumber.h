#pragma once
#include <QString>

// The rules of a sensor number (InstrumentID): nine digits, characters 1-4 the date part,
// 5-6 the sensor type code, 7-9 the serial number 001 to 999.
namespace SensorNumber {

enum class Check { Ok, NotNumeric, WrongLength, SerialOutOfRange };

struct Parts {
    QString dateId;    // characters 1-4
    QString typeCode;  // characters 5-6
    QString serial;    // characters 7-9
};

// Checks a typed number in the order the user is told about faults: numeric first (every
// character a digit), then the length, then the serial number's range.
Check check(const QString& number);

// The message for a refused number (empty for Ok); all carry the title below.
QString refusalText(Check c);
inline const QString RefusalTitle = QStringLiteral("Invalid Sensor Number");

// The parts of a number of nine characters.
Parts split(const QString& number);

}  // namespace SensorNumber
