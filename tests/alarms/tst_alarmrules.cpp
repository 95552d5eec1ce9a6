// The alarm rules on plain values: levels with their margin, lower levels, the events a run
// of values raises, the rate, staleness, the summary and the checks of typed levels.
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmRules.h"

#include <QtTest>

using namespace AlarmRules;
using std::optional;

namespace {
const optional<double> none = std::nullopt;

QList<int> codes(const QList<double>& values, optional<double> alertUp, optional<double> actionUp,
                 optional<double> alertLow, optional<double> actionLow, double margin)
{
    QList<int> out;
    int code = 0;
    for (double v : values) out << (code = classify(v, alertUp, actionUp, alertLow, actionLow, margin, code));
    return out;
}

Sample loadSample(const QDateTime& when, std::initializer_list<double> loads)
{
    Sample s;
    s.key = QStringLiteral("240375001 ") + when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    s.when = when;
    Calc::Columns c;
    for (double v : loads) c.v[size_t(++c.count)] = v;
    s.loads = c;
    return s;
}
}  // namespace

class TestAlarmRules : public QObject {
    Q_OBJECT
private slots:
    void upperLevelsCrossUpAndBackDown()
    {
        // Alert 10, Action 12, margin 5 %: Action clears below 11.4, Alert below 9.5.
        QCOMPARE(codes({9, 10, 11.9, 12, 11.5, 11.39, 10, 9.6, 9.49}, 10, 12, none, none, 5),
                 (QList<int>{0, 1, 1, 2, 2, 1, 1, 1, 0}));
        // Without a margin a level clears as soon as the value is below it.
        QCOMPARE(codes({12, 11.99, 10, 9.99}, 10, 12, none, none, 0), (QList<int>{2, 1, 1, 0}));
        // Straight past Alert to Action, and straight back down past both margins.
        QCOMPARE(codes({13, 5}, 10, 12, none, none, 5), (QList<int>{2, 0}));
        // Only an Action level: the margin applies to it alone.
        QCOMPARE(codes({12, 11.5, 11.3}, none, 12, none, none, 5), (QList<int>{2, 2, 0}));
        // A level of 0 still needs the value to move back to clear.
        QCOMPARE(codes({0, 0, -0.001}, 0, none, none, none, 5), (QList<int>{1, 1, 0}));
    }

    void lowerLevelsMirrorTheUpperOnes()
    {
        // Lower Alert -2, lower Action -4: Action clears above -3.8, Alert above -1.9.
        QCOMPARE(codes({-1, -2, -3.9, -4, -3.9, -3.7, -1.95, -1.89}, 10, 12, -2, -4, 5),
                 (QList<int>{0, -1, -1, -2, -2, -1, -1, 0}));
        // From past the lower Action level straight to past the upper Alert level.
        QCOMPARE(codes({-5, 11}, 10, 12, -2, -4, 5), (QList<int>{-2, 1}));
    }

    void eventsOnlyWhenAPositionMovesFurtherOut()
    {
        Levels lv;
        lv.loadAlertUpper = 10;
        lv.loadActionUpper = 12;
        States st;
        const QDateTime t0(QDate(2026, 3, 1), QTime(8, 0));
        struct Step {
            double l1, l2;
            int events;
            const char* level;
            int position;
        };
        const Step steps[] = {{9, 1, 0, "", 0},        {10.5, 1, 1, "Alert", 1}, {12.5, 1, 1, "Action", 1},
                              {11.6, 1, 0, "", 0},     {11, 1, 0, "", 0},        {12.1, 1, 1, "Action", 1},
                              {1, 13, 1, "Action", 2}, {1, 13, 0, "", 0}};
        int i = 0;
        for (const Step& s : steps) {
            const std::vector<Raised> r = step(lv, st, loadSample(t0.addSecs(3600 * i++), {s.l1, s.l2}));
            QCOMPARE(int(r.size()), s.events);
            if (s.events) {
                QCOMPARE(r[0].level, QString::fromLatin1(s.level));
                QCOMPARE(r[0].position, s.position);
                QCOMPARE(r[0].quantity, QString("Load"));
                QCOMPARE(r[0].direction, QString("upper"));
                QCOMPARE(r[0].readingDate, t0.addSecs(3600 * (i - 1)).toString("yyyy-MM-dd HH:mm:ss"));
            }
        }
        // Position 2 has stood at Action since the seventh reading; position 1 went back.
        const Summary sum = summarize(st);
        QCOMPARE(sum.status, AlarmStore::Severity::Action);
        QCOMPARE(sum.headline, QString("Load #2 13.00 t"));
        QCOMPARE(sum.since, t0.addSecs(3600 * 6).toString("yyyy-MM-dd HH:mm:ss"));
        // The states survive being stored and read back.
        const States back = States::decode(st.encode());
        QCOMPARE(back.encode(), st.encode());
        QCOMPARE(back.positions.value("L2").code, 2);

        // Levels taken away leave nothing standing past them.
        step(Levels{}, st, loadSample(t0.addDays(1), {20, 20}));
        QCOMPARE(summarize(st).status, AlarmStore::Severity::Ok);
    }

    void rateIsPerDayOverTheRealInterval()
    {
        const QDateTime t0(QDate(2026, 3, 1), QTime(0, 0));
        QCOMPARE(*ratePerDay(t0, 1.0, t0.addSecs(6 * 3600), 2.0), 4.0);
        QCOMPARE(*ratePerDay(t0, 3.0, t0.addDays(2), 2.0), -0.5);
        QVERIFY(!ratePerDay(t0, 1, t0, 2));

        // A falling rate past the level raises a "falling" event; a rate that swings the
        // other way raises again.
        Levels lv;
        lv.rateAlert = 1;
        States st;
        Sample s = loadSample(t0, {0});
        Calc::Columns r;
        r.count = 1;
        r.v[1] = -1.5;
        s.rates = r;
        std::vector<Raised> e = step(lv, st, s);
        QCOMPARE(int(e.size()), 1);
        QCOMPARE(e[0].quantity, QString("Rate"));
        QCOMPARE(e[0].direction, QString("falling"));
        s.rates->v[1] = -1.2;
        QVERIFY(step(lv, st, s).empty());
        s.rates->v[1] = 1.3;
        e = step(lv, st, s);
        QCOMPARE(int(e.size()), 1);
        QCOMPARE(e[0].direction, QString("rising"));
    }

    void staleByDays()
    {
        Levels lv;
        lv.staleDays = 3;
        States st;
        const QDateTime last(QDate(2026, 3, 1), QTime(12, 0));
        QVERIFY(!checkStale(lv, st, last, "k", last.addDays(3)));  // exactly 3 days: not yet
        QVERIFY(!st.stale);
        const auto e = checkStale(lv, st, last, "k", last.addDays(3).addSecs(60));
        QVERIFY(e);
        QCOMPARE(e->level, QString("Stale"));
        QCOMPARE(e->readingKey, QString("k"));
        QCOMPARE(st.staleSince, QString("2026-03-04 12:00:00"));
        QVERIFY(!checkStale(lv, st, last, "k", last.addDays(5)));  // told once
        QCOMPARE(summarize(st).status, AlarmStore::Severity::Stale);
        QVERIFY(!checkStale(lv, st, last.addDays(5), "k2", last.addDays(5)));  // a new reading
        QCOMPARE(summarize(st).status, AlarmStore::Severity::Ok);
        // Off unless set.
        QVERIFY(!checkStale(Levels{}, st, last, "k", last.addYears(1)));
    }

    void typedLevelsAreChecked_data()
    {
        QTest::addColumn<QStringList>("typed");  // field=text
        QTest::addColumn<QString>("message");    // empty: accepted
        QTest::addColumn<int>("field");
        QTest::newRow("fine") << QStringList{"0=10", "1=12", "2=-2", "3=-4", "8=0.5", "9=1", "10=2", "11=10", "12=7"}
                              << QString() << -1;
        QTest::newRow("not a number")
            << QStringList{"0=ten"}
            << "\"ten\" is not a number: please correct Load Alert (upper), or leave it empty to set no level." << 0;
        QTest::newRow("action below alert")
            << QStringList{"0=10", "1=9"}
            << "The upper Action level for load (9) must be above its upper Alert level (10)." << 1;
        QTest::newRow("equal") << QStringList{"4=5", "5=5"}
                               << "The upper Action level for displacement (5) must be above its upper Alert level (5)."
                               << 5;
        QTest::newRow("lower action above lower alert")
            << QStringList{"2=-4", "3=-2"}
            << "The lower Action level for load (-2) must be below its lower Alert level (-4)." << 3;
        QTest::newRow("lower above upper")
            << QStringList{"0=10", "2=11"} << "The lower levels for load must be below its upper levels." << 2;
        QTest::newRow("rate not positive") << QStringList{"8=-1"} << "Rate Alert must be a number above 0." << 8;
        QTest::newRow("rate action below alert")
            << QStringList{"8=2", "9=1"} << "The rate Action level (1) must be above the rate Alert level (2)." << 9;
        QTest::newRow("stale zero") << QStringList{"12=0"} << "Stale after (days) must be a number above 0." << 12;
        QTest::newRow("margin") << QStringList{"11=60"} << "The margin to clear must be from 0 to 50 per cent." << 11;
    }

    void typedLevelsAreChecked()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        QFETCH(int, field);
        Texts texts;
        for (const QString& t : typed) texts[size_t(t.section('=', 0, 0).toInt())] = t.section('=', 1);
        const Checked c = check(texts);
        QCOMPARE(c.message, message);
        QCOMPARE(c.field, field);
        if (c.ok()) {
            QCOMPARE(*c.levels.loadActionLower, -4.0);
            QCOMPARE(c.levels.rateWindowDays, 2.0);
            QCOMPARE(c.levels.marginPercent, 10.0);
            // Shown again as typed.
            const Texts back = textsOf(c.levels);
            QCOMPARE(back[LoadAlertUpper], QString("10"));
            QCOMPARE(back[StaleDays], QString("7"));
        }
    }

    void emptyBoxesMeanNoLevelsAndTheDefaults()
    {
        const Checked c = check(Texts{});
        QVERIFY(c.ok());
        QVERIFY(!c.levels.any());
        QCOMPARE(c.levels.rateWindowDays, 1.0);
        QCOMPARE(c.levels.marginPercent, 5.0);
    }

    void oneSummaryForManyEvents()
    {
        auto ev = [](const char* sensor, const char* level, const char* date) {
            AlarmStore::Event e;
            e.sensorId = sensor;
            e.level = level;
            e.readingDate = date;
            return e;
        };
        const std::vector<AlarmStore::Event> events = {
            ev("240375001", "Alert", "2026-12-01 09:30:00"), ev("240375001", "Action", "2026-12-02 10:00:00"),
            ev("240375002", "Action", "2026-12-03 10:00:00"), ev("240375003", "Alert", "2026-12-02 08:00:00"),
            ev("240375004", "Stale", "2026-11-20 08:00:00")};
        QCOMPARE(AlarmEvaluation::summaryText(events, false),
                 QString("2 sensors passed Action, 1 sensor passed Alert and 1 sensor has gone stale since "
                         "2026/11/20 08:00 (5 new alarm events)."));
        QVERIFY(AlarmEvaluation::summaryText({}, true).isEmpty());
        QVERIFY(AlarmEvaluation::summaryText({events[0]}, true)
                    .endsWith("Open the Alarms window to see and acknowledge them?"));
    }
};

QTEST_GUILESS_MAIN(TestAlarmRules)
#include "tst_alarmrules.moc"
