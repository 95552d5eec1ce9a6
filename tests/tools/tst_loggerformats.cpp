// The logger formats without a window or database: the compact rows, the TOA5 and
// header-row CSV readers, the dates read from bytes, the number texts, the column map's
// guesses and the readings a mapped row gives.
#include "tools/ColumnMap.h"
#include "tools/ImportChecks.h"
#include "tools/LoggerClock.h"
#include "tools/LoggerDates.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerImport.h"
#include "tools/LoggerReadings.h"

#include <QtTest>
#include <bit>
#include <charconv>

using LoggerReadings::Built;
using LoggerReadings::Target;

namespace {

const QByteArray Env =
    "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"CR1000X.Std.05\",\"CPU:bolts.CR1X\",\"21513\",\"Hourly\"\r\n";
const QByteArray Names =
    "\"TIMESTAMP\",\"RECORD\",\"BattV\",\"PTemp_C\",\"Temp\",\"Strain(1)\",\"Strain(2)\",\"Strain(3)\"\r\n";
const QByteArray Units = "\"TS\",\"RN\",\"Volts\",\"Deg C\",\"Deg C\",\"uStrain\",\"uStrain\",\"uStrain\"\r\n";
const QByteArray Proc = "\"\",\"\",\"Smp\",\"Smp\",\"Avg\",\"Avg\",\"Avg\",\"Avg\"\r\n";
const QByteArray Header = Env + Names + Units + Proc;

const Target Sensor{QStringLiteral("123445001"), 3, true};  // type 45: three gauges and a temperature

// The mapping a user would choose for the test files (the guesses).
LoggerReadings::Mapping mapped(const LoggerFormats::Opened& file, double offsetHours = 0)
{
    ColumnMap map = ColumnMaps::guess(file.names, file.firstRows(10), Sensor.gauges, Sensor.tempChannel);
    map.clockOffsetHours = offsetHours;
    LoggerReadings::Mapping m;
    const QString problem = LoggerFormats::mappingFor(file, map, m);
    if (!problem.isEmpty()) qWarning("%s", qPrintable(problem));
    return m;
}

// What each row gives: "key|T|g1|g2|g3" or "refused: reason".
QStringList readings(const LoggerFormats::Opened& file, const LoggerReadings::Mapping& m)
{
    QStringList out;
    Built b;
    for (qsizetype r = 0; r < file.table.rowCount(); ++r) {
        const QString problem = LoggerReadings::build(file.table, r, m, Sensor, b);
        if (!problem.isEmpty()) {
            out << QStringLiteral("line %1 refused: ").arg(file.table.line(r)) + problem;
            continue;
        }
        QStringList parts{LoggerReadings::keyOf(Sensor, b), QString::fromLatin1(b.temp, std::max(0, b.tempLen))};
        for (int k = 0; k < Sensor.gauges; ++k) parts << QString::fromLatin1(b.gauge[k], b.gaugeLen[k]);
        out << parts.join(u'|');
    }
    return out;
}

}  // namespace

class TestLoggerFormats : public QObject {
    Q_OBJECT
private slots:
    void formatsAreToldApart_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("format");
        using F = LoggerFormats::Format;
        QTest::newRow("TOA5 quoted") << Header << int(F::Toa5);
        QTest::newRow("TOA5 with a byte-order mark") << QByteArray("\xEF\xBB\xBF") + Header << int(F::Toa5);
        QTest::newRow("CSV with names") << QByteArray("Date,Temp,Gauge1\r\n2024-03-05 14:00:00,20,1\r\n")
                                        << int(F::HeaderCsv);
        QTest::newRow("comma-separated reading")
            << QByteArray("2011/03/05 14:00:00,7,2,1,20,1\r\n") << int(F::CommaSeparated);
        QTest::newRow("day-first reading")
            << QByteArray("05/03/2011 14:00:00,7,2,1,20,1\r\n") << int(F::CommaSeparated);
        QTest::newRow("marker date") << QByteArray("2000/01/01 00:00:80,7,2,1\r\n") << int(F::CommaSeparated);
        QTest::newRow("empty") << QByteArray() << int(F::CommaSeparated);
        QTest::newRow("names with an empty one") << QByteArray("Date,,Gauge1\r\n") << int(F::CommaSeparated);
    }
    void formatsAreToldApart()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, format);
        QCOMPARE(int(LoggerFormats::detect(head)), format);
    }

    // A TOA5 file as a logger writes it: NAN in the temperature and a gauge, fractional
    // seconds, the RECORD counter starting again, CR LF ends, the last line cut short.
    void toa5Records()
    {
        const QByteArray data = Header +
                                "\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1.234,-5,9\r\n"
                                "\"2024-03-05 15:00:00\",18,12.6,21.3,\"NAN\",NAN,2.5,1.5E+02\r\n"
                                "\"2024-03-05 16:00:00.75\",0,12.6,21.3,20.0,INF,-INF,3\r\n"
                                "\"2024-03-05 17:00:00\",1,12.6,21.3,20.0,abc,1,2\r\n"
                                "\"2024-03-05 18:00:00\",2,12.6,21.3\r\n"
                                "\"2024-03-05 19:00:00\",3,12.6,21.3,20.0,1,1";
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        QVERIFY2(file.ok(), qPrintable(file.error));
        QCOMPARE(file.format, LoggerFormats::Format::Toa5);
        QCOMPARE(file.names.size(), 8);
        QCOMPARE(file.units.value(4), QString("Deg C"));
        QCOMPARE(file.description, QString("TOA5 file, station Stope4, table Hourly"));
        QCOMPARE(file.table.rowCount(), 6);
        QCOMPARE(file.table.line(0), 5);
        const auto m = mapped(file);
        QCOMPARE(m.dateField, 0);
        QCOMPARE(m.tempField, 4);  // Temp, not the logger's panel temperature
        QCOMPARE(m.gaugeFields, (std::vector<int>{5, 6, 7}));
        QCOMPARE(readings(file, m), (QStringList{"123445001 2024/03/05 14:00:00|21.5|1.23|-5.00|9.00",
                                                 "123445001 2024/03/05 15:00:00|||2.50|150.00",
                                                 "123445001 2024/03/05 16:00:00|20.0|||3.00",
                                                 "line 8 refused: gauge 1 is not a number: \"abc\"",
                                                 "line 9 refused: the line has 4 fields, the header names 8",
                                                 "line 10 refused: the line is cut short (7 of 8 fields)"}));
        // A last line with every field but no line end may still have lost digits.
        const LoggerFormats::Opened whole =
            LoggerFormats::open(Header + "\"2024-03-05 19:00:00\",3,12.6,21.3,20.0,1,1,2");
        QCOMPARE(readings(whole, mapped(whole)),
                 QStringList{"line 5 refused: the line is cut short (it has no line end)"});
    }

    void toa5WithoutTimestampAndRecord()
    {
        const QByteArray data =
            "\"TOA5\",\"Stope4\",\"CR300\",\"1\",\"OS\",\"prog\",\"1\",\"Daily\"\n"
            "\"Date\",\"T\",\"Gauge1\",\"Gauge2\"\n\"\",\"C\",\"ue\",\"ue\"\n\"\",\"Avg\",\"Avg\",\"Avg\"\n"
            "\"2024-03-05 00:00:00\",19.5,10,11\n";
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        QVERIFY(file.ok());
        const ColumnMap guess = ColumnMaps::guess(file.names, file.firstRows(5), 3, true);
        QCOMPARE(guess.dateColumn, QString("Date"));
        QCOMPARE(guess.tempColumn, QString("T"));
        QCOMPARE(guess.gaugeColumns, (QStringList{"Gauge1", "Gauge2", ""}));
        QCOMPARE(readings(file, mapped(file)), QStringList{"123445001 2024/03/05 00:00:00|19.5|10.00|11.00|"});

        // With no column holding dates, nothing is guessed and the map cannot be used.
        const LoggerFormats::Opened undated = LoggerFormats::open(
            "\"TOA5\",\"s\",\"CR300\",\"1\",\"OS\",\"prog\",\"1\",\"Daily\"\n\"T\",\"Gauge1\"\n\"C\",\"ue\"\n\"Avg\","
            "\"Avg\"\n19.5,10\n");
        QVERIFY(undated.ok());
        const ColumnMap none = ColumnMaps::guess(undated.names, undated.firstRows(5), 3, true);
        QVERIFY(none.dateColumn.isEmpty());
        LoggerReadings::Mapping m;
        QCOMPARE(ColumnMaps::mapping(none, undated.names, m), QString("no column is chosen for the date and time"));
    }

    void toa5HeaderRefused_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("units line one short")
            << Env + Names + "\"TS\",\"RN\",\"Volts\"\r\n" + Proc << "line 3: 3 units for 8 field names";
        QTest::newRow("processing line one long")
            << Env + Names + Units + "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
            << "line 4: 9 processing entries for 8 field names";
        QTest::newRow("header ends early") << Env + Names << "line 3: the file ends before its units line";
        QTest::newRow("a name twice")
            << Env + "\"TIMESTAMP\",\"Temp\",\"temp\"\r\n\"TS\",\"C\",\"C\"\r\n\"\",\"\",\"\"\r\n"
            << "line 2: the field name temp appears twice";
        QTest::newRow("an empty name") << Env + "\"TIMESTAMP\",\"\"\r\n\"TS\",\"C\"\r\n\"\",\"\"\r\n"
                                       << "line 2: field 2 has no name";
        QTest::newRow("unclosed quote") << Env + "\"TIMESTAMP\",\"Temp\r\n" + Units + Proc
                                        << "line 2: a quote is not closed on the field names line";
    }
    void toa5HeaderRefused()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, refusal);
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        QCOMPARE(file.format, LoggerFormats::Format::Toa5);
        QVERIFY(!file.ok());
        QCOMPARE(LoggerFormats::refusalText(file), refusal);
        QCOMPARE(file.table.rowCount(), 0);
    }

    void headerCsv_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ISO dates, LF")
            << QByteArray(
                   "Timestamp,Temperature,SG1,SG2,SG3\n2024-03-05T14:00:00,21.46,1,2,3\n"
                   "2024-03-05 15:30,20,1.005,,NaN\n")
            << int(LoggerClock::Layout::Iso8601)
            << QStringList{"123445001 2024/03/05 14:00:00|21.5|1.00|2.00|3.00",
                           "123445001 2024/03/05 15:30:00|20.0|1.01||"};  // 1.005: half away from zero
        QTest::newRow("day-first dates, CR LF, quoted")
            << QByteArray(
                   "\"Date\",\"Temp\",\"Ch1\",\"Ch2\",\"Ch3\"\r\n"
                   "\"13/03/2024 09:00:00\",\"18\",\"5\",\"6\",\"7\"\r\n")
            << int(LoggerClock::Layout::DayFirst) << QStringList{"123445001 2024/03/13 09:00:00|18.0|5.00|6.00|7.00"};
        QTest::newRow("month-first dates")
            << QByteArray("Date,Temp,Ch1\r\n03/13/2024 09:00:00,18,5\r\n") << int(LoggerClock::Layout::MonthFirst)
            << QStringList{"123445001 2024/03/13 09:00:00|18.0|5.00||"};
        QTest::newRow("year-first") << QByteArray("Date,Temp,Ch1\r\n2024/03/13 09:00:00,18,5\r\n")
                                    << int(LoggerClock::Layout::YearFirst)
                                    << QStringList{"123445001 2024/03/13 09:00:00|18.0|5.00||"};
    }
    void headerCsv()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, layout);
        QFETCH(QStringList, expected);
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        QVERIFY2(file.ok(), qPrintable(file.error));
        QCOMPARE(file.format, LoggerFormats::Format::HeaderCsv);
        const ColumnMap guess = ColumnMaps::guess(file.names, file.firstRows(10), Sensor.gauges, Sensor.tempChannel);
        QCOMPARE(int(guess.layout), layout);
        QCOMPARE(readings(file, mapped(file)), expected);
    }

    void clockOffsetMovesTheReading()
    {
        const LoggerFormats::Opened file = LoggerFormats::open("Date,Temp,Ch1\r\n2024-12-31 22:30:00,18,5\r\n");
        QCOMPARE(readings(file, mapped(file, 2.5)), QStringList{"123445001 2025/01/01 01:00:00|18.0|5.00||"});
        QCOMPARE(readings(file, mapped(file, -1)), QStringList{"123445001 2024/12/31 21:30:00|18.0|5.00||"});
    }

    // The dates read from bytes agree with the comma-separated layout's own reader.
    void datesAgreeWithTheLayoutReader_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* t :
             {"2011/03/05 14:00:00", "2011/3/5 9:05", "2011-03-05", "2011.03.05 14:00", "2011/03/05T14:00:00",
              "2011/03/05 14:00:0", "2011/03/05 24:00:00", "2000/01/01 00:00:80", "2012/02/29 00:00:00",
              "2011/02/29 00:00:00", " 2011/03/05 14:00:00 ", "05/03/2011 14:00:00", "31/04/2011 14:00:00",
              "03/05/2011 14:00:00x", "3/05/2011 14:00:00", "", "abc", "2011/03/05 14:00:00.5"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void datesAgreeWithTheLayoutReader()
    {
        QFETCH(QString, text);
        for (int l = 0; l < 3; ++l) {
            const auto old = LoggerDates::read(text, LoggerDates::Layout(l));
            const auto now = LoggerClock::read(text.toLatin1(), LoggerClock::Layout(l));
            QCOMPARE(now.has_value(), old.has_value());
            if (old) QCOMPARE(LoggerClock::display(*now), old->fullText());
        }
    }

    void isoDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("blank") << "2024-03-05 14:00:00"
                               << "2024/03/05 14:00:00";
        QTest::newRow("T and Z") << "2024-03-05T14:00:00Z"
                                 << "2024/03/05 14:00:00";
        QTest::newRow("fraction dropped") << "2024-03-05 14:00:59.999"
                                          << "2024/03/05 14:00:59";
        QTest::newRow("no seconds") << "2024-03-05 14:00"
                                    << "2024/03/05 14:00:00";
        QTest::newRow("date only") << "2024-03-05"
                                   << "2024/03/05 00:00:00";
        QTest::newRow("slashes are not ISO") << "2024/03/05 14:00:00"
                                             << "";
        QTest::newRow("one-digit month") << "2024-3-05 14:00:00"
                                         << "";
        QTest::newRow("fraction without digits") << "2024-03-05 14:00:00."
                                                 << "";
        QTest::newRow("no such day") << "2023-02-29 00:00:00"
                                     << "";
    }
    void isoDates()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        const auto s = LoggerClock::read(text.toLatin1(), LoggerClock::Layout::Iso8601);
        QCOMPARE(s ? LoggerClock::display(*s) : QString(), shown);
    }

    // The number texts agree with the comma-separated layout's (leading numbers), and the
    // strict rule of the named formats.
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("strict");  // "refused" or the text at 2 decimals ("" for no value)
        QTest::newRow("worked") << "1.234"
                                << "1.23";
        QTest::newRow("half away from zero") << "2.125"
                                             << "2.13";
        QTest::newRow("negative half") << "-2.125"
                                       << "-2.13";
        QTest::newRow("carry") << "9.995"
                               << "10.00";
        QTest::newRow("negative zero") << "-0.001"
                                       << "0.00";
        QTest::newRow("point first") << "+.5"
                                     << "0.50";
        QTest::newRow("exponent") << "1.5E+02"
                                  << "150.00";
        QTest::newRow("small exponent") << "-2.5e-1"
                                        << "-0.25";
        QTest::newRow("NAN") << "NAN"
                             << "";
        QTest::newRow("nan lower case") << "nan"
                                        << "";
        QTest::newRow("-INF") << "-INF"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("trailing text") << "12abc"
                                       << "refused";
        QTest::newRow("word") << "abc"
                              << "refused";
        QTest::newRow("two points") << "1.2.3"
                                    << "refused";
        QTest::newRow("huge exponent") << "1e300"
                                       << "refused";
        QTest::newRow("fifteen digits kept") << "9999999999999.994"
                                             << "9999999999999.99";
        QTest::newRow("sixteen after the carry") << "-9999999999999.995"
                                                 << "-10000000000000.00";
        QTest::newRow("long fraction") << "0.1234567890123456789"
                                       << "0.12";
        QTest::newRow("seventeen whole digits") << "-12345678901234567.895"
                                                << "-12345678901234567.90";
        QTest::newRow("leading zeros, no decimals") << "007."
                                                    << "7.00";
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(QString, strict);
        char buf[32];
        const QByteArray bytes = text.toLatin1();
        // The number handed back for the limit checks is, bit for bit, the text written read
        // back; a strict plain number is written as the leading number is.
        auto readBack = [](const char* text, int n) {
            double v = 0;
            std::from_chars(text, text + n, v);
            return std::bit_cast<quint64>(v);
        };
        const bool plain = !text.contains('e', Qt::CaseInsensitive);
        for (int d : {1, 2}) {
            double value = 0;
            const int n = LoggerReadings::leadingFixed(bytes, d, buf, sizeof buf, &value);
            QCOMPARE(QString::fromLatin1(buf, n), LoggerImport::leadingFixed(text, d));
            QCOMPARE(std::bit_cast<quint64>(value), readBack(buf, n));
            char strictBuf[32];
            int len = 0;
            if (LoggerReadings::strictFixed(bytes, d, strictBuf, sizeof strictBuf, &len, &value) > 0) {
                if (plain) QCOMPARE(QString::fromLatin1(strictBuf, len), QString::fromLatin1(buf, n));
                QCOMPARE(std::bit_cast<quint64>(value), readBack(strictBuf, len));
            }
        }
        int len = 0;
        const int r = LoggerReadings::strictFixed(bytes, 2, buf, sizeof buf, &len);
        QCOMPARE(r < 0 ? QString("refused") : QString::fromLatin1(buf, len), strict);
    }

    // The same records in each of the three formats read to the same readings: no value
    // (NAN, INF, -INF in any case, an empty field, a code the logger's map names) is the
    // empty text; anything that is not one whole number refuses its line, with the line's
    // number, as does a NUL byte and a last line without its end.
    void recordsReadAlikeInEveryFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("records");    // date, record, battery, panel, temperature, three gauges
        QTest::addColumn<QStringList>("expected");  // "key|T|g1|g2|g3" or "record N: reason"
        const QString at14 = "123445001 2024/03/05 14:00:00", at15 = "123445001 2024/03/05 15:00:00";
        struct Case {
            const char* name;
            QByteArray records;
            QStringList expected;
        };
        const Case cases[] = {
            {"no-value words and empty fields",
             "2024/03/05 14:00:00,1,12.6,20,NAN,1.5,inf,-INF\r\n2024/03/05 15:00:00,2,12.6,20,, nan ,,+Inf\r\n"
             "2024/03/05 16:00:00,3,12.6,20,20,,,2\r\n",
             {at14 + "||1.50||", "record 2: it has a date but no gauge values",
              "123445001 2024/03/05 16:00:00|20.0|||2.00"}},
            {"the logger's own codes", "2024/03/05 14:00:00,1,12.6,20,-99999,-99999.0,ovr,5\r\n", {at14 + "||||5.00"}},
            {"a number is the whole field",
             "2024/03/05 14:00:00,1,12.6,20,20,12a,1,1\r\n2024/03/05 15:00:00,2,12.6,20,20.7.5,1,1,1\r\n",
             {"record 1: gauge 1 is not a number: \"12a\"", "record 2: the temperature is not a number: \"20.7.5\""}},
            {"a number too large for any reading",
             "2024/03/05 14:00:00,1,12.6,20,20,1e308,1,1\r\n2024/03/05 15:00:00,2,12.6,20,20,1," + QByteArray(30, '9') +
                 ",1\r\n",
             {"record 1: gauge 1 is 1e308, outside the limits -10000 to 10000",
              "record 2: gauge 2 is " + QString(30, '9') + ", outside the limits -10000 to 10000"}},
            {"a NUL byte",
             QByteArray("2024/03/05 14:00:00,1,12.6,20,20,1,2,3\r\n2024/03/05 15:00:00,2,12.6,20,20,1") + '\0' +
                 "7,1,1\r\n",
             {at14 + "|20.0|1.00|2.00|3.00", "record 2: the line holds a NUL byte (a damaged line)"}},
            {"a last line cut short",
             "2024/03/05 14:00:00,1,12.6,20,20,1,2,3\r\n2024/03/05 15:00:00,2,12.6,20,20,1755.7,0,0",
             {at14 + "|20.0|1.00|2.00|3.00", "record 2: the line is cut short (it has no line end)"}},
        };
        using F = LoggerFormats::Format;
        for (const Case& c : cases)
            for (F f : {F::CommaSeparated, F::Toa5, F::HeaderCsv}) {
                QTest::newRow(qPrintable(LoggerFormats::name(f) + ": " + c.name)) << int(f) << c.records << c.expected;
            }
    }
    void recordsReadAlikeInEveryFormat()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, records);
        QFETCH(QStringList, expected);
        using F = LoggerFormats::Format;
        QByteArray data = records;
        int headerLines = 0;
        if (F(format) == F::Toa5) {
            headerLines = 4;
            data = Header + records;
        } else if (F(format) == F::HeaderCsv) {
            headerLines = 1;
            data = "Date,Record,BattV,PTemp,Temp,SG1,SG2,SG3\r\n" + records;
        } else {
            // The comma-separated layout: logger, type and sensor numbers after the date.
            data.replace(",1,12.6,20,", ",7,45,123445001,").replace(",2,12.6,20,", ",7,45,123445001,");
            data.replace(",3,12.6,20,", ",7,45,123445001,");
        }
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        QVERIFY2(file.ok(), qPrintable(LoggerFormats::refusalText(file)));
        QCOMPARE(int(file.format), format);
        LoggerReadings::Mapping m = file.needsMap() ? mapped(file) : LoggerFormats::commaSeparatedMapping(0, Sensor);
        m.missingCodes = {"-99999", "OVR"};
        Target limited = Sensor;
        limited.low = -10000;
        limited.high = 10000;
        QStringList got;
        Built b;
        for (qsizetype r = 0; r < file.table.rowCount(); ++r) {
            const QString problem = LoggerReadings::build(file.table, r, m, limited, b);
            if (!problem.isEmpty()) {
                got << QStringLiteral("record %1: ").arg(file.table.line(r) - headerLines) + problem;
                continue;
            }
            QStringList parts{LoggerReadings::keyOf(limited, b), QString::fromLatin1(b.temp, std::max(0, b.tempLen))};
            for (int k = 0; k < limited.gauges; ++k) parts << QString::fromLatin1(b.gauge[k], b.gaugeLen[k]);
            got << parts.join(u'|');
        }
        QCOMPARE(got, expected);
    }

    // Lines are taken in time order whatever their order in the file: none is passed over
    // for being earlier than the line before it, and a moment repeated (a clock set back)
    // is chosen with the first, so that the append counts it as a duplicate.
    void preselectionInTimeOrder_data()
    {
        QTest::addColumn<QList<int>>("hours");  // each line's hour; -1: a line without a date
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("selected");
        QTest::newRow("in order") << QList<int>{0, 1, 2, 3} << 2 << "1010";
        QTest::newRow("clock set back, every line") << QList<int>{3, 4, 1, 2, 3, 4, 5} << 0 << "1111111";
        QTest::newRow("clock set back, interval") << QList<int>{3, 4, 1, 2, 3, 4, 5} << 2 << "1010101";
        QTest::newRow("reversed") << QList<int>{5, 4, 3, 2, 1, 0} << 2 << "010101";
        QTest::newRow("undated lines stay out") << QList<int>{2, -1, 0, -1, 1} << 0 << "10101";
    }
    void preselectionInTimeOrder()
    {
        QFETCH(QList<int>, hours);
        QFETCH(int, interval);
        QFETCH(QString, selected);
        std::vector<qint64> moments;
        for (int h : hours) moments.push_back(h < 0 ? LoggerReadings::NoMoment : 1700000000LL / 3600 * 3600 + h * 3600);
        QString got;
        for (bool s : LoggerReadings::preselect(moments, interval)) got += s ? u'1' : u'0';
        QCOMPARE(got, selected);
    }

    // Text encodings: UTF-8 with or without its mark and UTF-16 with its mark are read;
    // anything else is refused for what it is, as is a TOA5 first line short of a field.
    void encodingsAndFirstLines_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("result");  // the first record's gauge 1, or the refusal
        const QByteArray toa5 = Header + "\"2024-03-05 14:00:00\",1,12.6,20,20,1.5,2,3\r\n";
        const QByteArray csv = "Date,Temp,SG1,SG2,SG3\r\n2024-03-05 14:00:00,20,1.5,2,3\r\n";
        const QByteArray plain = "2024/03/05 14:00:00,7,45,123445001,20,1.5,2,3\r\n";
        auto utf16 = [](const QByteArray& utf8, bool little) {
            const QString text = QString::fromUtf8(utf8);
            QByteArray out = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
            for (QChar c : text) {
                const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
                out.append(little ? lo : hi).append(little ? hi : lo);
            }
            return out;
        };
        QTest::newRow("TOA5, UTF-8 with its mark, a degree sign")
            << "\xEF\xBB\xBF" + QByteArray(toa5).replace("Deg C",
                                                         "\xC2\xB0"
                                                         "C")
            << "1.50";
        QTest::newRow("TOA5, UTF-16 little endian") << utf16(toa5, true) << "1.50";
        QTest::newRow("CSV, UTF-16 big endian") << utf16(csv, false) << "1.50";
        QTest::newRow("comma-separated, UTF-16 little endian") << utf16(plain, true) << "1.50";
        QTest::newRow("Latin-1") << QByteArray(
                                        "Date,Temp \xB0"
                                        "C,SG1\r\n2024-03-05 14:00:00,20,1\r\n")
                                 << "line 1: the file is not UTF-8 text: it holds bytes that are not valid UTF-8 "
                                    "(save it as UTF-8 or UTF-16)";
        QTest::newRow("invalid UTF-8 further down") << plain + "2024/03/05 15:00:00,7,45,123445001,20,\xC3(,2,3\r\n"
                                                    << "line 2: the file is not UTF-8 text: it holds bytes that are "
                                                       "not valid UTF-8 (save it as UTF-8 or UTF-16)";
        QTest::newRow("UTF-16 without its mark") << utf16(plain, true).mid(2)
                                                 << "line 1: the file is not UTF-8 text: it holds NUL bytes "
                                                    "(UTF-16 text needs its byte-order mark)";
        QTest::newRow("UTF-16 with an odd byte") << utf16(plain, true) + 'x'
                                                 << "line 1: the file is not valid UTF-16 text (little endian, as its "
                                                    "byte-order mark says)";
        QTest::newRow("TOA5 first line with 7 fields")
            << QByteArray(toa5).replace(",\"Hourly\"", "")
            << "line 1: the first line has 7 fields, not the 8 of a TOA5 file (TOA5, station, logger model, serial "
               "number, OS version, program, program signature, table name)";
    }
    void encodingsAndFirstLines()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, result);
        const LoggerFormats::Opened file = LoggerFormats::open(data);
        if (!file.ok()) {
            QCOMPARE(LoggerFormats::refusalText(file), result);
            QCOMPARE(file.table.rowCount(), 0);
            return;
        }
        const LoggerReadings::Mapping m =
            file.needsMap() ? mapped(file) : LoggerFormats::commaSeparatedMapping(0, Sensor);
        Built b;
        QCOMPARE(LoggerReadings::build(file.table, 0, m, Sensor, b), QString());
        QCOMPARE(QString::fromLatin1(b.gauge[0], b.gaugeLen[0]), result);
        QCOMPARE(LoggerReadings::keyOf(Sensor, b), QString("123445001 2024/03/05 14:00:00"));
    }

    void guessesFromNames()
    {
        const QStringList names{"TIMESTAMP", "RECORD",    "BattV_Min", "PTemp_C",  "Temp_C",
                                "Strain(2)", "Strain(1)", "Strain(3)", "Strain(4)"};
        const ColumnMap m = ColumnMaps::guess(names, {}, 3, true);
        QCOMPARE(m.dateColumn, QString("TIMESTAMP"));
        QCOMPARE(m.tempColumn, QString("Temp_C"));
        QCOMPARE(m.gaugeColumns, (QStringList{"Strain(1)", "Strain(2)", "Strain(3)"}));
        QVERIFY(ColumnMaps::guess(names, {}, 3, false).tempColumn.isEmpty());  // a type without a temperature channel
        QCOMPARE(ColumnMaps::guess({"Time", "SG_1", "SG_2", "Battery"}, {{"2024-03-05 00:00", "1", "2", "12"}}, 2, true)
                     .gaugeColumns,
                 (QStringList{"SG_1", "SG_2"}));
    }

    // The value checks every format's readings pass: the type's limits as for a typed
    // reading (a limit itself passes, a type without limits has none), absurdly long
    // fields, a date without any gauge value.
    void importChecks_data()
    {
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QStringList>("gauges");  // as in the file; "NAN" is no value
        QTest::addColumn<QString>("refusal");
        QTest::newRow("within") << "21.5" << QStringList{"1.5", "-2", "3"} << "";
        QTest::newRow("at the limits") << "60.0" << QStringList{"-100.00", "100.00", "0"} << "";
        QTest::newRow("above") << "20" << QStringList{"1", "100.01", "1"}
                               << "gauge 2 is 100.01, outside the limits -100 to 100";
        QTest::newRow("below") << "20" << QStringList{"-150", "1", "1"}
                               << "gauge 1 is -150, outside the limits -100 to 100";
        QTest::newRow("temperature") << "-20.5" << QStringList{"1", "1", "1"}
                                     << "the temperature is -20.5, outside the limits -20 to 60";
        QTest::newRow("no temperature") << "" << QStringList{"1", "1", "1"} << "";
        QTest::newRow("some gauges without a value") << "20" << QStringList{"NAN", "3", ""} << "";
        QTest::newRow("no gauge value") << "20" << QStringList{"NAN", "", ""} << "it has a date but no gauge values";
        QTest::newRow("long field") << "20" << QStringList{"1", QString(41, '9'), "1"}
                                    << "the field of gauge 2 is 41 characters long";
        QTest::newRow("long temperature")
            << QString(41, '1') << QStringList{"1", "1", "1"} << "the temperature field is 41 characters long";
    }
    void importChecks()
    {
        QFETCH(QString, temp);
        QFETCH(QStringList, gauges);
        QFETCH(QString, refusal);
        // The reading as LoggerReadings::build leaves it: stored texts and what the fields held.
        Built b;
        auto put = [](const QString& field, int decimals, char* out, int& len, int& chars, bool* given) {
            chars = int(field.trimmed().size());
            const bool value = !field.trimmed().isEmpty() && field != "NAN";
            if (given) *given = value;
            len = value ? LoggerReadings::leadingFixed(field.toLatin1(), decimals, out, 32) : 0;
            if (len < 0) len = 0;
        };
        put(temp, 1, b.temp, b.tempLen, b.tempChars, nullptr);
        for (int k = 0; k < gauges.size(); ++k)
            put(gauges[k], 2, b.gauge[k], b.gaugeLen[k], b.gaugeChars[k], &b.gaugeGiven[k]);
        Target t = Sensor;
        t.low = -100;
        t.high = 100;
        t.tempLow = -20;
        t.tempHigh = 60;
        QCOMPARE(ImportChecks::problem(t, b), refusal);
        // Without limits in the type, only the fields themselves are checked.
        const Target open = Sensor;
        if (!refusal.contains("characters") && !refusal.contains("no gauge"))
            QCOMPARE(ImportChecks::problem(open, b), QString());
    }

    void refusalSummaryIsOneMessage()
    {
        std::vector<LoggerReadings::Refusal> refused;
        for (int i = 1; i <= 7; ++i) refused.push_back({i * 10, QStringLiteral("reason %1").arg(i)});
        const QString text = LoggerReadings::refusalSummary(refused);
        QVERIFY(text.startsWith("7 selected lines cannot be stored:\r\nline 10: reason 1\r\nline 20: reason 2"));
        QVERIFY(text.contains("line 50: reason 5") && !text.contains("reason 6"));
        QVERIFY(text.endsWith("... and 2 more"));
        QCOMPARE(LoggerReadings::refusalSummary({{3, "x"}}), QString("1 selected line cannot be stored:\r\nline 3: x"));
    }

    // The compact rows give the same fields as the comma-separated reader always did.
    void compactRowsKeepTheSplittingRules()
    {
        const QByteArray data = " a , \"b,\"\"c\"\"\" x ,,\"open\r\n\r\nlast";
        const LoggerTable t = LoggerTable::fromBytes(data);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(t.fieldCount(0), 4);
        QCOMPARE(t.field(0, 0), QString("a"));
        QCOMPARE(t.field(0, 1), QString("b,\"c\" x"));
        QCOMPARE(t.field(0, 2), QString());
        QCOMPARE(t.field(0, 3), QString("open"));
        QVERIFY(t.broken(0) && t.lineEnded(0));
        QCOMPARE(t.line(1), 3);
        QVERIFY(!t.lineEnded(1));
        QCOMPARE(t.field(1, 5), QString());  // past the last field
        const LoggerTable latin = LoggerTable::fromBytes("caf\xE9,1\n");
        QCOMPARE(latin.field(0, 0), QString::fromLatin1("caf\xE9"));  // shown as it is, never stored
        QVERIFY(!latin.textProblem().isEmpty());
        QByteArray huge(70000, 'x');
        const LoggerTable longLine = LoggerTable::fromBytes(huge + "\nok,1\n");
        QVERIFY(longLine.tooLong(0) && longLine.broken(0));
        QCOMPARE(longLine.field(1, 1), QString("1"));
    }
};

QTEST_GUILESS_MAIN(TestLoggerFormats)
#include "tst_loggerformats.moc"
