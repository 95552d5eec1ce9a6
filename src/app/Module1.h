#pragma once
#include <QString>
#include <memory>
#include <optional>

struct Shared;
class Database;
class Recordset;

// The shared data-table and preference routines, each under its error trap
// (" Module1_<name>").
namespace Module1 {

// Whether the database at path holds a table of exactly this name; false when the check fails.
bool TableExists(const QString& path, const QString& name);
// The same, telling a failed check (logged, nullopt) apart from a missing table (false).
std::optional<bool> checkTable(const QString& path, const QString& name);

// Creates the current sensor's data table; asks before overwriting an existing one.
void AddDataTable(Shared& s);

// Opens the readings recordset on the current sensor's data table in date order. A
// missing table is created after telling the user, and the readings then show that new,
// empty table (never the previous sensor's readings).
void OpenSensorData(Shared& s);

// Reads MineID, MaxY, MinY, MinX and MaxX from Prefs. An empty table or a null field
// leaves the values not yet read as they were.
void GetPrefs(Shared& s);

// The "could not connect" message for a database that did not open: why, and where
// Tarnwell looked.
QString connectFailureMessage(const Database& db, const QString& path);

// Opens one of the long-lived recordsets on the shared connection.
void openRecordset(Shared& s, std::unique_ptr<Recordset>& rs, const QString& sql);

}  // namespace Module1
