#pragma once
#include <QString>

class Database;

// The layout of the database file: the fixed tables (Sensors, Configuration,
// NetworkConfig, Prefs), the empty template of a sensor data table (sensordata) and the
// rows the set-up tool puts in the fixed tables.
namespace Schema {

// Creates every fixed table and the template (with its indexes) in an empty database,
// fills Configuration with the six sensor types and Prefs with one row. Throws TwError.
void createFixedTables(Database& db);

// The template's first fourteen columns, in the order the datasheet relies on.
inline constexpr const char* TemplateName = "sensordata";

}  // namespace Schema
