#pragma once
#include "tools/LoggerReadings.h"

#include <QString>

// The value checks every imported reading passes before anything is stored, whatever the
// file's format: one place, called for each selected row by LoggerReadings::build. A
// reading is refused when a field is longer than a logger ever writes, when it has a date
// but no gauge value, or when a value lies outside the sensor type's limits - the limits a
// reading typed by hand is held to (a limit itself passes; a type without limits has
// none). Values are the texts as they would be stored; a field with no value (empty, NAN,
// INF, a map's code for "no reading") is stored as the empty text and passes.
namespace ImportChecks {

// A field longer than this is no value a logger writes (a damaged or foreign file).
constexpr int MaxFieldLength = 40;

// Why the reading must not be stored, in plain words ("gauge 3 is 12000, outside the
// limits -10000 to 10000"), or an empty text when it may be.
QString problem(const LoggerReadings::Target& target, const LoggerReadings::Built& reading);

// Why a number too large for any reading (text as in the file) is refused: outside the
// type's limits when it has them, else too large.
QString tooLarge(const QString& what, const QString& text, double low, double high);

}  // namespace ImportChecks
