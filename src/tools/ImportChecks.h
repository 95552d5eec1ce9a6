#pragma once
#include "readings/ReadingRules.h"

#include <QString>
#include <QStringList>
#include <vector>

// The checks a reading read from a logger file must pass before it is stored, whatever the
// file's format: the same limits of the sensor type as a reading typed by hand, no field
// longer than a logger ever writes, and at least one gauge value. Free of any window and
// of any file format: a reader hands over the texts of one line.
namespace ImportChecks {

// A field longer than this is no value a logger writes (a damaged or foreign file).
constexpr int MaxFieldLength = 40;

// The texts of one line that would be stored, as read from the file.
struct LineValues {
    bool dateRead = false;   // the date and time could be read
    QString dateText;        // the date field as in the file
    QString temperature;     // the temperature field (only looked at when the type has one)
    QStringList gauges;      // the gauge fields, channel 1 first (as many as the type has)
};

// Why the line must not be stored, in plain words ("Channel 3 is 12000, outside the
// limits -10000 to 10000"), or an empty text when it may be. Values are read as leading
// numbers, as for typed readings; an empty gauge field counts as 0, an empty temperature
// field is stored as no value and passes. A value equal to a limit passes.
QString refusal(const LineValues& line, const ReadingRules::Limits& limits);

struct Refused {
    int line = 0;      // line number in the file, from 1
    QString reason;
};

// The one summary shown before anything is appended: the refused lines with their
// reasons (the first few) and the question whether the others are appended. accepted is
// the number of checked lines that would be appended.
QString summary(const std::vector<Refused>& refused, qint64 accepted);

}  // namespace ImportChecks
