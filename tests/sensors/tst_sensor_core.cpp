// Gauge positions, sensor-number rules and the record's date texts, without a window.
#include "sensors/GaugeLayout.h"
#include "core/TwError.h"
#include "sensors/RecordText.h"
#include "sensors/SensorNumber.h"
#include "sensors/SensorDeletion.h"

#include <QtTest>

using GaugeLayout::compute;

class TestSensorCore : public QObject {
    Q_OBJECT
private slots:
    void workedExampleStacked()
    {
        const auto p = compute("100", 50, 6, true);
        QCOMPARE(p.nodes, QStringList({"150.00", "200.00", "250.00"}));
        // The first centre is a plain number; the next ones are formatted.
        QCOMPARE(p.centres, QStringList({"125", "175.00", "225.00"}));
    }

    void workedExampleStaggered()
    {
        const auto p = compute("100", 50, 6, false);
        QCOMPARE(p.nodes, QStringList({"125.00", "150.00", "175.00", "200.00", "225.00", "250.00", "275.00"}));
        QCOMPARE(p.centres, QStringList({"125.00", "150.00", "175.00", "200.00", "225.00", "250.00"}));
    }

    // Boxes carrying a value by channel count and layout (node 1 is the typed one).
    void boxesByChannelCount_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("stackedNodes");
        QTest::addColumn<int>("stackedCentres");
        QTest::addColumn<int>("staggeredNodes");
        QTest::addColumn<int>("staggeredCentres");
        QTest::newRow("1") << 1 << 1 << 1 << 3 << 1;
        QTest::newRow("2") << 2 << 1 << 1 << 4 << 2;
        QTest::newRow("3") << 3 << 1 << 1 << 5 << 3;
        QTest::newRow("4") << 4 << 2 << 1 << 6 << 4;
        QTest::newRow("5") << 5 << 3 << 2 << 7 << 5;
        QTest::newRow("6") << 6 << 4 << 3 << 8 << 6;
    }
    void boxesByChannelCount()
    {
        QFETCH(int, channels);
        QFETCH(int, stackedNodes);
        QFETCH(int, stackedCentres);
        QFETCH(int, staggeredNodes);
        QFETCH(int, staggeredCentres);
        const auto st = compute("0", 1, channels, true);
        const auto sg = compute("0", 1, channels, false);
        QCOMPARE(int(st.nodes.size()) + 1, stackedNodes);
        QCOMPARE(int(st.centres.size()), stackedCentres);
        QCOMPARE(int(sg.nodes.size()) + 1, staggeredNodes);
        QCOMPARE(int(sg.centres.size()), staggeredCentres);
        QCOMPARE(GaugeLayout::nodesWithValue(channels, true), stackedNodes);
        QCOMPARE(GaugeLayout::centresWithValue(channels, true), stackedCentres);
        QCOMPARE(GaugeLayout::nodesWithValue(channels, false), staggeredNodes);
        QCOMPARE(GaugeLayout::centresWithValue(channels, false), staggeredCentres);
    }

    void eachStepStartsFromThePreviousBoxText_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<double>("length");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QStringList>("centres");
        // Rounded texts feed the next step: 0.333 steps from 0.004 give 0.34, 0.67, 1.
        QTest::newRow("rounded chain") << "0.004" << 0.333 << true << QStringList{"0.34", "0.67", "1.00"}
                                       << QStringList{"0.1705", "0.50", "0.83"};
        // The leading number of the first node: "12a" counts as 12, "abc" as 0.
        QTest::newRow("leading number") << "12a" << 2.0 << true << QStringList{"14.00", "16.00", "18.00"}
                                        << QStringList{"13", "15.00", "17.00"};
        QTest::newRow("no number") << "abc" << 1.5 << false
                                   << QStringList{"0.75", "1.50", "2.25", "3.00", "3.75", "4.50", "5.25"}
                                   << QStringList{"0.75", "1.50", "2.25", "3.00", "3.75", "4.50"};
        // 0.125 rounds half away from zero to 0.13, and each step adds to that box text.
        QTest::newRow("half away from zero")
            << "0" << 0.25 << false << QStringList{"0.13", "0.26", "0.39", "0.52", "0.65", "0.78", "0.91"}
            << QStringList{"0.13", "0.26", "0.39", "0.52", "0.65", "0.78"};
        QTest::newRow("negative start") << "-1.5" << 1.0 << true << QStringList{"-0.50", "0.50", "1.50"}
                                        << QStringList{"-1", "0.00", "1.00"};
    }
    void eachStepStartsFromThePreviousBoxText()
    {
        QFETCH(QString, first);
        QFETCH(double, length);
        QFETCH(bool, stacked);
        QFETCH(QStringList, nodes);
        QFETCH(QStringList, centres);
        const auto p = compute(first, length, 6, stacked);
        QCOMPARE(p.nodes, nodes);
        QCOMPARE(p.centres, centres);
    }

    void gaugeLengthReading()
    {
        QVERIFY(!GaugeLayout::gaugeLength("").has_value());
        QVERIFY(!GaugeLayout::gaugeLength("   ").has_value());
        QCOMPARE(*GaugeLayout::gaugeLength("50"), 50.0);
        // Single precision taken at its decimal value: no binary tail on the centres.
        QCOMPARE(*GaugeLayout::gaugeLength("0.3"), 0.3);
        QCOMPARE(compute("1", *GaugeLayout::gaugeLength("0.3"), 6, true).centres.first(), QString("1.15"));
        for (const char* bad : {"abc", "5m", "1,5"}) {
            try {
                GaugeLayout::gaugeLength(bad);
                QFAIL(bad);
            } catch (const TwError& e) {
                QCOMPARE(e.number, 13);
            }
        }
        try {
            GaugeLayout::gaugeLength("1e39");
            QFAIL("beyond single precision");
        } catch (const TwError& e) {
            QCOMPARE(e.number, 6);
        }
    }

    void twoDecimalsKeepsText()
    {
        QCOMPARE(GaugeLayout::twoDecimals("100"), QString("100.00"));
        QCOMPARE(GaugeLayout::twoDecimals("2.675"), QString("2.68"));
        QCOMPARE(GaugeLayout::twoDecimals("2.665"), QString("2.67"));
        QCOMPARE(GaugeLayout::twoDecimals(""), QString());
        QCOMPARE(GaugeLayout::twoDecimals("x1"), QString("x1"));
    }

    void boxPlacesInTwips()
    {
        // Staggered: seven computed nodes in two alternating columns, six centres in one.
        const auto& nodes = GaugeLayout::identificationNodes(false);
        QCOMPARE(int(nodes.size()), 7);
        for (const auto& p : nodes) QCOMPARE(p.left, p.index % 2 == 0 ? 8400 : 10680);
        for (const auto& p : GaugeLayout::identificationCentres(false)) QCOMPARE(p.left, 12360);
        QCOMPARE(GaugeLayout::identificationCentres(false).back().top, 3240);
        QCOMPARE(int(GaugeLayout::identificationNodes(true).size()), 3);
        QCOMPARE(GaugeLayout::identificationNodes(true).back().top, 2880);
        QCOMPARE(GaugeLayout::installationNodes(false)[2].left, 11760);
        QCOMPARE(GaugeLayout::installationCentres(true)[2].top, 3960);
    }

    void sensorNumberRules_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("eight digits") << "25040100"
                                      << "Sensor # must be 9 digits";
        QTest::newRow("ten digits") << "2504010011"
                                    << "Sensor # must be 9 digits";
        QTest::newRow("letter") << "25040100A"
                                << "Sensor # must be a numeric value";
        QTest::newRow("sign") << "-25040100"
                              << "Sensor # must be a numeric value";
        QTest::newRow("decimal point") << "2504.0100"
                                       << "Sensor # must be a numeric value";
        QTest::newRow("inner blank") << "2504 0100"
                                     << "Sensor # must be a numeric value";
        QTest::newRow("empty") << ""
                               << "Sensor # must be a numeric value";
        QTest::newRow("short letters") << "abc"
                                       << "Sensor # must be a numeric value";
        QTest::newRow("serial 000") << "250425000"
                                    << "Last 3 digits must be between 001 and 999";
        QTest::newRow("serial 001") << "250425001"
                                    << "";
        QTest::newRow("serial 999") << "250425999"
                                    << "";
    }
    void sensorNumberRules()
    {
        QFETCH(QString, number);
        QFETCH(QString, message);
        QCOMPARE(SensorNumber::refusalText(SensorNumber::check(number)), message);
    }

    void sensorNumberParts()
    {
        const auto p = SensorNumber::split("250475123");
        QCOMPARE(p.dateId, QString("2504"));
        QCOMPARE(p.typeCode, QString("75"));
        QCOMPARE(p.serial, QString("123"));
    }

    void recordDates()
    {
        QCOMPARE(RecordText::parseDate("2025/04/01"), QDate(2025, 4, 1));
        QCOMPARE(RecordText::parseDate("2025-04-01 00:00:00"), QDate(2025, 4, 1));
        QVERIFY(!RecordText::parseDate("soon").isValid());
        QCOMPARE(RecordText::installDateForDisplay("2025-04-01"), QString("2025/04/01"));
        QCOMPARE(RecordText::installDateForDisplay("last spring"), QString("last spring"));
        // The destroyed flag's date is read back to the same day, and stored year first.
        const QDate day(2031, 12, 9);
        const QString shown = RecordText::todayForDestruction(day);
        QCOMPARE(RecordText::parseDate(shown), day);
        QCOMPARE(RecordText::destructionDateToStore(shown), QString("2031/12/09"));
        QCOMPARE(RecordText::destructionDateForDisplay("2031/12/09"), shown);
        try {
            RecordText::destructionDateToStore("yesterday");
            QFAIL("not a date");
        } catch (const TwError& e) {
            QCOMPARE(e.number, 13);
        }
    }

    // The deletion question in the cases the window test does not meet: one reading, no
    // readings, no levels, one event.
    void deletionQuestionWording_data()
    {
        QTest::addColumn<qint64>("readings");
        QTest::addColumn<bool>("levels");
        QTest::addColumn<qint64>("events");
        QTest::addColumn<QString>("middle");
        const QString day = QLocale::system().toString(QDate(2024, 2, 29), QLocale::ShortFormat);
        QTest::newRow("one reading") << qint64(1) << true << qint64(0)
                                     << "Its only reading, of " + day +
                                            ", is deleted with it.\r\nIts alarm levels are deleted with it.";
        QTest::newRow("nothing but an event") << qint64(0) << false << qint64(1)
                                              << QString(
                                                     "It has no readings.\r\nIt has no alarm levels.\r\n"
                                                     "Its 1 alarm event stays in the alarm history.");
    }
    void deletionQuestionWording()
    {
        QFETCH(qint64, readings);
        QFETCH(bool, levels);
        QFETCH(qint64, events);
        QFETCH(QString, middle);
        SensorDeletion::WhatGoes what;
        what.readings = readings;
        if (readings > 0) what.first = what.last = QDate(2024, 2, 29);
        what.alarmLevels = levels;
        what.alarmEvents = events;
        QCOMPARE(
            SensorDeletion::question("250475001", what),
            "Permanently delete Sensor 250475001 from database?\r\n\r\n" + middle + "\r\n\r\nThis cannot be undone.");
    }
};

QTEST_MAIN(TestSensorCore)
#include "tst_sensor_core.moc"
