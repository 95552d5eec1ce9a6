#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include <array>
#include <memory>

class frmTarnwell;
struct Shared;
class QWidget;
class QLabel;
class QPrinter;
class ChartControl;
class ChartDrawings;

// The five chart tabs and the tab-change handler of SSTab1.
class ChartsController : public QObject {
    Q_OBJECT
public:
    explicit ChartsController(frmTarnwell& win);
    ~ChartsController() override;
    // The page of a chart tab (3 to 7).
    QWidget* page(int tab) const { return m_pages.at(size_t(tab - 3)); }
    // The chart control of a chart tab (3 to 7).
    ChartControl* chart(int tab) const { return m_charts.at(size_t(tab - 3)); }
    ChartDrawings& drawings() { return *m_drawings; }

    QLabel* lblW15 = nullptr;

    // The tab change: saves what the tab being left holds, then prepares the tab entered.
    void SSTab1_Click(int previousTab);

    // For the report: opens the chart tab's selection, runs its calculation and draws it,
    // without switching tabs. False (nothing drawn) when it has fewer than two readings.
    bool prepareChart(int tab);
    // The chart of a tab as a picture of the given size (as last drawn).
    QImage renderChart(int tab, const QSize& size);

    // The chart commands.
    void exportChart(int tab);             // "Export as JPG", then opens the picture
    void printChart(int tab);              // print dialog, then the chart within its margins
    bool printChartOn(int tab, QPrinter& printer);
    void ShowGraphingTips();
    // Name of a chart tab's picture file in the data folder.
    static QString exportFileName(int tab);

private:
    void buildPage(int tab);
    void enterChartTab(int tab, int previousTab);
    void draw(int tab);

    frmTarnwell& m_win;
    Shared& m_s;
    std::array<QWidget*, 5> m_pages{};
    std::array<ChartControl*, 5> m_charts{};
    std::unique_ptr<ChartDrawings> m_drawings;
    bool m_returning = false;   // switching back to the tab that was left
    // Going back to a tab whose typed values could not be saved: no tab change work.
    bool m_keepingTab = false;
};
