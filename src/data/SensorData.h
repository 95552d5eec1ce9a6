#pragma once
#include <QString>
#include <memory>

struct Shared;
class Recordset;

// A sensor's readings on the session, each routine under its error trap
// (" Module1_<name>"). The namespace keeps the routines' module name; the data-table and
// preference routines of the same module are in SensorTables.h and Preferences.h.
namespace SessionData {

// Opens the readings recordset on the current sensor's data table in date order. A
// missing table is created after telling the user, and the readings then show that new,
// empty table (never the previous sensor's readings).
void OpenSensorData(Shared& s);

// Opens one of the long-lived recordsets on the shared connection.
void openRecordset(Shared& s, std::unique_ptr<Recordset>& rs, const QString& sql);

}  // namespace SessionData
