// Working beside other users: the sensor list read again when someone else added or
// deleted sensors (at a move, at a tab change and on F5), and a save refused because the
// sensor changed or went meanwhile.
#include "core/AppInfo.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "store/RowVersions.h"

#include <QComboBox>
#include <QLineEdit>

namespace {
QString sensorGoneMessage(const QString& id)
{
    return QStringLiteral("Sensor ") + id + QStringLiteral(" was deleted by another user.");
}
}  // namespace

void SensorRegistry::showListAfterReread(const QString& shown)
{
    Recordset& rs = *m_s.rsSensors;
    rebuildSensorList();  // leaves the first sensor current
    txtSCount->setText(QString::number(rs.recordCount()));
    if (rs.recordCount() == 0) {
        clearRecordBoxes();
        cboSensors->setEditText(QString());
        fillfields();
        return;
    }
    if (shown.isEmpty() || !moveToSensor(shown)) rs.moveFirst();
    fillfields();
    cboSensors->setEditText(rs.text(QStringLiteral("InstrumentID")));
}

bool SensorRegistry::rereadSensorsIfChanged(bool force)
{
    Recordset* rs = m_s.rsSensors.get();
    if (!rs || !rs->isOpen()) return true;
    if (!force && !rs->othersMayHaveChanged()) return true;
    QString shown;
    try {
        shown = rs->hasCurrentRow() ? rs->text(QStringLiteral("InstrumentID")) : QString();
    } catch (const TwError& e) {
        // Its row is gone already: the number is still in the sensor box.
        if (e.number != ErrNo::RecordDeleted) throw;
        shown = cboSensors->currentText();
    }
    rs->requery();
    const bool kept = shown.isEmpty() || moveToSensor(shown);
    showListAfterReread(kept ? shown : QString());
    if (!kept) {
        // Still registered: a change by another user took it out of the filtered list.
        const bool exists =
            m_s.db.scalar(QStringLiteral("SELECT count(*) FROM Sensors WHERE InstrumentID = ?"), {shown}).toInt() > 0;
        Messages::show(exists ? QStringLiteral("Sensor ") + shown +
                                    QStringLiteral(" was changed by another user: the filter on the Utilities page "
                                                   "now leaves it out.")
                              : sensorGoneMessage(shown),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
        return false;
    }
    return true;
}

bool SensorRegistry::tellConflict(const TwError& e)
{
    if (e.number != ErrNo::ChangedByOther && e.number != ErrNo::RecordDeleted) return false;
    Recordset* rs = m_s.rsSensors.get();
    if (!rs || !rs->isOpen()) return false;
    WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_savefields")));
    if (e.number == ErrNo::ChangedByOther) {
        const Recordset::Conflict& c = rs->conflict();
        Messages::show(RowVersions::changedMessage(QStringLiteral("sensor"), c.by, c.at), AppInfo::MessageTitle,
                       Messages::Icon::Exclamation);
        rs->rereadCurrent();
        fillfields();
        return true;
    }
    Messages::show(RowVersions::deletedMessage(QStringLiteral("sensor")), AppInfo::MessageTitle,
                   Messages::Icon::Exclamation);
    ignoringErrors([&] {
        rs->cancelUpdate();
        rs->requery();
        showListAfterReread(QString());
    });
    return true;
}

void SensorRegistry::refreshSensors()
{
    runTrapped(QStringLiteral(" G_refreshSensors"), [&] {
        Recordset* rs = m_s.rsSensors.get();
        if (!rs || !rs->isOpen()) return;
        if (!savefields(SaveThen::MoveAway)) return;
        if (!rereadSensorsIfChanged(true)) return;
        rs->rereadCurrent();
        fillfields();
    });
}
