#pragma once

// The value-axis rule the charts apply after their series are filled: the axis minimum
// from the smallest value shown, the maximum and the label step from the largest value
// shown, looked up in the chart's band table.
namespace Calc {

// T: the time charts (Load v Time, Disp v Time). L: the length charts (Load, Disp and
// Shear v Length).
enum class BandTable { T, L };

struct AxisScale {
    double minimum = 0;
    double maximum = 0;
    double increment = 0;
};

// minimum: smallestShown rounded half to even to 2 decimals when it is negative, else 0.
// maximum and increment: from the band of largestShown. Bands are closed below and open
// above ("1 to below 2"), except the last band of each table, which includes its upper
// edge (30 in T, 125 in L). Values outside every band (negative, above that edge, or
// not a number) take increment 10 and maximum largestShown rounded to a whole number,
// plus 5 in T. Every rounding is half to even on the decimal value.
AxisScale ScaleValueAxis(double smallestShown, double largestShown, BandTable table);

}  // namespace Calc
