#pragma once
#include <QString>

// Where Tarnwell keeps its files: the documents folder + "/Orrisford/Tarnwell".
// Tests move it by giving the process a temporary HOME.
namespace Paths {
QString documentsFolder();  // trimmed; empty when the system gives none
QString makerFolder();      // documents folder + "/Orrisford"
QString dataFolder();       // maker folder + "/Tarnwell"
QString databasePath();     // data folder + "/TarnwellHALYX.mdb"
QString logFilePath();      // data folder + "/HALYX_logfile.txt"
QString backupFolder();     // data folder + "/HALYXbackup"
inline constexpr const char* DatabaseFileName = "TarnwellHALYX.mdb";
}  // namespace Paths
