// The five chart drawings and the tab change, driven through the main window with readings
// whose computed columns are written directly.
#include "ChartFixture.h"
#include "app/MainWindow.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartRules.h"
#include "charts/ChartsController.h"
#include "core/Paths.h"
#include "data/BackgroundPasses.h"
#include "store/Database.h"
#include "session/Shared.h"
#include "data/GraphData.h"
#include "data/Rejections.h"
#include "charts/GraphColumns.h"

#include <QComboBox>
#include <cmath>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QSettings>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QtTest>
#include <bit>
#include <limits>

using Axis = ChartControl::Axis;
using ChartFixture::chartOf;
using ChartFixture::readLog;
using ChartFixture::Row;

namespace {
QList<double> seq(double first, double step, int n)
{
    QList<double> v;
    for (int i = 0; i < n; ++i) v << first + step * i;
    return v;
}
QString today(const QDate& d) { return ChartRules::formatDate(d, ChartRules::systemDateSeparator()); }
// A time chart's legend entry: the gauge and its distance.
QString at(int k, const char* metres) { return QString("#%1 \u2013 %2 m").arg(k).arg(metres); }

}  // namespace

class TestCharts : public QObject {
    Q_OBJECT
    TestHome home;

    QStringList shownTitles(ChartControl* c)
    {
        QStringList t;
        for (int i = 0; i < c->seriesCount(); ++i)
            if (c->isSeriesVisible(i)) t << c->seriesTitle(i);
        return t;
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        TestData::installFresh();
        // Every test starts from the length charts' first choice: the picked dates.
        QSettings("Orrisford", "Tarnwell").remove("charts/lengthProfiles");
    }

    // ---- Load v Time and Disp v Time -------------------------------------------------------
    void timeSeriesByLayout_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<QStringList>("load");
        QTest::addColumn<QStringList>("disp");
        // Load lines at the gauge centres (three boxes: the others have no distance), the
        // displacement lines at the nodes.
        QTest::newRow("staggered 6") << "250475001" << false
                                     << QStringList{"Temp (C)", at(1, "0.50"), at(2, "0.80"), at(3, "1.10"),
                                                    "#4",       "#5",          "#6"}
                                     << QStringList{"Temp (C)",    at(1, "1.00"), at(2, "1.25"), at(3, "1.50"),
                                                    at(4, "1.75"), at(5, "2.00"), at(6, "2.25")};
        QTest::newRow("stacked 3") << "250445001" << true << QStringList{"Temp (C)", at(1, "0.50"), at(2, "0.80")}
                                   << QStringList{"Temp (C)", at(1, "1.00"), at(2, "1.25")};
        QTest::newRow("stacked 5") << "250465001" << true << QStringList{"Temp (C)", at(1, "0.50"), at(2, "0.80")}
                                   << QStringList{"Temp (C)", at(1, "1.00"), at(2, "1.25")};
        QTest::newRow("stacked 6") << "250475001" << true
                                   << QStringList{"Temp (C)", at(1, "0.50"), at(2, "0.80"), at(3, "1.10")}
                                   << QStringList{"Temp (C)", at(1, "1.00"), at(2, "1.25"), at(3, "1.50")};
        QTest::newRow("stacked 1") << "250425001" << true << QStringList{"Temp (C)"} << QStringList{"Temp (C)"};
    }
    void timeSeriesByLayout()
    {
        QFETCH(QString, id);
        QFETCH(bool, stacked);
        QFETCH(QStringList, load);
        QFETCH(QStringList, disp);
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 5);
        for (Row& r : rows) r.load = r.disp = seq(0.5, 0.1, 6);
        ChartFixture::addSensor(id, stacked, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"1.00", "1.25", "1.50", "1.75", "2.00", "2.25", "2.50", "2.75"},
                                 {"0.5", "0.8", "1.1"}, "3");
        w.charts()->drawings().drawLoadVsTime();
        w.charts()->drawings().drawDispVsTime();
        ChartControl* t = chartOf(w, "ChartT");
        ChartControl* t2 = chartOf(w, "ChartT2");
        QCOMPARE(shownTitles(t), load);
        QCOMPARE(t->legendEntries(), load);
        QCOMPARE(shownTitles(t2), disp);
        for (int i = 0; i < 11; ++i) {
            // Every series shown has one point per reading; hidden ones have none.
            QCOMPARE(t->pointCount(i), t->isSeriesVisible(i) ? 5 : 0);
            QCOMPARE(t2->pointCount(i), t2->isSeriesVisible(i) ? 5 : 0);
        }
        QCOMPARE(t->titleLines(), QStringList{"N12-" + id});
        QCOMPARE(t->axisTitle(Axis::Left), QString("Load (tons)"));
        QCOMPARE(t2->axisTitle(Axis::Left), QString("Displacement (microns)"));
        QVERIFY(m.script.shown.empty());
    }

    void timeSeriesValues()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 3, 90);
        rows[0].load = {1.5, 2.5};
        rows[1].load = {1.25, 3.75};
        rows[2].load = {0.5, 4.0};
        rows[1].temporal = false;  // not marked for the time charts
        rows[2].temp = 21.5;
        ChartFixture::addSensor("250455001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {}, "3");
        w.charts()->drawings().drawLoadVsTime();
        ChartControl* t = chartOf(w, "ChartT");
        QCOMPARE(t->pointCount(1), 2);
        const double key0 = ChartRules::dateTimeKey("2025-04-02 08:00:00");
        QCOMPARE(t->point(1, 0), QPointF(key0, 1.5));
        QCOMPARE(t->point(1, 1), QPointF(key0 + 3 * 3600, 0.5));
        QCOMPARE(t->point(2, 1), QPointF(key0 + 3 * 3600, 4.0));
        QCOMPARE(t->point(0, 1), QPointF(key0 + 3 * 3600, 21.5));
        // The graph data is left at its last row.
        QVERIFY(w.shared().rsGraph->absolutePosition() == w.shared().rsGraph->recordCount());
    }

    // A time chart drawn again shows what the database holds now, whoever wrote it; with
    // nothing changed it shows the same points.
    void drawingAgainShowsEveryChange()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 3);
        for (Row& r : rows) r.load = {1.0, 2.0};
        ChartFixture::addSensor("250455001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {}, "3");
        ChartControl* t = chartOf(w, "ChartT");
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(t->point(1, 2).y(), 1.0);
        {
            auto other = TestData::openDatabase(QStringLiteral("another writer"));
            other->execute("UPDATE `250455001` SET Load1 = 7.5 WHERE FullDate = '2025-04-02 10:00:00'");
        }
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(t->point(1, 2).y(), 7.5);
        w.shared().db.execute("UPDATE `250455001` SET Load1 = 8.5 WHERE FullDate = '2025-04-02 10:00:00'");
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(t->point(1, 2).y(), 8.5);
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(t->pointCount(1), 3);
        QCOMPARE(t->point(1, 2).y(), 8.5);
        QCOMPARE(w.shared().rsGraph->recordCount(), 3);
        // Another chart's columns in between do not stand in for these.
        w.charts()->drawings().drawDispVsTime();
        w.shared().db.execute("DELETE FROM `250455001` WHERE FullDate = '2025-04-02 08:00:00'");
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(t->pointCount(1), 2);
    }

    void timeAxisBySpan_data()
    {
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<QDateTime>("last");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("labels");  // what the labels show: hours, dates, or not checked
        QTest::addColumn<bool>("titled");
        const QDate d(2025, 4, 2);
        const int two = int(ChartControl::TimeStep::TwoHours), six = int(ChartControl::TimeStep::SixHours),
                  automatic = int(ChartControl::TimeStep::Automatic);
        QTest::newRow("same day") << QDateTime(d, QTime(0, 5)) << QDateTime(d, QTime(23, 55)) << two << "hours" << true;
        QTest::newRow("next day") << QDateTime(d, QTime(6, 0)) << QDateTime(d.addDays(1), QTime(18, 0)) << six
                                  << "hours" << true;
        QTest::newRow("minutes across midnight")
            << QDateTime(d, QTime(23, 50)) << QDateTime(d.addDays(1), QTime(0, 10)) << six << "" << true;
        QTest::newRow("two days") << QDateTime(d, QTime(12, 0)) << QDateTime(d.addDays(2), QTime(1, 0)) << automatic
                                  << "dates" << false;
    }
    void timeAxisBySpan()
    {
        QFETCH(QDateTime, first);
        QFETCH(QDateTime, last);
        QFETCH(int, step);
        QFETCH(QString, labels);
        QFETCH(bool, titled);
        Row a, b;
        a.when = first;
        b.when = last;
        a.load = b.load = {1.0};
        ChartFixture::addSensor("250435001", false, {a, b});
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {}, "3");
        w.charts()->drawings().drawLoadVsTime();
        ChartControl* t = chartOf(w, "ChartT");
        QCOMPARE(int(t->dateTimeStep(Axis::Bottom)), step);
        QCOMPARE(t->axisTitle(Axis::Bottom), titled ? today(first.date()) : QString());
        QVERIFY(t->isAutomatic(Axis::Bottom));
        QCOMPARE(t->minimum(Axis::Bottom), ChartRules::dateTimeKey(first.toString("yyyy-MM-dd HH:mm:ss")));
        QCOMPARE(t->maximum(Axis::Bottom), ChartRules::dateTimeKey(last.toString("yyyy-MM-dd HH:mm:ss")));
        const QStringList shown = t->tickLabels(Axis::Bottom);
        QVERIFY(!shown.isEmpty());
        const QChar ts = ChartRules::systemTimeSeparator();
        if (labels == "hours") {
            // Whole hours at the step, as the readings' own clock shows them.
            const int stepHours = step == int(ChartControl::TimeStep::TwoHours) ? 2 : 6;
            for (const QString& l : shown) {
                QCOMPARE(l.size(), 5);
                QCOMPARE(l.mid(2, 1), QString(ts));
                QCOMPARE(l.mid(3), QString("00"));
                QCOMPARE(l.left(2).toInt() % stepHours, 0);
            }
            if (step == int(ChartControl::TimeStep::TwoHours)) QCOMPARE(shown.first(), QString("02") + ts + "00");
            else QVERIFY(shown.contains(QString("00") + ts + "00"));
        } else if (labels == "dates") {
            for (const QString& l : shown) QCOMPARE(l.size(), 10);
            QVERIFY(shown.contains(today(first.date().addDays(1))));
        }
    }

    void valueAxisAfterTimeDrawing_data()
    {
        QTest::addColumn<QList<double>>("loads");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("increment");
        QTest::newRow("0.1 to 1") << QList<double>{0.15, 0.5, 0.82} << 0.0 << 1.0 << 0.1;
        QTest::newRow("negative") << QList<double>{-0.125, 0.02, 0.05} << -0.12 << 0.1 << 0.01;
        QTest::newRow("exactly 30") << QList<double>{4.0, 30.0, 12.0} << 0.0 << 32.0 << 2.0;
        QTest::newRow("31.2") << QList<double>{4.0, 31.2, 12.0} << 0.0 << 36.0 << 10.0;
    }
    void valueAxisAfterTimeDrawing()
    {
        QFETCH(QList<double>, loads);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, increment);
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), loads.size());
        for (int i = 0; i < rows.size(); ++i) {
            rows[i].load = {loads[i]};
            rows[i].temp = 25.0 + i;  // on its own axis: it never widens the load axis
        }
        ChartFixture::addSensor("250425001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {}, "3");
        w.charts()->drawings().drawLoadVsTime();
        ChartControl* t = chartOf(w, "ChartT");
        QVERIFY(!t->isAutomatic(Axis::Left));
        QCOMPARE(t->minimum(Axis::Left), minimum);
        QVERIFY(std::fabs(t->maximum(Axis::Left) - maximum) < 1e-9);
        QCOMPARE(t->increment(Axis::Left), increment);
        QVERIFY(t->isOnRightAxis(0));
        QVERIFY(t->isRightAxisShown());
        QCOMPARE(t->rightAxisTitle(), QString("Temperature (\u00B0C)"));
        QVERIFY(t->rightLower() < 25 && t->rightUpper() > 25.0 + loads.size() - 1);
    }

    void nullAxisTitleAndChartTitle()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 2);
        ChartFixture::addSensor("250475001", true, rows);
        {
            auto db = TestData::openDatabase("edit");
            db->execute("UPDATE Configuration SET TemporalYaxis = NULL WHERE SensorType = '75'");
            db->execute("UPDATE Prefs SET MineID = 'North'");
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"1"}, "3");
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(chartOf(w, "ChartT")->axisTitle(Axis::Left), QString());
        QCOMPARE(chartOf(w, "ChartT")->titleLines(), QStringList{"North250475001"});
    }

    // Hiding a line with its legend tick box fits the value axis to the lines still shown;
    // the temperature has an axis of its own, which goes with it.
    void hidingALineRescalesTheValueAxis()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 4);
        for (int i = 0; i < rows.size(); ++i) {
            rows[i].load = {5.0 + 6 * i, 0.2 + 0.2 * i};  // #1 up to 23, #2 up to 0.8
            rows[i].temp = 40;
        }
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "1.5");
        w.charts()->drawings().drawLoadVsTime();
        ChartControl* t = chartOf(w, "ChartT");
        QCOMPARE(t->maximum(Axis::Left), 25.0);  // 23: band 16 to 30, plus 2
        t->setSeriesChecked(1, false);
        QCOMPARE(t->maximum(Axis::Left), 1.0);  // 0.8: band 0.1 to below 1
        QCOMPARE(t->increment(Axis::Left), 0.1);
        QCOMPARE(t->shownUpper(Axis::Left), 1.0);
        QVERIFY(t->isRightAxisShown());
        t->setSeriesChecked(0, false);
        t->refresh();
        QVERIFY(!t->isRightAxisShown());
        QCOMPARE(t->maximum(Axis::Left), 1.0);
        t->setSeriesChecked(1, true);
        QCOMPARE(t->maximum(Axis::Left), 25.0);
    }

    // A reading without a value at a position: the time chart breaks its line there (the
    // point is kept as a gap), the report's latest and peak values skip it, and the length
    // chart leaves the point out and draws the rest.
    void missingValuesLeaveGapsAndPointsOut()
    {
        constexpr double None = std::numeric_limits<double>::quiet_NaN();
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(9, 0)), 4, 24 * 60);
        rows[0].load = {1.0, 2.0};
        rows[1].load = {3.0, None};
        rows[2].load = {-4.0, 2.5};
        rows[3].load = {None, 2.2};
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "1.5");
        QFile::remove(Paths::logFilePath());

        // The report's own Load v Time chart, drawn from the same stored loads.
        w.charts()->reportDrawings().drawLoadVsTime();
        ChartControl* t = w.charts()->reportChart(PageHost::TabLoadVTime);
        QCOMPARE(t->pointCount(2), 4);
        QVERIFY(std::isnan(t->point(2, 1).y()));
        QCOMPARE(t->point(2, 2).y(), 2.5);
        const std::vector<PageHost::ChartLine> lines = w.charts()->timeChartLines(PageHost::TabLoadVTime);
        QCOMPARE(int(lines.size()), 2);
        QCOMPARE(lines[0].last, -4.0);  // the last reading has no Load1
        QCOMPARE(lines[0].lastAt.date(), rows[2].when.date());
        QCOMPARE(lines[0].peak, -4.0);
        QCOMPARE(lines[1].last, 2.2);
        QCOMPARE(lines[1].peak, 2.5);

        w.charts()->drawings().drawLoadVsLength();
        ChartControl* s = chartOf(w, "ChartS");
        QCOMPARE(s->pointCount(1), 3);  // two gauges and the closing point
        QCOMPARE(s->pointCount(2), 2);  // Load2 missing: left out
        QCOMPARE(s->pointCount(4), 2);
        QCOMPARE(s->point(4, 0), QPointF(1.0, 2.2));
        QCOMPARE(readLog(), QByteArray());
        QVERIFY(m.script.shown.empty());
    }

    // ---- the tab change --------------------------------------------------------------------
    void refusalReturnsToTheTabLeft_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("box");
        QTest::newRow("readings to load v time") << 2 << 3 << "Plot Temporal";
        QTest::newRow("identification to disp v time") << 0 << 4 << "Plot Temporal";
        QTest::newRow("installation to load v length") << 1 << 5 << "Plot Spatial";
        QTest::newRow("load v time to disp v length") << 3 << 6 << "Plot Spatial";
        QTest::newRow("utilities to shear v length") << 8 << 7 << "Plot Spatial";
    }
    void refusalReturnsToTheTabLeft()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, box);
        // Two readings for the time charts, one for the length charts.
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 2);
        rows[0].load = rows[1].load = {1, 1};
        rows[1].spatial = false;
        if (to <= 4) rows[0].temporal = false;
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "1.5");
        w.tabWidget->setCurrentIndex(from);
        m.script.shown.clear();
        w.tabWidget->setCurrentIndex(to);
        QCOMPARE(w.tabWidget->currentIndex(), from);
        QCOMPARE(m.script.texts(),
                 QStringList{"You must have at least 2 readings to view the plot.\r\n\r\nIf you have at least "
                             "2 readings in the database, ensure the " +
                             box + " box on the Readings Tab is checked in each case."});
        QCOMPARE(m.script.shown[0].title, QString("Orrisford's Tarnwell"));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
        QCOMPARE(m.script.shown[0].buttons, Messages::Buttons::Ok);
        QVERIFY(!w.charts()->chart(to)->isVisibleTo(w.charts()->page(to)));
        // The report's way in refuses the same chart.
        QVERIFY(!w.charts()->prepareChart(to));
    }

    void enteringAChartTabDrawsIt()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 3);
        for (Row& r : rows) r.load = r.disp = {0.5, 0.7};
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"1", "2", "3", "4"}, {"0.5", "1.0"}, "1.5");
        w.tabWidget->setCurrentIndex(3);
        QCOMPARE(w.tabWidget->currentIndex(), 3);
        QVERIFY(m.script.shown.empty());
        ChartControl* t = chartOf(w, "ChartT");
        QVERIFY(t->isVisibleTo(w.charts()->page(3)));
        // The sensor page's own gauge centres name the lines.
        const QStringList entries = t->legendEntries();
        QCOMPARE(entries.size(), 3);
        QVERIFY(entries[1].startsWith("#1 \u2013 ") && entries[1].endsWith(" m"));
        QVERIFY(w.charts()->prepareChart(5));
        QCOMPARE(w.tabWidget->currentIndex(), 3);
        QCOMPARE(w.charts()->reportChart(5)->legendEntries().size(), 3);
        const QImage picture = w.charts()->renderChart(5, QSize(640, 400));
        QCOMPARE(picture.size(), QSize(640, 400));
    }

    // A large pass of a time chart runs after the drawing, on its own connection: the chart
    // shows what it computed while reading, a second visit with nothing changed keeps it,
    // and closing the window lets the pass store it, bit for bit what was drawn, with the
    // readings' marks cleared.
    void largePassRunsAfterTheDrawingAndStoresWhatWasDrawn()
    {
        const QString id = QStringLiteral("250475001");
        ChartFixture::addHourlySensor(id, 60);
        ChartCalc::setSmallPassReadings(10);
        QList<QList<QPointF>> drawn;
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            ChartFixture::showSensor(w, {"1", "2", "3", "4"}, {"0.5", "1.0"}, "1.5");
            w.tabWidget->setCurrentIndex(3);
            QCOMPARE(w.tabWidget->currentIndex(), 3);
            QVERIFY(m.script.shown.empty());
            ChartControl* t = chartOf(w, "ChartT");
            for (int series = 0; series <= 6; ++series) {
                QList<QPointF> points;
                for (int k = 0; k < t->pointCount(series); ++k) points << t->point(series, k);
                drawn << points;
            }
            QCOMPARE(drawn[1].size(), 9);  // every seventh reading is marked for the time charts
            QVERIFY(std::isfinite(drawn[1].last().y()) && drawn[1].last().y() != 0);
            QCOMPARE(w.charts()->backgroundPasses().queued(), 1);
            // Back and again: the same points, whether or not the pass has stored them yet.
            w.tabWidget->setCurrentIndex(2);
            w.tabWidget->setCurrentIndex(3);
            for (int series = 0; series <= 6; ++series)
                for (int k = 0; k < drawn[series].size(); ++k) QCOMPARE(t->point(series, k), drawn[series][k]);
            w.close();
        }
        ChartCalc::setSmallPassReadings(20000);
        auto db = TestData::openDatabase(QStringLiteral("large-pass-after"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE IsDirty <> 0").arg(id)).toInt(), 0);
        QSqlQuery q(db->handle());
        QVERIFY(q.exec(QStringLiteral("SELECT NumTemp, Load1, Load2, Load3, Load4, Load5, Load6 FROM `%1` "
                                      "WHERE Plottemporal = 1 ORDER BY FullDate")
                           .arg(id)));
        int k = 0;
        for (; q.next(); ++k)
            for (int series = 0; series <= 6; ++series) {
                if (drawn[series].isEmpty()) continue;  // a gauge the layout does not show
                QVERIFY(k < drawn[series].size());
                const double stored = q.value(series).isNull() ? NAN : q.value(series).toDouble();
                const double shown = drawn[series][k].y();
                QVERIFY2(std::isnan(stored) ? std::isnan(shown)
                                            : std::bit_cast<quint64>(stored) == std::bit_cast<quint64>(shown),
                         qPrintable(QStringLiteral("reading %1, series %2: drawn %3, stored %4")
                                        .arg(k)
                                        .arg(series)
                                        .arg(shown, 0, 'g', 17)
                                        .arg(stored, 0, 'g', 17)));
            }
        QCOMPARE(k, 9);
    }

    // A time chart kept between visits follows every change made since: an edit, a reading
    // taken out of the chart, a deletion, a reading added in the middle (this window's
    // connection), a reading added and one deleted by another connection. After each visit what is
    // drawn is bit for bit a full read of what the passes store.
    void aKeptTimeChartFollowsEveryChange()
    {
        const QString id = QStringLiteral("250475001");
        const QString table = QStringLiteral("`%1`").arg(id);
        ChartFixture::addHourlySensor(id, 80, "UPDATE %1 SET Plottemporal = True WHERE rowid % 2 = 0");
        ChartCalc::setSmallPassReadings(10);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"1", "2", "3", "4"}, {"0.5", "1.0"}, "1.5");
        Database& db = w.shared().db;
        auto other = TestData::openDatabase(QStringLiteral("kept-chart-other"));
        const auto visit = [&](const std::function<void()>& change) {
            w.tabWidget->setCurrentIndex(2);
            change();
            w.tabWidget->setCurrentIndex(3);
            QCOMPARE(w.tabWidget->currentIndex(), 3);
            w.charts()->finishBackgroundPasses();
            QStringList names{"NumTemp"};
            for (int k = 1; k <= 6; ++k) names << QString("Load%1").arg(k);
            GraphColumns full(db, Calc::graphQuery(id, Calc::GraphSelection::Temporal), names, "fulldate");
            ChartControl* t = chartOf(w, "ChartT");
            QVERIFY(full.rowCount() > 30);
            QCOMPARE(qsizetype(t->pointCount(0)), full.rowCount());
            for (int series = 0; series < names.size(); ++series) {
                if (t->pointCount(series) == 0) continue;  // a gauge the layout does not show
                QCOMPARE(qsizetype(t->pointCount(series)), full.rowCount());
                for (int k = 0; k < t->pointCount(series); ++k) {
                    const QPointF p = t->point(series, k);
                    const double x = full.dates()[size_t(k)], y = full.numbers(names[series])[size_t(k)];
                    const bool same = p.x() == x && (std::isnan(y) ? std::isnan(p.y()) : p.y() == y);
                    QVERIFY2(same, qPrintable(QString("series %1, reading %2: drawn %3, read %4")
                                                  .arg(series)
                                                  .arg(k)
                                                  .arg(p.y(), 0, 'g', 17)
                                                  .arg(y, 0, 'g', 17)));
                }
            }
        };
        const auto rowAt = [&](int k) {
            return db.scalar("SELECT rowid FROM " + table +
                             " WHERE Plottemporal = True ORDER BY FullDate LIMIT 1 OFFSET " + QString::number(k));
        };
        const QString insert =
            "INSERT INTO " + table +
            " (DateTimeKey, FullDate, ReadingDate, ReadingTime, Channel1, Channel2, Channel3, Channel4, ChannelT, "
            "Plottemporal, PlotSpatial, DoNotPlot, IsDirty) SELECT DateTimeKey || ?, FullDate, ReadingDate, "
            "ReadingTime, '150.00', '250.00', '350.00', '450.00', '12.5', True, False, False, 1 FROM " +
            table + " WHERE rowid = ?";
        visit([] {});
        visit([&] {
            db.execute("UPDATE " + table + " SET Channel2 = '999.00', IsDirty = 1 WHERE rowid = ?", {rowAt(5)});
        });
        visit([&] {
            db.execute("UPDATE " + table + " SET Plottemporal = False, IsDirty = 1 WHERE rowid = ?", {rowAt(7)});
        });
        visit([&] { db.execute("DELETE FROM " + table + " WHERE rowid = ?", {rowAt(9)}); });
        visit([&] { db.execute(insert, {"a", rowAt(12)}); });
        visit([&] { other->execute(insert, {"b", rowAt(3)}); });
        visit([&] { other->execute("DELETE FROM " + table + " WHERE rowid = ?", {rowAt(4)}); });
        visit([&] { db.execute("DELETE FROM " + table + " WHERE rowid = ?", {rowAt(0)}); });  // the baseline
        visit([] {});

        // Another program's writes: added readings are read alone, anything else reads the
        // whole chart again, and either way the chart is what a full read gives.
        visit([&] {
            other->execute(insert, {"c", rowAt(20)});
            other->execute(insert, {"d", rowAt(30)});
        });
        visit([&] {
            // Added, and computed by the other program's own pass (which clears the marks).
            other->execute(insert, {"e", rowAt(6)});
            other->execute("UPDATE " + table + " SET NumTemp = 3.5, Load1 = 42.25, IsDirty = 0 WHERE IsDirty <> 0");
        });
        visit([&] {
            other->execute("UPDATE " + table + " SET Channel3 = '777.00', IsDirty = 1 WHERE rowid = ?", {rowAt(10)});
        });
        // A value rejected, a reading added, and both computed by the other program's pass.
        visit([&] {
            const QString key =
                db.scalar("SELECT DateTimeKey FROM " + table + " WHERE rowid = ?", {rowAt(16)}).toString();
            Rejections::reject(*other, id, key, 1, "gauge knocked");
            other->execute(insert, {"r", rowAt(17)});
            other->execute("UPDATE " + table + " SET Load1 = 0.125, IsDirty = 0 WHERE IsDirty <> 0");
        });
        // A stored value changed outside a pass, and a reading only marked.
        visit([&] { other->execute("UPDATE " + table + " SET Load2 = 1234.5 WHERE rowid = ?", {rowAt(11)}); });
        visit([&] { other->execute("UPDATE " + table + " SET IsDirty = 1 WHERE rowid = ?", {rowAt(13)}); });
        // (A file's own hazards: its row numbers and its REPLACE.)
        if (!db.isServer()) {
            // A reading replaced by one of the same key (the old row goes without a deletion's
            // trigger), and one put into the gap a deletion left below the highest row.
            visit([&] {
                other->execute(
                    "INSERT OR REPLACE INTO " + table +
                        " (DateTimeKey, FullDate, ReadingDate, ReadingTime, Channel1, Channel2, ChannelT, "
                        "Plottemporal, PlotSpatial, DoNotPlot, IsDirty, NumTemp, Load1) SELECT DateTimeKey, "
                        "FullDate, ReadingDate, ReadingTime, '160.00', '260.00', '13.5', True, False, False, 0, "
                        "-1.5, -2.5 FROM " +
                        table + " WHERE rowid = ?",
                    {rowAt(14)});
            });
            visit([&] {
                const qint64 gap =
                    db.scalar("SELECT min(rowid) + 1 FROM " + table + " AS a WHERE NOT EXISTS (SELECT 1 FROM " + table +
                              " AS b WHERE b.rowid = a.rowid + 1)")
                        .toLongLong();
                QVERIFY(gap < db.scalar("SELECT max(rowid) FROM " + table).toLongLong());
                other->execute(
                    "INSERT INTO " + table +
                        " (rowid, DateTimeKey, FullDate, ReadingDate, ReadingTime, Channel1, ChannelT, "
                        "Plottemporal, PlotSpatial, DoNotPlot, IsDirty, Load1) SELECT ?, DateTimeKey || 'g', "
                        "FullDate, ReadingDate, ReadingTime, '170.00', '14.5', True, False, False, 0, 99.5 FROM " +
                        table + " WHERE rowid = ?",
                    {gap, rowAt(15)});
            });
        }
        // Added before the first reading: a new baseline, every load computed again.
        visit([&] {
            other->execute("INSERT INTO " + table +
                           " (DateTimeKey, FullDate, ReadingDate, ReadingTime, Channel1, Channel2, Channel3, Channel4, "
                           "ChannelT, Plottemporal, PlotSpatial, DoNotPlot, IsDirty) VALUES ('early', "
                           "'2025-04-01 08:00:00', '2025/04/01', '08:00:00', '50.00', '60.00', '70.00', '80.00', "
                           "'11.0', True, False, False, 1)");
        });
        visit([&] { other->execute("DELETE FROM " + table + " WHERE rowid = ?", {rowAt(21)}); });
        // More added than a pass before the drawing takes: computed while read, stored by a
        // pass on a connection of its own, and then added to again.
        visit([&] {
            for (int k = 0; k < 12; ++k) other->execute(insert, {QString("f%1").arg(k), rowAt(40 + k)});
        });
        visit([&] { other->execute(insert, {"g", rowAt(2)}); });
        visit([] {});
        ChartCalc::setSmallPassReadings(20000);
    }

    void sameReadingAfterAChartTab()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 5);
        for (Row& r : rows) r.load = r.disp = {0.5, 0.7};
        rows[0].spatial = false;
        rows[1].spatial = false;
        rows[2].spatial = false;
        rows[3].spatial = false;  // one reading for the length charts
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"1", "2", "3", "4"}, {"0.5", "1.0"}, "1.5");
        auto* count = w.findChild<QLineEdit*>("txtRcount");
        w.tabWidget->setCurrentIndex(2);
        QCOMPARE(count->text(), QString("5 of 5"));
        w.findChild<QToolButton*>("imgFirst")->click();
        w.findChild<QToolButton*>("imgNextData")->click();
        QCOMPARE(count->text(), QString("2 of 5"));
        // A chart drawn, then back: the same reading.
        w.tabWidget->setCurrentIndex(3);
        QCOMPARE(w.tabWidget->currentIndex(), 3);
        w.tabWidget->setCurrentIndex(2);
        QCOMPARE(count->text(), QString("2 of 5"));
        // A chart refused: back on the Readings tab at once, on the same reading.
        w.tabWidget->setCurrentIndex(5);
        QCOMPARE(w.tabWidget->currentIndex(), 2);
        QCOMPARE(count->text(), QString("2 of 5"));
        QCOMPARE(m.script.shown.size(), size_t(1));
        // After the Identification tab: the last reading.
        w.tabWidget->setCurrentIndex(0);
        w.tabWidget->setCurrentIndex(2);
        QCOMPARE(count->text(), QString("5 of 5"));
    }

    // A click on the tab strip while Load v Time, Disp v Time or Load v Length is shown
    // releases the readings; the Readings tab opens them again.
    void tabStripReleasesTheReadings_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("released");
        QTest::newRow("load v time") << 3 << true;
        QTest::newRow("load v length") << 5 << true;
        QTest::newRow("disp v length") << 6 << false;
    }
    void tabStripReleasesTheReadings()
    {
        QFETCH(int, tab);
        QFETCH(bool, released);
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 3);
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"1", "2", "3", "4"}, {"0.5", "1.0"}, "1.5");
        w.tabWidget->setCurrentIndex(2);
        QVERIFY(w.shared().rsReadings && w.shared().rsReadings->isOpen());
        w.tabWidget->setCurrentIndex(tab);
        QCOMPARE(w.tabWidget->currentIndex(), tab);
        QTabBar* bar = w.tabWidget->tabBar();
        QTest::mousePress(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        QCOMPARE(!w.shared().rsReadings->isOpen(), released);
        w.tabWidget->setCurrentIndex(2);
        QVERIFY(w.shared().rsReadings->isOpen());
        QCOMPARE(w.findChild<QLineEdit*>("txtRcount")->text(), QString("3 of 3"));
    }

    void leftoverDataFileRemovedOnReadingsTab()
    {
        ChartFixture::addSensor("250435001", false, {});
        ScriptedMessages m;
        MainWindow w;
        w.show();
        const QString path = Paths::dataFolder() + "/datafile.txt";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1,2,3\r\n");
        f.close();
        w.tabWidget->setCurrentIndex(2);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
