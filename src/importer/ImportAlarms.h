#pragma once
#include <QString>

class Database;

// The alarm events the readings just imported for a sensor have raised, for the import's
// summary line: the sensor is evaluated after the append (src/alarms/AlarmEvaluation.h).
namespace ImportAlarms {

int newEvents(Database& db, const QString& sensorId, qint64 appended);

}  // namespace ImportAlarms
