// The logger-file reader, the date layouts, the pre-selection and the reading a row gives,
// without any window or database.
#include "calc/Numbers.h"
#include "tools/LoggerDates.h"
#include "tools/LoggerFile.h"
#include "tools/LoggerImport.h"

#include <QDir>
#include <QDirIterator>
#include <QtTest>

using LoggerDates::Layout;
using LoggerFile::Row;

namespace {

QStringList fields(const Row& r)
{
    QStringList out;
    for (int i = 0; i < LoggerFile::FieldCount; ++i) out << r.fieldText(i);
    while (!out.isEmpty() && out.back().isEmpty()) out.removeLast();
    return out;
}

std::vector<Row> rowsOf(const QStringList& dates)
{
    QByteArray text;
    for (const QString& d : dates) text += d.toUtf8() + ",7,2,123456789,20.0,1,2\r\n";
    return LoggerFile::parse(text);
}

std::vector<bool> marks(const std::vector<bool>& v) { return v; }

}  // namespace

class TestLoggerFile : public QObject {
    Q_OBJECT
private slots:
    void splitsLines_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QStringList>>("expected");
        QTest::addColumn<QList<bool>>("broken");

        QTest::newRow("CR LF") << QByteArray("a,b\r\nc,d\r\n") << QList<QStringList>{{"a", "b"}, {"c", "d"}}
                               << QList<bool>{false, false};
        QTest::newRow("LF, no final line end")
            << QByteArray("a,b\nc,d") << QList<QStringList>{{"a", "b"}, {"c", "d"}} << QList<bool>{false, false};
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << QList<QStringList>{{"a"}, {"b"}}
                                 << QList<bool>{false, false};
        QTest::newRow("blank lines skipped")
            << QByteArray("\r\n  \r\na\r\n\r\n") << QList<QStringList>{{"a"}} << QList<bool>{false};
        QTest::newRow("blanks around fields dropped")
            << QByteArray(" 1 , 2.5 ,x y ") << QList<QStringList>{{"1", "2.5", "x y"}} << QList<bool>{false};
        QTest::newRow("quoted comma and quote") << QByteArray("\"a,b\",\"say \"\"hi\"\"\",c")
                                                << QList<QStringList>{{"a,b", "say \"hi\"", "c"}} << QList<bool>{false};
        QTest::newRow("quoted empty") << QByteArray("\"\",x") << QList<QStringList>{{"", "x"}} << QList<bool>{false};
        QTest::newRow("unclosed quote stays on its line")
            << QByteArray("a,\"b,c\r\nd,e") << QList<QStringList>{{"a", "b,c"}, {"d", "e"}} << QList<bool>{true, false};
        QTest::newRow("empty middle fields")
            << QByteArray("a,,c") << QList<QStringList>{{"a", "", "c"}} << QList<bool>{false};
        QTest::newRow("UTF-8 byte-order mark") << QByteArray(
                                                      "\xEF\xBB\xBF"
                                                      "a,b")
                                               << QList<QStringList>{{"a", "b"}} << QList<bool>{false};
        QTest::newRow("Latin-1 bytes") << QByteArray("caf\xE9,1")
                                       << QList<QStringList>{{QString::fromLatin1("caf\xE9"), "1"}}
                                       << QList<bool>{false};
    }
    void splitsLines()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QStringList>, expected);
        QFETCH(QList<bool>, broken);
        const auto rows = LoggerFile::parse(input);
        QCOMPARE(int(rows.size()), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(fields(rows[size_t(i)]), expected[i]);
            QCOMPARE(rows[size_t(i)].broken, broken[i]);
        }
    }

    void longAndShortLines()
    {
        QByteArray line = "d";
        for (int i = 1; i <= 20; ++i) line += ',' + QByteArray::number(i);
        const auto rows = LoggerFile::parse(line + "\nd,1\n");
        QCOMPARE(rows.size(), size_t(2));
        QCOMPARE(rows[0].fieldsOnLine, 21);
        QCOMPARE(rows[0].fieldText(15), QString("15"));  // C15, the last field kept
        QCOMPARE(rows[0].fieldText(16), QString());      // nothing past the 16th
        QCOMPARE(rows[1].fieldText(1), QString("1"));
        for (int i = 2; i < LoggerFile::FieldCount; ++i) QVERIFY(rows[1].fieldText(i).isEmpty());
        QCOMPARE(rows[1].line, 2);
    }

    void schemaLayoutFile()
    {
        const QStringList lines = LoggerFile::schemaIniLines();
        QCOMPARE(lines.first(), QString("[datafile.txt]"));
        QCOMPARE(lines[1], QString("Format=CSVDelimited"));
        QCOMPARE(lines[2], QString("DecimalSymbol=."));
        QCOMPARE(lines[3], QString("ColNameHeader = false"));
        QCOMPARE(lines[4], QString("Col1=WrenDate Text"));
        QCOMPARE(lines[5], QString("Col2=C1 Text"));
        QCOMPARE(lines.last(), QString("Col16=C15 Text"));
        const QByteArray bytes = LoggerFile::schemaIniBytes();
        QCOMPARE(bytes.count("\r\n"), lines.size());
        QVERIFY(bytes.endsWith("Col16=C15 Text\r\n"));
    }

    void dateLayouts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("full");  // empty: cannot be read
        QTest::newRow("year first") << "2011/03/05 14:00:00" << 0 << "2011/03/05 14:00:00";
        QTest::newRow("year first, short parts") << "2011/3/5 9:05" << 0 << "2011/03/05 09:05:00";
        QTest::newRow("year first, date only") << "2011-03-05" << 0 << "2011/03/05 00:00:00";
        QTest::newRow("marker date") << "2000/01/01 00:00:80" << 0 << "";
        QTest::newRow("31 February") << "2011/02/31 00:00:00" << 0 << "";
        QTest::newRow("29 February of a leap year") << "2012/02/29 23:59:59" << 0 << "2012/02/29 23:59:59";
        QTest::newRow("hour 24") << "2011/03/05 24:00:00" << 0 << "";
        QTest::newRow("trailing text") << "2011/03/05 14:00:00x" << 0 << "";
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("day first") << "05/03/2011 14:00:00" << 1 << "2011/03/05 14:00:00";
        QTest::newRow("day first, other separators") << "05-03-2011T14:00:00" << 1 << "2011/03/05 14:00:00";
        QTest::newRow("day first, no time") << "05/03/2011" << 1 << "";
        QTest::newRow("day first, month 13") << "05/13/2011 14:00:00" << 1 << "";
        QTest::newRow("month first") << "03/05/2011 14:00:00" << 2 << "2011/03/05 14:00:00";
        QTest::newRow("month first read as day first") << "12/31/2011 14:00:00" << 1 << "";
        QTest::newRow("year-first text as day first") << "2011/03/05 14:00:00" << 1 << "";
    }
    void dateLayouts()
    {
        QFETCH(QString, text);
        QFETCH(int, layout);
        QFETCH(QString, full);
        const auto st = LoggerDates::read(text, Layout(layout));
        QCOMPARE(st ? st->fullText() : QString(), full);
    }

    void hourBoundariesAreClockHours()
    {
        const auto a = LoggerDates::read(u"2011/03/05 10:59:00", Layout::YearFirst);
        const auto b = LoggerDates::read(u"2011/03/05 11:01:00", Layout::YearFirst);
        QCOMPARE(LoggerDates::hourBoundaries(a->seconds, b->seconds), 1);
        QCOMPARE(LoggerDates::hourBoundaries(b->seconds, a->seconds), -1);
        QCOMPARE(LoggerDates::intervalHours("24"), 24);
        QCOMPARE(LoggerDates::intervalHours("8.5"), 8);  // half to even
        QCOMPARE(LoggerDates::intervalHours("9.5"), 10);
        QCOMPARE(LoggerDates::intervalHours("abc"), 0);
    }

    void preselection_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QList<bool>>("expected");
        QTest::newRow("24 clock hours, not elapsed hours")
            << QStringList{"2011/03/05 00:30:00", "2011/03/05 12:00:00", "2011/03/06 00:10:00"} << 24
            << QList<bool>{true, false, true};
        QTest::newRow("interval 1 takes every new hour")
            << QStringList{"2011/03/05 10:59:00", "2011/03/05 11:01:00", "2011/03/05 11:30:00"} << 1
            << QList<bool>{true, true, false};
        QTest::newRow("marker first row: the next row is selected")
            << QStringList{"2000/01/01 00:00:80", "2011/03/05 00:00:00", "2011/03/05 01:00:00"} << 24
            << QList<bool>{false, true, false};
        QTest::newRow("marker later is never selected")
            << QStringList{"2011/03/05 00:00:00", "2000/01/01 00:00:80", "2011/03/07 00:00:00"} << 24
            << QList<bool>{true, false, true};
        QTest::newRow("unreadable and empty dates keep the reference")
            << QStringList{"2011/03/05 00:00:00", "garbage", "", "2011/03/05 23:00:00", "2011/03/06 00:00:00"} << 24
            << QList<bool>{true, false, false, false, true};
        QTest::newRow("readings out of order are not selected")
            << QStringList{"2011/03/05 00:00:00", "2011/03/01 00:00:00"} << 0 << QList<bool>{true, false};
    }
    void preselection()
    {
        QFETCH(QStringList, dates);
        QFETCH(int, interval);
        QFETCH(QList<bool>, expected);
        const auto rows = rowsOf(dates);
        QCOMPARE(int(rows.size()), expected.size());
        const auto sel = LoggerDates::preselect(rows, Layout::YearFirst, interval);
        QCOMPARE(QList<bool>(sel.begin(), sel.end()), expected);
    }

    void brokenRowIsNeverSelected()
    {
        const auto rows = LoggerFile::parse("2011/03/05 00:00:00,\"7\r\n2011/03/06 00:00:00,7\r\n");
        QVERIFY(rows[0].broken);
        const auto sel = LoggerDates::preselect(rows, Layout::YearFirst, 24);
        QCOMPARE(marks(sel), (std::vector<bool>{false, true}));
        LoggerImport::Target t{"123456789", 2, true};
        QVERIFY(!LoggerImport::readingFromRow(rows[0], Layout::YearFirst, t));
    }

    void workedLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("temp");
        QTest::addColumn<int>("gauges");
        QTest::addColumn<QString>("channelT");
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("with temperature channel")
            << QByteArray("2011/03/05 14:00:00,7,2,123456789,21.46,1.234,-5,9") << 0 << true << 2 << "21.5"
            << QStringList{"1.23", "-5.00"} << "2011/03/05"
            << "14:00:00";
        QTest::newRow("without: C4 is gauge 1")
            << QByteArray("2011/03/05 14:00:00,7,2,123456789,21.46,1.234,-5,9") << 0 << false << 3 << ""
            << QStringList{"21.46", "1.23", "-5.00"} << "2011/03/05"
            << "14:00:00";
        QTest::newRow("empty temperature stays empty, empty gauge is 0.00")
            << QByteArray("2011/03/05 14:00:00,7,2,123456789,,,12abc") << 0 << true << 2 << ""
            << QStringList{"0.00", "12.00"} << "2011/03/05"
            << "14:00:00";
        QTest::newRow("day first") << QByteArray("05/03/2011 14:00:00,7,2,1,20,1") << 1 << true << 1 << "20.0"
                                   << QStringList{"1.00"} << "2011/03/05"
                                   << "14:00:00";
        QTest::newRow("month first") << QByteArray("03/05/2011 14:00:00,7,2,1,20,1") << 2 << true << 1 << "20.0"
                                     << QStringList{"1.00"} << "2011/03/05"
                                     << "14:00:00";
    }
    void workedLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, layout);
        QFETCH(bool, temp);
        QFETCH(int, gauges);
        QFETCH(QString, channelT);
        QFETCH(QStringList, channels);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const auto rows = LoggerFile::parse(line);
        const auto r = LoggerImport::readingFromRow(rows.at(0), Layout(layout), {"123456789", gauges, temp});
        QVERIFY(r);
        QCOMPARE(r->channelT, channelT);
        QCOMPARE(r->channels, channels);
        QCOMPARE(r->readingDate, date);
        QCOMPARE(r->readingTime, time);
        QCOMPARE(r->key, "123456789 " + date + ' ' + time);
        QCOMPARE(r->fullDate, QString(date).replace('/', '-') + ' ' + time);
    }

    // The import's number texts agree with the program's "##0.00" / "##0.0" patterns.
    void leadingNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("two");
        QTest::addColumn<QString>("one");
        QTest::newRow("worked values") << "1.234"
                                       << "1.23"
                                       << "1.2";
        QTest::newRow("temperature") << "21.46"
                                     << "21.46"
                                     << "21.5";
        QTest::newRow("whole negative") << "-5"
                                        << "-5.00"
                                        << "-5.0";
        // Halves round away from zero, as by hand.
        QTest::newRow("half, even digit before") << "2.125"
                                                 << "2.13"
                                                 << "2.1";
        QTest::newRow("half, odd digit before") << "2.135"
                                                << "2.14"
                                                << "2.1";
        QTest::newRow("temperature half") << "21.25"
                                          << "21.25"
                                          << "21.3";
        QTest::newRow("negative half") << "-2.665"
                                       << "-2.67"
                                       << "-2.7";
        QTest::newRow("above half") << "2.1251"
                                    << "2.13"
                                    << "2.1";
        QTest::newRow("carry into the whole part") << "9.995"
                                                   << "10.00"
                                                   << "10.0";
        QTest::newRow("negative rounding to zero") << "-0.001"
                                                   << "0.00"
                                                   << "0.0";
        QTest::newRow("leading zeros and blanks") << "  007.5x"
                                                  << "7.50"
                                                  << "7.5";
        QTest::newRow("plus sign, point first") << "+.5"
                                                << "0.50"
                                                << "0.5";
        QTest::newRow("not a number") << "abc"
                                      << "0.00"
                                      << "0.0";
        QTest::newRow("empty") << ""
                               << "0.00"
                               << "0.0";
        QTest::newRow("exponent is not read") << "1e5"
                                              << "1.00"
                                              << "1.0";
    }
    void leadingNumbers()
    {
        QFETCH(QString, text);
        QFETCH(QString, two);
        QFETCH(QString, one);
        QCOMPARE(LoggerImport::leadingFixed(text, 2), two);
        QCOMPARE(LoggerImport::leadingFixed(text, 1), one);
        QCOMPARE(LoggerImport::leadingFixed(text, 2), Numbers::format(Numbers::leadingValue(text), "##0.00"));
        QCOMPARE(LoggerImport::leadingFixed(text, 1), Numbers::format(Numbers::leadingValue(text), "##0.0"));
    }

    void duplicateMessageIsOne()
    {
        QCOMPARE(LoggerImport::duplicatesMessage({"1 2011/03/05 14:00:00"}),
                 QString("1 2011/03/05 14:00:00 is a duplicate reading and cannot be appended."));
        QStringList keys;
        for (int i = 0; i < 7; ++i) keys << QString("k%1").arg(i);
        const QString text = LoggerImport::duplicatesMessage(keys);
        QVERIFY(text.startsWith("7 readings are duplicates and cannot be appended:\r\nk0\r\nk1"));
        QVERIFY(text.contains("k4") && !text.contains("k5"));
        QVERIFY(text.endsWith("... and 2 more"));
        QVERIFY(LoggerImport::duplicatesMessage({}).isEmpty());
    }

    // Every file of the fuzzing corpus goes through the reader and the import's row work.
    void corpusFiles()
    {
        QDirIterator it(QStringLiteral(TARNWELL_FUZZ_CORPUS), QDir::Files);
        int files = 0;
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const auto rows = LoggerFile::parse(f.readAll());
            for (int l = 0; l < 3; ++l) {
                const auto sel = LoggerDates::preselect(rows, Layout(l), 24);
                QCOMPARE(sel.size(), rows.size());
                for (size_t i = 0; i < rows.size(); ++i) {
                    const auto r = LoggerImport::readingFromRow(rows[i], Layout(l), {"123456789", 6, true});
                    if (sel[i]) QVERIFY(r.has_value());  // a selected row always gives a whole reading
                    if (r) QCOMPARE(r->channels.size(), 6);
                }
            }
            ++files;
        }
        QVERIFY(files >= 5);
    }
};

QTEST_GUILESS_MAIN(TestLoggerFile)
#include "tst_loggerfile.moc"
