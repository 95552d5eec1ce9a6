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

double finite(double value)
{
    if (!std::isfinite(value)) throw TwError(ErrNo::Overflow, QStringLiteral("Overflow"));
    return value;
}

}  // namespace

double offsetFromText(const QString& baselineText)
{
    if (blank(baselineText)) return std::numeric_limits<double>::quiet_NaN();
    return Numbers::localeValue(baselineText);
}

double zeroFromText(const QString& text, double offset)
{
    if (blank(text)) return 0.0;
    const double value = Numbers::localeValue(text);
    if (std::isnan(offset)) return 0.0;
    return value - offset;
}

double tempFromText(const QString& text)
{
    return Numbers::leadingValue(text);
}

int loadColumnCount(const QString& type, bool stacked)
{
    switch (kindOf(type, stacked)) {
    case Kind::Stacked75: return 3;
    case Kind::Stacked55: return 2;
    case Kind::Stacked35: return 1;
    case Kind::Staggered75: return 6;
    case Kind::None: break;
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

Columns loads(const QString& type, bool stacked, const ChannelValues& z, const QString& kText)
{
    Columns out;
    const Kind kind = kindOf(type, stacked);
    if (kind == Kind::None) return out;
    const double k = loadKFactor(kText, stacked);
    if (k == 0) throw TwError(ErrNo::DivisionByZero, QStringLiteral("Division by zero"));
    const double perK = 1.0 / k;
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
    case Kind::None: break;
    }
    for (int i = 1; i <= out.count; ++i) finite(out.v[size_t(i)]);
    return out;
}

Columns displacements(const QString& type, bool stacked, const Columns& loads, const QString& kText,
                      const QString& gaugeLengthText)
{
    Columns out;
    const Kind kind = kindOf(type, stacked);
    if (kind == Kind::None) return out;
    const double k = dispKFactor(kText);
    const int n = dispColumnCount(type, stacked);
    // Stacked: strains summed from the last position back; staggered: each strain over
    // half a gauge length.
    const double h = kind == Kind::Staggered75 ? Numbers::localeValue(gaugeLengthText) / 2.0 : 1.0;
    double running = 0;
    for (int i = n; i >= 1; --i) {
        const double term = kind == Kind::Staggered75 ? loads[i] * k * h : loads[i] * k;
        running = (i == n) ? term : running + term;
        out.v[size_t(i)] = finite(running);
    }
    out.count = n;
    return out;
}

Columns shears(const QString& type, bool stacked, const ChannelValues& z)
{
    Columns out;
    switch (kindOf(type, stacked)) {
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
    case Kind::None: break;
    }
    return out;
}

}  // namespace Calc
