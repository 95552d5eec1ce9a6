#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include "widgets/PageHost.h"
#include <array>
#include <memory>

struct Shared;
class QWidget;
class QLabel;
class QPrinter;
class ChartControl;
class ChartDrawings;
class BackgroundPasses;

// The five chart tabs: their pages, drawing a chart when its tab is entered, and the
// chart commands.
class ChartsController : public QObject {
    Q_OBJECT
public:
    explicit ChartsController(PageHost& win);
    ~ChartsController() override;
    // The page of a chart tab (3 to 7).
    QWidget* page(int tab) const { return m_pages.at(size_t(tab - 3)); }
    // The chart control of a chart tab (3 to 7).
    ChartControl* chart(int tab) const { return m_charts.at(size_t(tab - 3)); }
    ChartDrawings& drawings() { return *m_drawings; }

    QLabel* lblW15 = nullptr;

    static bool isChartTab(int tab);
    // Entering a chart tab (the tab change's chart side): opens the tab's selection, runs
    // its calculation and draws it; with fewer than two readings, or when the user cancels
    // the calculation, goes back to the tab that was left (saying why).
    void enterChartTab(int tab, int previousTab);

    // For the report: opens the chart tab's selection, runs its calculation and draws it,
    // without switching tabs. False (nothing drawn) when it has fewer than two readings.
    bool prepareChart(int tab);
    // The chart of a tab as a picture of the given size (as last drawn), as a report shows
    // it: no legend check boxes, the temperature on an axis of its own.
    QImage renderChart(int tab, const QSize& size);
    // The gauge lines of a time chart tab as last drawn (PageHost::timeChartLines).
    std::vector<PageHost::ChartLine> timeChartLines(int tab) const;

    // Closing: lets the passes still storing computed columns finish, with a progress
    // window; the user may stop them (their readings stay marked for the next pass).
    void finishBackgroundPasses();
    BackgroundPasses& backgroundPasses() { return *m_background; }

    // The chart commands.
    void exportChart(int tab);             // "Export as JPG", then opens the picture
    void printChart(int tab);              // print dialog, then the chart within its margins
    bool printChartOn(int tab, QPrinter& printer);
    void ShowGraphingTips();
    // Name of a chart tab's picture file in the data folder.
    static QString exportFileName(int tab);

private:
    void buildPage(int tab);
    void draw(int tab);
    // Runs the tab's pass before drawing, or (a large one of a time chart) has the chart
    // compute what it draws and queues the pass for after the drawing (deferred = true).
    // False when the user cancelled the pass.
    bool calculate(int tab, bool& deferred);

    PageHost& m_win;
    Shared& m_s;
    std::array<QWidget*, 5> m_pages{};
    std::array<ChartControl*, 5> m_charts{};
    std::unique_ptr<ChartDrawings> m_drawings;
    BackgroundPasses* m_background = nullptr;
    bool m_returning = false;   // switching back to the tab that was left
};
