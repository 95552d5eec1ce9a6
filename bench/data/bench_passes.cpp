// The calculation passes at 10,000 / 100,000 / 1,000,000 readings (every reading in every
// selection, staggered type 75: the most columns), each beside bare SQLite doing the same
// reads and writes in the same run: one forward query and one prepared UPDATE per row
// through SQLite's own interface, computing the same values; and, for the load pass, one
// set-based UPDATE that computes zeros and loads in SQL.
//
//   build/bench/calc/bench_passes [--sizes 10000,100000,1000000] [--runs 3]
#include "support/BenchSupport.h"
#include "calc/Formulas.h"
#include "core/Paths.h"
#include "data/GraphData.h"
#include "data/PassEngine.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/ReadingMarks.h"
#include "support/BySize.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QString Id = QStringLiteral("200175002");

// The same reads and writes as a pass, with SQLite's own interface and nothing else.
qint64 bareLoop(Database& db, const Calc::SensorInputs& in, Calc::GraphSelection sel, Calc::PassExtra extra)
{
    const Calc::PassFormulas f(in.sensorType, in.stacked, in.kFactorText, in.gaugeLengthText);
    const int nLoad = f.loadCount();
    const int nExtra = extra == Calc::PassExtra::Disp    ? f.dispCount()
                       : extra == Calc::PassExtra::Shear ? f.shearCount()
                                                         : 0;
    QStringList sets;
    for (int i = 1; i <= 10; ++i) sets << QStringLiteral("zero%1 = ?").arg(i);
    sets << QStringLiteral("NumTemp = ?");
    for (int i = 1; i <= nLoad; ++i) sets << QStringLiteral("Load%1 = ?").arg(i);
    for (int i = 1; i <= nExtra; ++i)
        sets
            << (extra == Calc::PassExtra::Disp ? QStringLiteral("Disp%1 = ?") : QStringLiteral("Stretch%1 = ?")).arg(i);
    sqlite3* h = db.sqliteHandle();
    sqlite3_stmt* read = nullptr;
    sqlite3_stmt* write = nullptr;
    const QByteArray r = QStringLiteral(
                             "SELECT rowid, Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, Channel7, "
                             "Channel8, Channel9, Channel10, ChannelT FROM `%1` WHERE %2 ORDER BY FullDate, rowid")
                             .arg(in.id, Calc::selectionCondition(sel))
                             .toUtf8();
    const QByteArray w = QStringLiteral("UPDATE `%1` SET %2 WHERE rowid = ?").arg(in.id, sets.join(',')).toUtf8();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(h, r.constData(), -1, &read, nullptr);
    sqlite3_prepare_v2(h, w.constData(), -1, &write, nullptr);
    Calc::ChannelValues offsets{};
    bool first = true;
    qint64 rows = 0;
    while (sqlite3_step(read) == SQLITE_ROW) {
        Calc::ChannelValues z{};
        for (int i = 1; i <= 10; ++i) {
            const char* t = reinterpret_cast<const char*>(sqlite3_column_text(read, i));
            const double v = t ? std::atof(t) : 0;
            if (first) offsets[size_t(i)] = v;
            z[size_t(i)] = v - offsets[size_t(i)];
        }
        first = false;
        int b = 1;
        for (int i = 1; i <= 10; ++i) sqlite3_bind_double(write, b++, z[size_t(i)]);
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(read, 11));
        sqlite3_bind_double(write, b++, t ? std::atof(t) : 0);
        const Calc::Columns loads = f.loads(z);
        for (int i = 1; i <= nLoad; ++i) sqlite3_bind_double(write, b++, loads[i]);
        Calc::Columns more;
        if (extra == Calc::PassExtra::Disp) more = f.displacements(loads);
        else if (extra == Calc::PassExtra::Shear) more = f.shears(z);
        for (int i = 1; i <= nExtra; ++i) sqlite3_bind_double(write, b++, more[i]);
        sqlite3_bind_int64(write, b, sqlite3_column_int64(read, 0));
        sqlite3_step(write);
        sqlite3_reset(write);
        ++rows;
    }
    sqlite3_finalize(read);
    sqlite3_finalize(write);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    return rows;
}

// Zeros and staggered loads of every plottable reading in one UPDATE statement.
void bareSetBased(Database& db)
{
    QStringList sets;
    for (int i = 1; i <= 6; ++i) sets << QStringLiteral("zero%1 = Channel%1 - (SELECT Channel%1 FROM base)").arg(i);
    auto z = [](int i) { return QStringLiteral("(Channel%1 - (SELECT Channel%1 FROM base))").arg(i); };
    sets << QStringLiteral("NumTemp = ChannelT");
    sets << QStringLiteral("Load1 = ((2 * %1 + %2) / 3) * 0.01").arg(z(1), z(4));
    sets << QStringLiteral("Load2 = ((%1 + 2 * %2 + %3) / 4) * 0.01").arg(z(1), z(4), z(2));
    sets << QStringLiteral("Load3 = ((%1 + 2 * %2 + %3) / 4) * 0.01").arg(z(4), z(2), z(5));
    sets << QStringLiteral("Load4 = ((%1 + 2 * %2 + %3) / 4) * 0.01").arg(z(2), z(5), z(3));
    sets << QStringLiteral("Load5 = ((%1 + 2 * %2 + %3) / 4) * 0.01").arg(z(5), z(3), z(6));
    sets << QStringLiteral("Load6 = ((%1 + 2 * %2) / 4) * 0.01").arg(z(3), z(6));
    const QByteArray sql = QStringLiteral(
                               "WITH base AS (SELECT * FROM `%1` WHERE DoNotPlot = False ORDER BY FullDate LIMIT 1) "
                               "UPDATE `%1` SET %2 WHERE DoNotPlot = False")
                               .arg(Id, sets.join(','))
                               .toUtf8();
    sqlite3* h = db.sqliteHandle();
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    char* err = nullptr;
    if (sqlite3_exec(h, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK) std::printf("set-based: %s\n", err);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
}

void runSize(const Bench::SizeRun& run)
{
    Bench::Home home;
    Shared s;
    s.databasePath = Paths::databasePath();
    s.db.open(s.databasePath);
    Bench::fillMinutes(s.db, Id, run.size, false);
    // Every reading in every selection, so that each pass covers all of them.
    s.db.execute(QStringLiteral("UPDATE `%1` SET PlotSpatial = 1, %2").arg(Id, ReadingMarks::setChanged()));

    const Calc::SensorInputs in{Id, QStringLiteral("75"), false, QStringLiteral("100"), QStringLiteral("0.5"), {}};
    struct Case {
        const char* name;
        std::function<Calc::PassResult(Shared&, const Calc::SensorInputs&)> pass;
        Calc::GraphSelection sel;
        Calc::PassExtra extra;
    };
    const Case cases[] = {
        {"GetTemporalData", Calc::GetTemporalData, Calc::GraphSelection::Plottable, Calc::PassExtra::None},
        {"GetDispData", Calc::GetDispData, Calc::GraphSelection::Temporal, Calc::PassExtra::Disp},
        {"GetSDispData", Calc::GetSDispData, Calc::GraphSelection::Spatial, Calc::PassExtra::Disp},
        {"GetShearData", Calc::GetShearData, Calc::GraphSelection::Spatial, Calc::PassExtra::Shear},
    };
    // Once untimed, so that every timed run rewrites rows of the same size.
    bareLoop(s.db, in, Calc::GraphSelection::Plottable, Calc::PassExtra::Disp);
    bareLoop(s.db, in, Calc::GraphSelection::Plottable, Calc::PassExtra::Shear);
    int edited = 0;
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        Calc::PassResult last;
        const double full = Bench::fastest(
            run.runs, [&] { last = c.pass(s, in); }, [&] { PassTables::forgetSensor(s.db, Id); });
        Bench::figure(name + QStringLiteral(": full pass"), full, "ms", run.size == 100000 ? "<= 1 s" : QString());
        if (!last.completed || !last.fullPass || last.rowsWritten != run.size)
            std::printf("CHECK FAILED: %s completed=%d full=%d rows=%lld\n", c.name, int(last.completed),
                        int(last.fullPass), last.rowsWritten);
        Bench::bare(name + QStringLiteral(": full pass"),
                    Bench::fastest(run.runs, [&] { bareLoop(s.db, in, c.sel, c.extra); }));

        const double again = Bench::fastest(run.runs, [&] { last = c.pass(s, in); });
        Bench::figure(name + QStringLiteral(": again, nothing changed"), again, "ms");
        if (last.fullPass || last.rowsWritten != 0) std::printf("CHECK FAILED: %s was not incremental\n", c.name);

        const double one = Bench::fastest(
            run.runs, [&] { last = c.pass(s, in); },
            [&] {
                s.db.execute(QStringLiteral("UPDATE `%1` SET Channel1 = ?, %2 WHERE rowid = ?")
                                 .arg(Id, ReadingMarks::setChanged()),
                             {QString::number(100 + (++edited % 7), 'f', 2), run.size / 2});
            });
        Bench::figure(name + QStringLiteral(": after one reading edited"), one, "ms");
        if (last.fullPass || last.rowsWritten != 1)
            std::printf("CHECK FAILED: %s computed %lld\n", c.name, last.rowsWritten);
    }
    // The four kinds as an import asks for them: one read for all, against one pass of each
    // kind after another, full passes (nothing recorded before each).
    std::vector<Calc::KindRequest> four;
    for (Calc::PassKind kind :
         {Calc::PassKind::Load, Calc::PassKind::DispTime, Calc::PassKind::DispLength, Calc::PassKind::Shear})
        four.push_back({kind, in, false});
    const auto forget = [&] { PassTables::forgetSensor(s.db, Id); };
    qint64 rows = 0;
    Bench::figure(QStringLiteral("the four kinds in one read: full"),
                  Bench::fastest(
                      run.runs,
                      [&] {
                          rows = 0;
                          for (const Calc::PassResult& r : Calc::runPassesOf(s, four)) rows += r.rowsWritten;
                      },
                      forget),
                  "ms");
    if (rows != 4 * run.size) std::printf("CHECK FAILED: the four kinds in one read computed %lld\n", rows);
    Bench::figure(QStringLiteral("the four kinds one after another: full"),
                  Bench::fastest(
                      run.runs,
                      [&] {
                          for (const Calc::KindRequest& k : four) {
                              forget();
                              Calc::runPassOf(s, k.in, k.kind);
                          }
                      },
                      forget),
                  "ms");
    Bench::figure(QStringLiteral("bare SQLite: one set-based UPDATE of zeros and loads"),
                  Bench::fastest(run.runs, [&] { bareSetBased(s.db); }), "ms");
    Bench::figure(QStringLiteral("peak memory"), Bench::peakMB(), "MB");
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::bySize(
        argc, argv, QStringLiteral("Calculation passes (staggered 75, every reading in every selection)"), runSize);
}
