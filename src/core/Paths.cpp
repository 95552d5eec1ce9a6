#include "core/Paths.h"
#include <QStandardPaths>

namespace Paths {
QString documentsFolder() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).trimmed(); }
QString makerFolder() { return documentsFolder() + QStringLiteral("/Orrisford"); }
QString dataFolder() { return makerFolder() + QStringLiteral("/Tarnwell"); }
QString databasePath() { return dataFolder() + '/' + QLatin1String(DatabaseFileName); }
QString logFilePath() { return dataFolder() + QStringLiteral("/HALYX_logfile.txt"); }
QString backupFolder() { return dataFolder() + QStringLiteral("/HALYXbackup"); }
}  // namespace Paths
