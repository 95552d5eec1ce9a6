#pragma once
#include <QString>
#include <optional>

struct Shared;

// The sensors' data tables, each routine under its error trap (" Module1_<name>").
namespace SessionData {

// Whether the database at path holds a table of exactly this name; false when the check fails.
bool TableExists(const QString& path, const QString& name);
// The same, telling a failed check (logged, nullopt) apart from a missing table (false).
std::optional<bool> checkTable(const QString& path, const QString& name);

// Creates the current sensor's data table; asks before overwriting an existing one.
void AddDataTable(Shared& s);

}  // namespace SessionData
