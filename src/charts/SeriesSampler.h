#pragma once
#include <QtGlobal>
#include <vector>

// Which points of a long line to hand the plotting library so that it draws the same
// picture as with every point: per pixel column, the first, the lowest, the highest and
// the last point of the column (and its first gap, a NaN value, so that a gap stays a
// gap), plus the nearest point beyond each edge of the range shown, so that the line
// leaves the chart where it would. A range with few points is handed over whole. The
// line's full data stays with the caller, so zooming in samples it afresh.
namespace SeriesSampler {

// At most this many points per pixel column are ever handed over.
inline constexpr int PointsPerColumn = 5;

// Indices, ascending, of the points of (keys, values) to draw for the key range
// [lower, upper] on a chart `columns` pixels wide. keys are sorted ascending and hold no
// NaN; values may hold NaN (a gap). Returns every index of the range (and the two edge
// points) when it holds no more than 4 points per column.
std::vector<qsizetype> sample(const std::vector<double>& keys, const std::vector<double>& values, double lower,
                              double upper, int columns);

}  // namespace SeriesSampler
