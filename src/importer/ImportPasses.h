#pragma once
#include <QString>
#include <QStringList>

// After an import: the calculation passes compute the readings it appended, so a database
// filled by an unattended import holds every computed column the program would store.
namespace ImportPasses {

// For each sensor: every pass the program has run for it, with the inputs it last ran
// with (so only the new readings are computed), and the load pass with the sensor's
// stored type, layout and k factor when it never ran. Opens a connection of its own to the
// database (target, password). Failures are logged by the passes. Returns the readings
// computed.
qint64 computeAppended(const QString& target, const QString& password, const QStringList& sensors);

}  // namespace ImportPasses
