#include "charts/SeriesSampler.h"

#include <algorithm>
#include <cmath>

namespace SeriesSampler {

std::vector<qsizetype> sample(const std::vector<double>& keys, const std::vector<double>& values, double lower,
                              double upper, int columns)
{
    std::vector<qsizetype> out;
    const qsizetype n = qsizetype(std::min(keys.size(), values.size()));
    if (n == 0) return out;
    if (!(upper >= lower)) std::swap(lower, upper);
    columns = std::max(columns, 1);
    // The points within the range, and one beyond each edge.
    qsizetype from = std::lower_bound(keys.begin(), keys.begin() + n, lower) - keys.begin();
    qsizetype to = std::upper_bound(keys.begin(), keys.begin() + n, upper) - keys.begin();
    if (from > 0) --from;
    if (to < n) ++to;
    if (to - from <= qsizetype(4) * columns || !(upper > lower)) {
        out.reserve(size_t(to - from));
        for (qsizetype i = from; i < to; ++i) out.push_back(i);
        return out;
    }
    out.reserve(size_t(PointsPerColumn) * size_t(columns) + 2);
    out.push_back(from);
    const double perColumn = double(columns) / (upper - lower);
    int column = -1;
    qsizetype first = -1, last = -1, low = -1, high = -1, gap = -1;
    auto flush = [&] {
        if (first < 0) return;
        qsizetype picked[5] = {first, low, high, gap, last};
        std::sort(std::begin(picked), std::end(picked));
        qsizetype previous = out.back();
        for (qsizetype i : picked)
            if (i >= 0 && i != previous) {
                out.push_back(i);
                previous = i;
            }
    };
    for (qsizetype i = from + 1; i < to - 1; ++i) {
        const int c = std::clamp(int((keys[size_t(i)] - lower) * perColumn), 0, columns - 1);
        if (c != column) {
            flush();
            column = c;
            first = i;
            low = high = gap = -1;
        }
        last = i;
        const double v = values[size_t(i)];
        if (std::isnan(v)) {
            if (gap < 0) gap = i;
            continue;
        }
        if (low < 0 || v < values[size_t(low)]) low = i;
        if (high < 0 || v > values[size_t(high)]) high = i;
    }
    flush();
    if (to - 1 > out.back()) out.push_back(to - 1);
    return out;
}

}  // namespace SeriesSampler
