#pragma once
#include "data/AlarmStore.h"

#include <QString>
#include <QStringList>
#include <vector>

class Database;

// The alarm levels of many sensors in a CSV file, one row per sensor, quantity and
// direction: "Sensor,Quantity,Direction,Alert,Action,Margin %,Rate window days,Stale days"
// (Quantity Load, Disp or Rate; Direction upper or lower, "either" for Rate; a sensor with
// only the stale check has one row of Quantity Stale). The margin, the rate window and the
// stale days belong to the sensor and are given on each of its rows alike.
namespace AlarmLevelsCsv {

QString exportText(Database& db);

// What an import would do: the rows refused (with their line and why; a sensor with a
// refused row is left as it is) and the sensors whose levels change.
struct Preview {
    QStringList refused;
    std::vector<std::pair<QString, AlarmStore::Levels>> changes;
    QStringList changeLines;  // "240375101: Load above: Alert 8 t, Action 12 t; ..."
    QString text() const;     // both, for the question before the import
};
Preview preview(Database& db, const QString& csv);

// Stores the changes in one transaction. Returns the sensors changed.
int apply(Database& db, const Preview& p);

}  // namespace AlarmLevelsCsv
