// The calculation formulas and the value-axis rule, on plain values.
#include "calc/AxisScale.h"
#include "calc/Formulas.h"
#include "core/TwError.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace Calc;

namespace {

ChannelValues zeros(std::initializer_list<double> values)
{
    ChannelValues z{};
    int i = 1;
    for (double v : values) z[size_t(i++)] = v;
    return z;
}

Columns loadsOf(std::initializer_list<double> values)
{
    Columns c;
    for (double v : values) c.v[size_t(++c.count)] = v;
    return c;
}

constexpr double None = std::numeric_limits<double>::quiet_NaN();

// "1.5;-;2" -> {1.5, no value, 2}
QList<double> listOf(const QString& text)
{
    QList<double> out;
    if (text.isEmpty()) return out;
    for (const QString& part : text.split(';')) out << (part == "-" ? None : part.toDouble());
    return out;
}

void compareColumns(const Columns& got, const QString& expected)
{
    const QList<double> want = listOf(expected);
    QCOMPARE(got.count, int(want.size()));
    for (int i = 1; i <= got.count; ++i) {
        if (std::isnan(want[i - 1]) || std::isnan(got[i])) {
            if (std::isnan(want[i - 1]) != std::isnan(got[i]))
                QFAIL(qPrintable(QStringLiteral("column %1: got %2, expected %3").arg(i).arg(got[i]).arg(want[i - 1])));
            continue;
        }
        if (!qFuzzyCompare(1.0 + got[i], 1.0 + want[i - 1]))
            QFAIL(qPrintable(
                QStringLiteral("column %1: got %2, expected %3").arg(i).arg(got[i], 0, 'g', 17).arg(want[i - 1])));
    }
}

int errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const TwError& e) {
        return e.number;
    }
    return 0;
}

}  // namespace

class TestFormulas : public QObject {
    Q_OBJECT
private slots:
    void zeroing_data()
    {
        QTest::addColumn<QString>("baseline");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<double>("zero");
        QTest::newRow("baseline itself") << "100.00"
                                         << "100.00" << 0.0;
        QTest::newRow("above the baseline") << "100.00"
                                            << "103.50" << 3.5;
        QTest::newRow("below the baseline") << "100.00"
                                            << "98.00" << -2.0;
        QTest::newRow("negative baseline") << "-20.00"
                                           << "5.00" << 25.0;
        // A reading without a value where the baseline has one has no zero; a channel the
        // baseline lacks zeroes as 0 whatever the reading holds.
        QTest::newRow("reading without the channel") << "100.00"
                                                     << "" << None;
        QTest::newRow("blank reading") << "100.00"
                                       << "  " << None;
        QTest::newRow("baseline without the channel") << ""
                                                      << "250.00" << 0.0;
        QTest::newRow("neither has it") << ""
                                        << "" << 0.0;
        QTest::newRow("blank baseline, empty reading") << " "
                                                       << "" << 0.0;
    }
    void zeroing()
    {
        QFETCH(QString, baseline);
        QFETCH(QString, reading);
        QFETCH(double, zero);
        const double offset = offsetFromText(baseline);
        QCOMPARE(zeroFromText(reading, offset), zero);
        // The passes read stored texts as bytes: the same result.
        QCOMPARE(zeroFromUtf8(reading.toUtf8(), offset), zero);
    }

    void zeroingRefusesTextsThatAreNotNumbers()
    {
        QCOMPARE(errorNumber([] { zeroFromText(QStringLiteral("12x"), 10.0); }), ErrNo::TypeMismatch);
        QCOMPARE(errorNumber([] { offsetFromText(QStringLiteral("abc")); }), ErrNo::TypeMismatch);
        QVERIFY(std::isnan(offsetFromText(QString())));
    }

    void temperature_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "21.5" << 21.5;
        QTest::newRow("empty: no value") << "" << None;
        QTest::newRow("blank: no value") << "  " << None;
        QTest::newRow("negative") << "-3.0" << -3.0;
        QTest::newRow("trailing text") << "18.5C" << 18.5;
        QTest::newRow("not a number") << "warm" << 0.0;
        QTest::newRow("decimal comma stops the number") << "21,5" << 21.0;
    }
    void temperature()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(tempFromText(text), value);
        QCOMPARE(tempFromUtf8(text.toUtf8()), value);
    }

    void loads_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<ChannelValues>("z");
        QTest::addColumn<QString>("k");
        QTest::addColumn<QString>("expected");  // Load1;Load2;... (empty: no column written)
        QTest::newRow("stacked 75, pair 1 and 4") << "75" << true << zeros({200, 0, 0, 100, 0, 0}) << "100"
                                                  << "1.5;0;0";
        QTest::newRow("stacked 75, all pairs") << "75" << true << zeros({100, 200, 300, 300, 400, 500}) << "100"
                                               << "2;3;4";
        QTest::newRow("stacked 55, pairs 1-3 and 2-4") << "55" << true << zeros({100, 300, 500, 700}) << "100"
                                                       << "3;5";
        QTest::newRow("stacked 55 ignores gauges 5 and 6") << "55" << true << zeros({0, 0, 0, 0, 900, 900}) << "100"
                                                           << "0;0";
        QTest::newRow("stacked 35") << "35" << true << zeros({150, 50}) << "50"
                                    << "2";
        QTest::newRow("stacked 35, negative k") << "35" << true << zeros({150, 50}) << "-50"
                                                << "-2";
        QTest::newRow("staggered 75, first position") << "75" << false << zeros({300, 0, 0, 0, 0, 0}) << "100"
                                                      << "2;0.75;0;0;0;0";
        QTest::newRow("staggered 75, last position keeps divisor 4")
            << "75" << false << zeros({0, 0, 0, 0, 0, 300}) << "100"
            << "0;0;0;0;0.75;1.5";
        QTest::newRow("staggered 75, second position") << "75" << false << zeros({100, 100, 0, 200, 0, 0}) << "100"
                                                       << "1.33333333333333333;1.5;1;0.25;0;0";
        QTest::newRow("staggered 75, equal strains") << "75" << false << zeros({40, 40, 40, 40, 40, 40}) << "10"
                                                     << "4;4;4;4;4;3";
        QTest::newRow("staggered 75, k with trailing text")
            << "75" << false << zeros({300, 0, 0, 0, 0, 0}) << "100 ue/t"
            << "2;0.75;0;0;0;0";
        QTest::newRow("staggered 55: none") << "55" << false << zeros({100, 100, 100, 100}) << "100"
                                            << "";
        QTest::newRow("staggered 35: none") << "35" << false << zeros({100, 100}) << "100"
                                            << "";
        QTest::newRow("stacked 25: none") << "25" << true << zeros({100}) << "100"
                                          << "";
        QTest::newRow("stacked 65: none") << "65" << true << zeros({100, 100, 100, 100, 100}) << "100"
                                          << "";
        QTest::newRow("no k needed when nothing is written") << "25" << true << zeros({100}) << ""
                                                             << "";
        QTest::newRow("baseline gets 0") << "75" << false << zeros({0, 0, 0, 0, 0, 0}) << "100"
                                         << "0;0;0;0;0;0";
        // A gauge without a value: no load wherever it is used, the others as before.
        QTest::newRow("stacked 75, gauge 4 missing") << "75" << true << zeros({200, 100, 0, None, 300, 0}) << "100"
                                                     << "-;2;0";
        QTest::newRow("stacked 55, gauge 3 missing") << "55" << true << zeros({100, 300, None, 700}) << "100"
                                                     << "-;5";
        QTest::newRow("stacked 35, gauge 2 missing") << "35" << true << zeros({150, None}) << "50"
                                                     << "-";
        QTest::newRow("staggered 75, gauge 2 missing (third along)")
            << "75" << false << zeros({300, None, 0, 0, 0, 0}) << "100"
            << "2;-;-;-;0;0";
        QTest::newRow("staggered 75, gauge 6 missing (last along)")
            << "75" << false << zeros({0, 0, 0, 0, 0, None}) << "100"
            << "0;0;0;0;-;-";
    }
    void loads()
    {
        QFETCH(QString, type);
        QFETCH(bool, stacked);
        QFETCH(ChannelValues, z);
        QFETCH(QString, k);
        QFETCH(QString, expected);
        compareColumns(Calc::loads(type, stacked, z, k), expected);
        QCOMPARE(loadColumnCount(type, stacked), int(listOf(expected).size()));
    }

    void loadKFactorFailures_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<QString>("k");
        QTest::addColumn<int>("error");
        QTest::newRow("stacked, empty k") << "75" << true << "" << ErrNo::TypeMismatch;
        QTest::newRow("stacked, k not a number") << "55" << true << "abc" << ErrNo::TypeMismatch;
        QTest::newRow("stacked, k with trailing text") << "35" << true << "100x" << ErrNo::TypeMismatch;
        QTest::newRow("stacked, k of 0") << "75" << true << "0" << ErrNo::DivisionByZero;
        QTest::newRow("staggered, empty k counts as 0") << "75" << false << "" << ErrNo::DivisionByZero;
        QTest::newRow("staggered, k not a number") << "75" << false << "abc" << ErrNo::DivisionByZero;
    }
    void loadKFactorFailures()
    {
        QFETCH(QString, type);
        QFETCH(bool, stacked);
        QFETCH(QString, k);
        QFETCH(int, error);
        const ChannelValues z = zeros({10, 20, 30, 40, 50, 60});
        QCOMPARE(errorNumber([&] { Calc::loads(type, stacked, z, k); }), error);
    }

    void kFactorConversionsDiffer()
    {
        // The stacked loads convert the k text by the locale; the staggered loads and
        // every displacement take its leading number.
        QCOMPARE(loadKFactor(QStringLiteral("120"), true), 120.0);
        QCOMPARE(loadKFactor(QStringLiteral("120 per ton"), false), 120.0);
        QCOMPARE(errorNumber([] { loadKFactor(QStringLiteral("120 per ton"), true); }), ErrNo::TypeMismatch);
        QCOMPARE(dispKFactor(QStringLiteral("120 per ton")), 120.0);
        QCOMPARE(dispKFactor(QString()), 0.0);
    }

    void displacements_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<Columns>("loads");
        QTest::addColumn<QString>("k");
        QTest::addColumn<QString>("gauge");
        QTest::addColumn<QString>("expected");  // Disp1;Disp2;...
        QTest::newRow("stacked 75") << "75" << true << loadsOf({1, 2, 3}) << "100"
                                    << "0.5"
                                    << "600;500;300";
        QTest::newRow("stacked 75 has no gauge length") << "75" << true << loadsOf({1, 2, 3}) << "100"
                                                        << ""
                                                        << "600;500;300";
        QTest::newRow("staggered 75") << "75" << false << loadsOf({1, 1, 1, 1, 1, 1}) << "100"
                                      << "0.5"
                                      << "150;125;100;75;50;25";
        QTest::newRow("staggered 75, mixed signs") << "75" << false << loadsOf({2, -1, 0, 1, 0, 4}) << "50"
                                                   << "2"
                                                   << "300;200;250;250;200;200";
        QTest::newRow("stacked 55") << "55" << true << loadsOf({1.5, 0.5}) << "200"
                                    << ""
                                    << "400;100";
        QTest::newRow("stacked 35") << "35" << true << loadsOf({-0.25}) << "80"
                                    << ""
                                    << "-20";
        QTest::newRow("stacked 35, k with trailing text") << "35" << true << loadsOf({2}) << "80ue"
                                                          << ""
                                                          << "160";
        QTest::newRow("staggered 55: none") << "55" << false << loadsOf({}) << "100"
                                            << "0.5"
                                            << "";
        QTest::newRow("staggered 35: none") << "35" << false << loadsOf({}) << "100"
                                            << ""
                                            << "";
        QTest::newRow("stacked 45: none") << "45" << true << loadsOf({}) << "100"
                                          << ""
                                          << "";
        QTest::newRow("baseline") << "75" << false << loadsOf({0, 0, 0, 0, 0, 0}) << "100"
                                  << "0.5"
                                  << "0;0;0;0;0;0";
        // The running sum from the last position back: a missing load reaches every position
        // whose sum includes it, the positions beyond it keep their values.
        QTest::newRow("stacked 75, load 2 missing") << "75" << true << loadsOf({1, None, 3}) << "100"
                                                    << "0.5"
                                                    << "-;-;300";
        QTest::newRow("staggered 75, load 5 missing") << "75" << false << loadsOf({1, 1, 1, 1, None, 1}) << "100"
                                                      << "0.5"
                                                      << "-;-;-;-;-;25";
        QTest::newRow("stacked 55, load 1 missing") << "55" << true << loadsOf({None, 0.5}) << "200"
                                                    << ""
                                                    << "-;100";
        QTest::newRow("stacked 35, load missing") << "35" << true << loadsOf({None}) << "80"
                                                  << ""
                                                  << "-";
    }
    void displacements()
    {
        QFETCH(QString, type);
        QFETCH(bool, stacked);
        QFETCH(Columns, loads);
        QFETCH(QString, k);
        QFETCH(QString, gauge);
        QFETCH(QString, expected);
        compareColumns(Calc::displacements(type, stacked, loads, k, gauge), expected);
        QCOMPARE(dispColumnCount(type, stacked), int(listOf(expected).size()));
    }

    void staggeredDisplacementNeedsAGaugeLength()
    {
        const Columns l = loadsOf({1, 1, 1, 1, 1, 1});
        QCOMPARE(errorNumber([&] { Calc::displacements("75", false, l, "100", ""); }), ErrNo::TypeMismatch);
        QCOMPARE(errorNumber([&] { Calc::displacements("75", false, l, "100", "half"); }), ErrNo::TypeMismatch);
    }

    void shears_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<ChannelValues>("z");
        QTest::addColumn<QString>("expected");  // Stretch1;...
        QTest::newRow("stacked 75, pair 1 and 4") << "75" << true << zeros({50, 0, 0, -50, 0, 0}) << "50;0;0";
        QTest::newRow("stacked 75, all pairs") << "75" << true << zeros({10, 20, 30, 30, 10, 40}) << "-10;5;-5";
        QTest::newRow("stacked 55") << "55" << true << zeros({10, 40, 30, 0}) << "-10;20";
        QTest::newRow("stacked 35") << "35" << true << zeros({10, 30}) << "-10";
        QTest::newRow("staggered 75, gauge 4") << "75" << false << zeros({20, 60, 0, 100, 0, 0}) << "30;-5;-15;0";
        QTest::newRow("staggered 75, inner positions") << "75" << false << zeros({0, 0, 0, 0, 40, 0}) << "0;10;20;10";
        QTest::newRow("staggered 75, equal strains") << "75" << false << zeros({70, 70, 70, 70, 70, 70}) << "0;0;0;0";
        QTest::newRow("stacked 75, equal strains") << "75" << true << zeros({70, 70, 70, 70, 70, 70}) << "0;0;0";
        QTest::newRow("staggered 55: none") << "55" << false << zeros({10, 40, 30, 0}) << "";
        QTest::newRow("staggered 35: none") << "35" << false << zeros({10, 30}) << "";
        QTest::newRow("stacked 25: none") << "25" << true << zeros({10}) << "";
        QTest::newRow("stacked 75, gauge 4 missing") << "75" << true << zeros({50, 0, 0, None, 0, 0}) << "-;0;0";
        QTest::newRow("stacked 55, gauge 2 missing") << "55" << true << zeros({10, None, 30, 0}) << "-10;-";
        QTest::newRow("stacked 35, gauge 1 missing") << "35" << true << zeros({None, 30}) << "-";
        QTest::newRow("staggered 75, gauge 2 missing") << "75" << false << zeros({0, None, 0, 0, 40, 0}) << "-;-;-;10";
    }
    void shears()
    {
        QFETCH(QString, type);
        QFETCH(bool, stacked);
        QFETCH(ChannelValues, z);
        QFETCH(QString, expected);
        compareColumns(Calc::shears(type, stacked, z), expected);
        QCOMPARE(shearColumnCount(type, stacked), int(listOf(expected).size()));
    }

    void axisScale_data()
    {
        QTest::addColumn<bool>("time");
        QTest::addColumn<double>("smallest");
        QTest::addColumn<double>("largest");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("increment");
        // Both tables below 10.
        for (bool time : {true, false}) {
            const char* t = time ? "T" : "L";
            QTest::addRow("%s: 0", t) << time << 0.0 << 0.0 << 0.0 << 0.1 << 0.01;
            QTest::addRow("%s: 0.05", t) << time << 0.0 << 0.05 << 0.0 << 0.1 << 0.01;
            QTest::addRow("%s: exactly 0.1", t) << time << 0.0 << 0.1 << 0.0 << 1.0 << 0.1;
            QTest::addRow("%s: 0.995", t) << time << 0.0 << 0.995 << 0.0 << 1.0 << 0.1;
            QTest::addRow("%s: 1.23", t) << time << 0.0 << 1.23 << 0.0 << 1.25 << 0.1;
            QTest::addRow("%s: 1.25 rounds to even", t) << time << 0.0 << 1.25 << 0.0 << 1.25 << 0.1;
            QTest::addRow("%s: 2.46", t) << time << 0.0 << 2.46 << 0.0 << 2.6 << 0.1;
            QTest::addRow("%s: 7.04", t) << time << 0.0 << 7.04 << 0.0 << 7.5 << 0.5;
            QTest::addRow("%s: 9.99", t) << time << 0.0 << 9.99 << 0.0 << 10.5 << 0.5;
            QTest::addRow("%s: negative minimum", t) << time << -0.125 << 0.5 << -0.12 << 1.0 << 0.1;
            QTest::addRow("%s: negative minimum, odd", t) << time << -0.135 << 0.5 << -0.14 << 1.0 << 0.1;
            QTest::addRow("%s: large negative minimum", t) << time << -42.567 << 0.5 << -42.57 << 1.0 << 0.1;
            QTest::addRow("%s: positive minimum gives 0", t) << time << 3.7 << 5.0 << 0.0 << 5.5 << 0.5;
        }
        // Time charts.
        QTest::newRow("T: 10") << true << 0.0 << 10.0 << 0.0 << 11.0 << 1.0;
        QTest::newRow("T: 15.6") << true << 0.0 << 15.6 << 0.0 << 17.0 << 1.0;
        QTest::newRow("T: 16") << true << 0.0 << 16.0 << 0.0 << 18.0 << 2.0;
        QTest::newRow("T: 22.5 rounds to even") << true << 0.0 << 22.5 << 0.0 << 24.0 << 2.0;
        QTest::newRow("T: exactly 30") << true << 0.0 << 30.0 << 0.0 << 32.0 << 2.0;
        QTest::newRow("T: 30.5") << true << 0.0 << 30.5 << 0.0 << 35.0 << 10.0;
        QTest::newRow("T: 31.2") << true << 0.0 << 31.2 << 0.0 << 36.0 << 10.0;
        QTest::newRow("T: negative largest") << true << -8.0 << -2.4 << -8.0 << 3.0 << 10.0;
        // Length charts.
        QTest::newRow("L: 10") << false << 0.0 << 10.0 << 0.0 << 15.0 << 1.0;
        QTest::newRow("L: 14.99") << false << 0.0 << 14.99 << 0.0 << 15.0 << 1.0;
        QTest::newRow("L: 15") << false << 0.0 << 15.0 << 0.0 << 20.0 << 2.0;
        QTest::newRow("L: 25") << false << 0.0 << 25.0 << 0.0 << 30.0 << 2.0;
        QTest::newRow("L: 30") << false << 0.0 << 30.0 << 0.0 << 40.0 << 5.0;
        QTest::newRow("L: 45") << false << 0.0 << 45.0 << 0.0 << 50.0 << 5.0;
        QTest::newRow("L: 59.9") << false << 0.0 << 59.9 << 0.0 << 60.0 << 5.0;
        QTest::newRow("L: 60") << false << 0.0 << 60.0 << 0.0 << 70.0 << 10.0;
        QTest::newRow("L: 85") << false << 0.0 << 85.0 << 0.0 << 90.0 << 10.0;
        QTest::newRow("L: 99") << false << 0.0 << 99.0 << 0.0 << 100.0 << 10.0;
        QTest::newRow("L: 100") << false << 0.0 << 100.0 << 0.0 << 120.0 << 10.0;
        QTest::newRow("L: 120") << false << 0.0 << 120.0 << 0.0 << 130.0 << 10.0;
        QTest::newRow("L: exactly 125") << false << 0.0 << 125.0 << 0.0 << 130.0 << 10.0;
        QTest::newRow("L: 125.5 rounds to even") << false << 0.0 << 125.5 << 0.0 << 126.0 << 10.0;
        QTest::newRow("L: 212.4") << false << 0.0 << 212.4 << 0.0 << 212.0 << 10.0;
        QTest::newRow("L: negative largest") << false << -30.0 << -12.6 << -30.0 << -13.0 << 10.0;
    }
    void axisScale()
    {
        QFETCH(bool, time);
        QFETCH(double, smallest);
        QFETCH(double, largest);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, increment);
        const AxisScale a = ScaleValueAxis(smallest, largest, time ? BandTable::T : BandTable::L);
        QCOMPARE(a.minimum, minimum);
        QCOMPARE(a.maximum, maximum);
        QCOMPARE(a.increment, increment);
    }
};

QTEST_APPLESS_MAIN(TestFormulas)
#include "tst_formulas.moc"
