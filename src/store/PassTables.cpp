#include "store/PassTables.h"
#include "core/TwError.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace PassTables {

void indexMarks(Database& db, const QString& table)
{
    db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS ") +
               SqlDialect::quoteName(table + QStringLiteral("_IsDirty")) + QStringLiteral(" ON ") +
               SqlDialect::quoteName(table) + QStringLiteral(" (IsDirty) WHERE IsDirty <> 0"));
}

void create(Database& db)
{
    QStringList cols;
    cols << "SensorID TEXT NOT NULL"
         << "Pass TEXT NOT NULL"
         << "BaselineKey TEXT";
    for (int i = 1; i <= 10; ++i) cols << QStringLiteral("Baseline%1 TEXT").arg(i);
    cols << "SensorType TEXT"
         << "Stacked BOOLEAN"
         << "KFactor TEXT"
         << "GaugeLength TEXT"
         << "Readings INTEGER"
         << "ComputedAt TEXT"
         << "PRIMARY KEY (SensorID, Pass)";
    db.execute(QStringLiteral("CREATE TABLE PassInputs (") + cols.join(QStringLiteral(", ")) + ')');
    db.execute(
        QStringLiteral("CREATE TABLE PassPending (SensorID TEXT NOT NULL, Pass TEXT NOT NULL, "
                       "DateTimeKey TEXT NOT NULL, PRIMARY KEY (SensorID, Pass, DateTimeKey))"));
    for (const QString& t : DataTables::all(db)) indexMarks(db, t);
}

void forgetSensor(Database& db, const QString& id)
{
    if (!db.tableExists(QStringLiteral("PassInputs"))) return;
    db.execute(QStringLiteral("DELETE FROM PassInputs WHERE SensorID = ?"), {id});
    db.execute(QStringLiteral("DELETE FROM PassPending WHERE SensorID = ?"), {id});
}

}  // namespace PassTables
