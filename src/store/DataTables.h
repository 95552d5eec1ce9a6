#pragma once
#include <QString>
#include <QStringList>

class Database;

// The per-sensor data tables: one table per sensor, named by its nine-digit number and
// built as a copy of the template "sensordata".
namespace DataTables {

// Whether a table of exactly this name exists in the database file at path (its own
// short-lived connection). Names are compared exactly (case and blanks count); tables
// whose names begin with "MSys" are never reported. Throws TwError when the file cannot
// be read.
bool TableExists(const QString& path, const QString& name);

// Every table shaped like a sensor's data table: each one with a reading key, a date and
// the mark column (the template included). Throws TwError when the list cannot be read.
QStringList all(Database& db);

// Indexes the readings of a data table marked for the length charts by date (the index
// holds those readings alone), so that their selection, a small part of a large table, is
// read without going through every reading.
void indexSpatialReadings(Database& db, const QString& table);

// Creates the data table id with the template's whole definition (columns, types, keys,
// indexes) and no rows. Throws TwError (for instance when it exists already).
void createDataTable(Database& db, const QString& id);

// Drops the data table id and its indexes. Throws TwError when it does not exist.
void dropDataTable(Database& db, const QString& id);

// The program's SQL texts for a sensor's readings.
QString readingsQuery(const QString& id);    // all readings in date order
QString createStatement(const QString& id);  // the established copy-the-template text
QString dropStatement(const QString& id);
QString deleteAllStatement(const QString& id);

}  // namespace DataTables
