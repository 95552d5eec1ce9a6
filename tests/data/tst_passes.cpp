// The calculation passes on a real database: what each pass stores in the sensor's data
// table, what it leaves alone, and what it logs.
#include "PassFixture.h"
#include "data/Rejections.h"
#include "store/DataTables.h"
#include "store/Recordset.h"

using namespace Calc;
using namespace PassFixture;

class TestPasses : public Base {
    Q_OBJECT

private slots:
    // ---- Zeroing and loads ----------------------------------------------------------

    void loadPassZeroesAgainstTheFirstPlottableReading()
    {
        addSensor(S75);
        TestData::addReadings(
            s->db, S75,
            {reading(day(1), {"100.00", "10.00", "0.00", "50.00", "0.00", "0.00", "7.00"}, "21.5"),
             reading(day(2), {"103.50", "10.00", "0.00", "250.00", "0.00", "0.00", ""}, ""),
             reading(day(3), {"98.00", "30.00", "20.00", "150.00", "-40.00", "0.00", "9.00"}, "18.0")});
        markAll(S75, 77);
        const PassResult r = GetTemporalData(*s, inputs(S75));
        QVERIFY(r.completed);
        QCOMPARE(r.rowsWritten, 3);
        QCOMPARE(r.open, GraphOpenStatus::Opened);
        QVERIFY(!s->rsGraph->isOpen());
        QCOMPARE(s->offsets[1], 100.0);
        QCOMPARE(s->offsets[4], 50.0);

        QCOMPARE(num(S75, day(1), "zero1"), 0.0);
        QCOMPARE(num(S75, day(2), "zero1"), 3.5);
        QCOMPARE(num(S75, day(3), "zero1"), -2.0);
        QVERIFY(cell(S75, day(2), "zero7").isNull());  // no Channel7 in that reading: no value
        QCOMPARE(num(S75, day(3), "zero7"), 2.0);
        QCOMPARE(num(S75, day(3), "zero10"), 0.0);  // no channel 10 anywhere
        QCOMPARE(num(S75, day(1), "NumTemp"), 21.5);
        QVERIFY(cell(S75, day(2), "NumTemp").isNull());
        QCOMPARE(num(S75, day(3), "NumTemp"), 18.0);
        // Stacked "75": Load1..3 from the pairs 1-4, 2-5, 3-6; Load4..6 are not written.
        for (const char* col : {"Load1", "Load2", "Load3"}) QCOMPARE(num(S75, day(1), col), 0.0);
        QCOMPARE(num(S75, day(2), "Load1"), (3.5 + 200) / 2 / 100);
        QCOMPARE(num(S75, day(3), "Load1"), (-2.0 + 100) / 2 / 100);
        QCOMPARE(num(S75, day(3), "Load2"), (20.0 - 40) / 2 / 100);
        QCOMPARE(num(S75, day(3), "Load3"), 0.1);
        for (const char* col : {"Load4", "Load5", "Load6", "Disp1", "Stretch1"}) QCOMPARE(num(S75, day(3), col), 77.0);
        QCOMPARE(logText(), QString());
    }

    void workedLoadsStackedAndStaggered()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}),
                               reading(day(2), {"200.00", "0.00", "0.00", "100.00", "0.00", "0.00"}),
                               reading(day(3), {"300.00", "0.00", "0.00", "0.00", "0.00", "0.00"}),
                               reading(day(4), {"0.00", "0.00", "0.00", "0.00", "0.00", "300.00"}),
                               reading(day(5), {"100.00", "100.00", "0.00", "200.00", "0.00", "0.00"})});
        GetTemporalData(*s, inputs(S75, true));
        QCOMPARE(num(S75, day(2), "Load1"), 1.5);
        const double stackedLoad6 = num(S75, day(4), "Load6");

        // Switching to staggered: other columns and other weights.
        GetSpatialData(*s, inputs(S75, false));
        QCOMPARE(num(S75, day(3), "Load1"), 2.0);
        QCOMPARE(num(S75, day(4), "Load6"), 1.5);
        QCOMPARE(num(S75, day(5), "Load2"), 1.5);
        QCOMPARE(num(S75, day(2), "Load1"), (400.0 + 100) / 3 / 100);
        QVERIFY(std::isnan(stackedLoad6));  // stacked wrote no Load6
        for (int i = 1; i <= 6; ++i) QCOMPARE(num(S75, day(1), QString("Load%1").arg(i)), 0.0);
    }

    void passWritesTheColumnsOfTheTypeAndLayout_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("loads");
        QTest::addColumn<int>("disps");
        QTest::addColumn<int>("stretches");
        QTest::newRow("75 stacked") << "250475001" << true << 3 << 3 << 3;
        QTest::newRow("75 staggered") << "250475001" << false << 6 << 6 << 4;
        QTest::newRow("55 stacked") << "250455001" << true << 2 << 2 << 2;
        QTest::newRow("55 staggered") << "250455001" << false << 0 << 0 << 0;
        QTest::newRow("35 stacked") << "250435001" << true << 1 << 1 << 1;
        QTest::newRow("35 staggered") << "250435001" << false << 0 << 0 << 0;
        QTest::newRow("25 stacked") << "250425001" << true << 0 << 0 << 0;
        QTest::newRow("65 staggered") << "250465001" << false << 0 << 0 << 0;
    }
    void passWritesTheColumnsOfTheTypeAndLayout()
    {
        QFETCH(QString, id);
        QFETCH(bool, stacked);
        QFETCH(int, loads);
        QFETCH(int, disps);
        QFETCH(int, stretches);
        addSensor(id, stacked);
        TestData::addReadings(s->db, id,
                              {reading(day(1), {"10.00", "20.00", "30.00", "40.00", "50.00", "60.00"}, "20.0"),
                               reading(day(2), {"30.00", "60.00", "90.00", "120.00", "150.00", "180.00"}, "21.0")});
        markAll(id, -999);
        const SensorInputs in = inputs(id, stacked);
        QVERIFY(GetTemporalData(*s, in).completed);
        QVERIFY(GetDispData(*s, in).completed);
        QVERIFY(GetShearData(*s, in).completed);
        for (int i = 1; i <= 10; ++i) QVERIFY(num(id, day(2), QString("zero%1").arg(i)) != -999);
        QCOMPARE(num(id, day(2), "NumTemp"), 21.0);
        for (int i = 1; i <= 6; ++i) {
            QCOMPARE(num(id, day(2), QString("Load%1").arg(i)) != -999, i <= loads);
            QCOMPARE(num(id, day(2), QString("Disp%1").arg(i)) != -999, i <= disps);
        }
        for (int i = 1; i <= 4; ++i) QCOMPARE(num(id, day(2), QString("Stretch%1").arg(i)) != -999, i <= stretches);
        QCOMPARE(logText(), QString());
    }

    void ownCasesForTypes55And35()
    {
        const QString s55 = QStringLiteral("250455001"), s35 = QStringLiteral("250435001");
        addSensor(s55);
        addSensor(s35);
        const QList<NewReading> list = {reading(day(1), {"100.00", "200.00", "300.00", "400.00"}),
                                        reading(day(2), {"140.00", "180.00", "400.00", "500.00"})};
        TestData::addReadings(s->db, s55, list);
        TestData::addReadings(s->db, s35, list);
        // zeros: 40, -20, 100, 100
        GetSDispData(*s, inputs(s55, true, "50"));
        QCOMPARE(num(s55, day(2), "Load1"), (40.0 + 100) / 2 / 50);   // 1.4
        QCOMPARE(num(s55, day(2), "Load2"), (-20.0 + 100) / 2 / 50);  // 0.8
        QCOMPARE(num(s55, day(2), "Disp2"), 40.0);
        QCOMPARE(num(s55, day(2), "Disp1"), 110.0);
        GetShearData(*s, inputs(s55, true, "50"));
        QCOMPARE(num(s55, day(2), "Stretch1"), -30.0);
        QCOMPARE(num(s55, day(2), "Stretch2"), -60.0);

        GetDispData(*s, inputs(s35, true, "20"));
        QCOMPARE(num(s35, day(2), "Load1"), 0.5);
        QCOMPARE(num(s35, day(2), "Disp1"), 10.0);
        GetShearData(*s, inputs(s35, true, "20"));
        QCOMPARE(num(s35, day(2), "Stretch1"), 30.0);
    }

    void baselineWithoutAChannelLeavesNothingStale()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "", "100.00", "100.00", "100.00"}, "20.0"),
                               reading(day(2), {"110.00", "120.00", "130.00", "140.00", "150.00", "160.00"}, "22.5")});
        markAll(S75, 77);
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QVERIFY(std::isnan(s->offsets[3]));
        QCOMPARE(num(S75, day(2), "zero3"), 0.0);
        QCOMPARE(num(S75, day(2), "zero4"), 40.0);
        QCOMPARE(num(S75, day(2), "zero6"), 60.0);
        QCOMPARE(num(S75, day(2), "NumTemp"), 22.5);
        QCOMPARE(num(S75, day(2), "Load3"), (0.0 + 60) / 2 / 100);
        QCOMPARE(logText(), QString());
    }

    void channelTextThatIsNotANumberIsLoggedAndCountsAsNoValue()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}, "20.0"),
                               reading(day(2), {"110.00", "oops", "130.00", "140.00", "150.00", "160.00"}, "22.5")});
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QVERIFY(cell(S75, day(2), "zero2").isNull());
        QVERIFY(cell(S75, day(2), "Load2").isNull());
        QCOMPARE(num(S75, day(2), "zero6"), 60.0);
        QCOMPARE(num(S75, day(2), "NumTemp"), 22.5);
        QCOMPARE(logCount("Err #13: Type mismatch G_SetZeros"), 1);
    }

    // Missing and rejected values: no zero, load, displacement, shear or temperature where an
    // input is missing (null on both engines), the baseline the first reading not rejected
    // as a whole, and the recordset road storing exactly what the quick road stores.
    void missingAndRejectedValuesComputeToNoValue()
    {
        const QString viaRecordset = QStringLiteral("250475002");
        const QList<NewReading> readings = {
            reading(day(1), {"500.00", "500.00", "500.00", "500.00", "500.00", "500.00"}, "19.0"),
            reading(day(2), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}, "21.0"),
            reading(day(3), {"110.00", "", "130.00", "140.00", "150.00", "160.00"}, ""),
            reading(day(4), {"120.00", "120.00", "120.00", "120.00", "120.00", "120.00"}, "22.0")};
        for (const QString& id : {S75, viaRecordset}) {
            addSensor(id);
            TestData::addReadings(s->db, id, readings);
            markAll(id, 77);
            Rejections::reject(s->db, id, TestData::readingKey(id, day(1)), Rejections::WholeReading, "logger reset");
            Rejections::reject(s->db, id, TestData::readingKey(id, day(4)), 4, "cable cut");
            Rejections::reject(s->db, id, TestData::readingKey(id, day(4)), Rejections::Temperature, "probe wet");
        }
        auto runAll = [&] {
            for (PassKind kind : {PassKind::Load, PassKind::DispTime, PassKind::Shear}) {
                const SensorInputs in = inputs(S75);
                const PassResult quick = kind == PassKind::Load       ? GetTemporalData(*s, in)
                                         : kind == PassKind::DispTime ? GetDispData(*s, in)
                                                                      : GetShearData(*s, in);
                QVERIFY(quick.completed);
                QVERIFY(runOnRecordsetOnly(*s, inputs(viaRecordset), kind).completed);
            }
        };
        runAll();
        QCOMPARE(s->offsets[1], 100.0);  // day 2 is the baseline

        // Day 1, rejected as a whole: nothing but the unused channels' 0. Day 3, empty gauge 2
        // and temperature: Load2 pairs gauges 2 and 5, Disp1 and Disp2 sum it. Day 4, gauge 4
        // and the temperature rejected: their stored texts stay, their values are gone.
        const std::pair<int, const char*> none[] = {
            {1, "zero1"},    {1, "zero6"}, {1, "NumTemp"}, {1, "Load1"}, {1, "Load3"}, {1, "Disp1"},
            {1, "Stretch1"}, {3, "zero2"}, {3, "NumTemp"}, {3, "Load2"}, {3, "Disp2"}, {3, "Disp1"},
            {3, "Stretch2"}, {4, "zero4"}, {4, "NumTemp"}, {4, "Load1"}, {4, "Disp1"}, {4, "Stretch1"}};
        for (const auto& [d, col] : none)
            QVERIFY2(cell(S75, day(d), col).isNull(), qPrintable(QString("day %1 %2").arg(d).arg(col)));
        const std::tuple<int, const char*, double> values[] = {
            {1, "zero7", 0.0},      {3, "Load1", 0.25}, {3, "Load3", 0.45}, {3, "Disp3", 45.0},
            {3, "Stretch1", -15.0}, {4, "Load2", 0.2},  {4, "Disp2", 40.0}, {4, "Stretch2", 0.0}};
        for (const auto& [d, col, v] : values) QCOMPARE(num(S75, day(d), col), v);
        QCOMPARE(cell(S75, day(4), "Channel4").toString(), QString("120.00"));
        QCOMPARE(computedColumns(S75), computedColumns(viaRecordset));

        // Restored, the first reading is the baseline again, and a value once more.
        for (const QString& id : {S75, viaRecordset})
            Rejections::restore(s->db, id, TestData::readingKey(id, day(1)), Rejections::WholeReading);
        runAll();
        QCOMPARE(num(S75, day(1), "NumTemp"), 19.0);
        QCOMPARE(num(S75, day(4), "Load2"), -3.8);
        QCOMPARE(computedColumns(S75), computedColumns(viaRecordset));
        QCOMPARE(logText(), QString());
    }

    void kFactorThatIsEmptyOrNotANumber_data()
    {
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<QString>("k");
        QTest::addColumn<QString>("logged");
        QTest::newRow("stacked, empty") << true << ""
                                        << "Err #13: Type mismatch G_SetStackedLoad";
        QTest::newRow("stacked, not a number") << true << "ten"
                                               << "Err #13: Type mismatch G_SetStackedLoad";
        QTest::newRow("stacked, trailing text") << true << "100t"
                                                << "Err #13: Type mismatch G_SetStackedLoad";
        QTest::newRow("staggered, empty") << false << ""
                                          << "Err #11: Division by zero G_SetStackedLoad";
        QTest::newRow("staggered, not a number") << false << "ten"
                                                 << "Err #11: Division by zero G_SetStackedLoad";
    }
    void kFactorThatIsEmptyOrNotANumber()
    {
        QFETCH(bool, stacked);
        QFETCH(QString, k);
        QFETCH(QString, logged);
        addSensor(S75, stacked);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}),
                               reading(day(2), {"110.00", "120.00", "130.00", "140.00", "150.00", "160.00"}),
                               reading(day(3), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"})});
        markAll(S75, 77);
        // The displacement pass: every row still gets its zeros; its loads and
        // displacements keep their values.
        const PassResult r = GetDispData(*s, inputs(S75, stacked, k));
        QVERIFY(r.completed);
        QCOMPARE(r.rowsWritten, 3);
        QCOMPARE(num(S75, day(2), "zero1"), 10.0);
        for (int i = 1; i <= 6; ++i) {
            QCOMPARE(num(S75, day(2), QString("Load%1").arg(i)), 77.0);
            QCOMPARE(num(S75, day(2), QString("Disp%1").arg(i)), 77.0);
        }
        // Written once as a single failure is, then how often and for which readings.
        QCOMPARE(logCount(logged), 1);
        QCOMPARE(logCount("The entry \"" + logged + "\" happened 2 more times in this calculation pass, first key " +
                          TestData::readingKey(S75, day(1)) + ", last key " + TestData::readingKey(S75, day(3))),
                 1);
        QCOMPARE(logCount(" G_GetTemporalData"), 0);
    }

    // A pass over many readings with an empty k factor writes a bounded log: the failure
    // once and one line with the count and the first and last reading key, however many
    // readings there are, at every visit.
    void repeatedFailureOfAPassIsLoggedOnce()
    {
        addSensor(S75);
        const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
        TestData::addManyReadings(s->db, S75, 5000, start);
        s->db.execute(QStringLiteral("UPDATE `%1` SET DoNotPlot = 0").arg(S75));
        QFile::remove(Paths::logFilePath());
        QVERIFY(GetTemporalData(*s, inputs(S75, true, "")).completed);
        const QString log = logText();
        QCOMPARE(log.count(QString(89, '*')), 2);
        QCOMPARE(logCount("Err #13: Type mismatch G_SetStackedLoad"), 1);
        QCOMPARE(logCount("The entry \"Err #13: Type mismatch G_SetStackedLoad\" happened 4999 more times in this "
                          "calculation pass, first key " +
                          TestData::readingKey(S75, start) + ", last key " +
                          TestData::readingKey(S75, start.addSecs(4999 * 3600))),
                 1);
        QVERIFY(log.size() < 1000);
        // A second visit adds the same two entries, no more.
        QVERIFY(GetTemporalData(*s, inputs(S75, true, "")).completed);
        QCOMPARE(logText().count(QString(89, '*')), 4);
    }

    void staggeredDisplacementWithoutGaugeLengthWritesNothing_data()
    {
        QTest::addColumn<QString>("gauge");
        QTest::newRow("empty") << "";
        QTest::newRow("not a number") << "half";
    }
    void staggeredDisplacementWithoutGaugeLengthWritesNothing()
    {
        QFETCH(QString, gauge);
        addSensor(S75, false);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}),
                               reading(day(2), {"110.00", "120.00", "130.00", "140.00", "150.00", "160.00"})});
        markAll(S75, 77);
        const PassResult r = GetDispData(*s, inputs(S75, false, "100", gauge));
        QVERIFY(!r.completed);
        QCOMPARE(r.rowsWritten, 0);
        QVERIFY(s->rsGraph->isOpen());
        for (const char* col : {"zero1", "NumTemp", "Load1", "Disp1", "Disp6"}) {
            QCOMPARE(num(S75, day(1), col), 77.0);
            QCOMPARE(num(S75, day(2), col), 77.0);
        }
        QCOMPARE(logCount("Err #13: Type mismatch G_GetTemporalData"), 1);

        // Stacked, the gauge length takes no part.
        QVERIFY(GetDispData(*s, inputs(S75, true, "100", gauge)).completed);
        QCOMPARE(num(S75, day(2), "Disp1"), (10.0 + 40 + 20 + 50 + 30 + 60) / 2);
    }

    void workedDisplacementsAndShears()
    {
        addSensor(S75);
        // zeros of day 2: 100, 200, 300, 100, 200, 300 -> stacked loads 1, 2, 3 with k 100
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}),
                               reading(day(2), {"100.00", "200.00", "300.00", "100.00", "200.00", "300.00"}),
                               reading(day(3), {"50.00", "0.00", "0.00", "-50.00", "0.00", "0.00"}),
                               reading(day(4), {"20.00", "60.00", "0.00", "100.00", "0.00", "0.00"})});
        QVERIFY(GetDispData(*s, inputs(S75, true, "100")).completed);
        QCOMPARE(num(S75, day(2), "Disp3"), 300.0);
        QCOMPARE(num(S75, day(2), "Disp2"), 500.0);
        QCOMPARE(num(S75, day(2), "Disp1"), 600.0);
        for (const char* col : {"Disp1", "Disp2", "Disp3"}) QCOMPARE(num(S75, day(1), col), 0.0);

        QVERIFY(GetShearData(*s, inputs(S75, true)).completed);
        QCOMPARE(num(S75, day(3), "Stretch1"), 50.0);
        QCOMPARE(num(S75, day(2), "Stretch1"), 0.0);  // equal strains on both sides
        QVERIFY(GetShearData(*s, inputs(S75, false)).completed);
        QCOMPARE(num(S75, day(4), "Stretch1"), 30.0);
        for (int i = 1; i <= 4; ++i) QCOMPARE(num(S75, day(1), QString("Stretch%1").arg(i)), 0.0);

        // Staggered, zeros of 100 on every gauge, k 100, gauge length 0.5: loads of 1,
        // except Load6 = 0.75 (divisor 4 with one neighbour).
        const QString stag = QStringLiteral("250475002");
        addSensor(stag, false);
        TestData::addReadings(s->db, stag,
                              {reading(day(1), {"0.00", "0.00", "0.00", "0.00", "0.00", "0.00"}),
                               reading(day(2), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"})});
        QVERIFY(GetSDispData(*s, inputs(stag, false, "100", "0.5")).completed);
        QCOMPARE(num(stag, day(2), "Load5"), 1.0);
        QCOMPARE(num(stag, day(2), "Load6"), 0.75);
        QCOMPARE(num(stag, day(2), "Disp6"), 18.75);
        QCOMPARE(num(stag, day(2), "Disp5"), 43.75);
        QCOMPARE(num(stag, day(2), "Disp1"), 143.75);
        for (int i = 1; i <= 6; ++i) QCOMPARE(num(stag, day(1), QString("Disp%1").arg(i)), 0.0);
    }

    void doNotPlotReadingsAreUntouched()
    {
        addSensor(S75);
        NewReading hidden = reading(day(2), {"500.00", "500.00", "500.00", "500.00", "500.00", "500.00"}, "30.0");
        hidden.doNotPlot = true;
        hidden.temporal = false;
        hidden.spatial = false;
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}), hidden,
                               reading(day(3), {"110.00", "100.00", "100.00", "100.00", "100.00", "100.00"})});
        markAll(S75, 77);
        // Who changed a reading last is the user's, never the pass's.
        s->db.execute(
            QStringLiteral("UPDATE `%1` SET RowVersion = 4, ChangedBy = 'ann', ChangedAt = '2026-12-01 08:00:00'")
                .arg(S75));
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QVERIFY(GetDispData(*s, inputs(S75)).completed);
        QVERIFY(GetShearData(*s, inputs(S75)).completed);
        for (const char* col : {"zero1", "zero7", "NumTemp", "Load1", "Load6", "Disp1", "Stretch1"})
            QCOMPARE(num(S75, day(2), col), 77.0);
        QCOMPARE(num(S75, day(3), "zero1"), 10.0);
        QCOMPARE(s->db
                     .scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE RowVersion = 4 AND ChangedBy = 'ann' AND "
                                            "ChangedAt = '2026-12-01 08:00:00'")
                                 .arg(S75))
                     .toInt(),
                 3);
    }

    void unmarkingTheFirstReadingMovesTheBaseline()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75,
                              {reading(day(1), {"100.00", "100.00", "100.00", "100.00", "100.00", "100.00"}),
                               reading(day(2), {"120.00", "100.00", "100.00", "100.00", "100.00", "100.00"}),
                               reading(day(3), {"150.00", "100.00", "100.00", "100.00", "100.00", "100.00"})});
        QVERIFY(GetDispData(*s, inputs(S75)).completed);
        QCOMPARE(num(S75, day(2), "zero1"), 20.0);
        QCOMPARE(num(S75, day(3), "zero1"), 50.0);

        s->db.execute(QStringLiteral("UPDATE `%1` SET Plottemporal = 0 WHERE DateTimeKey = ?").arg(S75),
                      {TestData::readingKey(S75, day(1))});
        QVERIFY(GetDispData(*s, inputs(S75)).completed);
        QCOMPARE(s->offsets[1], 120.0);
        QCOMPARE(num(S75, day(2), "zero1"), 0.0);
        QCOMPARE(num(S75, day(2), "Load1"), 0.0);
        QCOMPARE(num(S75, day(2), "Disp1"), 0.0);
        QCOMPARE(num(S75, day(3), "zero1"), 30.0);
        QCOMPARE(num(S75, day(1), "zero1"), 0.0);  // left as the earlier pass wrote it
    }

    void emptySelectionWritesNothingAndLogsThreeLines()
    {
        addSensor(S75);
        NewReading r = reading(day(1), {"100.00"});
        r.spatial = false;
        TestData::addReadings(s->db, S75, {r});
        markAll(S75, 77);
        s->offsets[1] = 42;
        const PassResult res = GetShearData(*s, inputs(S75));
        QVERIFY(!res.completed);
        QCOMPARE(res.rowsWritten, 0);
        QCOMPARE(s->offsets[1], 42.0);  // the previous baseline stays
        QCOMPARE(num(S75, day(1), "zero1"), 77.0);
        QCOMPARE(logCount("Err #3021: Either BOF or EOF is True, or the current record has been deleted. "
                          "Requested operation requires a current record. Module1_GetOffsets"),
                 1);
        QCOMPARE(logCount(" G_SetZeros"), 1);
        QCOMPARE(logCount(" G_SetStackedLoad"), 1);
        QCOMPARE(logCount(" G_GetTemporalData"), 1);
    }

    // A pass writes computed columns only: each reading's version, and who changed it and
    // when, stay as its user left them, so a pass never makes an edit look stale.
    void rowWritesSurviveClosingTheConnection()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75, {reading(day(1), {"100.00"}), reading(day(2), {"101.00"})});
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        Recordset rs(s->db);
        rs.open(graphQuery(S75, GraphSelection::Plottable));
        rs.setValue("Load6", 5.0);
        rs.update();
        s->rsGraph.reset();

        // The statements kept for row writes do not keep the file open.
        s->db.close();
        if (!TestServer::wanted()) QVERIFY(!fileHeldOpen(s->databasePath));

        // After reconnecting, a recordset still writes (its statements are prepared again).
        QVERIFY(s->db.open(s->databasePath));
        rs.setValue("Load6", 6.0);
        rs.update();
        QCOMPARE(num(S75, day(1), "Load6"), 6.0);
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QCOMPARE(num(S75, day(2), "zero1"), 1.0);
    }

    void cancelledPassWritesNothing()
    {
        addSensor(S75);
        const QList<NewReading> list = hourlyReadings(3000);
        TestData::addReadings(s->db, S75, list);
        markAll(S75, 77);
        SensorInputs in = inputs(S75);
        qint64 asked = 0, told = 0;
        in.progress = [&](qint64 done, qint64 total) {
            asked = done;
            told = total;
            return false;
        };
        const PassResult r = GetTemporalData(*s, in);
        QVERIFY(r.cancelled);
        QVERIFY(!r.completed);
        QVERIFY(asked > 0);
        QCOMPARE(told, 3000);
        // Every row keeps what the last full pass left, even the rows before the cancel.
        QCOMPARE(
            s->db.scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE zero1 <> 77 OR Load1 <> 77").arg(S75)).toInt(),
            0);
        // Going on to the end writes everything.
        in.progress = [](qint64, qint64) { return true; };
        QVERIFY(GetTemporalData(*s, in).completed);
        QCOMPARE(s->db.scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE Load1 = 77").arg(S75)).toInt(), 0);
    }

    // A pass the database stops half-way (it refuses a write) leaves nothing half-written:
    // every reading keeps its values and its mark, and the next pass computes them all.
    void failureMidPassWritesNothingAndKeepsTheMarks()
    {
        addSensor(S75);
        QList<NewReading> list;
        for (int d = 1; d <= 5; ++d)
            list << reading(day(d), {QString::number(100 + d) + ".00", "0.00", "0.00", "0.00", "0.00", "0.00"});
        TestData::addReadings(s->db, S75, list);
        markAll(S75, 77);
        s->db.execute(QStringLiteral("UPDATE `%1` SET IsDirty = 1").arg(S75));
        // The database refuses to update the fourth reading.
        const QString fourth = TestData::readingKey(S75, day(4));
        if (s->db.isServer()) {
            s->db.executeOnServer(
                QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                               "IF NEW.datetimekey = '%1' THEN RAISE EXCEPTION 'refused'; END IF; "
                               "RETURN NEW; END $$")
                    .arg(fourth));
            s->db.executeOnServer(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON \"%1\" FOR EACH ROW "
                                                 "EXECUTE FUNCTION refuse()")
                                      .arg(S75));
        } else {
            s->db.execute(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON `%1` WHEN NEW.DateTimeKey = '%2' "
                                         "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                              .arg(S75, fourth));
        }
        const PassResult r = GetTemporalData(*s, inputs(S75));
        QVERIFY(!r.completed);
        QCOMPARE(r.rowsWritten, 0);
        QCOMPARE(logCount(" G_GetTemporalData"), 1);
        QVERIFY(logText().contains("refused"));

        s->rsGraph.reset();
        auto other = TestData::openDatabase(QStringLiteral("second"));
        QCOMPARE(
            other
                ->scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE zero1 = 77 AND Load1 = 77 AND IsDirty <> 0")
                             .arg(S75))
                .toInt(),
            5);
        other.reset();
        if (s->db.isServer()) s->db.executeOnServer(QStringLiteral("DROP TRIGGER refuse ON \"%1\"").arg(S75));
        else s->db.execute(QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QCOMPARE(num(S75, day(2), "zero1"), 1.0);
        QCOMPARE(num(S75, day(4), "zero1"), 3.0);
        QCOMPARE(s->db.scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE IsDirty <> 0").arg(S75)).toInt(), 0);
    }

    // Another user corrects a reading while a pass runs: the correction is not overwritten
    // with values computed from the old channels, and its mark is not cleared, so once the
    // passes have run the reading's values follow the corrected channel.
    void readingCorrectedDuringAPassIsComputedFromTheCorrection()
    {
        addSensor(S75);
        const QList<NewReading> list = hourlyReadings(3000);
        TestData::addReadings(s->db, S75, list);
        const QString last = TestData::readingKey(S75, list.last().when);
        auto ben = TestData::openDatabase(QStringLiteral("ben"));
        SensorInputs in = inputs(S75);
        bool corrected = false, tried = false;
        in.progress = [&](qint64, qint64) {
            if (!tried) {
                tried = true;
                try {
                    // Read by the pass already, not yet written by it.
                    ben->execute(
                        QStringLiteral("UPDATE `%1` SET Channel1 = '500.00', IsDirty = 1 WHERE DateTimeKey = ?")
                            .arg(S75),
                        {last});
                    corrected = true;
                } catch (const TwError&) {
                    // The file: the pass holds its write lock, so ben is told it is busy.
                }
            }
            return true;
        };
        const PassResult first = GetTemporalData(*s, in);
        QVERIFY(tried);
        // The server locks rows only as they are written: ben's correction goes through,
        // the pass's write over it is refused, and the pass runs again from what is stored.
        if (s->db.isServer()) {
            QVERIFY(corrected);
            QVERIFY(first.completed);
            QCOMPARE(logCount(" G_GetTemporalData"), 0);
        }
        s->rsGraph.reset();
        QVERIFY(GetTemporalData(*s, inputs(S75)).completed);
        QCOMPARE(
            ben->scalar(QStringLiteral("SELECT Channel1 FROM `%1` WHERE DateTimeKey = ?").arg(S75), {last}).toString(),
            corrected ? QString("500.00") : QString("100.00"));
        // The baseline is the first reading's 101.00.
        QCOMPARE(
            ben->scalar(QStringLiteral("SELECT zero1 FROM `%1` WHERE DateTimeKey = ?").arg(S75), {last}).toDouble(),
            corrected ? 399.0 : -1.0);
        QCOMPARE(s->db.scalar(QStringLiteral("SELECT count(*) FROM `%1` WHERE IsDirty <> 0").arg(S75)).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPasses)
#include "tst_passes.moc"
