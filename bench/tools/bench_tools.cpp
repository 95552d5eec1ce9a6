// The data tools: a 1,000,000-line TOA5 logger file shown in the import window (time and
// peak memory) and appended (against a bare prepared INSERT loop into the same table in the
// same run); tarnwell-import's folder mode over 1,000 small files; then at 100,000
// readings a comma-separated logger file shown and appended. Files are generated in a
// temporary folder. (The datasheet and its export: bench_export.)
#include "support/BenchSupport.h"
#include <QSqlQuery>
#include <QSqlDatabase>
#include "setup/Installer.h"
#include "core/DatabaseChoice.h"
#include "app/MainWindow.h"
#include "core/Desktop.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "importer/ImportRun.h"
#include "store/Database.h"
#include "tools/ColumnMap.h"
#include "tools/DatasheetModel.h"
#include "tools/LoggerGridModel.h"
#include "tools/LoggerImport.h"
#include "tools/LoggerReadings.h"
#include "tools/ToolsController.h"
#include <sqlite3.h>
#include "tools/DatasheetWindow.h"
#include "tools/LoggerImportWindow.h"

#include "tools/GridWidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <ctime>

namespace {
// Processor time of this process in ms: a fairer figure than wall time on a busy machine.
double cpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }
void cpuReport(double since) { std::printf("  (processor time: %.0f ms)\n", cpuMs() - since); }

// Peak resident memory of this process so far (VmHWM), in MB.
double peakMB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

const char* const Toa5Header =
    "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"CR1000X.Std.05\",\"CPU:bolts.CR1X\",\"21513\",\"Hourly\"\r\n"
    "\"TIMESTAMP\",\"RECORD\",\"BattV\",\"Temp\",\"Strain(1)\",\"Strain(2)\",\"Strain(3)\",\"Strain(4)\",\"Strain(5)\","
    "\"Strain(6)\"\r\n"
    "\"TS\",\"RN\",\"Volts\",\"Deg C\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\"\r\n"
    "\"\",\"\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\"\r\n";

// A TOA5 file of count records a minute apart from start.
QByteArray toa5(int count, const QDateTime& start, int firstRecord = 0)
{
    QByteArray out = Toa5Header;
    out.reserve(qsizetype(count) * 96 + out.size());
    char line[256];
    for (int n = 0; n < count; ++n) {
        const QDateTime t = start.addSecs(qint64(n) * 60);
        const QDate d = t.date();
        const QTime h = t.time();
        int len =
            std::snprintf(line, sizeof line, "\"%04d-%02d-%02d %02d:%02d:%02d\",%d,12.6,%.2f", d.year(), d.month(),
                          d.day(), h.hour(), h.minute(), h.second(), firstRecord + n, 15 + 5 * std::sin(n / 1000.0));
        for (int c = 1; c <= 6; ++c)
            len += std::snprintf(line + len, sizeof line - size_t(len), ",%.3f",
                                 100.0 * c + 50 * std::sin(n / 1440.0 + c));
        line[len++] = '\r';
        line[len++] = '\n';
        out.append(line, len);
    }
    return out;
}

ColumnMap toa5Map()
{
    ColumnMap m;
    m.dateColumn = QStringLiteral("TIMESTAMP");
    m.layout = LoggerClock::Layout::Iso8601;
    m.tempColumn = QStringLiteral("Temp");
    for (int c = 1; c <= 6; ++c) m.gaugeColumns << QStringLiteral("Strain(%1)").arg(c);
    return m;
}

// The bare baseline: one prepared INSERT per reading, the values made on the fly, one
// transaction.
double bareInsertLoop(Database& db, const QString& id, int count, const QDateTime& start)
{
    QElapsedTimer t;
    t.start();
    sqlite3* h = db.sqliteHandle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QStringLiteral(
                               "INSERT INTO `%1` (DateTimeKey, ReadingDate, ReadingTime, FullDate, IsDirty, "
                               "PlotSpatial, Plottemporal, ChannelT, Channel1, Channel2, Channel3, Channel4, "
                               "Channel5, Channel6) VALUES (?,?,?,?,1,1,1,?,?,?,?,?,?,?)")
                               .arg(id)
                               .toUtf8();
    sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr);
    const QByteArray sensor = id.toUtf8();
    const qint64 base = start.toSecsSinceEpoch();
    char v[7][32];
    for (int n = 0; n < count; ++n) {
        const Bench::ReadingTexts r(sensor, base + qint64(n) * 60);
        std::snprintf(v[0], sizeof v[0], "%.1f", 15 + 5 * std::sin(n / 1000.0));
        for (int c = 1; c <= 6; ++c)
            std::snprintf(v[c], sizeof v[c], "%.2f", 100.0 * c + 50 * std::sin(n / 1440.0 + c));
        sqlite3_bind_text(st, 1, r.key, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, r.date, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, r.time, -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, r.full, -1, SQLITE_STATIC);
        for (int c = 0; c < 7; ++c) sqlite3_bind_text(st, 5 + c, v[c], -1, SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) std::printf("CHECK FAILED: bare insert %s\n", sqlite3_errmsg(h));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    return t.nsecsElapsed() / 1e6;
}

// Part 1: a 1,000,000-line TOA5 file shown and appended; the folder mode.
void bigToa5(MainWindow& w, const QString& folder)
{
    Shared& s = w.shared();
    const int lines = 1000000;
    const QString sensor = QStringLiteral("250475011");
    const QDateTime start(QDate(2022, 1, 1), QTime(0, 0), Qt::UTC);
    const QString file = QDir(folder).filePath(QStringLiteral("Stope4_Hourly.dat"));
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(Toa5Header);
        for (int chunk = 0; chunk < lines; chunk += 10000)
            f.write(toa5(10000, start.addSecs(qint64(chunk) * 60), chunk).mid(qsizetype(std::strlen(Toa5Header))));
    }
    std::printf("TOA5 file of %d lines: %.0f MB\n", lines, QFileInfo(file).size() / 1e6);
    const double before = peakMB();
    std::printf("  peak memory before: %.0f MB\n", before);

    s.rsSensors->requery();
    s.rsSensors->find(QStringLiteral("InstrumentID = '") + sensor + '\'');
    s.subWindowSensor = sensor;
    QElapsedTimer t;
    t.start();
    double cpu = cpuMs();
    w.tools()->OpenDataFile(QFileInfo(file).fileName(), file);
    const QString signature = w.tools()->dataFile().signature();
    ColumnMaps::save(s.db, sensor, QStringLiteral("TOA5"), signature, toa5Map());
    w.tools()->haveColumnMap();
    auto* window = new LoggerImportWindow(w, *w.tools(), file, &w);
    window->show();
    QApplication::processEvents();
    Bench::report("TOA5 file of 1,000,000 lines read and shown", t.nsecsElapsed() / 1e6, "ms",
                  "<= 3000 ms (<= 2000 ms)");
    cpuReport(cpu);
    Bench::report("  peak memory of the process", peakMB(), "MB", "<= 250 MB");
    Bench::report("  held by the rows", window->model()->table().bytesHeld() / 1e6, "MB");
    if (window->model()->selectedCount() != lines)
        std::printf("CHECK FAILED: selected %d\n", window->model()->selectedCount());

    // The bare loop first, into the sensor's own table; then emptied; then the import; then
    // the bare loop again (the faster of the two is the baseline).
    double bare = bareInsertLoop(s.db, sensor, lines, start);
    Bench::report("bare prepared INSERT loop, 1,000,000 readings", bare, "ms");
    s.db.execute(QStringLiteral("DELETE FROM `%1`").arg(sensor));
    t.restart();
    cpu = cpuMs();
    const auto target = LoggerImport::targetFor(s.db, sensor);
    const auto& model = *window->model();
    const auto survey = LoggerReadings::survey(model.table(), model.selection(), model.mapping(), target);
    const auto outcome = LoggerReadings::append(s.db, target, model.table(), survey, model.mapping());
    const double ours = t.nsecsElapsed() / 1e6;
    Bench::report("checked and appended, 1,000,000 readings", ours, "ms");
    cpuReport(cpu);
    if (outcome.appended != lines) std::printf("CHECK FAILED: appended %lld\n", outcome.appended);
    window->reject();
    delete window;
    s.db.execute(QStringLiteral("DELETE FROM `%1`").arg(sensor));
    const double bare2 = bareInsertLoop(s.db, sensor, lines, start);
    Bench::report("bare prepared INSERT loop again", bare2, "ms");
    bare = std::min(bare, bare2);
    Bench::report("  import / bare loop", ours / bare, "x", "<= 1.2");
    s.db.execute(QStringLiteral("DELETE FROM `%1`").arg(sensor));

    // The folder mode: 1,000 files of a day's hourly readings each.
    const QString drop = QDir(folder).filePath(QStringLiteral("drop"));
    QDir().mkpath(drop);
    for (int f = 0; f < 1000; ++f) {
        QFile out(QDir(drop).filePath(QStringLiteral("Stope4_Hourly_%1.dat").arg(f, 4, 10, QChar(u'0'))));
        out.open(QIODevice::WriteOnly);
        out.write(toa5(24, start.addSecs(qint64(f) * 24 * 60), f * 24));
    }
    ImportRun::Options options;
    options.dataFolder = folder;  // the archive copies go beside the files, not into the data folder
    t.restart();
    cpu = cpuMs();
    const auto reports = ImportRun::importFolder(s.db, drop, options);
    Bench::report("tarnwell-import --folder, 1,000 files of 24 readings", t.nsecsElapsed() / 1e6, "ms", "<= 10000 ms");
    cpuReport(cpu);
    qint64 appended = 0;
    for (const auto& r : reports) appended += r.appended;
    if (reports.size() != 1000 || appended != 24000)
        std::printf("CHECK FAILED: %zu files, %lld readings\n", reports.size(), appended);
    t.restart();
    const auto again = ImportRun::importFolder(s.db, drop, options);
    Bench::report("  run again (every file already imported)", t.nsecsElapsed() / 1e6, "ms");
    if (!again.empty()) std::printf("CHECK FAILED: %zu files imported twice\n", again.size());
    s.db.execute(QStringLiteral("DELETE FROM `%1`").arg(sensor));
}
}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::Home home;
    const int count = 100000;
    const QString logger = QStringLiteral("250475001");  // empty sensor the file is imported into
    // BENCH_DATABASE=postgresql://... runs it on that server (its public schema emptied and
    // set up first), as `tarnwell --database` would.
    const QString database = qEnvironmentVariable("BENCH_DATABASE");
    if (!database.isEmpty()) {
        {
            QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-reset"));
            if (pg.open()) {
                QSqlQuery q(pg);
                q.exec(QStringLiteral("SET client_min_messages = warning"));
                q.exec(QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE"));
                q.exec(QStringLiteral("CREATE SCHEMA public"));
            }
            pg.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench-reset"));
        if (!Installer::setUpServer(database).ok) std::printf("CHECK FAILED: server set-up\n");
        DatabaseChoice::setForThisRun(database);
    }
    {
        Database db(QStringLiteral("fill"));
        db.open(database.isEmpty() ? Paths::databasePath() : database);
        Bench::fillSensor(db, logger, 0);
        Bench::fillSensor(db, QStringLiteral("250475011"), 0);
    }

    // A logger file of 100,000 lines, one reading an hour.
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(logger + QStringLiteral(".txt"));
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        const QDateTime start(QDate(2021, 1, 1), QTime(0, 0, 5));
        QByteArray out;
        for (int n = 0; n < count; ++n) {
            out += start.addSecs(qint64(n) * 3600).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toLatin1();
            out += ",7,75,250475001," + QByteArray::number(15 + 5 * std::sin(n / 100.0), 'f', 2);
            for (int c = 1; c <= 6; ++c)
                out += ',' + QByteArray::number(100.0 * c + 50 * std::sin(n / 24.0 + c), 'f', 3);
            out += "\r\n";
        }
        f.write(out);
    }
    Messages::Script script;
    Messages::installScript(&script);
    Desktop::Recorder recorder;
    Desktop::installRecorder(&recorder);
    MainWindow w;
    w.show();
    Shared& s = w.shared();
    if (!qEnvironmentVariableIsSet("BENCH_SKIP_1M")) bigToa5(w, dir.path());
    s.rsSensors->moveFirst();
    std::printf("Data tools, %d readings\n", count);
    s.rsSensors->find(QStringLiteral("InstrumentID = '") + logger + '\'');
    s.subWindowSensor = logger;

    // 1. The logger file read and shown in the import window.
    QElapsedTimer t;
    t.start();
    double cpu = cpuMs();
    w.tools()->OpenDataFile(logger + QStringLiteral(".txt"), file);
    auto* window = new LoggerImportWindow(w, *w.tools(), file, &w);
    window->show();
    QApplication::processEvents();
    Bench::report("logger file of 100,000 lines shown in the import window", t.nsecsElapsed() / 1e6, "ms",
                  "<= 1000 ms");
    cpuReport(cpu);
    const int selected = window->model()->selectedCount();

    // 2. All its rows appended (one transaction, duplicates found by the key index).
    t.restart();
    cpu = cpuMs();
    const auto target = LoggerImport::targetFor(s.db, logger);
    const auto& model = *window->model();
    auto appendAll = [&] {
        const auto survey = LoggerReadings::survey(model.table(), model.selection(), model.mapping(), target);
        return LoggerReadings::append(s.db, target, model.table(), survey, model.mapping());
    };
    const auto outcome = appendAll();
    Bench::report("append all rows", t.nsecsElapsed() / 1e6, "ms", "<= 3000 ms");
    cpuReport(cpu);
    t.restart();
    cpu = cpuMs();
    const auto again = appendAll();
    Bench::report("append the same rows again (all refused as duplicates)", t.nsecsElapsed() / 1e6, "ms");
    cpuReport(cpu);
    if (selected != count || outcome.appended != count || again.duplicates != count)
        std::printf("CHECK FAILED: selected=%d appended=%lld duplicates=%lld\n", selected, outcome.appended,
                    again.duplicates);
    window->reject();
    delete window;

    // The datasheet and its export are measured at three sizes by bench_export.
    Messages::installScript(nullptr);
    Desktop::installRecorder(nullptr);
    return 0;
}
