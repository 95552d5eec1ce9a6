// The widget-free rules of a reading: key and stored texts, reading stored dates back,
// the validity check against a type's limits, the key filter and the range deletion.
#include "support/TestEnv.h"
#include "readings/ReadingDeletion.h"
#include "readings/ReadingFormats.h"
#include "readings/ReadingRules.h"
#include "store/Database.h"

#include <QLocale>
#include <QtTest>

using namespace ReadingFormats;
using namespace ReadingRules;

class TestReadingRules : public QObject {
    Q_OBJECT
    TestHome home;

    static Limits typeLimits(qint64 channels = 6, bool temp = true)
    {
        Limits l;
        l.numChannels = channels;
        l.tempChannel = temp;
        l.lowVal = -10000;
        l.highVal = 10000;
        l.tempLow = -20;
        l.tempHigh = 60;
        return l;
    }

private slots:
    void keyAndColumnTexts()
    {
        const QDate d(2011, 3, 5);
        QCOMPARE(readingKey("250475001", d, QTime(14, 7, 9, 512)), QString("250475001 2011/03/05 14:07:09"));
        QCOMPARE(readingKey("250475001", d, QTime(0, 0)), QString("250475001 2011/03/05 00:00:00"));
        QCOMPARE(fullDate(d, QTime(23, 59, 58, 999)), QDateTime(d, QTime(23, 59, 58)));
        QCOMPARE(keyCriterion("250475001 2011/03/05 14:07:09"),
                 QString("DateTimeKey = '250475001 2011/03/05 14:07:09'"));
        QCOMPARE(keyCriterion("a'b"), QString("DateTimeKey = 'a''b'"));
        QCOMPARE(countText(3, 12), QString("3 of 12"));
        QCOMPARE(countText(100000, 100000), QString("100000 of 100000"));
        QCOMPARE(duplicateOnMessage(d, QTime(8, 5, 0)),
                 QString("There is already a reading on 2011/03/05 at 08:05:00"));
    }

    void storedTexts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<QString>("temperature");
        QTest::newRow("12.3") << "12.3"
                              << "12.30"
                              << "12.3";
        QTest::newRow("7") << "7"
                           << "7.00"
                           << "7.0";
        QTest::newRow("21") << "21"
                            << "21.00"
                            << "21.0";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("blanks") << "   "
                                << ""
                                << "";
        QTest::newRow("trimmed") << " 5.5 "
                                 << "5.50"
                                 << "5.5";
        QTest::newRow("negative") << "-150.256"
                                  << "-150.26"
                                  << "-150.3";
        // Halves round away from zero, as by hand, on the decimal value typed.
        QTest::newRow("half up") << "2.665"
                                 << "2.67"
                                 << "2.7";
        QTest::newRow("half up, odd") << "2.675"
                                      << "2.68"
                                      << "2.7";
        QTest::newRow("temperature half") << "21.25"
                                          << "21.25"
                                          << "21.3";
        QTest::newRow("negative half") << "-0.125"
                                       << "-0.13"
                                       << "-0.1";
        QTest::newRow("half carries") << "9.995"
                                      << "10.00"
                                      << "10.0";
        QTest::newRow("leading point") << ".5"
                                       << "0.50"
                                       << "0.5";
        QTest::newRow("not a number kept") << "12-3"
                                           << "12-3"
                                           << "12-3";
    }
    void storedTexts()
    {
        QFETCH(QString, typed);
        QFETCH(QString, channel);
        QFETCH(QString, temperature);
        QCOMPARE(storedChannelText(typed), channel);
        QCOMPARE(storedTemperatureText(typed), temperature);
        // A box without a value is the empty text, which is stored as such, never as null.
        QVERIFY(!storedChannelText(typed).isNull());
        QVERIFY(!storedTemperatureText(typed).isNull());
    }

    void storedDatesReadBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("own format") << "2024/05/07" << QDate(2024, 5, 7);
        QTest::newRow("short parts") << "2024/5/7" << QDate(2024, 5, 7);
        QTest::newRow("dashes") << "2024-05-07" << QDate(2024, 5, 7);
        QTest::newRow("with a time") << "2024/05/07 10:00:00" << QDate(2024, 5, 7);
        QTest::newRow("no such day") << "2024/02/30" << QDate();
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("words") << "yesterday" << QDate();
    }
    void storedDatesReadBack()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QCOMPARE(parseStoredDate(text), date);
    }

    void storedTimesReadBack()
    {
        QCOMPARE(parseStoredTime("09:05:03"), QTime(9, 5, 3));
        QCOMPARE(parseStoredTime("9:05"), QTime(9, 5, 0));
        QVERIFY(!parseStoredTime("25:00:00").isValid());
        QVERIFY(!parseStoredTime("").isValid());
        QCOMPARE(parseFullDate(QVariant("2024-05-07 10:11:12")), QDateTime(QDate(2024, 5, 7), QTime(10, 11, 12)));
        QVERIFY(!parseFullDate(QVariant()).isValid());
    }

    void rangeMessageUsesShortDates()
    {
        const QDate a(2024, 5, 1), b(2024, 5, 9);
        const QLocale loc = QLocale::system();
        QCOMPARE(rangeDeletedMessage(40000, a, b), QString("40000 readings were deleted from ") +
                                                       loc.toString(a, QLocale::ShortFormat) + " and " +
                                                       loc.toString(b, QLocale::ShortFormat));
    }

    void validation_data()
    {
        QTest::addColumn<qint64>("channels");
        QTest::addColumn<bool>("temp");
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message");  // empty: valid
        QTest::addColumn<int>("failing");
        const QStringList ok6 = {"1", "2", "3", "4", "5", "6"};
        QTest::newRow("all within") << qint64(6) << true << "21" << ok6 << "" << -1;
        QTest::newRow("temperature at high limit") << qint64(6) << true << "60" << ok6 << "" << -1;
        QTest::newRow("temperature at low limit") << qint64(6) << true << "-20" << ok6 << "" << -1;
        QTest::newRow("temperature above")
            << qint64(6) << true << "60.01" << ok6 << "Error: Temperature must be > -20 and < 60" << 0;
        QTest::newRow("temperature below")
            << qint64(6) << true << "-20.5" << ok6 << "Error: Temperature must be > -20 and < 60" << 0;
        QTest::newRow("no temperature channel") << qint64(6) << false << "999" << ok6 << "" << -1;
        QTest::newRow("channel 3 above") << qint64(6) << true << "20"
                                         << QStringList{"1", "2", "10000.01", "4", "5", "6"}
                                         << "Error: Gauge 3 must be > -10000 and < 10000" << 3;
        QTest::newRow("channel at limits")
            << qint64(6) << true << "20" << QStringList{"10000", "-10000", "0", "0", "0", "0"} << "" << -1;
        QTest::newRow("first failing channel named")
            << qint64(6) << true << "20" << QStringList{"1", "-20000", "1", "1", "1", "99999"}
            << "Error: Gauge 2 must be > -10000 and < 10000" << 2;
        QTest::newRow("temperature checked first")
            << qint64(6) << true << "70" << QStringList{"-20000", "1", "1", "1", "1", "1"}
            << "Error: Temperature must be > -20 and < 60" << 0;
        QTest::newRow("channels beyond the type ignored")
            << qint64(2) << true << "20" << QStringList{"1", "2", "99999", "", "", ""} << "" << -1;
        // A box holds one number as a whole, or it is refused naming the box.
        QTest::newRow("two decimal points")
            << qint64(6) << true << "20.719.5" << ok6 << "Error: Temperature is not a number: 20.719.5" << 0;
        QTest::newRow("trailing text") << qint64(2) << true << "20" << QStringList{"1", "12000 strain"}
                                       << "Error: Gauge 2 is not a number: 12000 strain" << 2;
        QTest::newRow("pasted infinity") << qint64(1) << true << "20" << QStringList{"inf"}
                                         << "Error: Gauge 1 is not a number: inf" << 1;
        QTest::newRow("far outside") << qint64(1) << true << "20" << QStringList{"99999"}
                                     << "Error: Gauge 1 must be > -10000 and < 10000" << 1;
        QTest::newRow("ten channels, six boxes") << qint64(10) << true << "20" << ok6 << "" << -1;
    }
    void validation()
    {
        QFETCH(qint64, channels);
        QFETCH(bool, temp);
        QFETCH(QString, temperature);
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        QFETCH(int, failing);
        const Check c = checkValues(typeLimits(channels, temp), temperature, values);
        QCOMPARE(c.ok, message.isEmpty());
        QCOMPARE(c.message, message);
        if (!c.ok) QCOMPARE(c.channel, failing);
    }

    void emptyBoxCountsAsZero()
    {
        Limits l = typeLimits(1, false);
        l.lowVal = 0.5;
        l.highVal = 2.25;
        const Check c = checkValues(l, "", {""});
        QVERIFY(!c.ok);
        QCOMPARE(c.message, QString("Error: Gauge 1 must be > 0.5 and < 2.25"));
        // A box nobody typed into is not held against the limits again.
        QVERIFY(checkValues(l, "", {""}, {true, false}).ok);
        QCOMPARE(checkValues(l, "", {"x"}, {false, true}).fault, Check::Fault::NotANumber);
    }

    void limitsFromConfiguration()
    {
        const Limits l = limitsFrom(QVariant(qlonglong(4)), QVariant(), QVariant(-500.0), QVariant("2500"),
                                    QVariant("-20"), QVariant(60.0));
        QCOMPARE(l.numChannels, qint64(4));
        QVERIFY(!l.tempChannel);  // null: no temperature check
        QCOMPARE(l.lowVal, -500.0);
        QCOMPARE(l.highVal, 2500.0);
        QCOMPARE(l.tempLow, -20.0);
        QVERIFY(limitsFrom(4, qlonglong(1), 0, 0, 0, 0).tempChannel);
        QVERIFY(!limitsFrom(4, qlonglong(0), 0, 0, 0, 0).tempChannel);
    }

    void keyFilter_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("passes");
        for (char c = '0'; c <= '9'; ++c) QTest::newRow(qPrintable(QString("digit %1").arg(c))) << int(c) << true;
        QTest::newRow("point") << int('.') << true;
        QTest::newRow("comma") << int(',') << true;
        QTest::newRow("minus") << int('-') << true;
        QTest::newRow("backspace") << 8 << true;
        QTest::newRow("tab") << 9 << true;
        QTest::newRow("return") << 13 << true;
        QTest::newRow("delete") << 127 << true;
        QTest::newRow("plus") << int('+') << false;
        QTest::newRow("letter") << int('a') << false;
        QTest::newRow("exponent") << int('E') << false;
        QTest::newRow("blank") << int(' ') << false;
        QTest::newRow("line feed") << 10 << false;
        QTest::newRow("micro sign") << 0xB5 << false;
    }
    void keyFilter()
    {
        QFETCH(int, code);
        QFETCH(bool, passes);
        QCOMPARE(isReadingKeyAllowed(code), passes);
        QCOMPARE(filterReadingKey(code), passes ? code : 0);
    }

    void futureDatesAndFlags()
    {
        const QDate today(2024, 5, 7);
        QVERIFY(!isFutureDate(today, today));
        QVERIFY(isFutureDate(today.addDays(1), today));
        QVERIFY(!isFutureDate(today.addDays(-1), today));
        QVERIFY(!isFutureDate(QDate(), today));
        QVERIFY(flagTicked(QVariant()));  // null ticks the box
        QVERIFY(!flagTicked(QVariant(qlonglong(0))));
        QVERIFY(flagTicked(QVariant(qlonglong(1))));
        QVERIFY(flagTicked(QVariant(qlonglong(-1))));
        QVERIFY(!flagTicked(QVariant("False")));
        QVERIFY(flagTicked(QVariant("True")));
    }
};

QTEST_GUILESS_MAIN(TestReadingRules)
#include "tst_readingrules.moc"
