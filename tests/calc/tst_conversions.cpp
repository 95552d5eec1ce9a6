// The two text-to-number conversions the formulas use, including the locale-aware one
// under a locale that writes "1.234,5" (the same program runs under LC_ALL=de_DE).
#include "calc/Numbers.h"
#include "core/TwError.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QtTest>
#include <bit>
#include <charconv>
#include <cmath>

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

    // The quick reading of a plain decimal gives bit for bit the double the general
    // conversion gives (the nearest one), on the edges of its shortcut and on random
    // decimals of every length; texts that are not plain decimals are left to the general
    // conversion.
    void plainDecimalsAreTheNearestDouble()
    {
        QStringList texts{"0",
                          "-0",
                          "-0.000",
                          "+0.5",
                          "00012.50",
                          "0.1",
                          "0.3",
                          "-1234.5678",
                          "9007199254740992",
                          "9007199254740993",
                          "900719925474099.3",
                          "90071992547409931",
                          "1.0000000000000000000001",
                          "1.00000000000000000000001",
                          "0.0000000000000000000001",
                          "123456789012345678901234567890.5",
                          "4.35",
                          "1.005"};
        QRandomGenerator r(20261208);
        for (int i = 0; i < 20000; ++i) {
            QString t = r.bounded(2) ? QStringLiteral("-") : QString();
            const int intDigits = 1 + int(r.bounded(18)), fracDigits = int(r.bounded(26));
            for (int d = 0; d < intDigits; ++d) t += QChar(u'0' + r.bounded(10));
            if (fracDigits > 0) t += u'.';
            for (int d = 0; d < fracDigits; ++d) t += QChar(u'0' + r.bounded(10));
            texts << t;
        }
        for (const QString& t : std::as_const(texts)) {
            const QByteArray bytes = t.toLatin1();
            const bool negative = bytes.startsWith('-');
            const qsizetype from = negative || bytes.startsWith('+') ? 1 : 0;
            double nearest = 0;
            std::from_chars(bytes.constData() + from, bytes.constData() + bytes.size(), nearest);
            if (negative) nearest = -nearest;
            const std::optional<double> got = Numbers::tryPlainDecimal(bytes.toStdString());
            if (!got) {
                // Only where the locale may read the text as grouped.
                QVERIFY2(german(), qPrintable(t));
                continue;
            }
            QVERIFY2(std::bit_cast<quint64>(*got) == std::bit_cast<quint64>(nearest),
                     qPrintable(t + QStringLiteral(": %1 against %2").arg(*got, 0, 'g', 17).arg(nearest, 0, 'g', 17)));
            QCOMPARE(std::bit_cast<quint64>(*Numbers::tryLocaleValue(t)), std::bit_cast<quint64>(*got));
        }
        for (const char* other : {"", "-", "+", ".5", "5.", "1.2.3", "1e3", "1,5", " 1", "1 ", "0x10", "\xc2\xbd"})
            QVERIFY2(!Numbers::tryPlainDecimal(other).has_value(), other);
    }
};

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
