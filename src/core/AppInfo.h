#pragma once
#include <QString>

// The application's title (shown on message boxes given no title of their own) and the
// titles and version used across the program.
namespace AppInfo {
inline const QString Title = QStringLiteral("Tarnwell");
inline const QString MainWindowTitle = QStringLiteral("Tarnwell HALYX");
inline const QString MessageTitle = QStringLiteral("Orrisford's Tarnwell");
constexpr int VersionMajor = TARNWELL_VERSION_MAJOR;
constexpr int VersionMinor = TARNWELL_VERSION_MINOR;
constexpr int VersionRevision = TARNWELL_VERSION_PATCH;
inline QString versionText()
{
    return QStringLiteral("Version %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision);
}
}  // namespace AppInfo
