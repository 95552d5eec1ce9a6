#include "calc/Numbers.h"
#include "store/TwError.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

namespace Numbers {

double leadingValue(const QString& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    QString digits;
    if (i < n && (text[i] == '+' || text[i] == '-')) digits += text[i++];
    bool seenDot = false, seenDigit = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) { digits += c; seenDigit = true; }
        else if (c == '.' && !seenDot) { digits += c; seenDot = true; }
        else break;
    }
    if (!seenDigit) return 0.0;
    return digits.toDouble();
}

std::optional<double> tryLocaleValue(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    double v = QLocale::system().toDouble(t, &ok);
    if (ok) return v;
    v = QLocale::c().toDouble(t, &ok);
    if (ok) return v;
    return std::nullopt;
}

double localeValue(const QString& text)
{
    if (auto v = tryLocaleValue(text)) return *v;
    throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
}

double roundHalfEven(double value, int decimals)
{
    if (!std::isfinite(value)) return value;
    // Work on the shortest decimal text of the value, so the rounding sees the decimal
    // number the user typed rather than its binary approximation.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    QString s = QString::fromLatin1(buf);
    if (s.contains('e') || s.contains('E')) {
        const double scale = std::pow(10.0, decimals);
        return std::nearbyint(value * scale) / scale;   // FE_TONEAREST is half-to-even
    }
    bool neg = s.startsWith('-');
    if (neg) s.remove(0, 1);
    QString intPart = s.section('.', 0, 0);
    QString frac = s.contains('.') ? s.section('.', 1) : QString();
    if (frac.size() <= decimals) return value;
    QString keep = intPart + frac.left(decimals);       // digits kept, no dot
    const QString rest = frac.mid(decimals);
    bool roundUp = false;
    if (rest[0] > '5') roundUp = true;
    else if (rest[0] == '5') {
        bool beyond = false;
        for (int i = 1; i < rest.size(); ++i) if (rest[i] != '0') beyond = true;
        if (beyond) roundUp = true;
        else roundUp = (keep.back().digitValue() % 2) == 1;
    }
    if (roundUp) {
        int i = keep.size() - 1;
        while (i >= 0) {
            if (keep[i] == '9') { keep[i] = '0'; --i; }
            else { keep[i] = QChar(keep[i].unicode() + 1); break; }
        }
        if (i < 0) keep.prepend('1');
    }
    QString out = decimals > 0 ? keep.left(keep.size() - decimals) + '.' + keep.right(decimals) : keep;
    double r = out.toDouble();
    return neg ? -r : r;
}

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
    const double r = roundHalfEven(value, decimals);
    QString s = QString::number(r, 'f', decimals);
    if (optional > 0) {
        int keep = s.size() - optional;   // index past the last required decimal
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
