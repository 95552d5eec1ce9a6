#pragma once
#include <QImage>
#include <QObject>
#include <QSize>
#include <array>

class frmTarnwell;
struct Shared;
class QWidget;

// The five chart tabs and the tab-change handler of SSTab1.
class ChartsController : public QObject {
    Q_OBJECT
public:
    explicit ChartsController(frmTarnwell& win);
    // The page of a chart tab (3 to 7).
    QWidget* page(int tab) const { return m_pages.at(size_t(tab - 3)); }

    // The tab change: saves what the tab being left holds, then prepares the tab entered.
    void SSTab1_Click(int previousTab);

    // For the report: opens the chart tab's selection, runs its calculation and draws it,
    // without switching tabs. False (nothing drawn) when it has fewer than two readings.
    bool prepareChart(int tab);
    // The chart of a tab as a picture of the given size (as last drawn).
    QImage renderChart(int tab, const QSize& size);

private:
    frmTarnwell& m_win;
    Shared& m_s;
    std::array<QWidget*, 5> m_pages{};
};
