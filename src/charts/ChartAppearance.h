#pragma once
class ChartControl;
class QIcon;
namespace ChartRules {
struct TimeAxisPlan;
}

// The fixed look of the chart controls, set once when the window is built.
namespace ChartAppearance {
// Load v Time and Disp v Time: 11 series (temperature and ten gauges) against date-times.
void setUpTimeChart(ChartControl& chart, const char* leftTitle);
// The three length charts: 16 series (temperature and fifteen readings) against distance.
void setUpLengthChart(ChartControl& chart, const char* leftTitle);
// The time axis's label steps, label format and title as the plan for its span says.
void applyTimeAxisPlan(ChartControl& chart, const ChartRules::TimeAxisPlan& plan);
// The picture of the print buttons.
QIcon printerIcon();
}  // namespace ChartAppearance
