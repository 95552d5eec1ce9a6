#include "data/SensorData.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorDetails.h"
#include "data/SensorTables.h"
#include "session/Shared.h"
#include "store/DataTables.h"

namespace SessionData {

void openRecordset(Shared& s, std::unique_ptr<Recordset>& rs, const QString& sql)
{
    auto fresh = std::make_unique<Recordset>(s.db);
    fresh->open(sql);
    rs = std::move(fresh);
}

void OpenSensorData(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_OpenSensorData"), [&] {
        const QString id = SensorDetails::idOf(*s.rsSensors);
        const std::optional<bool> exists = checkTable(s.databasePath, id);
        if (!exists) {
            // Whether the table is there could not be found out (the file is locked or
            // unreadable; logged and told): it is not reported missing, nothing is
            // created, and no other sensor's readings stay open in its place.
            s.rsReadings.reset();
            return;
        }
        if (!*exists) {
            Messages::show(QStringLiteral("The data table for Sensor ") + id +
                           QStringLiteral(" could not be found\r\n") + QStringLiteral("A new table will be created"));
            AddDataTable(s);
            if (checkTable(s.databasePath, id) != true) return;
        }
        openRecordset(s, s.rsReadings, DataTables::readingsQuery(id));
        if (!s.rsReadings->bof() && !s.rsReadings->eof()) s.rsReadings->moveFirst();
    });
}

}  // namespace SessionData
