#include "importer/ImportPasses.h"
#include "core/ErrorLog.h"
#include "data/PassRecord.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <optional>
#include <vector>

namespace ImportPasses {

namespace {
// The sensor's inputs as stored with it (what its pages show).
std::optional<Calc::SensorInputs> storedInputs(Database& db, const QString& id)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT SensorType, Stacked, boltkfactor, lengthofgauge FROM Sensors "
                                  "WHERE InstrumentID = ?")))
        return std::nullopt;
    q.addBindValue(id);
    if (!q.exec() || !q.next()) return std::nullopt;
    Calc::SensorInputs in;
    in.id = id;
    in.sensorType = q.value(0).toString();
    in.stacked = q.value(1).isNull() || q.value(1).toInt() != 0;
    in.kFactorText = q.value(2).isNull() ? QString() : q.value(2).toString();
    in.gaugeLengthText = q.value(3).isNull() ? QString() : q.value(3).toString();
    return in;
}
}  // namespace

qint64 computeAppended(const QString& target, const QString& password, const QStringList& sensors)
{
    if (sensors.isEmpty()) return 0;
    Shared s;
    s.databasePath = target;
    if (!s.db.open(target, password)) {
        WriteLog(QStringLiteral("tarnwell-import: the imported readings were not computed: ") +
                 Database::describe(s.db.openFailure()));
        return 0;
    }
    qint64 computed = 0;
    for (const QString& id : sensors) {
        const std::optional<Calc::SensorInputs> stored = storedInputs(s.db, id);
        if (!stored) continue;
        // Every kind with a record (the load pass always) in one read of the readings,
        // each from the inputs it was computed from.
        std::vector<Calc::KindRequest> request;
        for (Calc::PassKind kind :
             {Calc::PassKind::Load, Calc::PassKind::DispTime, Calc::PassKind::DispLength, Calc::PassKind::Shear}) {
            std::optional<Calc::PassBasis> was;
            try {
                was = Calc::PassRecord(s.db, id).recorded(kind);
            } catch (const TwError&) {}
            if (!was && kind != Calc::PassKind::Load) continue;
            Calc::SensorInputs in = *stored;
            if (was) {
                in.sensorType = was->sensorType;
                in.stacked = was->stacked;
                in.kFactorText = was->kFactor;
                in.gaugeLengthText = was->gaugeLength;
            }
            request.push_back({kind, in, kind != Calc::PassKind::Load});
        }
        for (const Calc::PassResult& r : Calc::runPassesOf(s, request)) computed += r.rowsWritten;
    }
    return computed;
}

}  // namespace ImportPasses
