#include "data/SensorTables.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/DataTables.h"

namespace SessionData {

std::optional<bool> checkTable(const QString& path, const QString& name)
{
    std::optional<bool> found;
    runTrapped(QStringLiteral(" Module1_TableExists"), [&] { found = DataTables::TableExists(path, name); });
    return found;
}

bool TableExists(const QString& path, const QString& name) { return checkTable(path, name).value_or(false); }

void AddDataTable(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_AddDataTable"), [&] {
        const QString id = SensorDetails::idOf(*s.rsSensors);
        const std::optional<bool> exists = checkTable(s.databasePath, id);
        if (!exists) return;  // could not be checked (logged): nothing is created or dropped
        if (!*exists) {
            DataTables::createDataTable(s.db, id);
            return;
        }
        Messages::show(QStringLiteral("Table ") + id + QStringLiteral(" Already Exists"));
        const auto answer =
            Messages::show(QStringLiteral("Table ") + id + QStringLiteral(" already exists\r\n") +
                               QStringLiteral("Do you want to overwrite this table?"),
                           QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::None, Messages::Buttons::YesNo);
        if (answer != Messages::Answer::Yes) return;
        // Replace in one unit, so a failure never leaves the sensor without a table.
        Transaction tx(s.db);
        s.db.execute(DataTables::dropStatement(id));
        DataTables::createDataTable(s.db, id);
        tx.commit();
    });
}

}  // namespace SessionData
