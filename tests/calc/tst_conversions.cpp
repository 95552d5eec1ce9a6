// The two text-to-number conversions the formulas use, including the locale-aware one
// under a locale that writes "1.234,5" (the same program runs under LC_ALL=de_DE).
#include "calc/Numbers.h"
#include "core/TwError.h"

#include <QLocale>
#include <QtTest>

class TestConversions : public QObject {
    Q_OBJECT
    bool german() const { return QLocale::system().decimalPoint() == QLatin1String(","); }

private slots:
    void initTestCase()
    {
        // The comma-locale run must really see that locale.
        if (qgetenv("LC_ALL").startsWith("de_")) QVERIFY(german());
    }

    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "100.00" << 100.0;
        QTest::newRow("leading blanks") << "  \t12.5" << 12.5;
        QTest::newRow("trailing text") << "120 ustrain/ton" << 120.0;
        QTest::newRow("plus sign") << "+3" << 3.0;
        QTest::newRow("minus, no integer digit") << "-.5" << -0.5;
        QTest::newRow("second dot ends it") << "1.2.3" << 1.2;
        QTest::newRow("trailing dot") << "12." << 12.0;
        QTest::newRow("decimal comma ends it") << "2,5" << 2.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("exponent is not read") << "1e3" << 1.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Numbers::leadingValue(text), value);
    }

    void localeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("c");      // expected under a "." locale
        QTest::addColumn<double>("comma");  // expected under a "," locale grouping with "."
        QTest::newRow("stored reading") << "100.00" << 100.0 << 100.0;
        QTest::newRow("negative") << "-3.50" << -3.5 << -3.5;
        QTest::newRow("plus sign") << "+2" << 2.0 << 2.0;
        QTest::newRow("blanks around") << " 7 " << 7.0 << 7.0;
        QTest::newRow("integer") << "250" << 250.0 << 250.0;
        QTest::newRow("looks grouped") << "1.234" << 1.234 << 1234.0;
        QTest::newRow("grouped twice") << "12.345.678" << -1.0 << 12345678.0;
        QTest::newRow("decimal comma") << "2,5" << -1.0 << 2.5;
        QTest::newRow("exponent") << "1e3" << 1000.0 << 1000.0;
        QTest::newRow("trailing text") << "100x" << -1.0 << -1.0;
        QTest::newRow("word") << "abc" << -1.0 << -1.0;
        QTest::newRow("empty") << "" << -1.0 << -1.0;
    }
    void localeNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, c);
        QFETCH(double, comma);
        const double expected = german() ? comma : c;  // -1: not a number
        const std::optional<double> got = Numbers::tryLocaleValue(text);
        if (expected == -1.0) {
            QVERIFY(!got.has_value());
            QVERIFY_THROWS_EXCEPTION(TwError, Numbers::localeValue(text));
        } else {
            QVERIFY(got.has_value());
            QCOMPARE(*got, expected);
        }
    }
};

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
