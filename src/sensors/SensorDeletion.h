#pragma once
#include <QDate>
#include <QString>

class Database;

// What deleting a sensor takes with it, and the question that tells the user so before
// anything is deleted.
namespace SensorDeletion {

struct WhatGoes {
    qint64 readings = 0;  // rows of its data table (none when the table is missing)
    QDate first;          // the days of its first and last reading (invalid without readings)
    QDate last;
    bool alarmLevels = false;  // alarm levels are set for it (they are deleted with it)
    qint64 alarmEvents = 0;    // alarm events recorded for it (they stay in the alarm history)
};

// Reads what goes with sensor id. Throws TwError on a database failure.
WhatGoes survey(Database& db, const QString& id);

// "Permanently delete Sensor <id> from database?" followed by what goes with it and what
// stays; dates in the locale's short date format.
QString question(const QString& id, const WhatGoes& what);

}  // namespace SensorDeletion
