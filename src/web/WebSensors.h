#pragma once
#include "data/SensorDetails.h"

#include <QString>
#include <optional>
#include <vector>

class Database;
namespace Calc {
struct SensorInputs;
}

// The sensors as the web view finds them: their records and their type's set-up. A sensor
// named in a request is looked up among those that exist, never used as it came.
namespace WebSensors {

// Every sensor's record, in InstrumentID order.
std::vector<SensorDetails> all(Database& db);
// The record of the sensor of that exact id; none when there is no such sensor, or when
// its id cannot name its data table (a grave accent: the program's SQL quotes table names
// with it).
std::optional<SensorDetails> find(Database& db, const QString& id);

// What a sensor's type says about its charts (the Configuration table).
struct TypeSetup {
    int channels = 0;  // NumChannels
    int nodes = 0;     // NumNodes
    QString loadAxisTitle;
};
TypeSetup typeSetup(Database& db, const QString& sensorType);

// The inputs of a calculation pass as the sensor's record holds them (the desktop takes
// them from the sensor pages' boxes, which show the record).
Calc::SensorInputs passInputs(const SensorDetails& s);

// The gauges a time chart shows lines for (1 to this), as the desktop's chart does.
int timeGauges(const SensorDetails& s, const TypeSetup& type, bool displacement);

// A table's or column's name quoted as the program's SQL quotes it ("BOLT 01" -> "`BOLT 01`").
QString quotedName(const QString& id);

}  // namespace WebSensors
