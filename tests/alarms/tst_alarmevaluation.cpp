// The evaluation on a real database: loads per gauge position from the raw channels against
// the baseline the time charts use, readings evaluated in date order between two
// evaluations, the rate over uneven intervals, staleness, a baseline that changes when
// readings are deleted, and events that outlive their readings.
#include "support/TestEnv.h"
#include "core/TwError.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmRules.h"
#include "data/Rejections.h"
#include "alarms/AlarmLevelsCsv.h"
#include "data/AlarmStore.h"
#include "store/Database.h"

#include <QtTest>

using AlarmStore::Severity;

namespace {

const QDateTime T0(QDate(2026, 3, 2), QTime(8, 0));
const QString Stacked = QStringLiteral("240375001");
const QString Staggered = QStringLiteral("240375002");

QString num(double v) { return QString::number(v, 'f', 2); }

// A stacked type-75 reading with these loads (tons, k factor 100) at positions 1 to 3:
// each opposite pair carries 100 microstrain per ton.
TestData::NewReading stacked(const QDateTime& when, double l1, double l2 = 0, double l3 = 0)
{
    TestData::NewReading r;
    r.when = when;
    r.channels = {num(100 * l1), num(100 * l2), num(100 * l3), num(100 * l1), num(100 * l2), num(100 * l3)};
    r.temperature = "20.0";
    return r;
}

AlarmStore::Levels loadLevels(double alert, double action)
{
    AlarmStore::Levels l;
    l.loadAlertUpper = alert;
    l.loadActionUpper = action;
    return l;
}

}  // namespace

class TestAlarmEvaluation : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;

    AlarmEvaluation::Outcome evaluate(const QString& id, const QDateTime& now = T0.addDays(30))
    {
        return AlarmEvaluation::evaluateSensor(*db, id, now);
    }

private slots:
    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Stacked, true});
        TestData::addSensor(*db, {Staggered, false});
    }
    void cleanup() { db.reset(); }

    void loadsPerPositionStackedAndStaggered()
    {
        // The baseline reads 500 microstrain everywhere: only the change counts.
        TestData::NewReading base;
        base.when = T0;
        base.channels = QStringList(6, "500.00");
        TestData::NewReading later = stacked(T0.addDays(1), 3, 11, 4);
        for (QString& c : later.channels) c = num(c.toDouble() + 500);
        TestData::addReadings(*db, Stacked, {base, later});
        AlarmStore::saveLevels(*db, Stacked, loadLevels(10, 12));
        const auto o = evaluate(Stacked);
        QVERIFY(o.evaluated);
        QCOMPARE(o.status, Severity::Alert);
        QCOMPARE(int(o.newEvents.size()), 1);
        QCOMPARE(o.newEvents[0].position, 2);
        QCOMPARE(o.newEvents[0].value, 11.0);
        QCOMPARE(o.newEvents[0].readingKey, TestData::readingKey(Stacked, T0.addDays(1)));

        // Staggered: load 2 weighs gauges 1, 4 and 2 as 1, 2, 1 over 4 (k 100).
        TestData::NewReading z;
        z.when = T0;
        z.channels = QStringList(6, "0.00");
        TestData::NewReading s;
        s.when = T0.addDays(1);
        s.channels = {"400.00", "800.00", "0.00", "1600.00", "0.00", "0.00"};
        TestData::addReadings(*db, Staggered, {z, s});
        AlarmStore::saveLevels(*db, Staggered, loadLevels(10, 12));
        const auto g = evaluate(Staggered);
        // Load1 = (2*400 + 1600)/3/100 = 8; Load2 = (400 + 3200 + 800)/4/100 = 11;
        // Load3 = (1600 + 1600 + 0)/4/100 = 8.
        QCOMPARE(int(g.newEvents.size()), 1);
        QCOMPARE(g.newEvents[0].position, 2);
        QCOMPARE(g.newEvents[0].value, 11.0);
        const auto st = AlarmStore::state(*db, Staggered);
        QVERIFY(st);
        QCOMPARE(st->headline, QString("Load #2 11.00 t"));
        QCOMPARE(st->since, T0.addDays(1).toString("yyyy-MM-dd HH:mm:ss"));
    }

    void readingsBetweenEvaluationsAreEvaluatedInOrder()
    {
        TestData::addReadings(*db, Stacked, {stacked(T0, 0), stacked(T0.addDays(1), 5)});
        AlarmStore::saveLevels(*db, Stacked, loadLevels(8, 12));
        QCOMPARE(evaluate(Stacked).status, Severity::Ok);
        // Nothing new: nothing written.
        QVERIFY(!evaluate(Stacked).written);

        // An import brings a crossing and its return in one go: the crossing is not lost.
        TestData::addReadings(*db, Stacked,
                              {stacked(T0.addDays(2), 9), stacked(T0.addDays(3), 12.5), stacked(T0.addDays(4), 5)});
        const auto o = evaluate(Stacked);
        QCOMPARE(o.status, Severity::Ok);
        QCOMPARE(int(o.newEvents.size()), 2);
        QCOMPARE(o.newEvents[0].level, QString("Alert"));
        QCOMPARE(o.newEvents[0].readingKey, TestData::readingKey(Stacked, T0.addDays(2)));
        QCOMPARE(o.newEvents[1].level, QString("Action"));
        QCOMPARE(o.newEvents[1].value, 12.5);
        QCOMPARE(int(AlarmStore::events(*db).size()), 2);

        // Readings excluded from plotting and readings not typed in yet are not evaluated.
        TestData::NewReading bad = stacked(T0.addDays(5), 40);
        bad.doNotPlot = true;
        TestData::NewReading blank;
        blank.when = T0.addDays(6);
        TestData::addReadings(*db, Stacked, {bad, blank});
        QVERIFY(evaluate(Stacked).newEvents.empty());
        QCOMPARE(AlarmStore::state(*db, Stacked)->lastKey, TestData::readingKey(Stacked, T0.addDays(4)));

        // The latest reading edited in place is evaluated again.
        db->execute(
            QString("UPDATE `%1` SET Channel1 = '1300.00', Channel4 = '1300.00' WHERE DateTimeKey = ?").arg(Stacked),
            {TestData::readingKey(Stacked, T0.addDays(4))});
        const auto edited = evaluate(Stacked);
        QCOMPARE(edited.status, Severity::Action);
        QCOMPARE(int(edited.newEvents.size()), 1);
    }

    void rateOverUnevenIntervals()
    {
        // 0 t, then 0.5 t six hours later, then 3 t three days after the first. Over a
        // one-day window the last reading's reference is the one six hours in: the rate is
        // 2.5 t over 2.75 days, not 2.5 t "per reading interval".
        TestData::addReadings(*db, Stacked,
                              {stacked(T0, 0), stacked(T0.addSecs(6 * 3600), 0.5), stacked(T0.addDays(3), 3)});
        AlarmStore::Levels l;
        l.rateAlert = 0.8;
        l.rateAction = 2;
        AlarmStore::saveLevels(*db, Stacked, l);
        const auto o = evaluate(Stacked);
        QCOMPARE(int(o.newEvents.size()), 1);
        QCOMPARE(o.newEvents[0].quantity, QString("Rate"));
        QCOMPARE(o.newEvents[0].level, QString("Alert"));
        QCOMPARE(o.newEvents[0].direction, QString("rising"));
        QVERIFY(qAbs(o.newEvents[0].value - 2.5 / 2.75) < 1e-9);

        // Hourly readings after it, each rate against the reading a day before.
        QList<TestData::NewReading> more;
        for (int h = 1; h <= 30; ++h) more << stacked(T0.addDays(3).addSecs(3600 * h), 3 + 0.1 * h);
        TestData::addReadings(*db, Stacked, more);
        const auto hourly = evaluate(Stacked);
        // 2.4 t/day once a full day of them is in: past Action (2 t/day).
        QCOMPARE(int(hourly.newEvents.size()), 1);
        QCOMPARE(hourly.newEvents[0].level, QString("Action"));
        QCOMPARE(hourly.newEvents[0].readingKey, TestData::readingKey(Stacked, T0.addDays(3).addSecs(3600 * 24)));
        QVERIFY(qAbs(hourly.newEvents[0].value - 2.4) < 1e-9);
    }

    // A gauge without a value, or a rejected one, gives no load at the positions that use it:
    // such a reading neither clears a level nor makes a rate (a missing gauge computed as 0
    // would read as a fall to half the load); the next rate is taken from the nearest
    // reading with a value there. A reading rejected as a whole is not evaluated at all.
    void missingAndRejectedValuesNeitherRaiseNorClear()
    {
        AlarmStore::Levels l = loadLevels(8, 12);
        l.rateAlert = 0.8;
        l.rateAction = 2;
        AlarmStore::saveLevels(*db, Stacked, l);
        evaluate(Stacked);  // levels before any reading: every reading after them is evaluated
        TestData::NewReading gap = stacked(T0.addDays(2), 10);
        gap.channels[3] = "";  // gauge 4: no value
        TestData::addReadings(*db, Stacked,
                              {stacked(T0.addDays(-30), 0), stacked(T0, 9.5), stacked(T0.addDays(1), 10), gap});
        const auto first = evaluate(Stacked);
        QCOMPARE(first.status, Severity::Alert);
        QCOMPARE(int(first.newEvents.size()), 1);  // Load #1 past Alert at T0, nothing at the gap
        QCOMPARE(first.newEvents[0].readingKey, TestData::readingKey(Stacked, T0));
        AlarmRules::States st = AlarmRules::States::decode(AlarmStore::state(*db, Stacked)->positions);
        QCOMPARE(st.positions["L1"].code, 1);
        QCOMPARE(st.positions["L1"].value, 10.0);

        // The rate two days on is taken from T0 + 1 day, across the gap: 0.2 t over 2 days.
        TestData::addReadings(*db, Stacked, {stacked(T0.addDays(3), 10.2)});
        QVERIFY(evaluate(Stacked).newEvents.empty());
        st = AlarmRules::States::decode(AlarmStore::state(*db, Stacked)->positions);
        QVERIFY(qAbs(st.positions["R1"].value - 0.1) < 1e-9);

        // A bad reading with gauge 1 rejected, and one rejected as a whole: no fall, no rise.
        TestData::addReadings(*db, Stacked, {stacked(T0.addDays(4), 2), stacked(T0.addDays(5), 30)});
        Rejections::reject(*db, Stacked, TestData::readingKey(Stacked, T0.addDays(4)), 1, "gauge 1 shorted");
        Rejections::reject(*db, Stacked, TestData::readingKey(Stacked, T0.addDays(5)), Rejections::WholeReading,
                           "logger test");
        const auto last = evaluate(Stacked);
        QVERIFY(last.newEvents.empty());
        QCOMPARE(last.status, Severity::Alert);
        const auto state = AlarmStore::state(*db, Stacked);
        QCOMPARE(state->lastKey, TestData::readingKey(Stacked, T0.addDays(4)));
        QCOMPARE(state->headline, QString("Load #1 10.20 t"));
    }

    void staleByDays()
    {
        TestData::addReadings(*db, Stacked, {stacked(T0, 0), stacked(T0.addDays(1), 1)});
        AlarmStore::Levels l;
        l.staleDays = 7;
        AlarmStore::saveLevels(*db, Stacked, l);
        QCOMPARE(evaluate(Stacked, T0.addDays(7)).status, Severity::Ok);
        const auto stale = evaluate(Stacked, T0.addDays(9));
        QCOMPARE(stale.status, Severity::Stale);
        QCOMPARE(int(stale.newEvents.size()), 1);
        QCOMPARE(stale.newEvents[0].level, QString("Stale"));
        QVERIFY(evaluate(Stacked, T0.addDays(10)).newEvents.empty());
        TestData::addReadings(*db, Stacked, {stacked(T0.addDays(10), 1)});
        QCOMPARE(evaluate(Stacked, T0.addDays(10)).status, Severity::Ok);
    }

    void displacementAgainstTheTimeChartsBaseline()
    {
        // The first reading is not marked for the time charts: the displacement baseline
        // is the second one, while the loads keep the first.
        TestData::NewReading first = stacked(T0, 0, 0, 0);
        first.temporal = false;
        TestData::addReadings(*db, Stacked, {first, stacked(T0.addDays(1), 1, 1, 1), stacked(T0.addDays(2), 2, 2, 2)});
        AlarmStore::Levels l;
        l.dispAlertUpper = 250;  // D1 = (1 + 1 + 1) x 100 = 300 against the second reading
        l.loadAlertUpper = 1.5;  // loads are 2 t against the first (0 t)
        AlarmStore::saveLevels(*db, Stacked, l);
        const auto o = evaluate(Stacked);
        QStringList what;
        for (const auto& e : o.newEvents)
            what << e.quantity + QString::number(e.position) + '=' + QString::number(e.value);
        what.sort();
        QCOMPARE(what, (QStringList{"Disp1=300", "Load1=2", "Load2=2", "Load3=2"}));
    }

    void baselineChangesWhenReadingsAreDeletedAndEventsStay()
    {
        TestData::addReadings(*db, Stacked, {stacked(T0, 0), stacked(T0.addDays(1), 6), stacked(T0.addDays(2), 10)});
        AlarmStore::saveLevels(*db, Stacked, loadLevels(8, 12));
        const auto o = evaluate(Stacked);
        QCOMPARE(o.status, Severity::Alert);
        QCOMPARE(
            int(AlarmStore::acknowledge(*db, {o.newEvents[0].id}, "Checked on site, bolt sound", "kim", T0.addDays(3))),
            1);

        // The baseline reading goes: the loads are now against the second reading (4 t).
        db->execute(QString("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Stacked),
                    {TestData::readingKey(Stacked, T0)});
        const auto after = evaluate(Stacked);
        QCOMPARE(after.status, Severity::Ok);
        QVERIFY(after.newEvents.empty());
        QCOMPARE(AlarmStore::state(*db, Stacked)->headline, QString("largest load Load #1 4.00 t"));

        // Every reading goes: the event and its acknowledgement stay, with the reading's key
        // and value.
        db->execute(QString("DELETE FROM `%1`").arg(Stacked));
        evaluate(Stacked);
        const std::vector<AlarmStore::Event> events = AlarmStore::events(*db);
        QCOMPARE(int(events.size()), 1);
        QCOMPARE(events[0].readingKey, TestData::readingKey(Stacked, T0.addDays(2)));
        QCOMPARE(events[0].value, 10.0);
        QCOMPARE(events[0].ackBy, QString("kim"));
        QCOMPARE(events[0].ackNote, QString("Checked on site, bolt sound"));
        QCOMPARE(events[0].ackAt, QString("2026-03-05 08:00:00"));
        QVERIFY(AlarmStore::events(*db, AlarmStore::EventFilter::Open).empty());
        // An acknowledgement without a note is refused.
        QVERIFY_THROWS_EXCEPTION(TwError, AlarmStore::acknowledge(*db, {events[0].id}, "  ", "kim", T0));
    }

    void levelsTakenAwayAndSensorsForgotten()
    {
        TestData::addReadings(*db, Stacked, {stacked(T0, 0), stacked(T0.addDays(1), 13)});
        AlarmStore::saveLevels(*db, Stacked, loadLevels(8, 12));
        AlarmStore::saveLevels(*db, Staggered, loadLevels(8, 12));
        const auto all = AlarmEvaluation::evaluateAll(*db, T0.addDays(2));
        QCOMPARE(all.sensors, 2);
        QCOMPARE(int(all.newEvents.size()), 1);
        QCOMPARE(AlarmStore::states(*db).value(Stacked).status, Severity::Action);
        QCOMPARE(AlarmStore::states(*db).value(Staggered).headline, QString("no readings yet"));

        AlarmStore::saveLevels(*db, Stacked, AlarmStore::Levels{});
        QVERIFY(!AlarmStore::levels(*db, Stacked));
        QCOMPARE(evaluate(Stacked).status, Severity::NoLevels);
        QVERIFY(!AlarmStore::state(*db, Stacked));

        AlarmStore::forgetSensor(*db, Staggered);
        QVERIFY(!AlarmStore::levels(*db, Staggered));
        QVERIFY(AlarmStore::states(*db).isEmpty());
        QCOMPARE(int(AlarmStore::events(*db).size()), 1);

        // Summaries tell each event once.
        QCOMPARE(int(AlarmStore::unnotified(*db).size()), 1);
        AlarmStore::markNotified(*db);
        QVERIFY(AlarmStore::unnotified(*db).empty());
    }

    // Levels of many sensors through a CSV file: what is exported comes back unchanged; an
    // edited file changes only the sensors whose rows are all good, and says which rows
    // were refused and why.
    void levelsThroughACsvFile()
    {
        AlarmStore::Levels l;
        l.loadAlertUpper = 8;
        l.loadActionUpper = 12;
        l.rateAlert = 2;
        l.staleDays = 3;
        AlarmStore::saveLevels(*db, Stacked, l);
        const QString csv = AlarmLevelsCsv::exportText(*db);
        QCOMPARE(csv, QString("Sensor,Quantity,Direction,Alert,Action,Margin %,Rate window days,Stale days\r\n"
                              "240375001,Load,upper,8,12,5,1,3\r\n240375001,Rate,either,2,,5,1,3\r\n"));
        QVERIFY(AlarmLevelsCsv::preview(*db, csv).changes.empty());

        const AlarmLevelsCsv::Preview p = AlarmLevelsCsv::preview(
            *db, csv +
                     "240375002,Disp,lower,-300,-500,5,1,\r\n"  // a new sensor's levels
                     "240375001,Load,lower,1,2,5,1,3\r\n"       // Action not beyond Alert: the sensor is refused
                     "999999999,Load,upper,1,2,5,1,\r\n"
                     "240375002,Load,upper,x,2,5,1,\r\n");  // refused, and its sensor with it
        QCOMPARE(p.changes.size(), size_t(0));
        QCOMPARE(p.refused.size(), 3);
        QVERIFY(p.refused[0].startsWith("line 6: no sensor 999999999"));
        QVERIFY(p.text().contains("No sensor's levels change."));

        const AlarmLevelsCsv::Preview good =
            AlarmLevelsCsv::preview(*db,
                                    "Sensor,Quantity,Direction,Alert,Action,Margin %,Rate window days,Stale days\n"
                                    "240375002,Disp,lower,-300,-500,10,1,7\n240375002,Stale,,,,10,1,7\n");
        QVERIFY(good.refused.isEmpty());
        QCOMPARE(good.changeLines.size(), 1);
        QCOMPARE(AlarmLevelsCsv::apply(*db, good), 1);
        const AlarmStore::Levels stored = *AlarmStore::levels(*db, Staggered);
        QCOMPARE(*stored.dispActionLower, -500.0);
        QCOMPARE(*stored.staleDays, 7.0);
        QCOMPARE(stored.marginPercent, 10.0);
        QCOMPARE(AlarmStore::levels(*db, Stacked)->signature(), l.signature());
    }
};

QTEST_GUILESS_MAIN(TestAlarmEvaluation)
#include "tst_alarmevaluation.moc"
