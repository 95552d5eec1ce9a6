#include "data/AlarmPlans.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace AlarmPlans {

namespace {

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

QString levelText(const QString& mineLevel)
{
    return mineLevel.startsWith(QLatin1String("level"), Qt::CaseInsensitive) ? mineLevel
                                                                             : QStringLiteral("level ") + mineLevel;
}

QString Group::text() const
{
    if (all()) return QStringLiteral("all sensors");
    QStringList parts;
    if (!mineLevel.isEmpty()) parts << levelText(mineLevel);
    if (!location.isEmpty()) parts << location;
    return parts.join(QStringLiteral(", "));
}

std::vector<Plan> plans(Database& db)
{
    std::vector<Plan> out;
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT Level, MineLevel, Location, Actions, Contacts FROM AlarmResponsePlans "
                                    "ORDER BY PlanID"));
    while (q.next())
        out.push_back({q.value(0).toString(),
                       {q.value(1).toString(), q.value(2).toString()},
                       q.value(3).toString(),
                       q.value(4).toString()});
    return out;
}

void savePlans(Database& db, const std::vector<Plan>& list)
{
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM AlarmResponsePlans"));
    for (const Plan& p : list)
        db.execute(QStringLiteral("INSERT INTO AlarmResponsePlans (Level, MineLevel, Location, Actions, Contacts) "
                                  "VALUES (?,?,?,?,?)"),
                   {p.level, p.group.mineLevel.trimmed(), p.group.location.trimmed(), p.actions, p.contacts});
    tx.commit();
}

Group groupOf(Database& db, const QString& sensorId)
{
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT Level, Location FROM Sensors WHERE InstrumentID = ?"), {sensorId});
    if (!q.next()) return {};
    return {q.value(0).toString().trimmed(), q.value(1).toString().trimmed()};
}

bool matches(const Group& filter, const Group& sensor)
{
    return (filter.mineLevel.isEmpty() || same(filter.mineLevel, sensor.mineLevel)) &&
           (filter.location.isEmpty() || same(filter.location, sensor.location));
}

std::optional<Plan> planFor(Database& db, const QString& sensorId, const QString& level)
{
    return planFor(plans(db), groupOf(db, sensorId), level);
}

std::optional<Plan> planFor(const std::vector<Plan>& list, const Group& g, const QString& level)
{
    std::optional<Plan> best;
    int bestScore = -1;
    for (const Plan& p : list) {
        if (p.level != level || !matches(p.group, g)) continue;
        const int score = (p.group.mineLevel.isEmpty() ? 0 : 1) + (p.group.location.isEmpty() ? 0 : 1);
        if (score > bestScore) {
            best = p;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace AlarmPlans
