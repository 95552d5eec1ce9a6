// Columns of numbers as the charts fill them: values come back where and as they were
// pushed, and columns with no value at all share one array.
#include "data/NumberColumns.h"

#include <QtTest>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

class TestNumberColumns : public QObject {
    Q_OBJECT

    static std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

private slots:
    void valuesComeBackInPlaceWithTheirBits()
    {
        const double none = std::numeric_limits<double>::quiet_NaN();
        const double otherNaN = -none;  // another NaN: kept as it is, not taken for no value
        NumberColumns cols(4, 2);
        const double rows[5][4] = {{none, 1.5, none, none},
                                   {none, -0.0, none, none},
                                   {none, none, none, otherNaN},
                                   {2.0, 3.0, none, none},
                                   {none, 4.0, none, none}};
        for (const auto& row : rows)
            for (size_t c = 0; c < 4; ++c) cols.push(c, row[c]);
        const auto out = cols.finish(5, true);
        QCOMPARE(out.size(), size_t(4));
        for (size_t c = 0; c < 4; ++c) {
            QCOMPARE(out[c]->size(), size_t(5));
            for (size_t r = 0; r < 5; ++r)
                QVERIFY2(bits((*out[c])[r]) == bits(rows[r][c]),
                         qPrintable(QStringLiteral("row %1, column %2").arg(r).arg(c)));
        }
        // A column empty to the end is the shared array; one with a value after many
        // empty rows has its own.
        QVERIFY(out[2] != out[0]);
        QVERIFY(out[3] != out[2]);
    }

    void emptyColumnsShareOneArray()
    {
        NumberColumns cols(3, 0);
        for (int r = 0; r < 1000; ++r) {
            cols.push(0, std::numeric_limits<double>::quiet_NaN());
            cols.push(1, r);
            cols.push(2, std::numeric_limits<double>::quiet_NaN());
        }
        const auto out = cols.finish(1000, false);
        QCOMPARE(out[0], out[2]);
        QCOMPARE(out[0]->size(), size_t(1000));
        QVERIFY(std::isnan(out[0]->back()));
        QCOMPARE(out[1]->at(999), 999.0);
    }

    void noRowsGiveEmptyColumns()
    {
        NumberColumns cols(2, 100);
        const auto out = cols.finish(0, true);
        QCOMPARE(out.size(), size_t(2));
        QVERIFY(out[0]->empty() && out[1]->empty());
    }
};

QTEST_GUILESS_MAIN(TestNumberColumns)
#include "tst_numbercolumns.moc"
