#include "tools/ImportChecks.h"

namespace ImportChecks {

QString problem(const LoggerReadings::Target& target, const LoggerReadings::Built& reading)
{
    // The checks of the readings' values against the sensor type's limits plug in here.
    Q_UNUSED(target);
    Q_UNUSED(reading);
    return QString();
}

}  // namespace ImportChecks
