// The calculation passes over 100,000 readings, each beside a baseline measured in the
// same run: one transaction that reads the same rows with a forward-only query and writes
// the same columns with one prepared UPDATE per row (through Qt SQL, and for reference
// through SQLite's own interface). Wall-clock and CPU times are printed: the machine may
// be shared, and CPU time shows the work itself.
#include "support/BenchSupport.h"
#include "calc/Formulas.h"
#include "core/Paths.h"
#include "data/GraphData.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

enum class Extra { None, Disp, Shear };

// The floor: read Channel1..10 and ChannelT of the selection in date order, compute the
// same values, write them with one prepared statement. Returns the rows written.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

qint64 baseline(Database& db, const Calc::SensorInputs& in, Calc::GraphSelection sel, Extra extra,
                bool engineApi = false)
{
    const int nLoad = Calc::loadColumnCount(in.sensorType, in.stacked);
    const int nExtra = extra == Extra::Disp ? Calc::dispColumnCount(in.sensorType, in.stacked)
                     : extra == Extra::Shear ? Calc::shearColumnCount(in.sensorType, in.stacked) : 0;
    QStringList sets;
    for (int i = 1; i <= 10; ++i) sets << QStringLiteral("zero%1 = ?").arg(i);
    sets << QStringLiteral("NumTemp = ?");
    for (int i = 1; i <= nLoad; ++i) sets << QStringLiteral("Load%1 = ?").arg(i);
    for (int i = 1; i <= nExtra; ++i)
        sets << (extra == Extra::Disp ? QStringLiteral("Disp%1 = ?") : QStringLiteral("Stretch%1 = ?")).arg(i);

    const QString select = Calc::graphQuery(in.id, sel);
    const QString where = select.mid(select.indexOf(QStringLiteral(" WHERE ")));
    Transaction tx(db);
    QSqlQuery read(db.handle());
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT rowid, Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, Channel7, "
                                  "Channel8, Channel9, Channel10, ChannelT FROM `%1`").arg(in.id) + where))
        qFatal("baseline read: %s", qPrintable(read.lastError().text()));
    const QString update = QStringLiteral("UPDATE `%1` SET %2 WHERE rowid = ?").arg(in.id, sets.join(','));
    QSqlQuery write(db.handle());
    if (!write.prepare(update)) qFatal("baseline write: %s", qPrintable(write.lastError().text()));
    sqlite3_stmt* raw = engineApi ? db.cachedStatement(update) : nullptr;
    QVariant values[32];
    Calc::ChannelValues offsets{};
    bool first = true;
    qint64 rows = 0;
    while (read.next()) {
        Calc::ChannelValues z{};
        for (int i = 1; i <= 10; ++i) {
            const double v = read.value(i).toString().toDouble();
            if (first) offsets[size_t(i)] = v;
            z[size_t(i)] = v - offsets[size_t(i)];
        }
        first = false;
        int b = 0;
        for (int i = 1; i <= 10; ++i) values[b++] = z[size_t(i)];
        values[b++] = read.value(11).toString().toDouble();
        const Calc::Columns loads = Calc::loads(in.sensorType, in.stacked, z, in.kFactorText);
        for (int i = 1; i <= loads.count; ++i) values[b++] = loads[i];
        Calc::Columns more;
        if (extra == Extra::Disp)
            more = Calc::displacements(in.sensorType, in.stacked, loads, in.kFactorText, in.gaugeLengthText);
        else if (extra == Extra::Shear)
            more = Calc::shears(in.sensorType, in.stacked, z);
        for (int i = 1; i <= more.count; ++i) values[b++] = more[i];
        values[b++] = read.value(0);
        if (raw) {
            execStatement(raw, values, b);
        } else {
            for (int i = 0; i < b; ++i) write.bindValue(i, values[i]);
            if (!write.exec()) qFatal("baseline update: %s", qPrintable(write.lastError().text()));
        }
        ++rows;
    }
    tx.commit();
    return rows;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Bench::Home home;
    const int count = 100000;
    const QString stackedId = QStringLiteral("200175001");
    const QString staggeredId = QStringLiteral("200175002");
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, stackedId, count, true);
        Bench::fillSensor(db, staggeredId, count, false);
        // Every reading in every selection, so each pass covers all of them.
        for (const QString& id : {stackedId, staggeredId})
            db.execute(QStringLiteral("UPDATE `%1` SET PlotSpatial = 1").arg(id));
    }
    Shared s;
    s.databasePath = Paths::databasePath();
    s.db.open(s.databasePath);
    const Calc::SensorInputs stacked{stackedId, QStringLiteral("75"), true, QStringLiteral("100"), QStringLiteral("0.5"), {}};
    const Calc::SensorInputs staggered{staggeredId, QStringLiteral("75"), false, QStringLiteral("100"),
                                       QStringLiteral("0.5"), {}};

    struct Case {
        const char* name;
        std::function<Calc::PassResult(Shared&, const Calc::SensorInputs&)> pass;
        const Calc::SensorInputs* in;
        Calc::GraphSelection sel;
        Extra extra;
    };
    const Case cases[] = {
        {"GetTemporalData (stacked 75)", Calc::GetTemporalData, &stacked, Calc::GraphSelection::Plottable, Extra::None},
        {"GetSpatialData (staggered 75)", Calc::GetSpatialData, &staggered, Calc::GraphSelection::Plottable, Extra::None},
        {"GetDispData (stacked 75)", Calc::GetDispData, &stacked, Calc::GraphSelection::Temporal, Extra::Disp},
        {"GetSDispData (staggered 75)", Calc::GetSDispData, &staggered, Calc::GraphSelection::Spatial, Extra::Disp},
        {"GetShearData (staggered 75)", Calc::GetShearData, &staggered, Calc::GraphSelection::Spatial, Extra::Shear},
    };
    std::printf("Calculation passes, %d readings each\n", count);
    for (const Case& c : cases) {
        // Once untimed, so that both runs below find the columns already filled and
        // rewrite rows of the same size.
        baseline(s.db, *c.in, c.sel, c.extra);
        QElapsedTimer t;
        t.start();
        double c0 = cpuMs();
        const qint64 base = baseline(s.db, *c.in, c.sel, c.extra);
        const double baseMs = t.nsecsElapsed() / 1e6, baseCpu = cpuMs() - c0;
        t.restart();
        c0 = cpuMs();
        const qint64 floor = baseline(s.db, *c.in, c.sel, c.extra, true);
        const double floorMs = t.nsecsElapsed() / 1e6, floorCpu = cpuMs() - c0;
        t.restart();
        c0 = cpuMs();
        const Calc::PassResult r = c.pass(s, *c.in);
        const double passMs = t.nsecsElapsed() / 1e6, passCpu = cpuMs() - c0;
        const QString name = QString::fromLatin1(c.name);
        Bench::report(name + ": pass, wall", passMs, "ms", "<= 1000 ms");
        Bench::report(name + ": pass, CPU", passCpu, "ms");
        Bench::report(name + ": baseline (Qt SQL), wall", baseMs, "ms");
        Bench::report(name + ": baseline (Qt SQL), CPU", baseCpu, "ms");
        Bench::report(name + ": baseline (SQLite API), wall", floorMs, "ms");
        Bench::report(name + ": baseline (SQLite API), CPU", floorCpu, "ms");
        Bench::report(name + ": pass / baseline (Qt SQL), wall", passMs / baseMs, "x", "<= 3 x");
        Bench::report(name + ": pass / baseline (SQLite API), wall", passMs / floorMs, "x");
        if (floor != count) std::printf("CHECK FAILED: engine baseline rows=%lld\n", floor);
        if (!r.completed || r.rowsWritten != count || base != count)
            std::printf("CHECK FAILED: completed=%d rows=%lld baseline rows=%lld\n", int(r.completed),
                        r.rowsWritten, base);
    }
    return 0;
}
