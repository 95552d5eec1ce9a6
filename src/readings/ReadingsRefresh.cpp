// Working beside other users: the reading list read again when someone else changed the
// sensor's readings (at a move and on F5), and a save refused because the reading changed
// or went meanwhile.
#include "readings/ReadingsController.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "readings/ReadingFormats.h"
#include "session/Shared.h"
#include "store/RowVersions.h"
#include "widgets/PageHost.h"

#include <QLineEdit>
#include <algorithm>

namespace {
QString sensorGoneMessage(const QString& id)
{
    return QStringLiteral("Sensor ") + id +
           QStringLiteral(" was deleted by another user: its readings are no longer in the database.");
}
}  // namespace

bool ReadingsController::rereadIfChanged(bool force)
{
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return true;
    if (!force && !rs->othersMayHaveChanged()) return true;
    const qint64 shown = rs->hasCurrentRow() ? rs->bookmark() : 0;
    const qint64 position = rs->absolutePosition();
    try {
        rs->requery();
    } catch (const TwError& e) {
        // The sensor's table is gone when another user deleted the sensor.
        const QString id = rs->table();
        const bool gone =
            m_s.db.scalar(QStringLiteral("SELECT count(*) FROM Sensors WHERE InstrumentID = ?"), {id}).toInt() == 0;
        if (!gone) throw;
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_rereadReadings")));
        m_s.rsReadings.reset();
        m_s.savedReadingBookmark = 0;
        clearReading();
        txtRcount->setText(ReadingFormats::countText(0, 0));
        // The sensor pages tell it and show another sensor, whose readings this page shows.
        if (!m_win.rereadSensors()) {
            enterReadingsTab();
            return false;
        }
        Messages::show(sensorGoneMessage(id), QString(), Messages::Icon::Exclamation);
        return false;
    }
    if (rs->recordCount() == 0) return true;
    if (shown != 0 && rs->setBookmark(shown)) return true;
    // The reading shown was deleted meanwhile: the one now in its place.
    if (shown != 0) {
        rs->setAbsolutePosition(std::clamp<qint64>(position, 1, rs->recordCount()));
        Messages::show(QStringLiteral("The reading shown was deleted by another user."), QString(),
                       Messages::Icon::Exclamation);
        fillreadings();
        showCount();
        return false;
    }
    return true;
}

bool ReadingsController::tellConflict(const TwError& e)
{
    if (e.number != ErrNo::ChangedByOther && e.number != ErrNo::RecordDeleted) return false;
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return false;
    WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_SaveReadings")));
    if (e.number == ErrNo::ChangedByOther) {
        const Recordset::Conflict& c = rs->conflict();
        Messages::show(RowVersions::changedMessage(QStringLiteral("reading"), c.by, c.at), QString(),
                       Messages::Icon::Exclamation);
        rs->rereadCurrent();
        fillreadings();
        return true;
    }
    Messages::show(RowVersions::deletedMessage(QStringLiteral("reading")), QString(), Messages::Icon::Exclamation);
    const qint64 position = rs->absolutePosition() > 0 ? rs->absolutePosition() : 1;
    ignoringErrors([&] {
        rs->cancelUpdate();
        rs->requery();
        if (rs->recordCount() > 0) rs->setAbsolutePosition(std::clamp<qint64>(position, 1, rs->recordCount()));
    });
    fillreadings();
    showCount();
    return true;
}

void ReadingsController::refreshReadings()
{
    runTrapped(QStringLiteral(" G_refreshReadings"), [&] {
        Recordset* rs = m_s.rsReadings.get();
        if (!rs || !rs->isOpen()) return;
        if (rs->recordCount() > 0 && rs->hasCurrentRow() && !leaveReading()) return;
        if (!rereadIfChanged(true)) return;
        rs = m_s.rsReadings.get();
        if (rs->recordCount() > 0 && !rs->hasCurrentRow()) rs->moveLast();
        rs->rereadCurrent();
        fillreadings();
        showCount();
    });
}
