#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

class Database;
struct SensorDetails;

// The answer of /api/sensors/{id}/profile: the length charts' lines (Load, Displacement and
// Shear v Length) of a sensor.
namespace WebProfiles {

// kind: "load", "disp" or "shear"; date: the reading to draw (a chart key; the latest
// reading at or before it), none: the readings the desktop's length chart draws.
QByteArray json(Database& db, const SensorDetails& sensor, const QString& kind, std::optional<double> date);

}  // namespace WebProfiles
