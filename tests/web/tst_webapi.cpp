// tarnwell-web's JSON API and CSV, asked over HTTP of the real program, started on
// 127.0.0.1 against a database with the demonstration sensors: the overview's order and
// fields, a sensor's series against what the desktop's calculation passes store, gaps, the
// min/max of a long series, the CSV, readings added by another connection, refused
// parameters, and the command line's checks.
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "data/AlarmEpisodes.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "setup/DemoData.h"
#include "store/Database.h"
#include "web/WebCache.h"
#include "web/WebConnections.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <httplib.h>
#include <thread>

namespace {

const QString Action = QStringLiteral("240375102");  // staggered 75, hourly logger readings, in Action
const QString Alert = QStringLiteral("240375101");   // stacked 75, in Alert
const QString Ok = QStringLiteral("240355103");      // stacked 55, OK
const QString Long = QStringLiteral("250475001");    // added by the test: a long record with one spike

struct Answer {
    int status = 0;
    QByteArray body;
    QString type;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// What a stored computed column holds, NaN for null.
double numberOr(const QVariant& v) { return v.isNull() ? std::nan("") : v.toDouble(); }

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

class TestWebApi : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;
    QProcess web;
    int port = 0;

    static QStringList withDatabase(const QStringList& args)
    {
        return QStringList{"--database", TestData::databaseTarget()} + args;
    }

    static QProcess* startWeb(const QStringList& args)
    {
        auto* p = new QProcess;
        p->start(QStringLiteral(TARNWELL_WEB_EXE), args);
        return p;
    }

    // Runs tarnwell-web to its end (it is expected to refuse to start).
    static std::pair<int, QString> refusal(const QStringList& args)
    {
        std::unique_ptr<QProcess> p(startWeb(args));
        if (!p->waitForFinished(30000)) {
            p->kill();
            p->waitForFinished();
            return {-1, QStringLiteral("still running")};
        }
        return {p->exitCode(), QString::fromUtf8(p->readAllStandardError())};
    }

    Answer get(const QString& path)
    {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(60);
        const httplib::Result r = client.Get(path.toStdString());
        if (!r) return {};
        return {r->status, QByteArray::fromStdString(r->body),
                QString::fromStdString(r->get_header_value("Content-Type"))};
    }

    QJsonObject getJson(const QString& path)
    {
        const Answer a = get(path);
        if (a.status != 200) qWarning("%s: %d %s", qPrintable(path), a.status, a.body.constData());
        return a.json();
    }

    QJsonObject sensorLine(const QString& id)
    {
        for (const QJsonValue v : getJson("/api/sensors")["sensors"].toArray())
            if (v["id"].toString() == id) return v.toObject();
        return {};
    }

    // The time chart's rows of the sensor as the desktop draws them after its pass: the
    // pass stores the columns, read back for the readings marked for the time charts.
    std::vector<std::vector<double>> storedByPass(const QString& id, Calc::PassKind kind, int gauges)
    {
        Shared s;
        s.databasePath = TestData::databaseTarget();
        if (!s.db.open(s.databasePath)) return {};
        Calc::SensorInputs in;
        in.id = id;
        const QString stacked = s.db.scalar("SELECT Stacked FROM Sensors WHERE InstrumentID = ?", {id}).toString();
        in.sensorType = s.db.scalar("SELECT SensorType FROM Sensors WHERE InstrumentID = ?", {id}).toString();
        in.stacked = stacked == "1" || stacked.compare("true", Qt::CaseInsensitive) == 0;
        in.kFactorText = s.db.scalar("SELECT boltkfactor FROM Sensors WHERE InstrumentID = ?", {id}).toString();
        in.gaugeLengthText = s.db.scalar("SELECT lengthofgauge FROM Sensors WHERE InstrumentID = ?", {id}).toString();
        Calc::runPassOf(s, in, kind);
        const QString column = kind == Calc::PassKind::Load ? "Load" : "Disp";
        QStringList names;
        for (int k = 1; k <= gauges; ++k) names << column + QString::number(k);
        names << "NumTemp";
        QSqlQuery q(s.db.handle());
        q.exec(QString("SELECT %1 FROM `%2` WHERE Plottemporal = True ORDER BY FullDate").arg(names.join(','), id));
        std::vector<std::vector<double>> rows;
        while (q.next()) {
            std::vector<double> r;
            for (int i = 0; i < names.size(); ++i) r.push_back(numberOr(q.value(i)));
            rows.push_back(std::move(r));
        }
        return rows;
    }

    // The series' rows without the date, null as NaN.
    static std::vector<std::vector<double>> seriesValues(const QJsonObject& series)
    {
        std::vector<std::vector<double>> rows;
        for (const QJsonValue row : series["rows"].toArray()) {
            std::vector<double> r;
            const QJsonArray cells = row.toArray();
            for (qsizetype i = 1; i < cells.size(); ++i)
                r.push_back(cells[i].isNull() ? std::nan("") : cells[i].toDouble());
            rows.push_back(std::move(r));
        }
        return rows;
    }

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        TestData::installFresh();
        db = TestData::openDatabase();
        const DemoData::Result demo = DemoData::install(*db, Paths::dataFolder(), QDate(2026, 3, 1));
        QVERIFY2(demo.ok, qPrintable(demo.lines.join('\n')));
        web.start(QStringLiteral(TARNWELL_WEB_EXE), withDatabase({"--listen", "127.0.0.1:0"}));
        QVERIFY(web.waitForStarted(10000));
        QByteArray line;
        while (!line.contains('\n') && web.waitForReadyRead(30000)) line += web.readAllStandardOutput();
        const QRegularExpressionMatch m =
            QRegularExpression("^Listening on http://127\\.0\\.0\\.1:(\\d+)/\n").match(QString::fromUtf8(line));
        QVERIFY2(m.hasMatch(), line.constData() + web.readAllStandardError());
        port = m.captured(1).toInt();
    }

    void cleanupTestCase()
    {
        if (web.state() == QProcess::NotRunning) return;
        // A stop asked for by SIGTERM is a clean one.
        web.terminate();
        QVERIFY(web.waitForFinished(15000));
        QCOMPARE(web.exitStatus(), QProcess::NormalExit);
        QCOMPARE(web.exitCode(), 0);
    }

    void commandLineChecks()
    {
        const auto wrong = refusal({"--database"});
        QCOMPARE(wrong.first, 2);
        QVERIFY(wrong.second.contains("Usage: tarnwell-web"));
        QCOMPARE(refusal(withDatabase({"--listen", "127.0.0.1:99999"})).first, 2);
        QCOMPARE(refusal(withDatabase({"--threads", "0"})).first, 2);
        if (TestServer::wanted()) return;
        // A file without logins is shown on this machine's own address only.
        const auto open = refusal(withDatabase({"--listen", "0.0.0.0:0"}));
        QCOMPARE(open.first, 2);
        QVERIFY(open.second.contains("--password-file"));
        // A database of an earlier release is refused, and left as it was.
        const QString older = QDir(home.path()).filePath("older.mdb");
        QVERIFY(QFile::copy(Paths::databasePath(), older));
        {
            Database copy("older");
            QVERIFY(copy.open(older));
            copy.execute("DELETE FROM SchemaMigrations");
        }
        const QByteArray before = TestEnv::fileHash(older);
        const auto upgrade = refusal({"--database", older, "--listen", "127.0.0.1:0"});
        QCOMPARE(upgrade.first, 2);
        QVERIFY2(upgrade.second.contains("Open it once in Tarnwell"), qPrintable(upgrade.second));
        QCOMPARE(TestEnv::fileHash(older), before);
    }

    void overviewWorstFirst()
    {
        const QJsonObject o = getJson("/api/sensors");
        QVERIFY(!o["generatedAt"].toString().isEmpty());
        const QJsonArray sensors = o["sensors"].toArray();
        QStringList ids;
        for (const QJsonValue s : sensors) ids << s["id"].toString();
        QCOMPARE(ids, (QStringList{Action, Alert, Ok}));
        const QJsonObject first = sensors[0].toObject();
        QCOMPARE(first["state"].toString(), QString("Action"));
        QCOMPARE(first["severity"].toInt(), 3);
        QCOMPARE(first["colour"].toString(), QString("#d01c1c"));
        QCOMPARE(first["mineLevel"].toString(), QString("Level 12"));
        QVERIFY2(first["lastReading"].toString().startsWith("2026-0"), QJsonDocument(first).toJson().constData());
        QVERIFY(first["ageDays"].toDouble() > 0);
        QVERIFY(first["latestLoad"].isDouble() && first["peakLoad"].isDouble());
        QVERIFY(first["peakLoad"].toDouble() >= first["latestLoad"].toDouble());
        // The filters, and a state that is not one refused.
        QCOMPARE(getJson("/api/sensors?state=OK")["sensors"].toArray().size(), 1);
        QCOMPARE(getJson("/api/sensors?level=level%2012")["sensors"].toArray().size(), 2);
        QCOMPARE(get("/api/sensors?state=Bad").status, 400);
    }

    void seriesAreWhatTheDesktopDraws_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("kind");
        QTest::newRow("staggered loads") << Action << "load";
        QTest::newRow("stacked loads") << Alert << "load";
        QTest::newRow("stacked displacements") << Ok << "disp";
    }
    void seriesAreWhatTheDesktopDraws()
    {
        QFETCH(QString, id);
        QFETCH(QString, kind);
        const QJsonObject series = getJson(QString("/api/sensors/%1/series?kind=%2&width=4000").arg(id, kind));
        const QJsonArray labels = series["labels"].toArray();
        QCOMPARE(labels.first().toString(), QString("Date"));
        QCOMPARE(labels.last().toString(), QString("Temperature"));
        const int gauges = int(labels.size()) - 2;
        QVERIFY(gauges >= 1);
        // Every reading of the time charts at this width, each value as the pass stores it.
        const auto expected =
            storedByPass(id, kind == "load" ? Calc::PassKind::Load : Calc::PassKind::DispTime, gauges);
        const auto got = seriesValues(series);
        QCOMPARE(qsizetype(got.size()), qsizetype(expected.size()));
        QCOMPARE(series["count"].toInt(), int(expected.size()));
        for (size_t r = 0; r < got.size(); ++r)
            for (size_t c = 0; c < got[r].size(); ++c)
                QVERIFY2(
                    same(got[r][c], expected[r][c]),
                    qPrintable(QString("row %1 column %2: %3 != %4").arg(r).arg(c).arg(got[r][c]).arg(expected[r][c])));
    }

    void readingOfAnotherConnectionShowsWithItsGap()
    {
        QVERIFY(!sensorLine(Action).isEmpty());
        getJson(QString("/api/sensors/%1/series").arg(Action));  // kept by the server now
        // A reading with gauge 2 missing, written by another connection.
        TestData::NewReading r;
        r.when = QDateTime(QDate(2026, 3, 5), QTime(10, 0));
        r.channels = QStringList{"1700.00", QString(), "1500.00", "1800.00", "1700.00", "1600.00"};
        r.temperature = "18.5";
        TestData::addReadings(*db, Action, {r});

        QCOMPARE(sensorLine(Action)["lastReading"].toString(), QString("2026-03-05T10:00:00"));
        const QJsonObject series = getJson(QString("/api/sensors/%1/series?from=2026-03-05&width=10").arg(Action));
        QCOMPARE(series["count"].toInt(), 1);
        const QJsonArray rows = series["rows"].toArray();
        QJsonArray added;
        for (const QJsonValue row : rows)
            if (row.toArray().first().toDouble() ==
                QDateTime(r.when.date(), r.when.time(), Qt::UTC).toMSecsSinceEpoch())
                added = row.toArray();
        QVERIFY2(!added.isEmpty(), series["rows"].toVariant().toString().toUtf8());
        // A missing value is a gap (null), never a zero; the others are values.
        int gaps = 0;
        for (qsizetype i = 1; i < added.size() - 1; ++i) {
            if (added[i].isNull()) ++gaps;
            else QVERIFY(added[i].isDouble());
        }
        QVERIFY(gaps > 0);
        QCOMPARE(added.last().toDouble(), 18.5);
    }

    void minMaxKeepsASingleSpike()
    {
        TestData::addSensor(*db, {Long});
        QList<TestData::NewReading> list;
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
        for (int n = 0; n < 20000; ++n) {
            TestData::NewReading r;
            r.when = start.addSecs(qint64(n) * 3600);
            for (int c = 1; c <= 3; ++c)
                r.channels << QString::number(100.0 * c + 50.0 * std::sin(n / 24.0 + c), 'f', 2);
            r.temperature = "15.0";
            list << r;
        }
        TestData::NewReading spike = list[10000];
        spike.when = spike.when.addSecs(1800);
        spike.channels[0] = "5000.00";
        list << spike;
        TestData::addReadings(*db, Long, list);

        const QString at = spike.when.toString("yyyy-MM-ddTHH:mm:ss");
        const QJsonObject alone = getJson(QString("/api/sensors/%1/series?from=%2&to=%2").arg(Long, at));
        QCOMPARE(alone["count"].toInt(), 1);
        double spikeLoad = NAN;
        for (const QJsonValue row : alone["rows"].toArray())
            if (row.toArray().first().toDouble() ==
                QDateTime(spike.when.date(), spike.when.time(), Qt::UTC).toMSecsSinceEpoch())
                spikeLoad = row.toArray()[1].toDouble();
        QVERIFY(!std::isnan(spikeLoad));

        const int width = 50;
        const QJsonObject all = getJson(QString("/api/sensors/%1/series?width=%2").arg(Long).arg(width));
        QCOMPARE(all["count"].toInt(), 20001);
        const auto rows = seriesValues(all);
        QVERIFY2(rows.size() <= size_t(2 * width + 2), qPrintable(QString::number(rows.size())));
        double highest = -INFINITY;
        for (const auto& r : rows) highest = std::max(highest, r[0]);
        QCOMPARE(highest, spikeLoad);
    }

    void readingsAsCsv()
    {
        const Answer a =
            get(QString("/api/sensors/%1/readings.csv?from=2026-02-01&to=2026-02-02T23:59:59").arg(Action));
        QCOMPARE(a.status, 200);
        QVERIFY(a.type.startsWith("text/csv"));
        const QStringList lines = QString::fromUtf8(a.body).split("\r\n", Qt::SkipEmptyParts);
        QVERIFY(lines.first().startsWith("Date,Temperature channel,Channel1"));
        const int inPeriod = db->scalar(QString("SELECT count(*) FROM `%1` WHERE FullDate >= '2026-02-01' AND "
                                                "FullDate < '2026-02-03'")
                                            .arg(Action))
                                 .toInt();
        QVERIFY(inPeriod > 24);
        QCOMPARE(lines.size() - 1, inPeriod);
        QVERIFY(lines[1].startsWith("2026-02-01T"));
        QCOMPARE(lines[1].count(','), lines.first().count(','));
    }

    void alarmsAndProfiles()
    {
        const QJsonArray now = getJson("/api/alarms/now")["episodes"].toArray();
        QCOMPARE(now.size(), qsizetype(AlarmEpisodes::active(*db).size()));
        QVERIFY(now.size() > 0);
        QVERIFY(now[0]["openedAt"].toString().contains('T'));
        QCOMPARE(get("/api/alarms/history?from=2026-03-01&to=2025-01-01").status, 400);
        const QJsonObject sensor = getJson("/api/sensors/" + Action);
        QCOMPARE(sensor["record"]["Level"].toString(), QString("Level 12"));
        QVERIFY(!sensor["levelsText"].toArray().isEmpty());
        QCOMPARE(sensor["state"]["state"].toString(), QString("Action"));
        const QJsonObject profile = getJson(QString("/api/sensors/%1/profile?kind=load").arg(Action));
        const qsizetype positions = profile["positions"].toArray().size();
        QVERIFY(positions > 2);
        QVERIFY(!profile["profiles"].toArray().isEmpty());
        for (const QJsonValue p : profile["profiles"].toArray()) QCOMPARE(p["values"].toArray().size(), positions);
    }

    // Malformed values are refused, unknown sensors are not found, and text aimed at the
    // SQL or the file system changes and finds nothing.
    void parametersAreChecked_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("bad date") << "/api/sensors/" + Action + "/series?from=2026-13-01" << 400;
        QTest::newRow("date with SQL") << "/api/sensors/" + Action + "/series?from=2026-01-01'%20OR%201=1--" << 400;
        QTest::newRow("narrow") << "/api/sensors/" + Action + "/series?width=9" << 400;
        QTest::newRow("wide") << "/api/sensors/" + Action + "/series?width=4001" << 400;
        QTest::newRow("kind") << "/api/sensors/" + Action + "/series?kind=Load" << 400;
        QTest::newRow("twice") << "/api/sensors/" + Action + "/series?width=20&width=30" << 400;
        QTest::newRow("profile kind") << "/api/sensors/" + Action + "/profile?kind=stretch" << 400;
        QTest::newRow("unknown") << "/api/sensors/nosuch/series" << 404;
        QTest::newRow("quote") << "/api/sensors/240375102'%20OR%20'1'='1" << 404;
        QTest::newRow("drop") << "/api/sensors/x%22;%20DROP%20TABLE%20Sensors;--/readings.csv" << 404;
        QTest::newRow("accent") << "/api/sensors/x%60;DROP%20TABLE%20Sensors/series" << 404;
        QTest::newRow("static up") << "/static/..%2F..%2Fetc%2Fpasswd" << 404;
        QTest::newRow("library up") << "/static/dygraphs/..%2Fdygraphs%2Fdygraph.min.js" << 404;
    }
    void parametersAreChecked()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        const Answer a = get(path);
        QCOMPARE(a.status, status);
        if (path.startsWith("/api/")) QVERIFY(a.json().contains("error"));
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt() >= 3, true);
    }

    // The cache keeps within its bytes, dropping the least recently used; a new mark is a
    // new value; threads asking at once for the same value compute it once.
    void cacheBoundsAndSharedWork()
    {
        WebCache cache(1000);
        auto value = [](int v, qsizetype size) {
            return [v, size](qsizetype& bytes) {
                bytes = size;
                return std::make_shared<const int>(v);
            };
        };
        QCOMPARE(*cache.get<int>("a", "m1", value(1, 250)), 1);
        QCOMPARE(*cache.get<int>("b", "m1", value(2, 250)), 2);
        QCOMPARE(*cache.get<int>("a", "m1", value(99, 250)), 1);  // kept, and now the most recent
        QCOMPARE(*cache.get<int>("a", "m2", value(3, 250)), 3);   // the tables changed
        for (const char* key : {"c", "d", "e"}) cache.get<int>(key, "m1", value(4, 250));
        QVERIFY(cache.bytesHeld() <= 1000);
        QCOMPARE(*cache.get<int>("a", "m2", value(8, 250)), 3);
        QCOMPARE(*cache.get<int>("b", "m1", value(5, 250)), 5);  // the least recently used went first
        QCOMPARE(*cache.get<int>("x", "", value(6, 250)), 6);    // no mark: computed, not kept
        QCOMPARE(*cache.get<int>("x", "", value(7, 250)), 7);

        std::atomic<int> made{0};
        std::vector<std::thread> askers;
        std::vector<int> got(8, 0);
        for (int i = 0; i < 8; ++i)
            askers.emplace_back([&, i] {
                got[size_t(i)] = *cache.get<int>("slow", "m1", [&made](qsizetype& bytes) {
                    ++made;
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    bytes = 8;
                    return std::make_shared<const int>(42);
                });
            });
        for (auto& t : askers) t.join();
        QCOMPARE(made.load(), 1);
        QCOMPARE(got, std::vector<int>(8, 42));
    }

    // On a file, what the web view's connections may change: an acknowledgement's columns,
    // nothing else.
    void fileConnectionsWriteOnlyAcknowledgements()
    {
        TARNWELL_FILE_ONLY();
        WebConnections connections(TestData::databaseTarget());
        Database& c = connections.forThisThread({});
        QVERIFY_THROWS_EXCEPTION(TwError, c.execute("DELETE FROM Sensors"));
        QVERIFY_THROWS_EXCEPTION(TwError, c.execute("UPDATE Sensors SET Notes = 'x'"));
        QVERIFY_THROWS_EXCEPTION(TwError, c.execute("CREATE TABLE Other (a TEXT)"));
        QVERIFY_THROWS_EXCEPTION(TwError, c.execute("INSERT INTO AlarmEvents (SensorID) VALUES ('x')"));
        const std::vector<AlarmEpisodes::Episode> active = AlarmEpisodes::active(c);
        QVERIFY(!active.empty());
        QCOMPARE(
            AlarmEpisodes::acknowledge(c, {active.front().id}, "Seen on the web", "web", QDateTime::currentDateTime()),
            1);
        QVERIFY(AlarmEpisodes::byId(*db, active.front().id)->acknowledged());
        // A person's login has no meaning on a file.
        QVERIFY_THROWS_EXCEPTION(TwError, connections.forThisThread({"someone", "secret"}));
    }
};

QTEST_GUILESS_MAIN(TestWebApi)
#include "tst_webapi.moc"
