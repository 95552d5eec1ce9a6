#include "data/SensorTables.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "session/Shared.h"
#include "store/DataTables.h"

namespace Module1 {

bool TableExists(const QString& path, const QString& name)
{
    bool found = false;
    runTrapped(QStringLiteral(" Module1_TableExists"), [&] { found = DataTables::TableExists(path, name); });
    return found;
}

void AddDataTable(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_AddDataTable"), [&] {
        const QString id = s.rsSensors->text(QStringLiteral("InstrumentID"));
        if (!TableExists(s.databasePath, id)) {
            DataTables::createDataTable(s.db, id);
            return;
        }
        Messages::show(QStringLiteral("Table ") + id + QStringLiteral(" Already Exists"));
        const auto answer = Messages::show(QStringLiteral("Table ") + id + QStringLiteral(" already exists\r\n") +
                                               QStringLiteral("Do you want to overwrite this table?"),
                                           QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::None,
                                           Messages::Buttons::YesNo);
        if (answer != Messages::Answer::Yes) return;
        // Replace in one unit, so a failure never leaves the sensor without a table.
        Transaction tx(s.db);
        s.db.execute(DataTables::dropStatement(id));
        DataTables::createDataTable(s.db, id);
        tx.commit();
    });
}

}  // namespace Module1
