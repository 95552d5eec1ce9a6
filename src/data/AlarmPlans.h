#pragma once
#include <QString>
#include <optional>
#include <vector>

class Database;

// The response plans (Trigger Action Response Plan) of the alarm levels: per level and for
// every sensor or a group of them, what to do and who is called. Shown in the Alarms
// window, the notifications and the report. Failures throw TwError.
namespace AlarmPlans {

// A group of sensors: by the sensor's mine level and location (empty: any). Compared
// without case.
struct Group {
    QString mineLevel;
    QString location;
    bool all() const { return mineLevel.isEmpty() && location.isEmpty(); }
    QString text() const;  // "all sensors", "level 12", "level 12, Stope 4"
};

// What to do at a level ("Alert", "Action", "Stale") for a group: the response plan.
struct Plan {
    QString level;
    Group group;
    QString actions;   // what to do
    QString contacts;  // who is called
};
std::vector<Plan> plans(Database& db);
void savePlans(Database& db, const std::vector<Plan>& list);

// A mine level as shown: "level 12" for "12", "Level 12" as it is.
QString levelText(const QString& mineLevel);

// The group a sensor belongs to (its mine level and location).
Group groupOf(Database& db, const QString& sensorId);
bool matches(const Group& filter, const Group& sensor);

// The plan for a sensor at a level: the one of a group it belongs to (mine level and
// location both set before one of them) before the one for all sensors.
std::optional<Plan> planFor(Database& db, const QString& sensorId, const QString& level);
// The same from the plans and the sensor's group already read.
std::optional<Plan> planFor(const std::vector<Plan>& list, const Group& sensor, const QString& level);

}  // namespace AlarmPlans
