// Deleting readings: the deletion window leaves a choice (the shown reading, a range of
// days, or all readings) and this carries it out, then shows the latest reading.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "data/Rejections.h"
#include "readings/ReadingDeletion.h"
#include "readings/ReadingFormats.h"
#include "readings/DeleteReadingsDialog.h"
#include "session/Shared.h"
#include "store/DataTables.h"
#include "store/RowVersions.h"
#include "widgets/PageHost.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>

void ReadingsController::onDeleteReadingClicked()
{
    runTrapped(QStringLiteral(" imgDeleteReading_Click"), [&] {
        applyPendingPickerEdit();
        std::optional<DeletionChoice> choice;
        {
            DeleteReadingsDialog dlg(deletionSensor(), m_win.widget());
            choice = dlg.ask();
        }
        if (!choice) return;
        m_newReading = 0;  // whatever was added is the user's to delete now
        if (choice->single) deleteSingle();
        else if (choice->dateRange) deleteDateRange(choice->start, choice->end);
        else if (choice->all) deleteAll();
        // The latest reading or the baseline may have gone: the alarm status follows.
        m_win.readingsChanged();
    });
}

BatchDelSensor ReadingsController::deletionSensor()
{
    BatchDelSensor sensor;
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return sensor;
    sensor.id = rs->table();
    const ReadingDeletion::Extent extent = ReadingDeletion::extentOf(m_s.db, sensor.id);
    sensor.readings = extent.count;
    sensor.first = extent.first;
    sensor.last = extent.last;
    if (rs->hasCurrentRow()) sensor.shownReading = Reading::whenOf(*rs);
    Database& db = m_s.db;
    const QString id = sensor.id;
    sensor.countBetween = [&db, id](const QDate& start, const QDate& end) {
        return ReadingDeletion::countBetween(db, id, start, end);
    };
    return sensor;
}

void ReadingsController::showOutcomeAfterDeletion()
{
    Recordset& rs = *m_s.rsReadings;
    if (rs.hasCurrentRow()) {
        rs.moveLast();
        fillreadings();
        showCount();
    } else if (rs.recordCount() == 0) {
        fillreadings();
        txtRcount->setText(ReadingFormats::countText(0, 0));
    }
}

void ReadingsController::deleteSingle()
{
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen() || !rs->hasCurrentRow()) return;  // no reading shown: nothing to delete
    try {
        // Only the reading as shown: one another user changed since (re-dated, corrected)
        // is not deleted unseen.
        rs->deleteCurrentIfUnchanged();
        Rejections::forgetDeletedReadings(m_s.db, rs->table());
    } catch (const TwError& e) {
        if (e.number != ErrNo::ChangedByOther) throw;
        const Recordset::Conflict& c = rs->conflict();
        Messages::show(RowVersions::notDeletedMessage(QStringLiteral("reading"), c.by, c.at), QString(),
                       Messages::Icon::Exclamation);
        rs->rereadCurrent();
        fillreadings();
        return;
    }
    rs->requery();
    showOutcomeAfterDeletion();
    // With no reading left the saved bookmark keeps its value.
    rememberBookmark();
}

void ReadingsController::deleteDateRange(const QDate& start, const QDate& end)
{
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return;
    // The reading on screen keeps what was typed if it survives the deletion; when it
    // cannot be saved and stays on screen, nothing is deleted.
    if (!SaveReadings()) return;

    // One transaction; a long run shows its progress instead of a frozen window.
    QProgressDialog progress(QStringLiteral("Deleting readings..."), QString(), 0, 100, m_win.widget());
    progress.setWindowTitle(QStringLiteral("SensorData Deletion"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setCancelButton(nullptr);
    progress.setAutoClose(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qint64 count = 0;
    try {
        count = ReadingDeletion::deleteBetween(m_s.db, rs->table(), start, end,
                                               [&](int percent) { progress.setValue(percent); });
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    progress.reset();

    rs->requery();
    showOutcomeAfterDeletion();
    Messages::show(ReadingFormats::rangeDeletedMessage(count, start, end));
    rememberBookmark();
}

void ReadingsController::deleteAll()
{
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return;
    m_s.db.execute(DataTables::deleteAllStatement(rs->table()));
    Rejections::forgetSensor(m_s.db, rs->table());
    rs->requery();
    fillreadings();
    txtRcount->setText(ReadingFormats::countText(rs->recordCount(), rs->recordCount()));
}
