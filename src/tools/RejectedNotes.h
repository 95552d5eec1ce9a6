#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>

class Database;

// The "Rejected" column of the datasheet's spreadsheet export: for each reading with a
// rejected value, which values are rejected (the whole reading, a gauge, the temperature),
// why, by whom and when. Widget-free.
namespace RejectedNotes {

// The column's heading.
inline const QString Heading = QStringLiteral("Rejected");

// Reading key -> its note, e.g. "gauge 2: loose connector (kim, 2026-12-08 07:01:00)",
// several marks of one reading joined by "; ". Only readings with a mark are in the map.
// One query per sensor. Throws TwError when the marks cannot be read.
QHash<QByteArray, QByteArray> forSensor(Database& db, const QString& sensorId);

}  // namespace RejectedNotes
