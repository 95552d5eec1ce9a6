// The web view under load: a database file of 50 sensors x 100,000 readings (one a minute,
// six gauges and a temperature, levels set) and one sensor of 1,000,000 readings, served
// by the real tarnwell-web on 127.0.0.1 (any free port). Measures the overview
// (/api/sensors) and one sensor's series at 1,000,000 readings, each on a freshly started
// program (cold: nothing computed yet) and again (warm: median of N), and 20 clients at once
// for a bounded time with the errors they met. Each figure is printed beside its target,
// and beside a floor where one means something: SQLite's own interface reading the columns
// the answer is computed from, in the same run.
//
//   build/bench/web/bench_web [--cold-runs 3] [--warm-runs 20] [--clients 20] [--seconds 10]
//                             [--passes] [--keep-database FILE]
//
// Making the database takes most of the run (about 30 s on an idle 2-core machine);
// --keep-database makes it in FILE when FILE is missing and uses FILE as it is otherwise,
// so runs one after the other (old and new program in turn) measure the same database.
// --passes first runs the calculation passes over every sensor, as tarnwell-import does
// after an import (the stored computed columns filled); without it the readings are as
// just written, every one marked as changed.
#include "support/BenchSupport.h"
#include "support/BySize.h"
#include "alarms/AlarmEvaluation.h"
#include "core/Paths.h"
#include "data/AlarmStore.h"
#include "importer/ImportPasses.h"
#include "store/Database.h"

#include <httplib.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int Sensors = 50;
constexpr int Readings = 100000;
constexpr int BigReadings = 1000000;
constexpr int StartSeconds = 60;  // the longest a start of the program may take

// Type 75: six gauges, staggered.
QString sensorId(int i) { return QStringLiteral("200175%1").arg(i + 1, 3, 10, QLatin1Char('0')); }
const QString BigSensor = QStringLiteral("200175900");

struct Options {
    int coldRuns = 3;
    int warmRuns = 20;
    int clients = 20;
    int seconds = 10;
    bool passes = false;
    QString keptDatabase;
};

// The database served: Tarnwell's own in the benchmark's temporary home, or the kept one.
QString databasePath;

Options parse(const QStringList& args)
{
    Options o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const int value = i + 1 < args.size() ? args[i + 1].toInt() : 0;
        if (a == QLatin1String("--passes")) o.passes = true;
        else if (a == QLatin1String("--keep-database") && i + 1 < args.size()) o.keptDatabase = args[++i];
        else if (a == QLatin1String("--cold-runs") && value > 0) o.coldRuns = value, ++i;
        else if (a == QLatin1String("--warm-runs") && value > 0) o.warmRuns = value, ++i;
        else if (a == QLatin1String("--clients") && value > 0) o.clients = value, ++i;
        else if (a == QLatin1String("--seconds") && value > 0) o.seconds = std::min(value, 120), ++i;
    }
    return o;
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Copies every reading of sensor `from` into sensor `to` (made empty first, as fillMinutes
// makes it), minutes later, with keys of its own. SQLite copies rows many times faster than
// a prepared insert per row.
void copyReadings(Database& db, const QString& from, const QString& to, qint64 minutes)
{
    Bench::fillMinutes(db, to, 0, false);
    const QString shifted = QStringLiteral("FullDate, '+%1 minutes')").arg(minutes);
    QStringList names, values;
    QSqlQuery q(db.handle());
    q.exec(QStringLiteral("PRAGMA table_info(`%1`)").arg(from));
    while (q.next()) {
        const QString name = q.value(1).toString();
        if (q.value(5).toInt() > 0 && q.value(2).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            continue;  // the row's own number
        names << name;
        if (name == QLatin1String("DateTimeKey"))
            values << QStringLiteral("'%1 ' || strftime('%Y/%m/%d %H:%M:%S', ").arg(to) + shifted;
        else if (name == QLatin1String("FullDate"))
            values << QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', ") + shifted;
        else if (name == QLatin1String("ReadingDate")) values << QStringLiteral("strftime('%Y/%m/%d', ") + shifted;
        else if (name == QLatin1String("ReadingTime")) values << QStringLiteral("strftime('%H:%M:%S', ") + shifted;
        else values << QLatin1Char('`') + name + QLatin1Char('`');
    }
    db.execute(QStringLiteral("INSERT INTO `%1` (`%2`) SELECT %3 FROM `%4`")
                   .arg(to, names.join(QStringLiteral("`, `")), values.join(QStringLiteral(", ")), from));
}

// The database: 50 sensors with levels (every fifth with a low Alert level, so the overview
// holds several states), spread over four mine levels, evaluated once as the desktop
// program does at start; then the sensor of a million readings.
void makeDatabase(const Options& o)
{
    if (!o.keptDatabase.isEmpty()) {
        if (QFile::exists(o.keptDatabase)) {
            std::printf("  database: %s as it is\n", qPrintable(o.keptDatabase));
            return;
        }
        QFile::copy(Paths::databasePath(), o.keptDatabase);  // the fresh one, to be filled
        QFile::setPermissions(o.keptDatabase, QFile::ReadOwner | QFile::WriteOwner);
    }
    Database db(QStringLiteral("fill"));
    db.open(databasePath);
    QElapsedTimer t;
    t.start();
    QStringList all;
    // Benchmark data: written without waiting for the disk.
    db.execute(QStringLiteral("PRAGMA synchronous = OFF"));
    Bench::fillMinutes(db, sensorId(0), Readings, false);
    std::printf("  first sensor written: %.1f s\n", Bench::ms(t) / 1000);
    for (int i = 0; i < Sensors; ++i) {
        const QString id = sensorId(i);
        if (i > 0) copyReadings(db, sensorId(0), id, 0);
        db.execute(QStringLiteral("UPDATE Sensors SET Level = ?, Location = ? WHERE InstrumentID = ?"),
                   {QString::number(10 + 2 * (i % 4)), QStringLiteral("Stope %1").arg(i % 7 + 1), id});
        AlarmStore::Levels l;
        l.loadAlertUpper = i % 5 == 0 ? 0.3 : 0.8;
        l.loadActionUpper = 1.1;
        l.loadAlertLower = -0.8;
        AlarmStore::saveLevels(db, id, l);
        all << id;
    }
    std::printf("  every sensor copied: %.1f s\n", Bench::ms(t) / 1000);
    {
        Transaction tx(db);
        for (int part = 0; part < BigReadings / Readings; ++part)
            copyReadings(db, sensorId(0), BigSensor, qint64(part) * Readings);
        tx.commit();
    }
    all << BigSensor;
    std::printf("  database: %d sensors x %d readings and one of %d made in %.1f s\n", Sensors, Readings, BigReadings,
                Bench::ms(t) / 1000);
    if (o.passes) {
        t.restart();
        ImportPasses::computeAppended(databasePath, QString(), all);
        std::printf("  calculation passes over every sensor: %.1f s\n", Bench::ms(t) / 1000);
    }
    const QDateTime after(QDate(2022, 1, 1), QTime(0, 0));
    AlarmEvaluation::evaluateAll(db, after);
    std::fflush(stdout);
}

// The real program on 127.0.0.1, any free port; stopped (SIGTERM) when it goes.
class WebProgram {
public:
    WebProgram()
    {
        m_p.setProcessChannelMode(QProcess::SeparateChannels);
        m_p.start(QStringLiteral(TARNWELL_WEB_EXE), {QStringLiteral("--database"), databasePath,
                                                     QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        static const QRegularExpression listening(QStringLiteral("Listening on http://127\\.0\\.0\\.1:(\\d+)/"));
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (m_port == 0 && t.elapsed() < StartSeconds * 1000 && m_p.state() != QProcess::NotRunning) {
            m_p.waitForReadyRead(200);
            out += m_p.readAllStandardOutput();
            const QRegularExpressionMatch m = listening.match(QString::fromUtf8(out));
            if (m.hasMatch()) m_port = m.captured(1).toInt();
        }
        if (m_port == 0)
            std::fprintf(stderr, "tarnwell-web did not start: %s%s\n", out.constData(),
                         m_p.readAllStandardError().constData());
    }
    ~WebProgram()
    {
        m_p.terminate();
        if (!m_p.waitForFinished(10000)) {
            m_p.kill();
            m_p.waitForFinished(5000);
        }
    }
    WebProgram(const WebProgram&) = delete;
    WebProgram& operator=(const WebProgram&) = delete;
    int port() const { return m_port; }
    // Whether it still runs; when not, says how it ended and what it printed.
    bool stillRunning()
    {
        if (m_p.state() == QProcess::Running) return true;
        std::fprintf(stderr, "  tarnwell-web ended (exit %d%s): %s\n", m_p.exitCode(),
                     m_p.exitStatus() == QProcess::CrashExit ? ", crashed" : "",
                     m_p.readAllStandardError().constData());
        return false;
    }

private:
    QProcess m_p;
    int m_port = 0;
};

struct Answer {
    double ms = 0;
    int status = 0;    // 0: no answer
    std::string body;  // or why there was none
};

Answer get(httplib::Client& c, const std::string& path)
{
    QElapsedTimer t;
    t.start();
    const httplib::Result r = c.Get(path.c_str());
    Answer a;
    a.ms = Bench::ms(t);
    if (r) {
        a.status = r->status;
        a.body = r->body;
    } else {
        a.body = httplib::to_string(r.error());
    }
    return a;
}

std::unique_ptr<httplib::Client> client(int port)
{
    auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
    c->set_connection_timeout(10);
    c->set_read_timeout(300);  // a cold overview on a busy machine takes long
    c->set_keep_alive(true);
    return c;
}

std::string seriesPath(const QString& id, const char* kind = "load")
{
    return (QStringLiteral("/api/sensors/") + QString::fromLatin1(QUrl::toPercentEncoding(id)) +
            QStringLiteral("/series?kind=%1&width=1000").arg(QLatin1String(kind)))
        .toStdString();
}

// One path measured on freshly started programs (the first answer of each) and then again
// on the last one (median of warmRuns). Says what each answer held.
struct ColdWarm {
    double cold = 0;
    double warm = 0;
    bool ok = true;
    QJsonObject last;
};

ColdWarm measure(const Options& o, const std::string& path)
{
    ColdWarm r;
    std::vector<double> cold, warm;
    for (int run = 0; run < o.coldRuns; ++run) {
        WebProgram web;
        if (!web.port()) return {0, 0, false, {}};
        auto c = client(web.port());
        const Answer first = get(*c, path);
        r.ok = r.ok && first.status == 200;
        cold.push_back(first.ms);
        if (run + 1 < o.coldRuns) continue;
        for (int i = 0; i < o.warmRuns; ++i) {
            const Answer a = get(*c, path);
            r.ok = r.ok && a.status == 200;
            warm.push_back(a.ms);
            if (i + 1 == o.warmRuns) r.last = QJsonDocument::fromJson(QByteArray::fromStdString(a.body)).object();
        }
        if (!r.ok) std::fprintf(stderr, "  %s answered %d: %.200s\n", path.c_str(), first.status, first.body.c_str());
    }
    r.cold = median(cold);
    r.warm = median(warm);
    return r;
}

// SQLite's own interface reading the columns a load series is computed from (date, the
// gauges and the temperature), of the given sensors, in date order.
double bareColumns(const QStringList& ids)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(databasePath.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    t.start();
    double sum = 0;
    for (const QString& id : ids) {
        const QByteArray sql = QStringLiteral(
                                   "SELECT FullDate, Channel1, Channel2, Channel3, Channel4, Channel5, "
                                   "Channel6, ChannelT FROM `%1` ORDER BY FullDate")
                                   .arg(id)
                                   .toUtf8();
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(h, sql.constData(), -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            (void)sqlite3_column_text(s, 0);
            for (int c = 1; c <= 7; ++c) sum += sqlite3_column_double(s, c);
        }
        sqlite3_finalize(s);
    }
    const double elapsed = Bench::ms(t);
    sqlite3_close(h);
    if (sum == 42.4242) std::printf(" ");  // keeps the reads from being left out
    return elapsed;
}

// clients threads, each with its connection, asking in turn for the overview, a sensor's
// load series (a different one each time), the alarms now and a sensor's details, for the
// given time, once the overview was computed (which computes every load series too): what
// many people looking at once cost, not the first computation. Every answer that is not
// 200, or no answer, is an error.
void manyClients(const Options& o)
{
    WebProgram web;
    if (!web.port()) return;
    {
        auto warmUp = client(web.port());
        const Answer first = get(*warmUp, "/api/sensors");  // the overview computed once, as after a first visit
        if (first.status != 200)
            std::fprintf(stderr, "  the first overview: %d %.200s\n", first.status, first.body.c_str());
    }
    std::atomic<int> requests{0}, errors{0};
    std::vector<std::vector<double>> times(size_t(o.clients));
    std::vector<std::thread> threads;
    threads.reserve(size_t(o.clients));
    const qint64 until = QDateTime::currentMSecsSinceEpoch() + qint64(o.seconds) * 1000;
    for (int n = 0; n < o.clients; ++n)
        threads.emplace_back([&, n] {
            auto c = client(web.port());
            for (int i = 0; QDateTime::currentMSecsSinceEpoch() < until; ++i) {
                const QString id = sensorId((n * 7 + i) % Sensors);
                const std::string paths[] = {"/api/sensors", seriesPath(id), "/api/alarms/now",
                                             "/api/sensors/" + QUrl::toPercentEncoding(id).toStdString()};
                const Answer a = get(*c, paths[i % 4]);
                ++requests;
                if (a.status != 200) {
                    if (errors++ < 5)
                        std::fprintf(stderr, "  %s: %s %.200s\n", paths[i % 4].c_str(),
                                     a.status ? std::to_string(a.status).c_str() : "no answer:", a.body.c_str());
                }
                times[size_t(n)].push_back(a.ms);
            }
        });
    for (std::thread& t : threads) t.join();
    if (!web.stillRunning()) std::printf("  THE PROGRAM ENDED DURING THE RUN\n");
    std::vector<double> all;
    for (const auto& v : times) all.insert(all.end(), v.begin(), v.end());
    std::sort(all.begin(), all.end());
    const double p95 = all.empty() ? 0 : all[std::min(all.size() - 1, size_t(double(all.size()) * 0.95))];
    std::printf(
        "%d clients at once for %d s (overview, a load series, alarms now, a sensor in turn): %d answers, "
        "%.0f a second\n",
        o.clients, o.seconds, requests.load(), requests.load() / double(o.seconds));
    Bench::report(QStringLiteral("  errors"), errors.load(), QString(), QStringLiteral("0"));
    Bench::report(QStringLiteral("  answer time, median / 95th percentile / slowest"), median(all),
                  QStringLiteral("ms"));
    std::printf("    (%.0f / %.0f / %.0f ms)\n", median(all), p95, all.empty() ? 0.0 : all.back());
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
    const Options o = parse(QCoreApplication::arguments());
    Bench::Home home;
    databasePath = o.keptDatabase.isEmpty() ? Paths::databasePath() : o.keptDatabase;
    std::printf("The web view: %d sensors x %d readings and one sensor of %d, tarnwell-web on 127.0.0.1\n", Sensors,
                Readings, BigReadings);
    makeDatabase(o);

    QStringList everySensor{BigSensor};
    for (int i = 0; i < Sensors; ++i) everySensor << sensorId(i);

    const ColdWarm overview = measure(o, "/api/sensors");
    std::printf(
        "overview /api/sensors (%d sensors, %d readings in all; cold: median of %d fresh starts, warm: median of "
        "%d)%s\n",
        int(overview.last.value(QStringLiteral("sensors")).toArray().size()), Sensors * Readings + BigReadings,
        o.coldRuns, o.warmRuns, overview.ok ? "" : "  ANSWERS FAILED");
    Bench::report(QStringLiteral("  cold"), overview.cold, QStringLiteral("ms"), QStringLiteral("<= 150 ms"));
    Bench::report(QStringLiteral("  warm"), overview.warm, QStringLiteral("ms"), QStringLiteral("<= 150 ms"));
    const double overviewFloor = bareColumns(everySensor);
    Bench::report(QStringLiteral("  floor: bare SQLite reading every sensor's date, gauge and temperature columns"),
                  overviewFloor, QStringLiteral("ms"));
    std::printf("  cold / floor: %.1fx\n", overview.cold / overviewFloor);

    const ColdWarm series = measure(o, seriesPath(BigSensor));
    std::printf("a load series of %d readings at 1000 pixel columns (%d rows sent)%s\n",
                series.last.value(QStringLiteral("count")).toInt(),
                int(series.last.value(QStringLiteral("rows")).toArray().size()), series.ok ? "" : "  ANSWERS FAILED");
    Bench::report(QStringLiteral("  cold"), series.cold, QStringLiteral("ms"), QStringLiteral("<= 500 ms"));
    Bench::report(QStringLiteral("  warm"), series.warm, QStringLiteral("ms"), QStringLiteral("<= 500 ms"));
    const double seriesFloor = bareColumns({BigSensor});
    Bench::report(QStringLiteral("  floor: bare SQLite reading its date, gauge and temperature columns"), seriesFloor,
                  QStringLiteral("ms"));
    std::printf("  cold / floor: %.1fx\n", series.cold / seriesFloor);

    manyClients(o);
    return 0;
}
