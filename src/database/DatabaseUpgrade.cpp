#include "database/DatabaseUpgrade.h"
#include "core/ErrorLog.h"
#include "database/DatabaseFiles.h"
#include "store/Database.h"
#include "store/Migrations.h"

#include <QDateTime>

namespace DatabaseUpgrade {

bool upgradeOpenDatabase(Database& db, const QString& dataFolder, QString* refusal)
{
    // On the file a copy is kept before the upgrade; a server's upgrade is one transaction
    // of the server, which leaves the database as it was when any step fails.
    Migrations::BackupFn backup;
    if (!db.isServer())
        backup = [&] {
            return DatabaseFiles::backupAs(db.sqliteHandle(), dataFolder + QStringLiteral("/HALYXbackup"),
                                           DatabaseFiles::upgradeBackupFileName(QDateTime::currentDateTime()));
        };
    const Migrations::Result r = Migrations::upgrade(db, backup);
    const QString line = Migrations::logLine(r);
    if (!line.isEmpty()) WriteLog(line);
    if (r.outcome == Migrations::Outcome::Newer || r.outcome == Migrations::Outcome::Failed) {
        if (refusal) *refusal = Migrations::refusalMessage(r, db.path());
        return false;
    }
    return true;
}

}  // namespace DatabaseUpgrade
