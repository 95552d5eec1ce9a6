#include "calc/Formulas.h"
#include "calc/Numbers.h"
#include "core/TwError.h"

#include <cmath>
#include <limits>

namespace Calc {

namespace {

bool blank(const QString& text) { return text.trimmed().isEmpty(); }

enum class Kind { None, Stacked75, Stacked55, Stacked35, Staggered75 };

Kind kindOf(const QString& type, bool stacked)
{
    if (type == QLatin1String("75")) return stacked ? Kind::Stacked75 : Kind::Staggered75;
    if (!stacked) return Kind::None;
    if (type == QLatin1String("55")) return Kind::Stacked55;
    if (type == QLatin1String("35")) return Kind::Stacked35;
    return Kind::None;
}

constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

// A result too large to hold is an overflow; a missing input's NaN passes through.
double finite(double value)
{
    if (std::isinf(value)) throw TwError(ErrNo::Overflow, QStringLiteral("Overflow"));
    return value;
}

// The zero of a channel the reading has no value in: none, unless the baseline has none
// either (a channel the sensor does not use stays 0).
double missingZero(double offset) { return std::isnan(offset) ? 0.0 : NoValue; }

}  // namespace

double offsetFromText(const QString& baselineText)
{
    if (blank(baselineText)) return std::numeric_limits<double>::quiet_NaN();
    return Numbers::localeValue(baselineText);
}

double zeroFromText(const QString& text, double offset)
{
    if (blank(text)) return missingZero(offset);
    const double value = Numbers::localeValue(text);
    if (std::isnan(offset)) return 0.0;
    return value - offset;
}

double tempFromText(const QString& text)
{
    if (blank(text)) return NoValue;
    return Numbers::leadingValue(text);
}

double noValueZero(double offset) { return missingZero(offset); }

namespace {
bool asciiBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

// (A text with other than ASCII digits, a sign and a dot between its blanks is no plain
// decimal: it takes the general road, which also knows the other blanks.)
double zeroFromUtf8(QByteArrayView text, double offset)
{
    qsizetype b = 0, e = text.size();
    while (b < e && asciiBlank(text[b])) ++b;
    while (e > b && asciiBlank(text[e - 1])) --e;
    if (b == e) return missingZero(offset);
    if (const auto v = Numbers::tryPlainDecimal(std::string_view(text.data() + b, size_t(e - b)))) {
        if (std::isnan(offset)) return 0.0;
        return *v - offset;
    }
    return zeroFromText(QString::fromUtf8(text.data(), text.size()), offset);
}

double tempFromUtf8(QByteArrayView text)
{
    if (text.isEmpty()) return NoValue;
    // Short plain texts ("21.5") are the rule; everything else takes the general road.
    if (text.size() < 32 && !asciiBlank(text[0])) {
        if (const auto v = Numbers::tryPlainDecimal(std::string_view(text.data(), size_t(text.size())))) {
            // The leading-number conversion of a whole plain decimal is that decimal; a
            // leading "+" is the one shape where the two readings could differ in sign text.
            if (text[0] != '+') return *v;
        }
    }
    return tempFromText(QString::fromUtf8(text.data(), text.size()));
}

int loadColumnCount(const QString& type, bool stacked)
{
    switch (kindOf(type, stacked)) {
        case Kind::Stacked75:
            return 3;
        case Kind::Stacked55:
            return 2;
        case Kind::Stacked35:
            return 1;
        case Kind::Staggered75:
            return 6;
        case Kind::None:
            break;
    }
    return 0;
}

int dispColumnCount(const QString& type, bool stacked) { return loadColumnCount(type, stacked); }

int shearColumnCount(const QString& type, bool stacked)
{
    return kindOf(type, stacked) == Kind::Staggered75 ? 4 : loadColumnCount(type, stacked);
}

double loadKFactor(const QString& kText, bool stacked)
{
    return stacked ? Numbers::localeValue(kText) : Numbers::leadingValue(kText);
}

double dispKFactor(const QString& kText) { return Numbers::leadingValue(kText); }

namespace {
Columns loadsWith(Kind kind, const ChannelValues& z, double perK);
Columns dispsWith(Kind kind, int n, const Columns& loads, double k, double h);
Columns shearsWith(Kind kind, const ChannelValues& z);
}  // namespace

Columns loads(const QString& type, bool stacked, const ChannelValues& z, const QString& kText)
{
    const Kind kind = kindOf(type, stacked);
    if (kind == Kind::None) return Columns();
    const double k = loadKFactor(kText, stacked);
    if (k == 0) throw TwError(ErrNo::DivisionByZero, QStringLiteral("Division by zero"));
    return loadsWith(kind, z, 1.0 / k);
}

namespace {
Columns loadsWith(Kind kind, const ChannelValues& z, double perK)
{
    Columns out;
    switch (kind) {
        case Kind::Stacked75:
            out.v[1] = ((z[1] + z[4]) / 2) * perK;
            out.v[2] = ((z[2] + z[5]) / 2) * perK;
            out.v[3] = ((z[3] + z[6]) / 2) * perK;
            out.count = 3;
            break;
        case Kind::Stacked55:
            out.v[1] = ((z[1] + z[3]) / 2) * perK;
            out.v[2] = ((z[2] + z[4]) / 2) * perK;
            out.count = 2;
            break;
        case Kind::Stacked35:
            out.v[1] = ((z[1] + z[2]) / 2) * perK;
            out.count = 1;
            break;
        case Kind::Staggered75:
            // Along the bolt the gauges lie 1, 4, 2, 5, 3, 6. The first position has one
            // neighbour and divides by 3; the last one keeps the divisor 4.
            out.v[1] = ((2 * z[1] + z[4]) / 3) * perK;
            out.v[2] = ((z[1] + 2 * z[4] + z[2]) / 4) * perK;
            out.v[3] = ((z[4] + 2 * z[2] + z[5]) / 4) * perK;
            out.v[4] = ((z[2] + 2 * z[5] + z[3]) / 4) * perK;
            out.v[5] = ((z[5] + 2 * z[3] + z[6]) / 4) * perK;
            out.v[6] = ((z[3] + 2 * z[6]) / 4) * perK;
            out.count = 6;
            break;
        case Kind::None:
            break;
    }
    for (int i = 1; i <= out.count; ++i) finite(out.v[size_t(i)]);
    return out;
}
}  // namespace

Columns displacements(const QString& type, bool stacked, const Columns& loads, const QString& kText,
                      const QString& gaugeLengthText)
{
    const Kind kind = kindOf(type, stacked);
    if (kind == Kind::None) return Columns();
    const double k = dispKFactor(kText);
    const int n = dispColumnCount(type, stacked);
    // Stacked: strains summed from the last position back; staggered: each strain over
    // half a gauge length.
    const double h = kind == Kind::Staggered75 ? Numbers::localeValue(gaugeLengthText) / 2.0 : 1.0;
    return dispsWith(kind, n, loads, k, h);
}

namespace {
Columns dispsWith(Kind kind, int n, const Columns& loads, double k, double h)
{
    Columns out;
    double running = 0;
    for (int i = n; i >= 1; --i) {
        const double term = kind == Kind::Staggered75 ? loads[i] * k * h : loads[i] * k;
        running = (i == n) ? term : running + term;
        out.v[size_t(i)] = finite(running);
    }
    out.count = n;
    return out;
}
}  // namespace

Columns shears(const QString& type, bool stacked, const ChannelValues& z)
{
    return shearsWith(kindOf(type, stacked), z);
}

namespace {
Columns shearsWith(Kind kind, const ChannelValues& z)
{
    Columns out;
    switch (kind) {
        case Kind::Stacked75:
            out.v[1] = (z[1] - z[4]) / 2;
            out.v[2] = (z[2] - z[5]) / 2;
            out.v[3] = (z[3] - z[6]) / 2;
            out.count = 3;
            break;
        case Kind::Stacked55:
            out.v[1] = (z[1] - z[3]) / 2;
            out.v[2] = (z[2] - z[4]) / 2;
            out.count = 2;
            break;
        case Kind::Stacked35:
            out.v[1] = (z[1] - z[2]) / 2;
            out.count = 1;
            break;
        case Kind::Staggered75:
            // The inner positions of the sequence 1, 4, 2, 5, 3, 6: gauges 4, 2, 5 and 3.
            out.v[1] = (2 * z[4] - z[1] - z[2]) / 4;
            out.v[2] = (z[4] + z[5] - 2 * z[2]) / 4;
            out.v[3] = (2 * z[5] - z[2] - z[3]) / 4;
            out.v[4] = (z[5] + z[6] - 2 * z[3]) / 4;
            out.count = 4;
            break;
        case Kind::None:
            break;
    }
    return out;
}
}  // namespace

PassFormulas::PassFormulas(const QString& type, bool stacked, const QString& kText, const QString& gaugeLengthText)
    : m_type(type),
      m_stacked(stacked)
{
    const Kind kind = kindOf(type, stacked);
    m_kind = int(kind);
    m_loadCount = loadColumnCount(type, stacked);
    m_shearCount = shearColumnCount(type, stacked);
    if (kind == Kind::None) return;
    try {
        const double k = loadKFactor(kText, stacked);
        if (k == 0) throw TwError(ErrNo::DivisionByZero, QStringLiteral("Division by zero"));
        m_perK = 1.0 / k;
    } catch (const TwError& e) {
        m_loadError = e.number;
        m_loadErrorText = e.description;
    }
    m_dispK = dispKFactor(kText);
    if (kind == Kind::Staggered75) {
        try {
            m_half = Numbers::localeValue(gaugeLengthText) / 2.0;
        } catch (const TwError& e) {
            m_dispError = e.number;
            m_dispErrorText = e.description;
        }
    } else {
        m_half = 1.0;
    }
}

Columns PassFormulas::loads(const ChannelValues& z) const
{
    const Kind kind = Kind(m_kind);
    if (kind == Kind::None) return Columns();
    if (m_loadError) throw TwError(*m_loadError, m_loadErrorText);
    return loadsWith(kind, z, *m_perK);
}

Columns PassFormulas::displacements(const Columns& loads) const
{
    const Kind kind = Kind(m_kind);
    if (kind == Kind::None) return Columns();
    if (m_dispError) throw TwError(*m_dispError, m_dispErrorText);
    return dispsWith(kind, m_loadCount, loads, m_dispK, *m_half);
}

Columns PassFormulas::shears(const ChannelValues& z) const { return shearsWith(Kind(m_kind), z); }

}  // namespace Calc
