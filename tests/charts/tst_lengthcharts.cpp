// The length charts: the readings each choice draws, their legends, closing points and axes.
#include "ChartFixture.h"
#include "app/MainWindow.h"
#include "charts/ChartCalc.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartRules.h"
#include "charts/ChartsController.h"
#include "core/Paths.h"
#include "data/BackgroundPasses.h"
#include "session/Shared.h"
#include "store/PassTables.h"

#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>
#include <bit>
#include <cmath>

using Axis = ChartControl::Axis;
using ChartFixture::chartOf;
using ChartFixture::readLog;
using ChartFixture::Row;

namespace {
// A length chart's legend entry: the reading's date and time.
QString stamp(const QDateTime& t)
{
    return ChartRules::formatDateTime(t, ChartRules::systemDateSeparator(), ChartRules::systemTimeSeparator());
}
// A year of readings, two a day (07:00 and 19:00); the load at gauge 1 is the reading's
// number, so each line tells which reading it drew.
QList<Row> aYearOfReadings()
{
    QList<Row> rows;
    for (QDate d(2025, 1, 1); d.year() == 2025; d = d.addDays(1))
        for (int hour : {7, 19}) {
            Row r;
            r.when = QDateTime(d, QTime(hour, 0));
            r.load = {double(rows.size()), 0.5};
            r.spatial = false;
            rows << r;
        }
    return rows;
}
struct Drawn {
    QStringList titles;
    QList<int> readings;  // the reading number each line drew
};
Drawn drawnLines(ChartControl* s)
{
    Drawn d;
    for (int r = 1; r < s->seriesCount(); ++r) {
        if (!s->isSeriesVisible(r)) continue;
        d.titles << s->seriesTitle(r);
        d.readings << int(s->point(r, 0).y());
    }
    return d;
}
QComboBox* profilesBox(MainWindow& w, int tab) { return w.charts()->page(tab)->findChild<QComboBox*>("cboProfiles"); }

}  // namespace

class TestLengthCharts : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        TestData::installFresh();
        // Every test starts from the length charts' first choice: the picked dates.
        QSettings("Orrisford", "Tarnwell").remove("charts/lengthProfiles");
    }

    void fifteenAndSixteenReadings_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("15") << 15;
        QTest::newRow("16") << 16;
    }
    void fifteenAndSixteenReadings()
    {
        QFETCH(int, count);
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 1, 1), QTime(9, 0)), count, 24 * 60);
        for (int i = 0; i < rows.size(); ++i) rows[i].load = {0.1 * (i + 1), 0.2 * (i + 1)};
        ChartFixture::addSensor("250445001", true, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "2.4");
        w.charts()->drawings().drawLoadVsLength();
        ChartControl* s = chartOf(w, "ChartS");
        auto* warning = w.findChild<QLabel*>("lblW15");
        QCOMPARE(warning->isVisibleTo(warning->parentWidget()), count > 15);
        QCOMPARE(warning->text(),
                 QString("There are more than 15 records selected to plot, only the last 15 readings will be "
                         "plotted. Go to the Readings Tab to select or unselect which data to plot"));
        QVERIFY(!s->isSeriesVisible(0));
        const int skipped = count - 15;
        for (int r = 1; r <= 15; ++r) {
            QVERIFY(s->isSeriesVisible(r));
            QCOMPARE(s->seriesTitle(r), stamp(QDateTime(QDate(2025, 1, 1).addDays(r - 1 + skipped), QTime(9, 0))));
            // Stacked, 3 channels: gauges 1 and 2, then the cable end at 0.
            QCOMPARE(s->pointCount(r), 3);
            QCOMPARE(s->point(r, 1), QPointF(1.0, 0.2 * (r + skipped)));
        }
        QCOMPARE(w.shared().rsGraph->absolutePosition(), qint64(count));
    }

    void closingPointsAndAxes()
    {
        Row a, b;
        a.when = QDateTime(QDate(2025, 4, 2), QTime(9, 0));
        b.when = QDateTime(QDate(2025, 4, 9), QTime(9, 0));
        a.load = {0.4, 1.2, 2.6, 0.9};
        b.load = {0.5, 1.4, 3.3, 1.1};
        a.disp = {10, 20, 30, 40};
        b.disp = {15, 25, 35, 45};
        a.stretch = {-5.5, -12.25};
        b.stretch = {-3.0, -8.0};
        ChartFixture::addSensor("250455001", false, {a, b});
        ScriptedMessages m;
        MainWindow w;
        w.show();
        // Staggered, 4 gauges at 0.5 to 2.0 m, nodes every 0.25 m, a 2.4 m cable.
        ChartFixture::showSensor(w, {"0.25", "0.50", "0.75", "1.00", "1.25", "1.50"}, {"0.50", "1.00", "1.50", "2.00"},
                                 "2.4");
        ChartDrawings& d = w.charts()->drawings();
        d.drawLoadVsLength();
        d.drawDispVsLength();
        d.drawShearVsLength();

        ChartControl* s = chartOf(w, "ChartS");
        QCOMPARE(s->pointCount(2), 5);
        QCOMPARE(s->point(2, 2), QPointF(1.5, 3.3));
        QCOMPARE(s->point(2, 4), QPointF(2.4, 0));
        QCOMPARE(s->minimum(Axis::Bottom), 0.0);
        QCOMPARE(s->maximum(Axis::Bottom), 3.0);
        // Largest load 3.3: band 3 to below 10, 3.3 + 0.5.
        QCOMPARE(s->minimum(Axis::Left), 0.0);
        QVERIFY(std::fabs(s->maximum(Axis::Left) - 3.8) < 1e-9);
        QCOMPARE(s->increment(Axis::Left), 0.5);
        QCOMPARE(s->axisTitle(Axis::Left), QString("Load (tons)"));
        // A 2.4 m bolt: ticks every 0.5 m, each label with its decimal.
        QCOMPARE(s->increment(Axis::Bottom), 0.5);
        {
            // The chart as its tab shows it (without the tab change, which would compute it again).
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabLoadVLength);
            QApplication::processEvents();
        }
        QCOMPARE(s->tickLabels(Axis::Bottom), (QStringList{"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"}));
        QCOMPARE(s->tickLabels(Axis::Left), (QStringList{"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5"}));
        QCOMPARE(s->axisTitle(Axis::Bottom), QString("Distance from Roof (m)"));

        ChartControl* dvl = chartOf(w, "ChartDvL");
        QCOMPARE(dvl->pointCount(1), 6);  // nodes 1 to 4, node 5 at 0, the cable end at 0
        QCOMPARE(dvl->point(1, 3), QPointF(1.0, 40));
        QCOMPARE(dvl->point(1, 4), QPointF(1.25, 0));
        QCOMPARE(dvl->point(1, 5), QPointF(2.4, 0));
        QCOMPARE(dvl->axisTitle(Axis::Left), QString("Displacement (microns)"));
        QCOMPARE(dvl->maximum(Axis::Left), 50.0);  // 45: band 40 to below 50

        ChartControl* svl = chartOf(w, "ChartSvL");
        QCOMPARE(svl->pointCount(1), 2);  // gauges 1 and 2, no closing point
        QCOMPARE(svl->point(1, 1), QPointF(1.0, -12.25));
        // All negative: the smallest value rounded half to even; the bottom axis from 0.5 to 1.0 gives 0 to 1.
        QCOMPARE(svl->minimum(Axis::Left), -12.25);
        QCOMPARE(svl->maximum(Axis::Bottom), 1.0);
        QCOMPARE(svl->legendEntries(), (QStringList{stamp(a.when), stamp(b.when)}));
        QCOMPARE(svl->legendTitle(), QString("Reading  Dates: "));
    }

    void lengthProfileChoicesOverAYear()
    {
        QList<Row> rows = aYearOfReadings();
        for (int picked : {10, 100, 200, 728}) rows[picked].spatial = true;
        rows.last().doNotPlot = true;  // 2025-12-31 19:00, rejected: drawn by no choice
        ChartFixture::addSensor("250445001", true, rows);
        using ChartRules::ProfileChoice;
        {
            ScriptedMessages m;
            MainWindow w;
            w.show();
            ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "2.4");
            ChartControl* s = chartOf(w, "ChartS");
            auto* warning = w.findChild<QLabel*>("lblW15");
            QComboBox* box = profilesBox(w, MainWindow::TabLoadVLength);
            QVERIFY(box);
            QCOMPARE(box->count(), 4);
            auto drawWith = [&](ProfileChoice choice) {
                box->setCurrentIndex(int(choice));
                w.charts()->drawings().drawLoadVsLength();
                return drawnLines(s);
            };

            // Picked dates: the readings marked Plot Spatial, as before.
            Drawn d = drawWith(ProfileChoice::Picked);
            QCOMPARE(d.readings, (QList<int>{10, 100, 200, 728}));
            QCOMPARE(d.titles.first(), stamp(QDateTime(QDate(2025, 1, 6), QTime(7, 0))));
            QVERIFY(!warning->isVisibleTo(warning->parentWidget()));

            // The last 15 plotted readings.
            d = drawWith(ProfileChoice::Last15);
            QList<int> last15;
            for (int i = 714; i <= 728; ++i) last15 << i;
            QCOMPARE(d.readings, last15);
            QCOMPARE(d.titles.last(), stamp(QDateTime(QDate(2025, 12, 31), QTime(7, 0))));
            QVERIFY(!warning->isVisibleTo(warning->parentWidget()));

            // One per week: the last reading of each week (Monday to Sunday); the year has
            // 53 weeks, so 15 of them spread from the first to the last, and a note says so.
            d = drawWith(ProfileChoice::Weekly);
            QCOMPARE(d.titles.size(), 15);
            QCOMPARE(d.titles.first(), stamp(QDateTime(QDate(2025, 1, 5), QTime(19, 0))));
            QCOMPARE(d.titles.last(), stamp(QDateTime(QDate(2025, 12, 31), QTime(7, 0))));
            for (int j = 1; j < 14; ++j) {
                // Week j of the 15 is week round(j * 52 / 14) of the record: always a Sunday's
                // last reading, 3 or 4 weeks after the one before.
                const QDate sunday = QDate(2025, 1, 5).addDays(7 * std::lround(j * 52.0 / 14));
                QCOMPARE(d.titles[j], stamp(QDateTime(sunday, QTime(19, 0))));
            }
            QVERIFY(warning->isVisibleTo(warning->parentWidget()));
            QVERIFY(warning->text().contains("53 weeks"));

            // One per month: the last reading of each month; the year fits.
            d = drawWith(ProfileChoice::Monthly);
            QCOMPARE(d.titles.size(), 12);
            for (int month = 1; month <= 11; ++month) {
                const QDate lastDay(2025, month, QDate(2025, month, 1).daysInMonth());
                QCOMPARE(d.titles[month - 1], stamp(QDateTime(lastDay, QTime(19, 0))));
                QCOMPARE(d.readings[month - 1], 2 * QDate(2025, 1, 1).daysTo(lastDay) + 1);
            }
            QCOMPARE(d.readings.last(), 728);
            QVERIFY(!warning->isVisibleTo(warning->parentWidget()));
            // The three length tabs show the one choice.
            QCOMPARE(profilesBox(w, MainWindow::TabShearVLength)->currentIndex(), int(ProfileChoice::Monthly));
        }
        // Remembered for the next start.
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "2.4");
        QCOMPARE(profilesBox(w, MainWindow::TabDispVLength)->currentIndex(), int(ProfileChoice::Monthly));
        w.charts()->drawings().drawLoadVsLength();
        QCOMPARE(drawnLines(chartOf(w, "ChartS")).titles.size(), 12);
    }

    // Readings not marked Plot Spatial have no displacement or shear computed for them
    // (the length passes compute the marked ones): drawn by another choice, their lines
    // come from their own loads and strains, never from what their columns held.
    void displacementProfilesOfUnmarkedReadings()
    {
        auto db = TestData::openDatabase("unmarked");
        TestData::NewSensor sensor;
        sensor.id = "250475001";  // stacked, 6 channels: 3 loads, 3 displacements
        TestData::addSensor(*db, sensor);
        QList<TestData::NewReading> readings;
        for (int i = 0; i < 5; ++i) {
            TestData::NewReading r;
            r.when = QDateTime(QDate(2025, 5, 1 + i), QTime(9, 0));
            for (int c = 1; c <= 6; ++c) r.channels << QString::number(1000 + c * 10 + i * i * c * 3);
            r.temperature = "12";
            r.spatial = i != 3;
            readings << r;
        }
        TestData::addReadings(*db, sensor.id, readings);
        db->execute("UPDATE `250475001` SET Disp1 = 999, Disp2 = 999, Stretch1 = 999 WHERE DateTimeKey = ?",
                    {TestData::readingKey(sensor.id, readings[3].when)});
        db.reset();
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"0.5", "1.0", "1.5", "2.0"}, {"0.5", "1.0", "1.5"}, "2.4");
        profilesBox(w, MainWindow::TabDispVLength)->setCurrentIndex(int(ChartRules::ProfileChoice::Last15));
        // Drawn for the report, which follows the choice made on screen.
        QVERIFY(w.charts()->prepareChart(MainWindow::TabLoadVLength));
        QVERIFY(w.charts()->prepareChart(MainWindow::TabDispVLength));
        QVERIFY(w.charts()->prepareChart(MainWindow::TabShearVLength));
        ChartControl* s = w.charts()->reportChart(MainWindow::TabLoadVLength);
        ChartControl* dvl = w.charts()->reportChart(MainWindow::TabDispVLength);
        ChartControl* svl = w.charts()->reportChart(MainWindow::TabShearVLength);
        QCOMPARE(drawnLines(dvl).titles.size(), 5);
        const double k = 100;  // the sensor's k factor
        for (int r = 1; r <= 5; ++r) {
            // Stacked: the displacement at a node is the running sum of load x k from the
            // last position back.
            QCOMPARE(s->pointCount(r), 4);
            QCOMPARE(dvl->pointCount(r), 4);
            double sum = 0;
            for (int g = 3; g >= 1; --g) {
                sum += s->point(r, g - 1).y() * k;
                QVERIFY2(std::fabs(dvl->point(r, g - 1).y() - sum) < 1e-6 * std::max(1.0, std::fabs(sum)),
                         qPrintable(QString("line %1 node %2").arg(r).arg(g)));
            }
            QVERIFY(s->point(r, 0).y() != 0 || r == 1);  // the baseline alone is all zero
            QCOMPARE(svl->pointCount(r), 3);
            for (int g = 0; g < 3; ++g) QVERIFY(std::isfinite(svl->point(r, g).y()) && svl->point(r, g).y() != 999);
        }
        // On the chart's own tab, another choice draws it again at once: the four marked readings.
        w.tabWidget->setCurrentIndex(MainWindow::TabDispVLength);
        ChartControl* shown = chartOf(w, "ChartDvL");
        QCOMPARE(drawnLines(shown).titles.size(), 5);
        profilesBox(w, MainWindow::TabDispVLength)->setCurrentIndex(int(ChartRules::ProfileChoice::Picked));
        QCOMPARE(drawnLines(shown).titles.size(), 4);
        QVERIFY(!drawnLines(shown).titles.contains(stamp(QDateTime(QDate(2025, 5, 4), QTime(9, 0)))));
        QVERIFY(m.script.shown.empty());
    }

    // With more to compute than a pass before the drawing takes, a length chart computes
    // the readings it draws from their raw values, as the pass stores them, and the pass
    // runs after: what is drawn is bit for bit what is drawn from the stored values once
    // the pass stored them, on every length chart and for marked and unmarked readings.
    void aLargeLengthPassRunsAfterTheDrawing()
    {
        const QString id = QStringLiteral("250475001");
        const QString table = QStringLiteral("`%1`").arg(id);
        ChartFixture::addHourlySensor(id, 60, "UPDATE %1 SET PlotSpatial = True WHERE rowid % 3 = 0");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"0.5", "1.0", "1.5", "2.0"}, {"0.5", "1.0", "1.5"}, "2.4");
        Database& db = w.shared().db;
        const auto drawnPoints = [&](int tab) {
            ChartControl* c = w.charts()->chart(tab);
            QList<QList<QPointF>> lines;
            for (int r = 1; r < c->seriesCount(); ++r) {
                if (!c->isSeriesVisible(r)) continue;
                QList<QPointF> points;
                for (int k = 0; k < c->pointCount(r); ++k) points << c->point(r, k);
                lines << points;
            }
            return lines;
        };
        const auto enter = [&](int tab) {
            w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
            w.tabWidget->setCurrentIndex(tab);
            QCOMPARE(w.tabWidget->currentIndex(), tab);
        };
        int queued = w.charts()->backgroundPasses().queued();
        for (const ChartRules::ProfileChoice choice :
             {ChartRules::ProfileChoice::Picked, ChartRules::ProfileChoice::Last15})
            for (int tab : {MainWindow::TabLoadVLength, MainWindow::TabDispVLength, MainWindow::TabShearVLength}) {
                profilesBox(w, tab)->setCurrentIndex(int(choice));
                // Nothing recorded as computed, and every stored value wrong: only what the
                // chart computes itself can be right.
                PassTables::forgetSensor(db, id);
                db.execute("UPDATE " + table +
                           " SET zero1 = 999, zero2 = 999, Load1 = 999, Load2 = 999, Disp1 = 999, Disp2 = 999, "
                           "Stretch1 = 999, Stretch2 = 999");
                ChartCalc::setSmallPassReadings(10);
                enter(tab);
                const QList<QList<QPointF>> computed = drawnPoints(tab);
                QCOMPARE(w.charts()->backgroundPasses().queued(), ++queued);  // stored after the drawing
                w.charts()->finishBackgroundPasses();
                ChartCalc::setSmallPassReadings(20000);
                enter(tab);
                const QList<QList<QPointF>> stored = drawnPoints(tab);
                QCOMPARE(w.charts()->backgroundPasses().queued(), queued);
                QCOMPARE(computed.size(), 15);
                QCOMPARE(stored.size(), computed.size());
                for (qsizetype r = 0; r < computed.size(); ++r) {
                    QCOMPARE(stored[r].size(), computed[r].size());
                    for (qsizetype k = 0; k < computed[r].size(); ++k) {
                        const QPointF a = computed[r][k], b = stored[r][k];
                        QVERIFY2(a.x() == b.x() && std::bit_cast<quint64>(a.y()) == std::bit_cast<quint64>(b.y()) &&
                                     a.y() != 999,
                                 qPrintable(QStringLiteral("tab %1, line %2, point %3: drawn %4, stored %5")
                                                .arg(tab)
                                                .arg(r)
                                                .arg(k)
                                                .arg(a.y(), 0, 'g', 17)
                                                .arg(b.y(), 0, 'g', 17)));
                    }
                }
            }
        QVERIFY(m.script.shown.empty());
    }

    void stackedLengthCharts()
    {
        Row a, b;
        a.when = QDateTime(QDate(2025, 4, 2), QTime(9, 0));
        b.when = a.when.addDays(1);
        a.load = b.load = {1, 2, 3, 4, 5};
        a.disp = b.disp = {1, 2, 3, 4, 5};
        a.stretch = {-3.6, -12.25};
        b.stretch = {-5, -6};
        ChartFixture::addSensor("250445001", true, {a, b});
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {"0.50", "0.80"}, {"0.65", "0.95"}, "0.9");
        ChartDrawings& d = w.charts()->drawings();
        d.drawDispVsLength();
        d.drawShearVsLength();
        // Stacked, 3 channels: nodes 1 and 2 and the cable end; shear at gauges 1 and 2.
        ChartControl* dvl = chartOf(w, "ChartDvL");
        QCOMPARE(dvl->pointCount(1), 3);
        QCOMPARE(dvl->point(1, 2), QPointF(0.9, 0));
        QCOMPARE(dvl->maximum(Axis::Bottom), 1.0);
        // The largest shear strain, -3.6, rounds to -4 in its band: the top is raised to 0
        // so that no point is cut off.
        QCOMPARE(chartOf(w, "ChartSvL")->dataMaximum(Axis::Left), -3.6);
        QCOMPARE(chartOf(w, "ChartSvL")->maximum(Axis::Left), 0.0);
        QCOMPARE(chartOf(w, "ChartSvL")->minimum(Axis::Left), -12.25);
        // The second centre box is empty: the drawing stops there and says so in the log.
        ChartFixture::setBox(w, "txtRelSGCenter(2)", "");
        QFile::remove(Paths::logFilePath());
        d.drawShearVsLength();
        QCOMPARE(chartOf(w, "ChartSvL")->pointCount(1), 1);
        QVERIFY(readLog().contains("Err #13: "));
        QVERIFY(readLog().contains(" G_DrawSvLgraph"));
    }
};

QTEST_MAIN(TestLengthCharts)
#include "tst_lengthcharts.moc"
