#include "importer/ImportAlarms.h"

namespace ImportAlarms {

int newEvents(Database& db, const QString& sensorId, qint64 appended)
{
    Q_UNUSED(db);
    Q_UNUSED(sensorId);
    Q_UNUSED(appended);
    return 0;
}

}  // namespace ImportAlarms
