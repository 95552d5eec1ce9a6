#pragma once
#include <QString>
#include <QVariant>
#include <optional>

// A reading value as a user types it, held against the limits of the sensor's type: what
// counts as one number, and whether it lies within the limits. The same rules wherever a
// reading value is typed (the Readings tab, the datasheet).
namespace ReadingValues {

// The reading limits of a sensor type (its Configuration row).
struct Limits {
    qint64 numChannels = 0;
    bool tempChannel = false;  // the type has a temperature channel: check it
    double lowVal = 0;
    double highVal = 0;
    double tempLow = 0;
    double tempHigh = 0;
};

// Builds the limits from the Configuration columns as stored (names matched without
// case by the caller). Limits are read as leading numbers ("-20" -> -20, empty -> 0);
// a null TempChannel counts as "no temperature channel".
Limits limitsFrom(const QVariant& numChannels, const QVariant& tempChannel, const QVariant& lowVal,
                  const QVariant& highVal, const QVariant& tempLow, const QVariant& tempHigh);

// A stored yes/no flag: only a stored False (0, "false", "no") clears it; null sets it.
bool flagTicked(const QVariant& stored);

// A typed text as a number: the whole text (blanks aside) in the C or the system locale's
// format, finite, made of digits, separators and a sign only. Empty text and anything
// else ("20.719.5", "12abc", "inf", "1e5") give no value.
std::optional<double> typedNumber(const QString& text);

// What is wrong with a typed value held against [low, high] (a value equal to a limit
// passes). An empty text counts as 0.
enum class Fault { None, NotANumber, OutsideLimits };
Fault faultOf(const QString& text, double low, double high);

// The patterns typed values are stored with: gauges "##0.00", the temperature "##0.0".
inline const QString GaugePattern = QStringLiteral("##0.00");
inline const QString TemperaturePattern = QStringLiteral("##0.0");

// A typed value as it is stored: rounded (half away from zero) to its pattern; empty text
// for no value; a text that is not a number comes back trimmed, as typed.
QString storedText(const QString& typed, bool temperature);

}  // namespace ReadingValues
