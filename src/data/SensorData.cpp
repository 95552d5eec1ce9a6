#include "app/Module1.h"
#include "app/Messages.h"
#include "app/Shared.h"
#include "maintenance/ErrorTrap.h"
#include "store/DataTables.h"

namespace Module1 {

bool TableExists(const QString& path, const QString& name)
{
    bool found = false;
    runTrapped(QStringLiteral(" Module1_TableExists"), [&] { found = DataTables::TableExists(path, name); });
    return found;
}

void openRecordset(Shared& s, std::unique_ptr<Recordset>& rs, const QString& sql)
{
    auto fresh = std::make_unique<Recordset>(s.db);
    fresh->open(sql);
    rs = std::move(fresh);
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

void GetPrefs(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_GetPrefs"), [&] {
        openRecordset(s, s.rsPrefs, QStringLiteral("SELECT Prefs.* FROM Prefs;"));
        s.rsPrefs->moveFirst();
        auto read = [&](const char* field, QString& into) {
            const QVariant v = s.rsPrefs->value(QLatin1String(field));
            if (v.isNull()) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
            into = s.rsPrefs->text(QLatin1String(field));
        };
        read("MineID", s.prefs.MineID);
        read("MaxY", s.prefs.MaxY);
        read("MinY", s.prefs.MinY);
        read("MinX", s.prefs.MinX);
        read("MaxX", s.prefs.MaxX);
    });
}

}  // namespace Module1
