// The chart control on its own: zoom by rectangle, scrolling along an axis, the legend's
// check boxes, labels of a fixed increment, and date labels that follow the readings'
// own clock whatever the machine's time zone.
#include "charts/ChartControl.h"
#include "charts/ChartRules.h"

#include <QtTest>
#include <cmath>

using Axis = ChartControl::Axis;

class TestChartControl : public QObject {
    Q_OBJECT

    // A chart of two series on a fixed window, laid out at a known size.
    std::unique_ptr<ChartControl> makeChart()
    {
        auto c = std::make_unique<ChartControl>();
        c->resize(800, 500);
        c->show();
        c->setSeriesCount(3);
        c->setLegendTitle("Legend:");
        c->setSeriesVisible(1, true);
        c->setSeriesVisible(2, true);
        c->setSeriesTitle(1, "#1");
        c->setSeriesTitle(2, "#2");
        c->setSeriesData(1, {0, 1, 2, 3, 4}, {0, 10, 20, 30, 40});
        c->setSeriesData(2, {0, 1, 2, 3, 4}, {-5, 0, 5, 50, 5});
        c->refresh();
        return c;
    }

private slots:
    // A line bound again from the arrays it was drawn from: as it was while their revision
    // is the same, their new contents once it changed, and after they grew in place the
    // same picture (points, limits) as a line bound afresh from copies of them.
    void lineBoundAgainFollowsItsArrays()
    {
        using Line = std::shared_ptr<std::vector<double>>;
        auto keys = std::make_shared<std::vector<double>>();
        auto values = std::make_shared<std::vector<double>>();
        for (int i = 0; i < 50000; ++i) {
            keys->push_back(i * 60.0);
            values->push_back(std::sin(i / 300.0));
        }
        const auto bind = [](ChartControl& c, const Line& k, const Line& v, const ChartControl::LineRevision& r) {
            c.clearSeries(1);
            c.setSeriesVisible(1, false);
            c.setSeriesVisible(1, true);
            c.setSeriesData(1, k, v, r);
            c.refresh();
        };
        const auto afresh = [&] {
            auto c = makeChart();
            c->setSeriesVisible(2, false);
            bind(*c, std::make_shared<std::vector<double>>(*keys), std::make_shared<std::vector<double>>(*values), {});
            return c;
        };
        auto c = makeChart();
        c->setSeriesVisible(2, false);
        bind(*c, keys, values, {1});
        const QImage first = c->render(c->size());
        bind(*c, keys, values, {1});
        QCOMPARE(c->render(c->size()), first);
        QCOMPARE(c->dataMaximum(Axis::Left), *std::max_element(values->begin(), values->end()));

        (*values)[700] = 5.0;  // changed in place: a new revision
        bind(*c, keys, values, {2});
        QCOMPARE(c->dataMaximum(Axis::Left), 5.0);
        QCOMPARE(c->point(1, 700), QPointF(700 * 60.0, 5.0));
        QCOMPARE(c->render(c->size()), afresh()->render(c->size()));

        // Grown in place: a point within the line and one past its end.
        keys->insert(keys->begin() + 900, 899 * 60.0 + 30);
        values->insert(values->begin() + 900, -7.0);
        keys->push_back(keys->back() + 86400.0);
        values->push_back(9.0);
        const std::vector<size_t> added{900, keys->size() - 1};
        bind(*c, keys, values, {3, 2, &added});
        QCOMPARE(c->pointCount(1), int(keys->size()));
        QCOMPARE(c->dataMinimum(Axis::Left), -7.0);
        QCOMPARE(c->dataMaximum(Axis::Left), 9.0);
        QCOMPARE(c->render(c->size()), afresh()->render(c->size()));

        // Grown out of key order: taken in whole, in key order.
        keys->insert(keys->begin() + 10, 5.0);
        values->insert(values->begin() + 10, -20.0);
        const std::vector<size_t> misplaced{10};
        bind(*c, keys, values, {4, 3, &misplaced});
        QCOMPARE(c->point(1, 1), QPointF(5.0, -20.0));
        QCOMPARE(c->dataMinimum(Axis::Left), -20.0);
        QCOMPARE(c->render(c->size()), afresh()->render(c->size()));
    }

    void zoomInAndBackOut()
    {
        auto c = makeChart();
        c->setMinimum(Axis::Left, -10);
        c->setMaximum(Axis::Left, 60);
        c->refresh();
        const QRect area = c->plotArea();
        QVERIFY(area.width() > 300);
        // Left to right over the left half of the X range and the upper half of the values.
        const QPoint from(area.left(), area.top());
        const QPoint to(area.center().x(), area.center().y());
        c->dragZoom(from, to);
        QVERIFY(c->isZoomed());
        QVERIFY(std::fabs(c->shownLower(Axis::Bottom) - 0) < 0.05);
        QVERIFY(std::fabs(c->shownUpper(Axis::Bottom) - 2) < 0.05);
        QVERIFY(std::fabs(c->shownLower(Axis::Left) - 25) < 0.5);
        QVERIFY(std::fabs(c->shownUpper(Axis::Left) - 60) < 0.5);
        // The limits set by the program are unchanged by the zoom.
        QCOMPARE(c->minimum(Axis::Left), -10.0);
        // Right to left: back to the limits as drawn.
        c->dragZoom(to, from);
        QVERIFY(!c->isZoomed());
        QCOMPARE(c->shownLower(Axis::Left), -10.0);
        QCOMPARE(c->shownUpper(Axis::Left), 60.0);
        QCOMPARE(c->shownLower(Axis::Bottom), 0.0);
        QCOMPARE(c->shownUpper(Axis::Bottom), 4.0);
    }

    void scrollAlongAnAxis()
    {
        auto c = makeChart();
        c->setMinimum(Axis::Bottom, 0);
        c->setMaximum(Axis::Bottom, 4);
        c->refresh();
        const double perPixel = 4.0 / c->plotArea().width();
        // Dragging the bottom axis to the right brings earlier values into view.
        c->scrollAxis(Axis::Bottom, 100);
        QVERIFY(std::fabs(c->shownLower(Axis::Bottom) + 100 * perPixel) < 0.02);
        QVERIFY(std::fabs(c->shownUpper(Axis::Bottom) - (4 - 100 * perPixel)) < 0.02);
        // Dragging the value axis down brings higher values into view.
        const double upper = c->shownUpper(Axis::Left);
        c->scrollAxis(Axis::Left, 50);
        QVERIFY(c->shownUpper(Axis::Left) > upper);
    }

    void legendCheckBoxesHideSeries()
    {
        auto c = makeChart();
        QCOMPARE(c->legendEntries(), (QStringList{"#1", "#2"}));
        QCOMPARE(c->dataMaximum(Axis::Left), 50.0);
        c->setSeriesChecked(2, false);
        QVERIFY(!c->isSeriesVisible(2));
        QCOMPARE(c->legendEntries(), (QStringList{"#1", "#2"}));  // still listed, unchecked
        QCOMPARE(c->dataMaximum(Axis::Left), 40.0);
        QCOMPARE(c->dataMinimum(Axis::Left), 0.0);
        // The next drawing shows it again, checked.
        c->setSeriesVisible(2, true);
        QVERIFY(c->isSeriesChecked(2));
        // Hidden by the program: out of the legend, points removed.
        c->setSeriesVisible(1, false);
        QCOMPARE(c->legendEntries(), QStringList{"#2"});
        QCOMPARE(c->pointCount(1), 0);
    }

    // The same, done with the mouse as a user does it.
    void mouseDragsAndLegendClicks()
    {
        auto c = makeChart();
        QWidget* plot = c->findChild<QWidget*>("plot");
        QVERIFY(plot);
        const QRect area = c->plotArea();
        const QPoint a = area.topLeft() + QPoint(10, 10) - plot->pos();
        const QPoint b = area.center() - plot->pos();
        auto drag = [&](QPoint from, QPoint to) {
            QTest::mousePress(plot, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, to, plot->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(plot, &move);
            QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
        };
        drag(a, b);
        QVERIFY(c->isZoomed());
        QVERIFY(c->shownUpper(Axis::Bottom) < 2.5);
        drag(b, a);
        QVERIFY(!c->isZoomed());
        QCOMPARE(c->shownUpper(Axis::Bottom), 4.0);
        // Dragging along the bottom axis scrolls it.
        const QPoint onAxis(area.center().x() - plot->pos().x(), area.bottom() + 8 - plot->pos().y());
        drag(onAxis, onAxis + QPoint(-80, 0));
        QVERIFY(c->shownLower(Axis::Bottom) > 0.1);
        // A click on a legend entry unchecks its series, a second click checks it again.
        const QPoint entry = c->legendEntryArea(2).center() - plot->pos();
        QVERIFY(!c->legendEntryArea(2).isEmpty());
        QTest::mouseClick(plot, Qt::LeftButton, {}, entry);
        QVERIFY(!c->isSeriesChecked(2));
        QVERIFY(!c->isSeriesVisible(2));
        QTest::mouseClick(plot, Qt::LeftButton, {}, entry);
        QVERIFY(c->isSeriesChecked(2));
    }

    // A series on an axis of its own (the temperature) is measured on the right axis only:
    // the value axis spans the other lines, and the right axis goes with its series.
    void ownAxisSeriesStaysOffTheValueAxis()
    {
        auto c = makeChart();
        c->setOwnAxisSeries(0, "Temperature");
        c->setSeriesVisible(0, true);
        c->setSeriesTitle(0, "Temp");
        c->setSeriesData(0, {0, 1, 2, 3, 4}, {150, 180, 210, 240, 170});
        c->refresh();
        QVERIFY(c->isOnRightAxis(0));
        QVERIFY(!c->isOnRightAxis(1));
        QCOMPARE(c->dataMaximum(Axis::Left), 50.0);
        QCOMPARE(c->shownUpper(Axis::Left), 50.0);  // automatic: the gauges alone
        QVERIFY(c->isRightAxisShown());
        QCOMPARE(c->rightAxisTitle(), QString("Temperature"));
        QVERIFY(c->rightLower() < 150 && c->rightUpper() > 240);
        QVERIFY(c->rightUpper() - c->rightLower() < 300);  // fitted to its values
        QSignalSpy toggled(c.get(), &ChartControl::seriesCheckedChanged);
        c->setSeriesChecked(0, false);
        c->setSeriesChecked(0, false);  // no change: no signal
        c->refresh();
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled[0][0].toInt(), 0);
        QCOMPARE(toggled[0][1].toBool(), false);
        QVERIFY(!c->isRightAxisShown());
        QCOMPARE(c->shownUpper(Axis::Left), 50.0);
    }

    // A point on the corner of the data area shows its whole diamond while the chart shows
    // its limits as drawn; once zoomed, the edge clips again.
    void markersAtTheEdgeAreWhole()
    {
        auto c = std::make_unique<ChartControl>();
        c->resize(600, 400);
        c->show();
        c->setSeriesCount(2);
        c->setSeriesColour(1, QColor(255, 0, 0));
        c->setSeriesVisible(1, true);
        c->setSeriesData(1, std::vector<double>{0, 10}, std::vector<double>{0, 10});
        c->setMinimum(Axis::Left, 0);
        c->setMaximum(Axis::Left, 10);
        c->setMinimum(Axis::Bottom, 0);
        c->setMaximum(Axis::Bottom, 10);
        c->refresh();
        QVERIFY(c->edgeRoom(1) >= 4);
        const QRect area = c->plotArea();
        const QImage picture = c->render(c->size());
        QCOMPARE(picture.size(), c->size());
        // Just outside the top-right corner, where the last point's diamond reaches.
        const QColor outside = picture.pixelColor(area.right() + 2, area.top());
        QVERIFY2(outside.red() > 200 && outside.green() < 80, qPrintable(outside.name()));
        c->dragZoom(area.topLeft() + QPoint(20, 20), area.center());
        QCOMPARE(c->edgeRoom(1), 0);
    }

    void automaticAndFixedLimits()
    {
        auto c = makeChart();
        QVERIFY(c->isAutomatic(Axis::Left));
        QCOMPARE(c->minimum(Axis::Left), -5.0);
        QCOMPARE(c->maximum(Axis::Left), 50.0);
        QCOMPARE(c->seriesMaxX(2), 4.0);
        QCOMPARE(c->seriesMaxY(2), 50.0);
        c->setAutomatic(Axis::Left, false);
        c->setSeriesData(1, {0, 1}, {100, 200});
        QCOMPARE(c->maximum(Axis::Left), 50.0);  // fixed limits stay
    }

    // A line of many points keeps every point for zooming, shares its X values with other
    // lines, and reports its true extremes, while the drawing stays quick.
    void longLinesKeepEveryPoint()
    {
        auto c = makeChart();
        auto keys = std::make_shared<std::vector<double>>();
        auto a = std::make_shared<std::vector<double>>();
        auto b = std::make_shared<std::vector<double>>();
        for (int i = 0; i < 300000; ++i) {
            keys->push_back(1000.0 + i);
            a->push_back(i == 123457 ? 999.0 : std::sin(i / 100.0));
            b->push_back(i == 200 ? -77.0 : std::cos(i / 100.0));
        }
        c->setSeriesData(1, keys, a);
        c->setSeriesData(2, keys, b);
        c->refresh();
        QCOMPARE(c->pointCount(1), 300000);
        QCOMPARE(c->point(1, 123457), QPointF(124457.0, 999.0));
        QCOMPARE(c->dataMaximum(Axis::Left), 999.0);
        QCOMPARE(c->dataMinimum(Axis::Left), -77.0);
        QCOMPARE(c->seriesMaxX(2), 300999.0);
        QVERIFY(!c->isSeriesMarked(1));  // too dense for markers
        // Zoomed in by a drag and back out: the same picture as first drawn (the sample of
        // the whole line is handed over again).
        const QImage before = c->render(c->size());
        const QRect area = c->plotArea();
        c->dragZoom(area.topLeft() + QPoint(area.width() / 3, 0), area.bottomRight() - QPoint(area.width() / 3, 0));
        QVERIFY(c->isZoomed());
        QVERIFY(c->render(c->size()) != before);
        c->dragZoom(area.bottomRight() - QPoint(area.width() / 3, 0), area.topLeft() + QPoint(area.width() / 3, 0));
        QVERIFY(!c->isZoomed());
        QVERIFY(c->render(c->size()) == before);
        // Zoomed in to a few points: they are all drawn, with their markers.
        c->setMinimum(Axis::Bottom, 5000);
        c->setMaximum(Axis::Bottom, 5020);
        c->refresh();
        QVERIFY(c->isSeriesMarked(1));
        QCOMPARE(c->pointCount(1), 300000);
        // Out of order and without a key: kept in key order, the keyless point dropped.
        c->setSeriesData(1, {3, 1, std::nan(""), 2}, {30, 10, 99, 20});
        QCOMPARE(c->pointCount(1), 3);
        QCOMPARE(c->point(1, 0), QPointF(1, 10));
        QCOMPARE(c->point(1, 2), QPointF(3, 30));
        c->addPoint(1, 4, 40);
        QCOMPARE(c->pointCount(1), 4);
        QCOMPARE(c->point(1, 3), QPointF(4, 40));
    }

    void incrementLabels_data()
    {
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("increment");
        QTest::addColumn<QStringList>("labels");
        // Every label with the decimals the step needs.
        QTest::newRow("0.1 steps") << 1.0 << 0.1 << QStringList{"0.0", "0.1", "0.2", "0.3", "0.4", "0.5",
                                                                "0.6", "0.7", "0.8", "0.9", "1.0"};
        QTest::newRow("0.5 steps") << 3.0 << 0.5 << QStringList{"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0"};
        QTest::newRow("2 steps") << 8.0 << 2.0 << QStringList{"0", "2", "4", "6", "8"};
        // Ten thousand labels would not fit: whole multiples of the increment instead.
        QTest::newRow("too many") << 1000.0 << 0.1 << QStringList{};
    }
    void incrementLabels()
    {
        QFETCH(double, maximum);
        QFETCH(double, increment);
        QFETCH(QStringList, labels);
        auto c = makeChart();
        c->setMinimum(Axis::Left, 0);
        c->setMaximum(Axis::Left, maximum);
        c->setIncrement(Axis::Left, increment);
        const QStringList shown = c->tickLabels(Axis::Left);
        if (!labels.isEmpty()) {
            QCOMPARE(shown, labels);
        } else {
            QVERIFY(shown.size() >= 3 && shown.size() <= 30);
            const double step = shown[1].toDouble() - shown[0].toDouble();
            QVERIFY(std::fabs(std::round(step / increment) * increment - step) < 1e-6);
            // A round step: 1, 2 or 5 times a power of ten.
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
            QVERIFY(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 || std::fabs(mantissa - 5) < 1e-6);
        }
    }

    void dateLabelsShowTheReadingsClock_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("UTC") << QByteArray("UTC");
        QTest::newRow("Auckland") << QByteArray("Pacific/Auckland");
        QTest::newRow("New York") << QByteArray("America/New_York");
    }
    void dateLabelsShowTheReadingsClock()
    {
        QFETCH(QByteArray, zone);
        const QByteArray old = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        auto c = std::make_unique<ChartControl>();
        c->resize(800, 500);
        c->setSeriesCount(2);
        c->setDateTimeAxis(true);
        c->setSeriesVisible(1, true);
        const double start = ChartRules::dateTimeKey("2025-03-30 00:30:00");  // a daylight-saving night in Europe
        c->setSeriesData(1, {start, start + 4 * 3600, start + 23 * 3600}, {1, 2, 3});
        c->setDateTimeFormat(Axis::Bottom, "HH:mm");
        c->setDateTimeStep(Axis::Bottom, ChartControl::TimeStep::TwoHours);
        const QStringList hours = c->tickLabels(Axis::Bottom);
        QCOMPARE(hours, (QStringList{"02:00", "04:00", "06:00", "08:00", "10:00", "12:00", "14:00", "16:00", "18:00",
                                     "20:00", "22:00"}));
        c->setSeriesData(1, {start, start + 40 * 86400}, {1, 2});
        c->setDateTimeFormat(Axis::Bottom, "yyyy/MM/dd");
        c->setDateTimeStep(Axis::Bottom, ChartControl::TimeStep::Automatic);
        QStringList days = c->tickLabels(Axis::Bottom);
        QVERIFY(days.size() >= 3);
        for (const QString& d : days) QVERIFY2(QDate::fromString(d, "yyyy/MM/dd").isValid(), qPrintable(d));
        QCOMPARE(days.removeDuplicates(), qsizetype(0));
        qputenv("TZ", old);
        tzset();
    }
};

QTEST_MAIN(TestChartControl)
#include "tst_chartcontrol.moc"
