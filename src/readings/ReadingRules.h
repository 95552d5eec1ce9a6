#pragma once
#include "calc/ReadingValues.h"
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// The rules a reading on screen is checked by, free of any widget.
namespace ReadingRules {

// The limits of a sensor type and what counts as a typed number: shared with the
// datasheet (calc/ReadingValues.h).
using Limits = ReadingValues::Limits;
using ReadingValues::flagTicked;
using ReadingValues::limitsFrom;
using ReadingValues::typedNumber;

// The outcome of checking the values on screen.
struct Check {
    using Fault = ReadingValues::Fault;
    bool ok = true;
    Fault fault = Fault::None;
    QString message;  // the text for lblError when not ok
    int channel = 0;  // the failing box: 0 the temperature, 1..6 a gauge channel
    QString text;     // the failing box's text, trimmed
    double low = 0;   // the limits it was held against
    double high = 0;
};

// Checks the temperature text (when the type has that channel) and the first
// numChannels gauge texts (at most the boxes given) against the limits. A box must hold
// one number as a whole (blanks aside; "20.719.5" or "12abc" is refused), an empty box
// counts as 0, and a value equal to a limit passes. checked (optional; index 0 the
// temperature, i gauge i) leaves out the boxes marked false: values nobody typed are not
// held against the limits again.
Check checkValues(const Limits& limits, const QString& temperatureText, const QStringList& channelTexts,
                  const QList<bool>& checked = {});

// The messages of the checks.
QString temperatureMessage(double low, double high);
QString channelMessage(int channel, double low, double high);
QString notANumberMessage(int channel, const QString& text);
// A box as the screen labels it: "Temperature" (0) or "Gauge <i>".
QString fieldName(int channel);
// The question asked when the reading on screen is left with a refused value, and its
// two answers (Keep = stay on the reading with the typed values, nothing stored).
QString refusedQuestion(const Check& check);
inline const QString KeepOnScreen = QStringLiteral("Keep it on screen");
inline const QString DiscardIt = QStringLiteral("Discard it");
inline const QString RefusedTitle = QStringLiteral("Reading not stored");
inline const QString DateNullMessage = QStringLiteral("Error: Reading Date cannot be null");
inline const QString TimeNullMessage = QStringLiteral("Error: Reading Time cannot be null");
inline const QString FutureDateWarning = QStringLiteral("Warning: Reading Date is in the future");
inline const QString NoReadingsNotice = QStringLiteral("0 Readings - Click the Add button to add a reading");

// The key filter of the reading boxes: digits, ".", ",", "-", backspace, tab, carriage
// return and delete pass; anything else is discarded (0 is returned for it).
int filterReadingKey(int code);
bool isReadingKeyAllowed(int code);

// A reading dated after today (dates only: a reading dated today is not in the future).
bool isFutureDate(const QDate& readingDate, const QDate& today);

}  // namespace ReadingRules
