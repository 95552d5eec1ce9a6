// Re-dating a reading: a date or time the user picks is applied to the shown reading at
// once (CheckDateTime), refusing a key another reading of the sensor already has.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "data/Rejections.h"
#include "readings/ReadingFormats.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/ReadingMarks.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTimeEdit>

void ReadingsController::onDatePicked() { applyPendingPickerEdit(); }

void ReadingsController::onTimePicked() { applyPendingPickerEdit(); }

void ReadingsController::applyPendingPickerEdit()
{
    if (m_inDateCheck) return;
    const bool dateChanged = m_dateEditPending;
    const bool timeChanged = m_timeEditPending;
    if (!dateChanged && !timeChanged) return;
    m_dateEditPending = false;
    m_timeEditPending = false;
    if (dateChanged) CheckFutureDate();
    CheckDateTime();
}

Reading ReadingsController::datedReading(const QString& sensorId, const QDate& date, const QTime& time)
{
    Reading r;
    r.key = ReadingFormats::readingKey(sensorId, date, time);
    r.fullDate = ReadingFormats::fullDate(date, time);
    r.date = ReadingFormats::dateText(date);
    r.time = ReadingFormats::timeText(time);
    return r;
}

void ReadingsController::CheckDateTime()
{
    if (m_inDateCheck) return;
    m_inDateCheck = true;
    // A failure ends the check: nothing is shown (the log notes the failure).
    ignoringErrors([&] {
        Recordset* rs = m_s.rsReadings.get();
        if (!rs || !rs->isOpen() || !rs->hasCurrentRow()) return;
        m_s.rememberedPosition = rs->absolutePosition();
        const QDate date = dtpRdate->date();
        const QTime time = dtpRtime->time();
        const QString newKey = ReadingFormats::readingKey(m_s.currentSensorId(), date, time);
        if (newKey == Reading::keyOf(*rs)) return;

        if (DupID(newKey)) {
            Messages::show(ReadingFormats::duplicateOnMessage(date, time), QStringLiteral("Duplicate Reading"));
            rs->setAbsolutePosition(m_s.rememberedPosition);
            const Reading stored = Reading::read(*rs);
            QDate storedDate = ReadingFormats::parseStoredDate(stored.date);
            QTime storedTime = ReadingFormats::parseStoredTime(stored.time);
            if (!storedDate.isValid() || !storedTime.isValid()) {
                const QDateTime full = ReadingFormats::parseFullDate(Reading::fullDateOf(*rs));
                if (!storedDate.isValid()) storedDate = full.date();
                if (!storedTime.isValid()) storedTime = full.time();
            }
            setPickers(storedDate, storedTime);
            CheckFutureDate();
            dtpRdate->setFocus();
            return;
        }

        // Values typed on screen but not yet saved stay on screen after the move (the
        // next save stores them); only the key and the date columns are written here.
        const QString typedT = txtChannelT->text();
        QStringList typed;
        for (int i = 1; i <= 6; ++i) typed << txtChannel[size_t(i)]->text();
        const bool temporal = chkTemporal->isChecked();
        const bool spatial = chkSpatial->isChecked();

        rs->setAbsolutePosition(m_s.rememberedPosition);
        const QString oldKey = Reading::keyOf(*rs);
        datedReading(m_s.currentSensorId(), date, time).writeDates(*rs);
        ReadingMarks::markChanged(*rs);
        try {
            // The reading's rejection marks move with it, in the same transaction.
            Transaction tx(m_s.db);
            rs->update();
            Rejections::rekey(m_s.db, rs->table(), oldKey, newKey);
            tx.commit();
        } catch (const TwError& e) {
            rs->cancelUpdate();
            // Changed or deleted by another user meanwhile: told, nothing written.
            if (tellConflict(e)) return;
            throw;
        } catch (...) {
            rs->cancelUpdate();
            throw;
        }
        rs->requery();
        if (!rs->find(ReadingFormats::keyCriterion(newKey))) {
            Messages::show(QStringLiteral("error"));
            return;
        }
        fillreadings();
        txtChannelT->setText(typedT);
        for (int i = 1; i <= 6; ++i) txtChannel[size_t(i)]->setText(typed[i - 1]);
        chkTemporal->setChecked(temporal);
        chkSpatial->setChecked(spatial);
    });
    m_inDateCheck = false;
}
