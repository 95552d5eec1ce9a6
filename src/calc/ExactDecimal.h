#pragma once
#include <QtGlobal>
#include <optional>

namespace Numbers {

// The double nearest the decimal digits/10^decimals, when both are exact doubles (digits at
// most 2^53, decimals at most 22): one division rounds once, so the result is what a
// correctly rounding reader of the decimal's text gives, bit for bit. nullopt otherwise
// (the text is then read the general way).
inline std::optional<double> exactDecimal(quint64 digits, int decimals)
{
    static constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (digits > (quint64(1) << 53) || decimals < 0 || decimals > 22) return std::nullopt;
    return double(digits) / PowersOfTen[decimals];
}

}  // namespace Numbers
