#pragma once
#include <QString>

class Database;

// The database's record of what the calculation passes last computed, per sensor, so that
// a pass over unchanged inputs only computes the readings marked since (ReadingMarks.h).
//
//   PassInputs   one row per sensor and pass: what the stored computed columns of the
//                pass's readings were computed from (the baseline reading's key and
//                channel texts, the sensor type, the layout, the k factor and gauge length
//                texts as used) and when. A row exists only while every reading of the
//                pass's selection holds exactly what a full pass over those inputs would
//                store, apart from the readings marked since.
//   PassPending  readings (by key) that changed after a pass other than this one cleared
//                their mark, and that this pass has still to compute.
//
// Every data table (and the template) carries a partial index of its marked readings, so
// that finding them costs nothing when there are none.
namespace PassTables {

// The schema step that adds the two tables and the index (applied once, by Migrations).
void create(Database& db);

// Creates the index of marked readings on one data table (or the template) when missing.
void indexMarks(Database& db, const QString& table);

// Drops what is recorded for a sensor (its data table was created, dropped or emptied).
// Does nothing on a database that has no such tables.
void forgetSensor(Database& db, const QString& id);

}  // namespace PassTables
