#include "maintenance/DatabaseUpgrade.h"
#include "core/ErrorLog.h"
#include "maintenance/DatabaseFiles.h"
#include "store/Database.h"
#include "store/Migrations.h"

#include <QDateTime>

namespace DatabaseUpgrade {

bool upgradeOpenDatabase(Database& db, const QString& dataFolder, QString* refusal)
{
    const Migrations::Result r = Migrations::upgrade(db, [&] {
        return DatabaseFiles::backupAs(db.sqliteHandle(), dataFolder + QStringLiteral("/HALYXbackup"),
                                       DatabaseFiles::upgradeBackupFileName(QDateTime::currentDateTime()));
    });
    const QString line = Migrations::logLine(r);
    if (!line.isEmpty()) WriteLog(line);
    if (r.outcome == Migrations::Outcome::Newer || r.outcome == Migrations::Outcome::Failed) {
        if (refusal) *refusal = Migrations::refusalMessage(r, db.path());
        return false;
    }
    return true;
}

}  // namespace DatabaseUpgrade
