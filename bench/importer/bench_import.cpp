// tarnwell-import of a 1,000,000-line TOA5 file beside its floor in the same run: a bare
// program reading the same file, cutting each line into its fields, making the stored
// texts and appending them through one prepared INSERT in one transaction. Rounds
// alternate floor and import, so a busy machine slows both alike; each figure is printed
// as min / median and as a ratio to the floor. The sensor holds one earlier reading whose
// load pass has run, as a sensor in use does, so the import stores the computed columns
// with the readings: the import is measured without and with the calculation pass it
// runs before it exits, and beside a second floor that writes the same rows as the import
// (the computed columns bound too, numbers of the same kinds, zeros where the import
// stores zeros). BENCH_IMPORT_COMMANDS (paths of tarnwell-import programs,
// separated by blanks) adds each whole command, run as a process, to the rounds (an older
// build beside the new one). Each figure is given as elapsed and as processor time.
// BENCH_LINES, BENCH_ROUNDS.
#include "support/BenchSupport.h"
#include "core/Paths.h"
#include "data/AppendedValues.h"
#include "importer/ImportPasses.h"
#include "importer/ImportRun.h"
#include "store/Database.h"
#include "store/RowVersions.h"
#include "tools/ColumnMap.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sqlite3.h>
#include <sys/resource.h>
#include <vector>

namespace {

const QString Sensor = QStringLiteral("250475011");
const char* const Header =
    "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"CR1000X.Std.05\",\"CPU:bolts.CR1X\",\"21513\",\"Hourly\"\r\n"
    "\"TIMESTAMP\",\"RECORD\",\"BattV\",\"Temp\",\"Strain(1)\",\"Strain(2)\",\"Strain(3)\",\"Strain(4)\",\"Strain(5)\","
    "\"Strain(6)\"\r\n"
    "\"TS\",\"RN\",\"Volts\",\"Deg C\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\",\"uStrain\"\r\n"
    "\"\",\"\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\",\"Smp\"\r\n";
constexpr int HeaderLines = 4;

// A TOA5 file of count records a minute apart from 2022-01-01.
void writeFile(const QString& path, int count)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(Header);
    const QDateTime start(QDate(2022, 1, 1), QTime(0, 0), Qt::UTC);
    QByteArray out;
    char line[256];
    for (int n = 0; n < count; ++n) {
        const QDateTime t = start.addSecs(qint64(n) * 60);
        const QDate d = t.date();
        const QTime h = t.time();
        int len = std::snprintf(line, sizeof line, "\"%04d-%02d-%02d %02d:%02d:%02d\",%d,12.6,%.2f", d.year(),
                                d.month(), d.day(), h.hour(), h.minute(), h.second(), n, 15 + 5 * std::sin(n / 1000.0));
        for (int c = 1; c <= 6; ++c)
            len += std::snprintf(line + len, sizeof line - size_t(len), ",%.3f",
                                 100.0 * c + 50 * std::sin(n / 1440.0 + c));
        line[len++] = '\r';
        line[len++] = '\n';
        out.append(line, len);
        if (out.size() > (1 << 22)) {
            f.write(out);
            out.clear();
        }
    }
    f.write(out);
}

void saveMap(Database& db)
{
    ColumnMap m;
    m.dateColumn = QStringLiteral("TIMESTAMP");
    m.layout = LoggerClock::Layout::Iso8601;
    m.tempColumn = QStringLiteral("Temp");
    for (int c = 1; c <= 6; ++c) m.gaugeColumns << QStringLiteral("Strain(%1)").arg(c);
    const QStringList names{"TIMESTAMP", "RECORD",    "BattV",     "Temp",      "Strain(1)",
                            "Strain(2)", "Strain(3)", "Strain(4)", "Strain(5)", "Strain(6)"};
    ColumnMaps::save(db, Sensor, QStringLiteral("TOA5"), ColumnMaps::signature(QStringLiteral("TOA5"), names), m);
}

// What the floor binds to a computed column, of the kind the import stores there, chosen
// once per column: a gauge's difference from its baseline (zero1..zero6), nothing measured
// (0 for the gauges the logger has not), the temperature, or a load made of two gauges.
struct FloorNumber {
    enum Kind { Gauge, Zero, Temperature, Load } kind = Zero;
    int a = 0, b = 0;  // the channels it is made of (x[0]: the temperature)
    double of(const double* x) const
    {
        switch (kind) {
            case Gauge:
                return x[a] - 100.0;
            case Temperature:
                return x[0];
            case Load:
                return (x[a] - x[b]) * 1e-5;
            case Zero:
                break;
        }
        return 0.0;
    }
};

FloorNumber floorNumber(const QString& column)
{
    if (column.startsWith(QLatin1StringView("zero"))) {
        const int gauge = column.mid(4).toInt();
        return gauge >= 1 && gauge <= 6 ? FloorNumber{FloorNumber::Gauge, gauge, 0} : FloorNumber{};
    }
    if (column == QLatin1StringView("NumTemp")) return {FloorNumber::Temperature, 0, 0};
    const int k = std::max(1, column.back().digitValue());
    return {FloorNumber::Load, k % 6 + 1, (k + 1) % 6 + 1};
}

// The floor: the file read whole, each line cut at its commas, the texts made in fixed
// buffers and bound without a copy to one prepared INSERT, one transaction. Returns rows.
// numbers: the computed columns bound too, each with a number of the kind the import
// stores in it (floorNumber), with the row's mark cleared: the same rows as the import's.
int bareImport(Database& db, const QString& path, const QStringList& numbers = {})
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray data = f.readAll();
    sqlite3* h = db.sqliteHandle();
    const bool versioned = RowVersions::present(db, Sensor);
    QString numberColumns, numberMarks;
    std::vector<FloorNumber> kinds;
    for (const QString& c : numbers) {
        numberColumns += QStringLiteral(", ") + c;
        numberMarks += QStringLiteral(",?");
        kinds.push_back(floorNumber(c));
    }
    const QByteArray sql =
        QStringLiteral(
            "INSERT INTO `%1` (DateTimeKey, ReadingDate, ReadingTime, FullDate, IsDirty, "
            "PlotSpatial, Plottemporal, ChannelT, Channel1, Channel2, Channel3, Channel4, "
            "Channel5, Channel6%2%4) VALUES (?,?,?,?,%6,0,1,?,?,?,?,?,?,?%3%5)")
            .arg(Sensor, versioned ? QStringLiteral(", RowVersion, ChangedBy, ChangedAt") : QString(),
                 versioned ? QStringLiteral(", 1, 'bench', '2026-01-01 00:00:00'") : QString(), numberColumns,
                 numberMarks, numbers.isEmpty() ? QStringLiteral("1") : QStringLiteral("0"))
            .toUtf8();
    sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, sql.constData(), -1, &st, nullptr);
    const QByteArray sensor = Sensor.toUtf8();
    char key[64], date[11], time[9], full[20], v[7][32];
    std::memcpy(key, sensor.constData(), size_t(sensor.size()));
    const int keyLen = int(sensor.size()) + 20;
    int vLen[7];
    const char* p = data.constData();
    const char* const end = p + data.size();
    for (int skip = 0; skip < HeaderLines && p < end; ++skip)
        p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p))) + 1;
    int rows = 0;
    while (p < end) {
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!eol) eol = end;
        const char* fields[12];
        const char* fieldEnds[12];
        int n = 0;
        for (const char* q = p; n < 12;) {
            const char* c = static_cast<const char*>(std::memchr(q, ',', size_t(eol - q)));
            fields[n] = q;
            fieldEnds[n++] = c ? c : (eol > q && eol[-1] == '\r' ? eol - 1 : eol);
            if (!c) break;
            q = c + 1;
        }
        p = eol + 1;
        if (n != 10) continue;
        const char* d = fields[0] + 1;  // "yyyy-MM-dd HH:mm:ss"
        std::memcpy(full, d, 19);
        std::memcpy(date, d, 10);
        date[4] = date[7] = '/';
        std::memcpy(time, d + 11, 8);
        key[sensor.size()] = ' ';
        std::memcpy(key + sensor.size() + 1, date, 10);
        key[sensor.size() + 11] = ' ';
        std::memcpy(key + sensor.size() + 12, time, 8);
        double x[7] = {};
        for (int c = 0; c < 7; ++c) {
            std::from_chars(fields[3 + c], fieldEnds[3 + c], x[c]);
            vLen[c] =
                int(std::to_chars(v[c], v[c] + sizeof v[c], x[c], std::chars_format::fixed, c == 0 ? 1 : 2).ptr - v[c]);
        }
        for (size_t n = 0; n < kinds.size(); ++n) sqlite3_bind_double(st, 12 + int(n), kinds[n].of(x));
        sqlite3_bind_text(st, 1, key, keyLen, SQLITE_STATIC);
        sqlite3_bind_text(st, 2, date, 10, SQLITE_STATIC);
        sqlite3_bind_text(st, 3, time, 8, SQLITE_STATIC);
        sqlite3_bind_text(st, 4, full, 19, SQLITE_STATIC);
        for (int c = 0; c < 7; ++c) sqlite3_bind_text(st, 5 + c, v[c], vLen[c], SQLITE_STATIC);
        if (sqlite3_step(st) != SQLITE_DONE) std::printf("CHECK FAILED: bare insert %s\n", sqlite3_errmsg(h));
        sqlite3_reset(st);
        ++rows;
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    return rows;
}

qint64 stored(Database& db) { return db.scalar(QStringLiteral("SELECT COUNT(*) FROM `%1`").arg(Sensor)).toLongLong(); }

// The readings of the file go; the sensor's earlier reading stays.
void empty(Database& db)
{
    db.execute(QStringLiteral("DELETE FROM `%1` WHERE FullDate >= '2022'").arg(Sensor));
    QDir(QDir(Paths::dataFolder()).filePath(QStringLiteral("imports"))).removeRecursively();
}

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Processor time used so far (user and system), in ms: of this process, or of the
// commands it has waited for.
double cpuMs(int who)
{
    rusage u{};
    getrusage(who, &u);
    auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::Home home;
    const int lines = qEnvironmentVariableIsSet("BENCH_LINES") ? qEnvironmentVariableIntValue("BENCH_LINES") : 1000000;
    const int rounds = qEnvironmentVariableIsSet("BENCH_ROUNDS") ? qEnvironmentVariableIntValue("BENCH_ROUNDS") : 3;
    const QStringList commands = qEnvironmentVariable("BENCH_IMPORT_COMMANDS").split(u' ', Qt::SkipEmptyParts);
    const QString dbPath = Paths::databasePath();
    Database db(QStringLiteral("bench"));
    db.open(dbPath);
    // One reading of 2020, its load pass run: the file's readings come after the baseline.
    Bench::fillSensor(db, Sensor, 1);
    ImportPasses::computeAppended(dbPath, QString(), {Sensor});
    saveMap(db);
    QStringList computedColumns;
    if (const auto computed = Calc::AppendedValues::prepare(db, Sensor, "2022-01-01 00:00:00"))
        computedColumns = computed->columns();
    else std::printf("CHECK FAILED: the import cannot compute while appending\n");
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("Stope4_Hourly.dat"));
    writeFile(file, lines);
    std::printf("TOA5 file of %d lines: %.0f MB, %d rounds\n", lines, QFileInfo(file).size() / 1e6, rounds);

    std::map<QString, std::vector<double>> figures, cpu;
    auto check = [&](const char* what, qint64 expected) {
        if (stored(db) != expected) std::printf("CHECK FAILED: %s stored %lld\n", what, stored(db));
    };
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer t;
        double c = cpuMs(RUSAGE_SELF);
        t.start();
        bareImport(db, file);
        figures[QStringLiteral("floor")].push_back(msSince(t));
        cpu[QStringLiteral("floor")].push_back(cpuMs(RUSAGE_SELF) - c);
        check("floor", lines + 1);
        empty(db);

        c = cpuMs(RUSAGE_SELF);
        t.restart();
        bareImport(db, file, computedColumns);
        figures[QStringLiteral("floor binding the computed columns")].push_back(msSince(t));
        cpu[QStringLiteral("floor binding the computed columns")].push_back(cpuMs(RUSAGE_SELF) - c);
        check("floor binding the computed columns", lines + 1);
        empty(db);

        c = cpuMs(RUSAGE_SELF);
        t.restart();
        const ImportRun::FileReport r = ImportRun::importFile(db, Sensor, file, ImportRun::Options{});
        const double imported = msSince(t);
        const double importedCpu = cpuMs(RUSAGE_SELF) - c;
        t.restart();
        ImportPasses::computeAppended(dbPath, QString(), {Sensor});
        figures[QStringLiteral("import")].push_back(imported);
        figures[QStringLiteral("import and pass")].push_back(imported + msSince(t));
        cpu[QStringLiteral("import")].push_back(importedCpu);
        cpu[QStringLiteral("import and pass")].push_back(cpuMs(RUSAGE_SELF) - c);
        if (r.appended != lines)
            std::printf("CHECK FAILED: import appended %lld (%s)\n", r.appended, qPrintable(r.reason));
        empty(db);

        for (const QString& command : commands) {
            c = cpuMs(RUSAGE_CHILDREN);
            t.restart();
            QProcess p;
            p.start(command, {QStringLiteral("--database"), dbPath, QStringLiteral("--sensor"), Sensor, file});
            p.waitForFinished(600000);
            figures[QStringLiteral("command ") + command].push_back(msSince(t));
            cpu[QStringLiteral("command ") + command].push_back(cpuMs(RUSAGE_CHILDREN) - c);
            check(qPrintable(command), lines + 1);
            empty(db);
        }
    }
    auto minOf = [](std::vector<double> v) { return *std::min_element(v.begin(), v.end()); };
    auto medianOf = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("%d computed columns stored per reading\n", int(computedColumns.size()));
    // Elapsed time, then processor time (which other work on the machine disturbs less).
    for (const auto* table : {&figures, &cpu}) {
        const std::vector<double>& narrow = table->at(QStringLiteral("floor"));
        const std::vector<double>& wide = table->at(QStringLiteral("floor binding the computed columns"));
        std::printf("%-70s %9s %9s %7s %7s %9s %7s\n", table == &cpu ? "processor time, ms" : "elapsed, ms", "min",
                    "median", "÷floor", "(med)", "÷floor2", "(med)");
        for (const auto& [name, v] : *table)
            std::printf("%-70s %9.0f %9.0f %6.2fx %6.2fx %8.2fx %6.2fx\n", qPrintable(name), minOf(v), medianOf(v),
                        minOf(v) / minOf(narrow), medianOf(v) / medianOf(narrow), minOf(v) / minOf(wide),
                        medianOf(v) / medianOf(wide));
    }
    std::printf(
        "target: the whole command <= 1.2x the floor binding the computed columns (floor2), which writes the same "
        "rows; the import alone is shown against the bare INSERT loop (floor) too\n");
    return 0;
}
