#include "calc/AxisScale.h"
#include "calc/Numbers.h"

#include <cmath>

namespace Calc {

namespace {

// The bands both tables share, below 10.
bool lowBand(double x, AxisScale& out)
{
    if (x >= 0 && x < 0.1) {
        out.increment = 0.01;
        out.maximum = 0.1;
        return true;
    }
    if (x >= 0.1 && x < 1) {
        out.increment = 0.1;
        out.maximum = 1.0;
        return true;
    }
    if (x >= 1 && x < 2) {
        out.increment = 0.1;
        out.maximum = Numbers::roundHalfEven(x, 1) + 0.05;
        return true;
    }
    if (x >= 2 && x < 3) {
        out.increment = 0.1;
        out.maximum = Numbers::roundHalfEven(x, 1) + 0.1;
        return true;
    }
    if (x >= 3 && x < 10) {
        out.increment = 0.5;
        out.maximum = Numbers::roundHalfEven(x, 1) + 0.5;
        return true;
    }
    return false;
}

void timeBand(double x, AxisScale& out)
{
    if (lowBand(x, out)) return;
    if (x >= 10 && x < 16) {
        out.increment = 1;
        out.maximum = Numbers::roundHalfEven(x, 0) + 1;
        return;
    }
    if (x >= 16 && x <= 30) {
        out.increment = 2;
        out.maximum = Numbers::roundHalfEven(x, 0) + 2;
        return;
    }
    out.increment = 10;
    out.maximum = Numbers::roundHalfEven(x, 0) + 5;
}

void lengthBand(double x, AxisScale& out)
{
    if (lowBand(x, out)) return;
    struct Band {
        double from, below, increment, maximum;
    };
    static const Band bands[] = {
        {10, 15, 1, 15},  {15, 20, 2, 20},  {20, 30, 2, 30},  {30, 40, 5, 40},    {40, 50, 5, 50},     {50, 60, 5, 60},
        {60, 70, 10, 70}, {70, 80, 10, 80}, {80, 90, 10, 90}, {90, 100, 10, 100}, {100, 120, 10, 120},
    };
    for (const Band& b : bands) {
        if (x >= b.from && x < b.below) {
            out.increment = b.increment;
            out.maximum = b.maximum;
            return;
        }
    }
    if (x >= 120 && x <= 125) {
        out.increment = 10;
        out.maximum = 130;
        return;
    }
    out.increment = 10;
    out.maximum = Numbers::roundHalfEven(x, 0);
}

}  // namespace

AxisScale ScaleValueAxis(double smallestShown, double largestShown, BandTable table)
{
    AxisScale out;
    out.minimum = smallestShown < 0 ? Numbers::roundHalfEven(smallestShown, 2) : 0.0;
    if (table == BandTable::T) timeBand(largestShown, out);
    else lengthBand(largestShown, out);
    return out;
}

}  // namespace Calc
