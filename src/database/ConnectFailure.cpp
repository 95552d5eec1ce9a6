#include "database/ConnectFailure.h"
#include "store/Database.h"

#include <QDir>
#include <QFileInfo>

namespace ConnectFailure {

QString message(const Database& db, const QString& path)
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
            text +=
                QStringLiteral("\r\n\r\nCopies made by Backup Database are in\r\n") + QDir::toNativeSeparators(backups);
    }
    return text + QStringLiteral("\r\n\r\nProgram must exit");
}

}  // namespace ConnectFailure
