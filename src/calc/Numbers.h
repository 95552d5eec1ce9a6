#pragma once
#include <QString>
#include <optional>
#include <string_view>

// The program's two text-to-number conversions and its number patterns. Stored number
// texts always use "." as the decimal point so a database reads the same on any machine.
namespace Numbers {

// Leading-number conversion: skips leading blanks, takes an optional sign, digits with at
// most one "."; 0 when the text does not begin with a number ("12a" -> 12, "abc" -> 0).
double leadingValue(const QString& text);

// Locale-aware conversion: the system locale's number format (the C format is accepted
// too). Throws TwError 13 (type mismatch) for a text that is not a number.
double localeValue(const QString& text);
std::optional<double> tryLocaleValue(const QString& text);
// The quick case of the locale-aware conversion, on ASCII text without surrounding blanks:
// an optionally signed decimal ("123", "-12.50") that reads the same in every locale.
// nullopt for any other text, which then needs tryLocaleValue; never a different number.
std::optional<double> tryPlainDecimal(std::string_view ascii);

// Formats a number by a pattern of the form "##0.00" / "##0.0#" / "##0.0": at least one
// integer digit, the '0' decimals always, the '#' decimals only when not zero. Rounds
// half away from zero on the decimal value, as people round by hand (21.25 -> "21.3",
// 2.665 -> "2.67", -0.125 -> "-0.13").
QString format(double value, const QString& pattern);

// Formats a typed text by a pattern: empty (after trimming) stays empty; a text that is
// not a number is returned unchanged (trimmed).
QString formatText(const QString& text, const QString& pattern);

// Rounding at the given number of decimals, on the decimal value (so 2.675 typed by a
// user rounds as the decimal 2.675, not as its binary neighbour): half to even (the axis
// rule's banker's rounding) and half away from zero (every stored or shown number text).
double roundHalfEven(double value, int decimals);
double roundHalfAway(double value, int decimals);

// A plain number in its shortest decimal form ("125", "12.5", "-20").
QString plain(double value);

}  // namespace Numbers
