#include "data/SensorData.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorTables.h"
#include "session/Shared.h"
#include "store/DataTables.h"

namespace Module1 {

void openRecordset(Shared& s, std::unique_ptr<Recordset>& rs, const QString& sql)
{
    auto fresh = std::make_unique<Recordset>(s.db);
    fresh->open(sql);
    rs = std::move(fresh);
}

void OpenSensorData(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_OpenSensorData"), [&] {
        const QString id = s.rsSensors->text(QStringLiteral("InstrumentID"));
        if (!TableExists(s.databasePath, id)) {
            Messages::show(QStringLiteral("The data table for Sensor ") + id + QStringLiteral(" could not be found\r\n") +
                           QStringLiteral("A new table will be created"));
            AddDataTable(s);
            if (!TableExists(s.databasePath, id)) return;
        }
        openRecordset(s, s.rsReadings, DataTables::readingsQuery(id));
        if (!s.rsReadings->bof() && !s.rsReadings->eof()) s.rsReadings->moveFirst();
    });
}

}  // namespace Module1
