#pragma once
#include <QImage>
#include <QObject>
#include <QDate>
#include <QSize>
#include "charts/ChartCalc.h"
#include "charts/ChartRules.h"
#include "widgets/PageHost.h"
#include <array>
#include <memory>
#include <vector>

struct Shared;
class QWidget;
class QLabel;
class QComboBox;
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

    // For the report: opens the chart tab's selection, runs its calculation and draws it
    // on the report's own chart of that tab, which is never shown, so nothing done on
    // screen (a click's read-out, a line hidden through the legend, a zoom) reaches it; the
    // tabs are not switched. False (nothing drawn) when it has fewer than two readings.
    bool prepareChart(int tab);
    // Narrows the report's time chart to the days from `from` to `to` (both whole): the
    // points outside are left out and the axes are fitted to the period. False when fewer
    // than two readings lie in it. A length chart is left as drawn.
    bool narrowToPeriod(int tab, const QDate& from, const QDate& to);
    // The report's chart of a tab as a picture of the given size, as last prepared: no
    // legend check boxes, the temperature on an axis of its own.
    QImage renderChart(int tab, const QSize& size);
    // The gauge lines of the report's time chart as last prepared (PageHost::timeChartLines).
    std::vector<PageHost::ChartLine> timeChartLines(int tab) const;
    // The drawings on the report's charts.
    ChartDrawings& reportDrawings();
    ChartControl* reportChart(int tab);

    // Closing: lets the passes still storing computed columns finish, with a progress
    // window; the user may stop them (their readings stay marked for the next pass).
    void finishBackgroundPasses();
    // Stops them at once, the running one rolled back (the readings keep their marks).
    void stopBackgroundPasses();
    BackgroundPasses& backgroundPasses() { return *m_background; }

    // The chart commands.
    void exportChart(int tab);  // "Export as JPG", then says where it went
    void printChart(int tab);   // print dialog, then the chart within its margins
    bool printChartOn(int tab, QPrinter& printer);
    void ShowGraphingTips();
    // The chart's name in picture file names and report captions ("Load v Time").
    static QString chartName(int tab);
    // Where the chart of a tab is exported now: a file in the data folder named by the
    // sensor, the chart and the time, not taken by an earlier export.
    QString exportPath(int tab) const;

private:
    void buildPage(int tab);
    void draw(int tab);
    // The length charts' choice of readings: the boxes of the three length tabs show it.
    void chooseProfiles(int tab, ChartRules::ProfileChoice choice);
    void showProfileChoice(ChartRules::ProfileChoice choice);
    // The selection counted, and the tab whose pass runs, before a chart tab is drawn.
    ChartCalc::Selection selectionOf(int tab) const;
    int passTabOf(int tab) const;
    void drawForReport(int tab);
    // Runs the tab's pass before drawing, or (a large one of a time chart) has the chart
    // compute what it draws and queues the pass for after the drawing (deferred = true).
    // False when the user cancelled the pass.
    bool calculate(int tab, bool& deferred);

    PageHost& m_win;
    Shared& m_s;
    std::array<QWidget*, 5> m_pages{};
    std::array<ChartControl*, 5> m_charts{};
    std::unique_ptr<ChartDrawings> m_drawings;
    std::vector<QComboBox*> m_profileBoxes;
    // The report's charts, made when the first report needs them.
    std::array<std::unique_ptr<ChartControl>, 5> m_reportCharts;
    std::unique_ptr<QLabel> m_reportW15;
    std::unique_ptr<ChartDrawings> m_reportDrawings;
    BackgroundPasses* m_background = nullptr;
    bool m_returning = false;  // switching back to the tab that was left
};
