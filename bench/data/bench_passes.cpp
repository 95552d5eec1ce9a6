// The calculation passes at 10,000 / 100,000 / 1,000,000 readings (every reading in every
// selection, staggered type 75: the most columns), each beside bare SQLite doing the same
// reads and writes in the same run: one forward query and one prepared UPDATE per row
// through SQLite's own interface, computing the same values; and, for the load pass, one
// set-based UPDATE that computes zeros and loads in SQL.
//
//   build/bench/calc/bench_passes [--sizes 10000,100000,1000000] [--runs 3]
#include "support/BarePass.h"
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
    Bench::bareLoop(s.db, in, Calc::GraphSelection::Plottable, Calc::PassExtra::Disp);
    Bench::bareLoop(s.db, in, Calc::GraphSelection::Plottable, Calc::PassExtra::Shear);
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
                    Bench::fastest(run.runs, [&] { Bench::bareLoop(s.db, in, c.sel, c.extra); }));

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
