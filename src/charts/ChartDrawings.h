#pragma once
#include "charts/ChartRules.h"

#include <QString>
#include <array>

class PageHost;
struct Shared;
class ChartControl;
class QLabel;

// The five chart drawings. Each reads the current sensor, its Configuration row, the
// gauge position boxes of the sensor pages and the stored Load, Disp or Stretch columns
// of the graph data, and draws one chart control.
class ChartDrawings {
public:
    struct Charts {
        ChartControl* T = nullptr;     // Load v Time
        ChartControl* T2 = nullptr;    // Disp v Time
        ChartControl* S = nullptr;     // Load v Length
        ChartControl* DvL = nullptr;   // Disp v Length
        ChartControl* SvL = nullptr;   // Shear v Length
        QLabel* lblW15 = nullptr;
    };
    ChartDrawings(PageHost& win, const Charts& charts);

    void DrawTgraph();
    void DrawRgraph();
    void DrawSgraph();
    void DrawDvLgraph();
    void DrawSvLgraph();

    // The legend titles last written by a time chart (entries 1 upward: gauge series).
    const std::array<QString, 12>& seriesTitles() const { return m_titles; }

private:
    void drawTime(ChartControl& chart, bool displacement);
    void drawLength(ChartControl& chart, ChartRules::Profile profile);
    // Level lines and event marks of the time charts; low and high take the lines' extent.
    void drawAlarms(ChartControl& chart, bool displacement, int shownSeries, double& low, double& high);
    // Text of a box of the sensor pages, by its control name ("txtRelSGanchor(3)").
    QString boxText(const QString& name) const;
    double boxNumber(const QString& name) const;
    int configInt(const char* field) const;
    QString chartTitle() const;
    static void applyScale(ChartControl& chart, double smallest, double largest, int band);

    PageHost& m_win;
    Shared& m_s;
    Charts m_charts;
    std::array<QString, 12> m_titles{};
};
