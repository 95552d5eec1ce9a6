// The chart tabs of the whole window (offscreen) on a sensor with 10,000 / 100,000 /
// 1,000,000 readings a minute apart (staggered type 75, all marked for the time charts,
// every hundredth for the length charts): entering each chart tab the first time (full
// pass, reading, drawing), again with nothing changed, after one reading was added, and
// (the time charts) after another program added one;
// reading the drawn columns beside bare SQLite reading the same columns; redraws after
// zooming; and the process's peak memory.
//
//   QT_QPA_PLATFORM=offscreen build/bench/charts/bench_charts [--sizes ...] [--runs 3]
#include "support/BarePass.h"
#include "support/BenchSupport.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartsController.h"
#include "charts/GraphColumns.h"
#include "core/Paths.h"
#include "data/GraphData.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/ReadingMarks.h"
#include "support/BySize.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString Id = QStringLiteral("200175001");

// Reads the date (touched, as a date would be parsed) and seven number columns of the
// sensor's readings of a chart's selection (its condition) with SQLite's own interface
// into arrays.
qint64 bareReadColumns(Database& db, const char* columns, const char* condition = "Plottemporal = True")
{
    sqlite3* h = db.sqliteHandle();
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QStringLiteral("SELECT rowid, FullDate, %1 FROM `%2` WHERE %3 ORDER BY FullDate, rowid")
                               .arg(QLatin1String(columns), Id, QLatin1String(condition))
                               .toUtf8();
    sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr);
    std::vector<qint64> ids;
    std::vector<double> cols[8];
    while (sqlite3_step(st) == SQLITE_ROW) {
        ids.push_back(sqlite3_column_int64(st, 0));
        const char* d = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        cols[0].push_back(d ? double(d[0]) : 0);
        for (int c = 2; c <= 8; ++c) cols[c - 1].push_back(sqlite3_column_double(st, c));
    }
    sqlite3_finalize(st);
    return qint64(ids.size());
}

// The columns of the Load v Time chart as stored.
qint64 bareRead(Database& db) { return bareReadColumns(db, "NumTemp, Load1, Load2, Load3, Load4, Load5, Load6"); }

// What a first visit of a chart cannot do without: reading the columns it computes from
// (the channels, the temperature, the date) of its selection, the time charts' or (length)
// the readings marked for the length charts.
qint64 bareReadRaw(Database& db, bool length)
{
    return bareReadColumns(db, "Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, ChannelT",
                           length ? "PlotSpatial = True" : "Plottemporal = True");
}

// The program's peak memory, leaving out the benchmark's own floor reads (their arrays
// would otherwise count as the program's): the kernel's peak is taken before a floor read
// and started again after it.
double g_programPeak = 0;

double programPeakMB() { return std::max(g_programPeak, Bench::peakMB()); }

template <typename Fn>
double floorRead(Fn&& fn)
{
    g_programPeak = programPeakMB();
    const double ms = fn();
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");  // starts the peak again
    return ms;
}

void runSize(const Bench::SizeRun& run)
{
    g_programPeak = 0;
    Bench::Home home;
    {
        Database db(QStringLiteral("bench-fill"));
        db.open(Paths::databasePath());
        Bench::fillMinutes(db, Id, run.size, false);
    }
    MainWindow w;
    w.resize(1600, 900);
    w.show();
    QApplication::processEvents();
    Shared& s = w.shared();
    s.rsConfig->moveFirst();
    s.rsConfig->find(QStringLiteral("SensorType = '75'"));

    auto leave = [&] {
        w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
        QApplication::processEvents();
    };
    auto enter = [&](int tab) {
        w.tabWidget->setCurrentIndex(tab);
        QApplication::processEvents();
    };
    int added = 0;
    // Another program (tarnwell-import, another copy of the program) on the same file.
    Database other(QStringLiteral("bench-other"));
    other.open(Paths::databasePath());
    auto addReading = [&](Database& by) {
        // As the Readings page writes a new reading: dated now, marked as changed.
        const QDateTime when = QDateTime(QDate(2030, 1, 1), QTime(0, 0)).addSecs(++added);
        by.execute(
            QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, ReadingDate, ReadingTime, Channel1, "
                           "Channel2, Channel3, Channel4, Channel5, Channel6, ChannelT, Plottemporal, PlotSpatial, "
                           "DoNotPlot, IsDirty) VALUES (?,?,?,?,'101.00','202.00','303.00','404.00','505.00',"
                           "'606.00','15.0',1,0,0,%2)")
                .arg(Id)
                .arg(ReadingMarks::Changed),
            {Id + ' ' + when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
             when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), when.toString(QStringLiteral("yyyy/MM/dd")),
             when.toString(QStringLiteral("HH:mm:ss"))});
    };

    struct Tab {
        int index;
        const char* name;
    };
    const Tab tabs[] = {{MainWindow::TabLoadVTime, "4. Load v Time"},
                        {MainWindow::TabDispVTime, "5. Disp v Time"},
                        {MainWindow::TabLoadVLength, "6. Load v Length"},
                        {MainWindow::TabDispVLength, "7. Disp v Length"},
                        {MainWindow::TabShearVLength, "8. Shear v Length"}};
    for (const Tab& t : tabs) {
        const bool time = t.index == MainWindow::TabLoadVTime || t.index == MainWindow::TabDispVTime;
        const QString name = QStringLiteral("enter \"%1\"").arg(QLatin1String(t.name));
        const QString first = name + QStringLiteral(", first visit (all to compute: reading, computing, drawing)");
        // A length chart whose pass is small runs it before it draws: that pass's own floor
        // (its reads and writes alone; taken first, as the visit's full pass rewrites them).
        double passFloor = 0;
        if (t.index == MainWindow::TabDispVLength || t.index == MainWindow::TabShearVLength) {
            const Calc::SensorInputs in{Id, QStringLiteral("75"), false, QStringLiteral("100"), QStringLiteral("0.5"),
                                        {}};
            const Calc::PassExtra extra =
                t.index == MainWindow::TabDispVLength ? Calc::PassExtra::Disp : Calc::PassExtra::Shear;
            passFloor = floorRead([&] {
                return Bench::fastest(run.runs,
                                      [&] { Bench::bareLoop(s.db, in, Calc::GraphSelection::Spatial, extra); });
            });
        }
        Bench::figure(first,
                      Bench::fastest(
                          run.runs, [&] { enter(t.index); },
                          [&] {
                              leave();
                              // The pass stored after the last visit is let finish first;
                              // then nothing is kept: neither what the passes stored nor
                              // the columns the charts read.
                              w.charts()->finishBackgroundPasses();
                              PassTables::forgetSensor(s.db, Id);
                              w.charts()->drawings().dropTimeColumns(false);
                              w.charts()->drawings().dropTimeColumns(true);
                          }),
                      "ms", time ? "<= 1 s and <= 2x its floor at 1M" : "<= 1 s and <= 1.3x its floor at 1M");
        if (passFloor > 0)
            Bench::note(QStringLiteral("%1: its pass before the drawing as bare SQLite (read and write the readings "
                                       "marked for the length charts) %2 ms")
                            .arg(first)
                            .arg(passFloor, 0, 'f', 1));
        const double afterFirst = programPeakMB();
        w.charts()->finishBackgroundPasses();
        const double afterPass = programPeakMB();
        Bench::bare(first, floorRead([&] { return Bench::fastest(run.runs, [&] { bareReadRaw(s.db, !time); }); }));
        Bench::figure(name + QStringLiteral(", again with nothing changed"),
                      Bench::fastest(
                          run.runs, [&] { enter(t.index); }, leave),
                      "ms", "<= 0.1 s");
        const double afterAgain = programPeakMB();
        Bench::figure(name + QStringLiteral(", after one reading was added"),
                      Bench::fastest(
                          run.runs, [&] { enter(t.index); },
                          [&] {
                              leave();
                              w.charts()->finishBackgroundPasses();
                              addReading(s.db);
                          }),
                      "ms", "<= 0.3 s");
        if (time)
            Bench::figure(name + QStringLiteral(", after another program added one reading"),
                          Bench::fastest(
                              run.runs, [&] { enter(t.index); },
                              [&] {
                                  leave();
                                  w.charts()->finishBackgroundPasses();
                                  addReading(other);
                              }),
                          "ms");
        w.charts()->finishBackgroundPasses();
        // Where the memory goes, tab by tab.
        Bench::note(QStringLiteral(
                        "peak memory after the tab %1: first visits %2 MB, their stores %3 MB, again %4 MB, all %5 MB")
                        .arg(QLatin1String(t.name))
                        .arg(afterFirst, 0, 'f', 0)
                        .arg(afterPass, 0, 'f', 0)
                        .arg(afterAgain, 0, 'f', 0)
                        .arg(programPeakMB(), 0, 'f', 0));
    }
    leave();
    enter(MainWindow::TabLoadVTime);
    Bench::figure(QStringLiteral("peak memory after every chart tab"), programPeakMB(), "MB", "<= 300 MB at 1M");

    QStringList names{QStringLiteral("NumTemp")};
    for (int k = 1; k <= 10; ++k) names << QStringLiteral("Load%1").arg(k);
    const QString sql = Calc::graphQuery(Id, Calc::GraphSelection::Temporal);
    qint64 rows = 0;
    Bench::figure(QStringLiteral("reading the drawn columns of Load v Time"),
                  Bench::fastest(run.runs,
                                 [&] {
                                     GraphColumns cols(s.db, sql, names, QStringLiteral("fulldate"),
                                                       QStringLiteral("readingdate"));
                                     rows = cols.rowCount();
                                 }),
                  "ms");
    Bench::bare(QStringLiteral("reading the drawn columns of Load v Time"),
                Bench::fastest(run.runs, [&] { bareRead(s.db); }));
    if (rows != bareRead(s.db)) std::printf("CHECK FAILED: %lld rows read\n", rows);

    ChartControl* chart = w.charts()->chart(MainWindow::TabLoadVTime);
    Bench::figure(QStringLiteral("one redraw of the whole Load v Time chart"),
                  Bench::fastest(run.runs, [&] { chart->refresh(); }), "ms", "<= 50 ms");
    const QRect area = chart->plotArea();
    const QPoint a(area.left() + area.width() / 3, area.top() + 10);
    const QPoint b(area.left() + area.width() / 2, area.bottom() - 10);
    double worstIn = 0, worstOut = 0;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        chart->dragZoom(a, b);
        worstIn = std::max(worstIn, Bench::ms(t));
        t.restart();
        chart->dragZoom(b, a);
        worstOut = std::max(worstOut, Bench::ms(t));
    }
    Bench::figure(QStringLiteral("redraw after zooming in (slowest of 10)"), worstIn, "ms", "<= 50 ms");
    Bench::figure(QStringLiteral("redraw after zooming back out (slowest of 10)"), worstOut, "ms", "<= 50 ms");
    Bench::note(QStringLiteral("chart %1x%2, %3 points per series kept for zooming")
                    .arg(chart->width())
                    .arg(chart->height())
                    .arg(chart->pointCount(1)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return Bench::bySize(argc, argv,
                         QStringLiteral("Chart tabs (whole window, offscreen; staggered 75, one reading a minute)"),
                         runSize);
}
