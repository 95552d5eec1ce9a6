// Entering "4. Load v Time" for a sensor with 100,000 readings (load pass and drawing),
// the drawing alone, and redraws after zooming in and back out. Run offscreen.
#include "support/BenchSupport.h"
#include "app/frmTarnwell.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartsController.h"
#include "charts/GraphColumns.h"
#include "core/Paths.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::Home home;
    const int count = 100000;
    {
        Database db(QStringLiteral("bench-fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, QStringLiteral("200175001"), count, false);
    }
    frmTarnwell w;
    w.show();
    Shared& s = w.shared();
    s.rsConfig->moveFirst();
    s.rsConfig->find(QStringLiteral("SensorType = '75'"));
    std::printf("readings: %d, all marked for the time charts, staggered 6 gauges\n", count);

    QElapsedTimer t;
    t.start();
    w.SSTab1->setCurrentIndex(frmTarnwell::TabLoadVTime);
    QApplication::processEvents();
    Bench::report(QStringLiteral("enter Load v Time (pass + drawing)"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"),
                  QStringLiteral("<= 1500 ms"));

    ChartControl* chart = w.charts()->chart(frmTarnwell::TabLoadVTime);
    t.restart();
    {
        ChartCalc::openGraphData(w, ChartCalc::Selection::Temporal);
        QStringList names{QStringLiteral("NumTemp")};
        for (int k = 1; k <= 10; ++k) names << QStringLiteral("Load%1").arg(k);
        GraphColumns cols(*s.rsGraph, names, QStringLiteral("fulldate"));
        Bench::report(QStringLiteral("reading the drawn columns"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"));
    }
    t.restart();
    chart->refresh();
    Bench::report(QStringLiteral("one redraw of the whole chart"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"));
    t.restart();
    ChartCalc::openGraphData(w, ChartCalc::Selection::Temporal);
    Bench::report(QStringLiteral("opening the selection"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"));
    t.restart();
    ChartCalc::runPass(w, frmTarnwell::TabLoadVTime);
    Bench::report(QStringLiteral("load pass alone (GetTemporalData)"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"));
    t.restart();
    w.charts()->drawings().DrawTgraph();
    Bench::report(QStringLiteral("DrawTgraph alone"), double(t.nsecsElapsed()) / 1e6, QStringLiteral("ms"));

    const QRect area = chart->plotArea();
    std::printf("chart size: %dx%d, points drawn: %d per series\n", chart->width(), chart->height(), chart->pointCount(1));
    const QPoint a(area.left() + area.width() / 3, area.top() + 10);
    const QPoint b(area.left() + area.width() / 2, area.bottom() - 10);
    double worstIn = 0, worstOut = 0, sumIn = 0, sumOut = 0;
    const int rounds = 10;
    for (int i = 0; i < rounds; ++i) {
        t.restart();
        chart->dragZoom(a, b);
        const double zin = double(t.nsecsElapsed()) / 1e6;
        t.restart();
        chart->dragZoom(b, a);
        const double zout = double(t.nsecsElapsed()) / 1e6;
        worstIn = std::max(worstIn, zin);
        worstOut = std::max(worstOut, zout);
        sumIn += zin;
        sumOut += zout;
    }
    Bench::report(QStringLiteral("redraw after zooming in (mean of 10)"), sumIn / rounds, QStringLiteral("ms"), QStringLiteral("<= 50 ms"));
    Bench::report(QStringLiteral("redraw after zooming in (worst)"), worstIn, QStringLiteral("ms"));
    Bench::report(QStringLiteral("redraw after zooming back out (mean of 10)"), sumOut / rounds, QStringLiteral("ms"), QStringLiteral("<= 50 ms"));
    Bench::report(QStringLiteral("redraw after zooming back out (worst)"), worstOut, QStringLiteral("ms"));
    Bench::report(QStringLiteral("resident memory"), Bench::residentMB(), QStringLiteral("MB"));
    return 0;
}
