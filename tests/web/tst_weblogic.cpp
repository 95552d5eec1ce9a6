// The web view's parts that need no server: the JSON text, the min/max rows of a long
// series, the parameters' checks and the command line.
#include "web/WebCommandLine.h"
#include "web/WebJson.h"
#include "web/WebParams.h"
#include "web/WebSeries.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <cmath>

namespace {

// A series of n readings a minute apart: gauge 1 a slow wave, the temperature steady.
WebSeries::TimeColumns wave(int n)
{
    WebSeries::TimeColumns c;
    c.gauges.resize(1);
    for (int i = 0; i < n; ++i) {
        c.dates.push_back(1.7e9 + 60.0 * i);
        c.gauges[0].push_back(10.0 + std::sin(i / 500.0));
        c.temperature.push_back(20.0);
    }
    return c;
}

}  // namespace

class TestWebLogic : public QObject {
    Q_OBJECT

private slots:
    void jsonReadsBackExactly()
    {
        JsonWriter w;
        const double values[] = {0.1, 1.0 / 3.0, 15.770877192982455, -2.5e-300, 1e21, 0.0};
        w.beginObject().key("values").beginArray();
        for (double v : values) w.value(v);
        w.value(std::nan("")).value(INFINITY).endArray();
        w.member("text", QStringLiteral("a \"quote\", a \\ and </script><!-- é\n\t\x01"));
        w.key("empty").textOrNull(QString());
        w.member("yes", true).member("count", qint64(1) << 40);
        w.endObject();
        const QByteArray text = w.take();
        // Safe inside a page's script: no closing tag or comment opening survives as is.
        QVERIFY(!text.contains("</script>") && !text.contains("<!--"));
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(text, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray a = o["values"].toArray();
        for (size_t i = 0; i < std::size(values); ++i) QCOMPARE(a[qsizetype(i)].toDouble(), values[i]);
        QVERIFY(a[6].isNull() && a[7].isNull());  // no value is null, never a number
        QCOMPARE(o["text"].toString(), QStringLiteral("a \"quote\", a \\ and </script><!-- é\n\t\x01"));
        QVERIFY(o["empty"].isNull());
        QCOMPARE(o["count"].toDouble(), double(qint64(1) << 40));
        QCOMPARE(jsonError("no such sensor"), QByteArray(R"({"error":"no such sensor"})"));
    }

    void fewReadingsComeBackWhole()
    {
        const WebSeries::TimeColumns c = wave(150);
        const WebSeries::Rows r = WebSeries::minMaxRows(c, c.dates[10], c.dates[109], 50);
        QCOMPARE(r.count, qsizetype(100));
        // The hundred readings, and the nearest one beyond each edge.
        QCOMPARE(r.rows.size(), size_t(102));
        QCOMPARE(r.rows.front()[0], c.dates[9]);
        QCOMPARE(r.rows.back()[0], c.dates[110]);
        for (size_t i = 1; i + 1 < r.rows.size(); ++i) QCOMPARE(r.rows[i][1], c.gauges[0][i + 9]);
    }

    void manyReadingsKeepTheirExtremesAndGaps()
    {
        WebSeries::TimeColumns c = wave(100000);
        c.gauges[0][31234] = 99.0;          // a single spike
        c.gauges[0][70001] = std::nan("");  // a single missing value
        c.temperature[50000] = -40.0;
        const int width = 200;
        const WebSeries::Rows r = WebSeries::minMaxRows(c, c.dates.front(), c.dates.back(), width);
        QCOMPARE(r.count, qsizetype(100000));
        QVERIFY(r.rows.size() <= size_t(2 * width + 2));
        double high = -INFINITY, low = INFINITY, coldest = INFINITY;
        int gaps = 0;
        double previous = -INFINITY;
        for (const auto& row : r.rows) {
            QVERIFY(row[0] >= previous);  // in time order
            previous = row[0];
            if (std::isnan(row[1])) {
                ++gaps;
                QCOMPARE(row[0], c.dates[70001]);  // the gap stands where the value is missing
                continue;
            }
            high = std::max(high, row[1]);
            low = std::min(low, row[1]);
            coldest = std::min(coldest, row[2]);
        }
        QCOMPARE(high, 99.0);
        QCOMPARE(gaps, 1);
        QCOMPARE(coldest, -40.0);
        QVERIFY(low < 9.01);  // the wave's lowest part is there too
        // A period outside the readings has none.
        QCOMPARE(WebSeries::minMaxRows(c, 0, 1, width).count, qsizetype(0));
    }

    void loadSummary()
    {
        WebSeries::TimeColumns c;
        c.dates = {1, 2, 3};
        c.gauges = {{1.0, 7.0, 2.0}, {0.5, std::nan(""), 3.5}, {std::nan(""), std::nan(""), std::nan("")}};
        c.temperature = {20, 20, 20};
        const WebSeries::LoadSummary s = WebSeries::loadSummary(c);
        QCOMPARE(s.latest, 3.5);
        QCOMPARE(s.peak, 7.0);
        c.gauges = {{std::nan(""), std::nan(""), std::nan("")}};
        QVERIFY(std::isnan(WebSeries::loadSummary(c).latest));  // none, not zero
    }

    void datesAreCheckedAsDates()
    {
        QCOMPARE(*WebParams::parseDateKey("1970-01-02", "from"), 86400.0);
        QCOMPARE(*WebParams::parseDateKey("1970-01-01T01:02:03", "from"), 3723.0);
        QCOMPARE(*WebParams::parseDateKey("1970-01-01 01:02", "from"), 3720.0);
        QVERIFY(!WebParams::parseDateKey(QString(), "from"));
        for (const char* bad : {"2026-02-30", "2026-13-01", "2026-01-01T24:00:00", "2026-1-1", "yesterday",
                                "2026-01-01' OR '1'='1", "2026-01-01T10:00:00Z"})
            QVERIFY_THROWS_EXCEPTION(WebRefusal, WebParams::parseDateKey(QString::fromLatin1(bad), "from"));
        QCOMPARE(WebParams::dateText(86400.0 + 3723.0), QStringLiteral("1970-01-02T01:02:03"));
        QCOMPARE(WebParams::apiDate("2026-12-01 08:00:00"), QStringLiteral("2026-12-01T08:00:00"));
    }

    void commandLine()
    {
        WebCommandLine::Parsed p = WebCommandLine::parse({"--database", "a.mdb"});
        QVERIFY(p.error.isEmpty());
        QCOMPARE(p.options.address, QStringLiteral("127.0.0.1"));
        QCOMPARE(p.options.port, 8470);
        p = WebCommandLine::parse({"--database=a.mdb", "--listen", "[::1]:0", "--threads", "4", "--behind-proxy"});
        QVERIFY(p.error.isEmpty());
        QCOMPARE(p.options.address, QStringLiteral("::1"));
        QCOMPARE(p.options.port, 0);
        QCOMPARE(p.options.threads, 4);
        QVERIFY(p.options.behindProxy);
        QVERIFY(WebCommandLine::parse({"--hash-password"}).hashPassword);
        for (const QStringList& wrong :
             {QStringList{}, QStringList{"--listen", "127.0.0.1:80"}, QStringList{"--database", "a", "--listen", "x:1"},
              QStringList{"--database", "a", "--listen", "127.0.0.1"},
              QStringList{"--database", "a", "--threads", "65"}, QStringList{"--database", "a", "--bogus"}})
            QVERIFY2(!WebCommandLine::parse(wrong).error.isEmpty(), qPrintable(wrong.join(' ')));
        for (const char* loop : {"127.0.0.1", "127.1.2.3", "::1", "localhost"})
            QVERIFY2(WebCommandLine::isLoopback(loop), loop);
        for (const char* open : {"0.0.0.0", "192.168.1.5", "::", "10.0.0.1"})
            QVERIFY2(!WebCommandLine::isLoopback(open), open);
    }
};

QTEST_GUILESS_MAIN(TestWebLogic)
#include "tst_weblogic.moc"
