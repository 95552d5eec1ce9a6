#include "support/BarePass.h"
#include "calc/Formulas.h"
#include "data/PassEngine.h"
#include "store/Database.h"

#include <sqlite3.h>

#include <QStringList>
#include <cstdlib>

namespace Bench {

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

}  // namespace Bench
