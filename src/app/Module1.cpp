#include "app/Module1.h"
#include "app/Messages.h"
#include "app/Shared.h"
#include "maintenance/ErrorTrap.h"
#include "store/DataTables.h"

#include <QDir>
#include <QFileInfo>

namespace Module1 {

std::optional<bool> checkTable(const QString& path, const QString& name)
{
    std::optional<bool> found;
    runTrapped(QStringLiteral(" Module1_TableExists"), [&] { found = DataTables::TableExists(path, name); });
    return found;
}

bool TableExists(const QString& path, const QString& name) { return checkTable(path, name).value_or(false); }

QString connectFailureMessage(const Database& db, const QString& path)
{
    QString why = Database::describe(db.openFailure());
    if (why.isEmpty()) why = Database::describe(Database::OpenFailure::Other);
    why[0] = why[0].toUpper();
    if (!db.openFailureDetail().isEmpty()) why += QStringLiteral(" (") + db.openFailureDetail() + u')';
    QString text = QStringLiteral("ERROR: could not connect to database\r\n\r\n") + why +
                   QStringLiteral(".\r\nTarnwell looked for it here:\r\n") + QDir::toNativeSeparators(path);
    if (db.openFailure() == Database::OpenFailure::Damaged || db.openFailure() == Database::OpenFailure::NotADatabase) {
        const QString backups = QFileInfo(path).absolutePath() + QStringLiteral("/HALYXbackup");
        if (QFileInfo(backups).isDir())
            text += QStringLiteral("\r\n\r\nCopies made by Backup Database are in\r\n") + QDir::toNativeSeparators(backups);
    }
    return text + QStringLiteral("\r\n\r\nProgram must exit");
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
        const std::optional<bool> exists = checkTable(s.databasePath, id);
        if (!exists) return;   // could not be checked (logged): nothing is created or dropped
        if (!*exists) {
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
        const std::optional<bool> exists = checkTable(s.databasePath, id);
        if (!exists) {
            // Whether the table is there could not be found out (the file is locked or
            // unreadable; logged and told): it is not reported missing, nothing is
            // created, and no other sensor's readings stay open in its place.
            s.rsReadings.reset();
            return;
        }
        if (!*exists) {
            Messages::show(QStringLiteral("The data table for Sensor ") + id + QStringLiteral(" could not be found\r\n") +
                           QStringLiteral("A new table will be created"));
            AddDataTable(s);
            if (checkTable(s.databasePath, id) != true) return;
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
