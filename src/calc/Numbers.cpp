#include "calc/Numbers.h"
#include "calc/ExactDecimal.h"
#include "core/TwError.h"

#include <QLocale>
#include <QRegularExpression>
#include <QVarLengthArray>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace Numbers {

double leadingValue(const QString& text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The digits with at most one ".", as ASCII for a locale-independent conversion.
    QVarLengthArray<char, 64> digits;
    bool seenDot = false, seenDigit = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= '0' && c <= '9') {
            digits.append(char(c));
            seenDigit = true;
        } else if (c == '.' && !seenDot) {
            digits.append('.');
            seenDot = true;
        } else break;
    }
    if (!seenDigit) return 0.0;
    double v = 0;
    const char* begin = digits.constData();
    const char* end = begin + digits.size();
    const auto r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end) v = QString::fromLatin1(begin, digits.size()).toDouble();
    return negative ? -v : v;
}

namespace {

// The system locale's decimal point and group separator, read once (the system locale
// does not change while the program runs).
struct SystemSeparators {
    bool decimalIsDot = true;
    bool groupIsDot = false;
};
const SystemSeparators& systemSeparators()
{
    static const SystemSeparators seps = [] {
        const QLocale sys = QLocale::system();
        return SystemSeparators{sys.decimalPoint() == QLatin1String("."), sys.groupSeparator() == QLatin1String(".")};
    }();
    return seps;
}

// The common case, decided without asking the locale: an optionally signed ASCII
// decimal "123" or "123.45". Such a text means the same in the system locale as in the C
// locale, except where the locale groups digits with "." and the text looks grouped
// ("1.234", "12.345.678"); that case, and every other text, returns nullopt here.
//
// A decimal of at most 2^53 without its dot, with at most 22 decimals (every reading a
// logger writes), is that whole number divided by an exact power of ten: both are exact
// doubles and the division rounds once, to the double nearest the decimal, which is what
// the general conversion gives too. Anything longer takes the general conversion.
template <typename Ch>
std::optional<double> plainDecimal(const Ch* t, int n)
{
    if (n <= 0 || n > 60) return std::nullopt;
    // The digits as ASCII for the general conversion (bytes already are).
    constexpr bool Bytes = std::is_same_v<Ch, char>;
    char buf[64];
    int i = 0, len = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        ++i;
    }
    const int digitsFrom = i;
    int intDigits = 0, fracDigits = 0;
    bool dot = false;
    quint64 whole = 0;  // the digits without the dot, while they fit
    bool fits = true;
    for (; i < n; ++i) {
        const auto c = t[i];
        if (c >= '0' && c <= '9') {
            (dot ? fracDigits : intDigits)++;
            const unsigned digit = unsigned(c - '0');
            if (whole > (quint64(1) << 53) / 10) fits = false;
            else whole = whole * 10 + digit;
        } else if (c == '.' && !dot) dot = true;
        else return std::nullopt;
        if constexpr (!Bytes) buf[len++] = char(c);
    }
    if (intDigits == 0 || (dot && fracDigits == 0)) return std::nullopt;
    if (dot && fracDigits == 3 && intDigits <= 3) {
        const SystemSeparators& seps = systemSeparators();
        if (!seps.decimalIsDot && seps.groupIsDot) return std::nullopt;
    }
    double v = 0;
    if (const std::optional<double> exact = fits ? exactDecimal(whole, fracDigits) : std::nullopt) {
        v = *exact;
    } else {
        const char* begin = buf;
        if constexpr (Bytes) {
            begin = t + digitsFrom;
            len = n - digitsFrom;
        }
        const auto r = std::from_chars(begin, begin + len, v);
        if (r.ec != std::errc() || r.ptr != begin + len) return std::nullopt;
    }
    return negative ? -v : v;
}

std::optional<double> plainDecimal(const QString& t) { return plainDecimal(t.utf16(), int(t.size())); }

}  // namespace

std::optional<double> tryLocaleValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    if (auto v = plainDecimal(t)) return v;
    bool ok = false;
    double v = QLocale::system().toDouble(t, &ok);
    if (ok) return v;
    v = QLocale::c().toDouble(t, &ok);
    if (ok) return v;
    return std::nullopt;
}

std::optional<double> tryPlainDecimal(std::string_view ascii) { return plainDecimal(ascii.data(), int(ascii.size())); }

double localeValue(const QString& text)
{
    if (auto v = tryLocaleValue(text)) return *v;
    throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
}

namespace {

enum class Tie { Even, AwayFromZero };

// Rounds at the given number of decimals on the shortest decimal text of the value, so
// the rounding sees the decimal number the user typed (2.675) rather than its binary
// neighbour (2.67499999...).
double roundDecimal(double value, int decimals, Tie tie)
{
    if (!std::isfinite(value)) return value;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString s = QString::fromLatin1(buf);
    if (s.contains('e') || s.contains('E')) {
        const double scale = std::pow(10.0, decimals);
        const double scaled = value * scale;
        // FE_TONEAREST is half to even; std::round is half away from zero.
        return (tie == Tie::Even ? std::nearbyint(scaled) : std::round(scaled)) / scale;
    }
    bool neg = s.startsWith('-');
    if (neg) s.remove(0, 1);
    QString intPart = s.section('.', 0, 0);
    QString frac = s.contains('.') ? s.section('.', 1) : QString();
    if (frac.size() <= decimals) return value;
    QString keep = intPart + frac.left(decimals);  // digits kept, no dot
    const QString rest = frac.mid(decimals);
    bool roundUp = false;
    if (rest[0] > '5') roundUp = true;
    else if (rest[0] == '5') {
        bool beyond = false;
        for (int i = 1; i < rest.size(); ++i)
            if (rest[i] != '0') beyond = true;
        if (beyond || tie == Tie::AwayFromZero) roundUp = true;
        else roundUp = (keep.back().digitValue() % 2) == 1;
    }
    if (roundUp) {
        int i = keep.size() - 1;
        while (i >= 0) {
            if (keep[i] == '9') {
                keep[i] = '0';
                --i;
            } else {
                keep[i] = QChar(keep[i].unicode() + 1);
                break;
            }
        }
        if (i < 0) keep.prepend('1');
    }
    QString out = decimals > 0 ? keep.left(keep.size() - decimals) + '.' + keep.right(decimals) : keep;
    double r = out.toDouble();
    return neg ? -r : r;
}

}  // namespace

double roundHalfEven(double value, int decimals) { return roundDecimal(value, decimals, Tie::Even); }

double roundHalfAway(double value, int decimals) { return roundDecimal(value, decimals, Tie::AwayFromZero); }

QString format(double value, const QString& pattern)
{
    const int dot = pattern.indexOf('.');
    int required = 0, optional = 0;
    if (dot >= 0) {
        for (int i = dot + 1; i < pattern.size(); ++i) {
            if (pattern[i] == '0') ++required;
            else if (pattern[i] == '#') ++optional;
        }
    }
    const int decimals = required + optional;
    const double r = roundHalfAway(value, decimals);
    QString s = QString::number(r, 'f', decimals);
    if (optional > 0) {
        int keep = s.size() - optional;  // index past the last required decimal
        int end = s.size();
        while (end > keep && s[end - 1] == '0') --end;
        s.truncate(end);
    }
    if (s.endsWith('.')) s.chop(1);
    // A value that rounds to zero shows without a sign ("-0.00" -> "0.00").
    if (s.startsWith('-') && QString(s).remove('-').remove('.').remove('0').isEmpty()) s.remove(0, 1);
    return s;
}

QString formatText(const QString& text, const QString& pattern)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return QString();
    auto v = tryLocaleValue(t);
    if (!v) return t;
    return format(*v, pattern);
}

QString plain(double value)
{
    if (value == 0) return QStringLiteral("0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace Numbers
