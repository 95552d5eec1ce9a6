#include "importer/ImportPasses.h"
#include "core/ErrorLog.h"
#include "data/AppendedValues.h"
#include "data/PassRecord.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <optional>
#include <vector>

namespace ImportPasses {

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
        const std::optional<Calc::SensorInputs> stored = Calc::storedInputs(s.db, id);
        if (!stored) continue;
        // Every kind with a record (the load pass always) in one read of the readings,
        // each from the inputs it was computed from.
        std::vector<Calc::KindRequest> request;
        for (Calc::PassKind kind :
             {Calc::PassKind::Load, Calc::PassKind::DispTime, Calc::PassKind::DispLength, Calc::PassKind::Shear})
            if (const std::optional<Calc::SensorInputs> in = Calc::importInputs(s.db, *stored, kind))
                request.push_back({kind, *in, kind != Calc::PassKind::Load});
        for (const Calc::PassResult& r : Calc::runPassesOf(s, request)) computed += r.rowsWritten;
    }
    return computed;
}

}  // namespace ImportPasses
