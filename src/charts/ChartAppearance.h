#pragma once
class ChartControl;
class QIcon;

// The fixed look of the chart controls, set once when the window is built.
namespace ChartAppearance {
// Load v Time and Disp v Time: 11 series (temperature and ten gauges) against date-times.
void setUpTimeChart(ChartControl& chart, const char* leftTitle);
// The three length charts: 16 series (temperature and fifteen readings) against distance.
void setUpLengthChart(ChartControl& chart, const char* leftTitle);
// The picture of the print buttons.
QIcon printerIcon();
}
