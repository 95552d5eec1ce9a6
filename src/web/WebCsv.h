#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

class Database;
struct SensorDetails;

// A sensor's readings of a period as CSV: one row per reading in date order, with its
// date, raw channels, loads, displacements and temperature.
namespace WebCsv {

// from, to: chart keys (seconds), none: open-ended.
QByteArray readings(Database& db, const SensorDetails& sensor, std::optional<double> from, std::optional<double> to);

// The Content-Disposition header of the file ("attachment; filename=...").
QString attachmentHeader(const QString& sensorId);

}  // namespace WebCsv
