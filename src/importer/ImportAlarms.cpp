#include "importer/ImportAlarms.h"
#include "alarms/AlarmEvaluation.h"
#include "core/ErrorTrap.h"

#include <QDateTime>

namespace ImportAlarms {

int newEvents(Database& db, const QString& sensorId, qint64 appended)
{
    // Nothing appended changes nothing; otherwise every new reading is evaluated in date
    // order, inside the import's transaction, so the events go in with the readings.
    // A failing evaluation is logged and does not undo the import; the next evaluation
    // (the program's start-up) takes it up again.
    if (appended <= 0) return 0;
    int count = 0;
    runTrapped(QStringLiteral(" tarnwell-import alarms ") + sensorId, [&] {
        count = int(AlarmEvaluation::evaluateSensor(db, sensorId, QDateTime::currentDateTime()).newEvents.size());
    });
    return count;
}

}  // namespace ImportAlarms
