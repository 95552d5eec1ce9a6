// The widget-free chart rules: gauges per layout, the time axis by span, the length axis,
// date keys, and reading the graph data's columns in one query.
#include "support/TestEnv.h"
#include "charts/ChartRules.h"
#include "charts/GraphColumns.h"
#include "charts/SeriesSampler.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <cstring>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

using namespace ChartRules;

class TestChartRules : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void timeGauges_data()
    {
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("shown");
        QTest::newRow("staggered 6") << false << 6 << 6;
        QTest::newRow("staggered 2") << false << 2 << 2;
        QTest::newRow("stacked 3") << true << 3 << 2;
        QTest::newRow("stacked 2") << true << 2 << 1;
        QTest::newRow("stacked 1") << true << 1 << 0;
        QTest::newRow("stacked 4") << true << 4 << 1;
        QTest::newRow("stacked 5") << true << 5 << 2;
        QTest::newRow("stacked 6") << true << 6 << 3;
    }
    void timeGauges()
    {
        QFETCH(bool, stacked);
        QFETCH(int, channels);
        QFETCH(int, shown);
        QCOMPARE(timeGaugeCount(stacked, channels), shown);
    }

    void profiles_data()
    {
        QTest::addColumn<int>("profile");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("lastGauge");
        QTest::addColumn<bool>("nextNode");
        QTest::addColumn<bool>("cable");
        const int load = int(Profile::Load), disp = int(Profile::Displacement), shear = int(Profile::Shear);
        QTest::newRow("load staggered 4") << load << false << 4 << 4 << false << true;
        QTest::newRow("load stacked 3") << load << true << 3 << 2 << false << true;
        QTest::newRow("load stacked 5") << load << true << 5 << 2 << false << true;
        QTest::newRow("disp staggered 4") << disp << false << 4 << 4 << true << true;
        QTest::newRow("disp stacked 3") << disp << true << 3 << 2 << false << true;
        QTest::newRow("disp stacked 6") << disp << true << 6 << 3 << false << true;
        QTest::newRow("shear staggered 4") << shear << false << 4 << 2 << false << false;
        QTest::newRow("shear stacked 3") << shear << true << 3 << 2 << false << false;
        QTest::newRow("shear stacked 6") << shear << true << 6 << 3 << false << false;
        QTest::newRow("shear staggered 1") << shear << false << 1 << 0 << false << false;
    }
    void profiles()
    {
        QFETCH(int, profile);
        QFETCH(bool, stacked);
        QFETCH(int, channels);
        QFETCH(int, lastGauge);
        QFETCH(bool, nextNode);
        QFETCH(bool, cable);
        const ProfilePlan p = profilePlan(Profile(profile), stacked, channels);
        QCOMPARE(p.lastGauge, lastGauge);
        QCOMPARE(p.closeAtNextNode, nextNode);
        QCOMPARE(p.closeAtCable, cable);
    }

    // Periods are calendar weeks and months, whatever year they fall in: the week of
    // Monday 2025-12-29 runs into 2026, and January 2025 and January 2026 are two months.
    void profilePeriodsAcrossTheNewYear_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QList<int>>("chosen");
        // 0: Sun 28 Dec 2025, 1: Mon 29 Dec, 2: Wed 31 Dec, 3: Thu 1 Jan 2026 07:00,
        // 4: Thu 1 Jan 19:00, 5: Sun 4 Jan, 6: Mon 5 Jan, 7: Thu 15 Jan 2026.
        QTest::newRow("weekly") << int(ChartRules::ProfileChoice::Weekly) << QList<int>{0, 5, 6, 7};
        QTest::newRow("monthly") << int(ChartRules::ProfileChoice::Monthly) << QList<int>{2, 7};
        QTest::newRow("last 15") << int(ChartRules::ProfileChoice::Last15) << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
    }
    void profilePeriodsAcrossTheNewYear()
    {
        QFETCH(int, choice);
        QFETCH(QList<int>, chosen);
        auto t = [](int y, int m, int d, int h) { return QDateTime(QDate(y, m, d), QTime(h, 0)); };
        const std::vector<QDateTime> times{t(2025, 12, 28, 7), t(2025, 12, 29, 7), t(2025, 12, 31, 7),
                                           t(2026, 1, 1, 7),   t(2026, 1, 1, 19),  t(2026, 1, 4, 7),
                                           t(2026, 1, 5, 7),   t(2026, 1, 15, 7)};
        qsizetype periods = 0;
        const std::vector<qsizetype> got =
            ChartRules::chooseProfiles(times, ChartRules::ProfileChoice(choice), &periods);
        QCOMPARE(QList<qsizetype>(got.begin(), got.end()), QList<qsizetype>(chosen.begin(), chosen.end()));
        QCOMPARE(periods, qsizetype(chosen.size()));
        // The choice survives its trip through the preferences; an unknown one is picked dates.
        const auto c = ChartRules::ProfileChoice(choice);
        QCOMPARE(ChartRules::profileChoiceFromKey(ChartRules::profileChoiceKey(c)), c);
        QCOMPARE(ChartRules::profileChoiceFromKey("fortnightly"), ChartRules::ProfileChoice::Picked);
    }

    void lengthAxis_data()
    {
        QTest::addColumn<double>("largest");
        QTest::addColumn<double>("maximum");
        QTest::newRow("2.4 m cable") << 2.4 << 3.0;
        QTest::newRow("exactly 3") << 3.0 << 3.0;
        QTest::newRow("3.0005") << 3.0005 << 3.0;  // 3.9995 truncated
        QTest::newRow("3.002") << 3.002 << 4.0;
        QTest::newRow("exactly 1") << 1.0 << 1.0;
        QTest::newRow("0.8 m cable") << 0.8 << 1.0;
        QTest::newRow("nothing") << 0.0 << 1.0;
    }
    void lengthAxis()
    {
        QFETCH(double, largest);
        QFETCH(double, maximum);
        QCOMPARE(lengthAxisMaximum(largest), maximum);
    }

    // The length axis's tick step fits the bolt: at most ten parts, each a round step.
    void lengthTicks_data()
    {
        QTest::addColumn<double>("axisMaximum");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("2.4 m bolt, axis to 3 m") << 3.0 << 0.5 << 1;
        QTest::newRow("axis to 1 m") << 1.0 << 0.1 << 1;
        QTest::newRow("axis to 2 m") << 2.0 << 0.2 << 1;
        QTest::newRow("axis to 6 m") << 6.0 << 1.0 << 0;
        QTest::newRow("axis to 10 m") << 10.0 << 1.0 << 0;
        QTest::newRow("axis to 15 m") << 15.0 << 2.0 << 0;
        QTest::newRow("axis to 40 m") << 40.0 << 5.0 << 0;
    }
    void lengthTicks()
    {
        QFETCH(double, axisMaximum);
        QFETCH(double, step);
        QFETCH(int, decimals);
        QCOMPARE(lengthTickStep(axisMaximum), step);
        QCOMPARE(stepDecimals(lengthTickStep(axisMaximum)), decimals);
    }

    void roundSteps()
    {
        QCOMPARE(roundStep(0.3), 0.5);
        QCOMPARE(roundStep(0.5), 0.5);
        QCOMPARE(roundStep(0.51), 1.0);
        QCOMPARE(roundStep(1.2), 2.0);
        QCOMPARE(roundStep(3), 5.0);
        QCOMPARE(roundStep(7), 10.0);
        QCOMPARE(roundStep(0.012), 0.02);
        // Crowded labels: a round step that is a whole multiple of the increment.
        QCOMPARE(crowdedStep(0.5, 1.3), 2.0);
        QCOMPARE(crowdedStep(2, 3), 10.0);  // 5 is no multiple of 2
        QCOMPARE(crowdedStep(2, 11), 20.0);
        QCOMPARE(crowdedStep(10, 24), 50.0);
        QCOMPARE(crowdedStep(0.1, 0.15), 0.2);
        QCOMPARE(crowdedStep(0.01, 0.07), 0.1);
        // Decimals that show every multiple of the step.
        QCOMPARE(stepDecimals(0.25), 2);
        QCOMPARE(stepDecimals(0.5), 1);
        QCOMPARE(stepDecimals(0.01), 2);
        QCOMPARE(stepDecimals(10), 0);
        QCOMPARE(stepDecimals(2.5), 1);
    }

    void timeAxisBySpan_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("title");
        const QDate d(2025, 4, 2);
        QTest::newRow("same day") << d << d << int(TimeStep::TwoHours) << "HH:mm"
                                  << "2025/04/02";
        QTest::newRow("next day") << d << d.addDays(1) << int(TimeStep::SixHours) << "HH:mm"
                                  << "2025/04/02";
        QTest::newRow("two days") << d << d.addDays(2) << int(TimeStep::Automatic) << "yyyy'/'MM'/'dd"
                                  << "";
        QTest::newRow("a year") << d << d.addYears(1) << int(TimeStep::Automatic) << "yyyy'/'MM'/'dd"
                                << "";
        QTest::newRow("no date") << QDate() << d << int(TimeStep::Automatic) << "yyyy'/'MM'/'dd"
                                 << "";
    }
    void timeAxisBySpan()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(int, step);
        QFETCH(QString, format);
        QFETCH(QString, title);
        const TimeAxisPlan p = timeAxisPlan(first, last, '/', ':');
        QCOMPARE(int(p.step), step);
        QCOMPARE(p.labelFormat, format);
        QCOMPARE(p.title, title);
    }

    void separatorsFollowTheLocale()
    {
        QCOMPARE(separatorOf("dd.MM.yy", '/'), QChar('.'));
        QCOMPARE(separatorOf("M/d/yy", '-'), QChar('/'));
        QCOMPARE(separatorOf("yyyy-MM-dd", '/'), QChar('-'));
        QCOMPARE(separatorOf("HH:mm", '.'), QChar(':'));
        QCOMPARE(separatorOf("h 'h' mm", ':'), QChar(':'));  // no separator at all: the fallback
        const TimeAxisPlan p = timeAxisPlan(QDate(2025, 4, 2), QDate(2025, 4, 2), '.', '.');
        QCOMPARE(p.labelFormat, QString("HH.mm"));
        QCOMPARE(p.title, QString("2025.04.02"));
        QCOMPARE(QDateTime(QDate(2025, 4, 2), QTime())
                     .toString(timeAxisPlan(QDate(2025, 4, 2), QDate(2025, 5, 2), '.', ':').labelFormat),
                 QString("2025.04.02"));
    }

    void dateKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("key");
        QTest::newRow("epoch") << "1970-01-01 00:00:00" << 0.0;
        QTest::newRow("stored form")
            << "2025-04-02 13:45:10"
            << double(QDateTime(QDate(2025, 4, 2), QTime(13, 45, 10), Qt::UTC).toSecsSinceEpoch());
        QTest::newRow("slashes, no seconds")
            << "2025/04/02 13:45" << double(QDateTime(QDate(2025, 4, 2), QTime(13, 45), Qt::UTC).toSecsSinceEpoch());
        QTest::newRow("leap day") << "2024-02-29 23:59:59"
                                  << double(
                                         QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC).toSecsSinceEpoch());
        QTest::newRow("before 1970") << "1969-12-31 23:00:00" << -3600.0;
    }
    void dateKeys()
    {
        QFETCH(QString, text);
        QFETCH(double, key);
        QCOMPARE(dateTimeKey(text), key);
        // Back to the same wall-clock time, whatever the machine's time zone.
        QCOMPARE(
            keyDateTime(key).toString("yyyy-MM-dd HH:mm"),
            QDateTime::fromString(text.left(16).replace('/', '-'), "yyyy-MM-dd HH:mm").toString("yyyy-MM-dd HH:mm"));
    }
    void unreadableDateKeys()
    {
        for (const char* t : {"", "2025-04-02", "2025-13-02 10:00:00", "2025-04-02 25:00:00", "2025-04/02 10:00:00",
                              "abcd-ef-gh ij:kl"})
            QVERIFY2(std::isnan(dateTimeKey(t)), t);
    }

    void readingDates()
    {
        QCOMPARE(parseReadingDate("2025/04/02"), QDate(2025, 4, 2));
        QCOMPARE(parseReadingDate("2025-04-02"), QDate(2025, 4, 2));
        QCOMPARE(parseReadingDate(" 2025/04/02 10:00:00"), QDate(2025, 4, 2));
        QVERIFY(!parseReadingDate("").isValid());
        QVERIFY(!parseReadingDate("02.04.2025").isValid());
        QCOMPARE(formatDate(QDate(2025, 4, 2), '-'), QString("2025-04-02"));
    }

    // A long line handed to the plotting library: per pixel column the first, lowest,
    // highest and last point and the first gap, one point beyond each edge of the range,
    // and every point when there are few.
    void samplingKeepsTheShapeOfALongLine()
    {
        std::vector<double> keys, values;
        for (int i = 0; i < 100000; ++i) {
            keys.push_back(i);
            values.push_back(i % 997 == 0 ? std::nan("") : std::sin(i / 50.0) * 100 + (i % 13));
        }
        const int columns = 400;
        const std::vector<qsizetype> picked = SeriesSampler::sample(keys, values, 0, 99999, columns);
        QVERIFY(picked.size() <= size_t(SeriesSampler::PointsPerColumn * columns + 2));
        QVERIFY(std::is_sorted(picked.begin(), picked.end()));
        QVERIFY(std::adjacent_find(picked.begin(), picked.end()) == picked.end());
        QCOMPARE(picked.front(), qsizetype(0));
        QCOMPARE(picked.back(), qsizetype(99999));
        // Column by column, by brute force.
        const std::set<qsizetype> chosen(picked.begin(), picked.end());
        std::map<int, std::vector<qsizetype>> byColumn;
        for (qsizetype i = 1; i < 99999; ++i)
            byColumn[std::min(columns - 1, int(keys[size_t(i)] * columns / 99999.0))].push_back(i);
        for (const auto& [column, members] : byColumn) {
            QVERIFY(chosen.count(members.front()) && chosen.count(members.back()));
            qsizetype low = -1, high = -1, gap = -1;
            for (qsizetype i : members) {
                const double v = values[size_t(i)];
                if (std::isnan(v)) {
                    if (gap < 0) gap = i;
                    continue;
                }
                if (low < 0 || v < values[size_t(low)]) low = i;
                if (high < 0 || v > values[size_t(high)]) high = i;
            }
            QVERIFY2(chosen.count(low) && chosen.count(high), qPrintable(QString("column %1").arg(column)));
            if (gap >= 0) QVERIFY(chosen.count(gap));
        }

        // Zoomed in: the range and one point either side; few points come whole.
        const std::vector<qsizetype> zoomed = SeriesSampler::sample(keys, values, 500.5, 600.5, columns);
        QCOMPARE(zoomed.front(), qsizetype(500));
        QCOMPARE(zoomed.back(), qsizetype(601));
        QCOMPARE(zoomed.size(), size_t(102));
        QVERIFY(SeriesSampler::sample({}, {}, 0, 1, columns).empty());
        QCOMPARE(SeriesSampler::sample({5}, {1}, 0, 1, columns), std::vector<qsizetype>{0});
    }

    // The graph data's columns come back in the recordset's order, nulls as NaN, and a
    // column the table lacks is reported only when it is asked for.
    void columnsOfTheSelection()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {"250475001"});
        QList<TestData::NewReading> rs;
        // Entered out of date order; the selection is by date.
        for (int h : {5, 1, 3, 2}) {
            TestData::NewReading r;
            r.when = QDateTime(QDate(2025, 4, 2), QTime(h, 0));
            r.temporal = h != 2;
            rs << r;
        }
        TestData::addReadings(*db, "250475001", rs);
        db->execute("UPDATE `250475001` SET Load1 = CAST(strftime('%H', FullDate) AS REAL) / 10, NumTemp = NULL");
        db->execute("UPDATE `250475001` SET NumTemp = 21.5 WHERE ReadingTime = '03:00:00'");

        Recordset r(*db);
        r.open("SELECT * FROM `250475001` WHERE Plottemporal = True ORDER BY FullDate");
        GraphColumns cols(r, {"NumTemp", "Load1", "Load9"}, "fulldate");
        QCOMPARE(cols.rowCount(), qsizetype(3));
        const double base = double(QDateTime(QDate(2025, 4, 2), QTime(0, 0), Qt::UTC).toSecsSinceEpoch());
        QCOMPARE(cols.dates(), (std::vector<double>{base + 3600, base + 3 * 3600, base + 5 * 3600}));
        QCOMPARE(cols.numbers("load1"), (std::vector<double>{0.1, 0.3, 0.5}));
        QVERIFY(std::isnan(cols.numbers("NumTemp")[0]));
        QCOMPARE(cols.numbers("NumTemp")[1], 21.5);
        try {
            cols.numbers("Load9");
            QFAIL("a missing column must be reported");
        } catch (const TwError& e) {
            QCOMPARE(e.number, 3265);
        }
    }

    // Columns kept from a read and brought up to date from the rows written since (added,
    // edited, re-dated, taken out of the selection, deleted; dates tied and missing) hold
    // bit for bit what a full read gives; a value in a column whose array is shared with
    // others (all no value) is refused, and a full read is then needed.
    void columnsBroughtUpToDateFromTheRowsWritten()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        const QString id = QStringLiteral("250475001");
        TestData::addSensor(*db, {id});
        TestData::addManyReadings(*db, id, 300, QDateTime(QDate(2025, 4, 2), QTime(8, 0)));
        const QString table = QStringLiteral("`%1`").arg(id);
        // The engine's own SQL, as another program would write.
        const auto run = [&](const QString& sql, const QVariantList& binds = {}) {
            QSqlQuery q(db->handle());
            QVERIFY2(q.prepare(sql), qPrintable(q.lastError().text()));
            for (const QVariant& b : binds) q.addBindValue(b);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        };
        run("UPDATE " + table +
            " SET Load1 = rowid / 7.0, Load2 = CASE WHEN rowid % 5 = 0 THEN NULL ELSE "
            "'x' || rowid END, NumTemp = rowid % 3, Plottemporal = rowid % 2");
        const QString sql = QStringLiteral("SELECT * FROM %1 WHERE Plottemporal = True ORDER BY FullDate").arg(table);
        const QStringList names{"NumTemp", "Load1", "Load2", "Load6"};

        QRandomGenerator random(31);
        auto kept = std::make_unique<GraphColumns>(*db, sql, names, "fulldate", "readingdate");
        std::vector<qint64> ids = kept->takeRowIds();
        quint64 since = db->stamp(id).tableWrites;
        int refused = 0;
        for (int round = 0; round < 40; ++round) {
            const int steps = 1 + int(random.bounded(6));
            for (int k = 0; k < steps; ++k) {
                const qint64 row = 1 + random.bounded(db->scalar("SELECT max(rowid) FROM " + table).toInt());
                switch (random.bounded(6)) {
                    case 0:  // a new reading, at a date already taken or a new one
                        run("INSERT INTO " + table +
                                " (DateTimeKey, FullDate, Plottemporal, Load1, NumTemp) SELECT "
                                "DateTimeKey || 'n' || ?, FullDate, 1, ?, 2 FROM " +
                                table + " WHERE rowid = ?",
                            {round * 10 + k, random.generateDouble(), row});
                        break;
                    case 1:  // edited values
                        run("UPDATE " + table + " SET Load1 = ?, NumTemp = NULL WHERE rowid = ?",
                            {random.generateDouble() * 100, row});
                        break;
                    case 2:  // re-dated, to a date taken, the start or no date at all
                        run("UPDATE " + table + " SET FullDate = " +
                                (k % 3 == 0   ? QStringLiteral("NULL")
                                 : k % 3 == 1 ? QStringLiteral("'2025-01-01 00:00:00'")
                                              : QStringLiteral("(SELECT max(FullDate) FROM %1)").arg(table)) +
                                " WHERE rowid = ?",
                            {row});
                        break;
                    case 3:  // out of the selection and back in
                        run("UPDATE " + table + " SET Plottemporal = NOT Plottemporal WHERE rowid = ?", {row});
                        break;
                    case 4:
                        run("DELETE FROM " + table + " WHERE rowid = ?", {row});
                        break;
                    default:
                        break;
                }
            }
            // A value where every reading had none.
            if (round % 8 == 7)
                run("UPDATE " + table + " SET Load6 = 1 WHERE rowid = (SELECT max(rowid) FROM " + table +
                    " WHERE Plottemporal = 1)");
            const std::optional<std::vector<qint64>> written = db->rowsWrittenSince(id, since);
            QVERIFY(written.has_value());
            since = db->stamp(id).tableWrites;
            const bool updated = kept->update(*db, sql, ids, *written, "readingdate");
            GraphColumns full(*db, sql, names, "fulldate", "readingdate");
            if (!updated) {
                // Refused only for the shared column, and then left as it was.
                ++refused;
                QCOMPARE(kept->rowCount(), qsizetype(ids.size()));
                run("UPDATE " + table + " SET Load6 = NULL");
                since = db->stamp(id).tableWrites;
                kept = std::make_unique<GraphColumns>(*db, sql, names, "fulldate", "readingdate");
                ids = kept->takeRowIds();
                continue;
            }
            QCOMPARE(ids, full.rowIds());
            QCOMPARE(kept->rowCount(), full.rowCount());
            QCOMPARE(kept->firstText(), full.firstText());
            QCOMPARE(kept->lastText(), full.lastText());
            const auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
                return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
            };
            QVERIFY2(same(kept->dates(), full.dates()), qPrintable(QString("round %1").arg(round)));
            for (const QString& n : names)
                QVERIFY2(same(kept->numbers(n), full.numbers(n)),
                         qPrintable(QString("round %1, %2").arg(round).arg(n)));
        }
        QVERIFY(refused > 0);
    }
};

QTEST_GUILESS_MAIN(TestChartRules)
#include "tst_chartrules.moc"
