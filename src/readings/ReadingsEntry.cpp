// Entry of a reading: the validity check against the sensor type's limits, writing the
// reading on screen back to its row, the duplicate-key check and adding a new reading.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/StorageFault.h"
#include "data/Reading.h"
#include "data/Rejections.h"
#include "readings/ReadingFormats.h"
#include "readings/ReadingRules.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/ReadingMarks.h"
#include "store/SqlDialect.h"
#include "widgets/PageHost.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTimeEdit>
#include <optional>

namespace {
ReadingRules::Limits limitsOf(const Recordset& cfg)
{
    return ReadingRules::limitsFrom(cfg.value(QStringLiteral("numchannels")), cfg.value(QStringLiteral("tempchannel")),
                                    cfg.value(QStringLiteral("lowval")), cfg.value(QStringLiteral("highval")),
                                    cfg.value(QStringLiteral("templow")), cfg.value(QStringLiteral("temphigh")));
}
}  // namespace

ReadingRules::Check ReadingsController::checkValuesOnScreen() const
{
    QStringList channels;
    for (int i = 1; i <= 6; ++i) channels << txtChannel[size_t(i)]->text();
    // Only what differs from the stored reading is held against the limits: a stored value
    // nobody typed (an import's, an older release's) never keeps the user on a reading.
    QList<bool> typed;
    const Recordset* rs = m_s.rsReadings.get();
    if (rs && rs->isOpen() && rs->hasCurrentRow()) {
        // Only the values' columns: the check must not read (and on a server fetch) more of
        // the row than the values it compares.
        typed << (txtChannelT->text().trimmed() != rs->text(Reading::TemperatureColumn).trimmed());
        for (int i = 1; i <= 6; ++i)
            typed << (channels[i - 1].trimmed() != rs->text(Reading::channelColumn(i)).trimmed());
    }
    return ReadingRules::checkValues(limitsOf(*m_s.rsConfig), txtChannelT->text(), channels, typed);
}

QLineEdit* ReadingsController::valueBox(int channel) const
{
    return channel == 0 ? txtChannelT : txtChannel[size_t(channel)];
}

bool ReadingsController::ReadingValid()
{
    bool valid = true;
    m_refusal = ReadingRules::Check{};
    runTrapped(QStringLiteral(" G_ReadingValid"), [&] {
        auto refuse = [&](const QString& message, QWidget* focus) {
            lblError->setText(message);
            lblError->setVisible(true);
            if (focus) focus->setFocus();
            valid = false;
        };
        if (!dtpRdate->date().isValid()) {
            refuse(ReadingRules::DateNullMessage, dtpRdate);
            return;
        }
        if (!dtpRtime->time().isValid()) {
            refuse(ReadingRules::TimeNullMessage, dtpRtime);
            return;
        }
        const ReadingRules::Check check = checkValuesOnScreen();
        if (!check.ok) {
            m_refusal = check;
            refuse(check.message, valueBox(check.channel));
        }
    });
    return valid;
}

bool ReadingsController::SaveReadings()
{
    bool goOn = true;
    runTrapped(QStringLiteral(" G_SaveReadings"), [&] {
        try {
            if (!hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
            // A date or time the user changed but has not finished editing is applied (or
            // refused) first, so the key written here is the one the row holds.
            applyPendingPickerEdit();
            if (!hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
            Recordset& rs = *m_s.rsReadings;
            const QDate date = dtpRdate->date();
            const QTime time = dtpRtime->time();
            // Only what differs from the row is written: moving through readings without
            // changing them writes nothing to the database file.
            const QString shownKey = Reading::keyOf(rs);
            Reading onScreen = datedReading(m_s.currentSensorId(), date, time);
            onScreen.temperature = ReadingFormats::storedTemperatureText(txtChannelT->text());
            for (int i = 1; i <= 6; ++i)
                onScreen.channel(i) = ReadingFormats::storedChannelText(txtChannel[size_t(i)]->text());
            onScreen.temporal = chkTemporal->isChecked();
            onScreen.spatial = chkSpatial->isChecked();
            const QString& newKey = onScreen.key;
            const bool changed = onScreen.writeChanges(rs, 6);  // the six gauge boxes
            // Whatever changed is an input of the calculations.
            if (rs.isEditing()) ReadingMarks::markChanged(rs);
            try {
                // A new key takes the reading's rejection marks along, in the same transaction.
                std::optional<Transaction> tx;
                if (rs.isEditing() && newKey != shownKey) tx.emplace(m_s.db);
                rs.update();
                if (tx) {
                    Rejections::rekey(m_s.db, rs.table(), shownKey, newKey);
                    tx->commit();
                }
            } catch (TwError& e) {
                rs.cancelUpdate();  // a refused write leaves the row as it was
                if (e.isStorageFault() && StorageFault::askKeep(e, QStringLiteral("The reading on screen")))
                    goOn = false;
                throw;
            } catch (...) {
                rs.cancelUpdate();
                throw;
            }
            // A reading written: the sensor's alarm levels are evaluated on it.
            if (changed) m_win.readingsChanged();
        } catch (const TwError& e) {
            // Another user changed or deleted the reading since it was shown: nothing was
            // written; the user sees what the reading holds now.
            if (!tellConflict(e)) throw;
            goOn = false;
        }
    });
    return goOn;
}

bool ReadingsController::DupID(const QString& key)
{
    bool duplicate = false;
    runTrapped(QStringLiteral(" G_DupID"), [&] {
        if (!hasReadings()) return;
        Recordset& rs = *m_s.rsReadings;
        rs.moveFirst();
        if (!rs.find(ReadingFormats::keyCriterion(key))) return;
        duplicate = rs.absolutePosition() != m_s.rememberedPosition;
    });
    return duplicate;
}

void ReadingsController::onAddReadingClicked()
{
    runTrapped(QStringLiteral(" imgAddReading_Click"), [&] {
        Recordset* rs = m_s.rsReadings.get();
        const QString id = m_s.currentSensorId();
        if (!rs || !rs->isOpen() || id.isEmpty()) return;
        if (rs->recordCount() > 0 && !leaveReading()) return;
        rs = m_s.rsReadings.get();
        if (!rs || !rs->isOpen()) return;
        const QDateTime now = clock();
        const QDate date = now.date();
        const QTime time(now.time().hour(), now.time().minute(), now.time().second());
        const QString key = ReadingFormats::readingKey(id, date, time);
        // No row is being re-dated: every existing key counts as taken.
        m_s.rememberedPosition = 0;
        const qint64 shown = rs->hasCurrentRow() ? rs->bookmark() : 0;
        if (DupID(key)) {
            // DupID left the recordset on the matching row; go back to the reading on
            // screen, so that the next save writes it to its own row.
            if (shown != 0) rs->setBookmark(shown);
            Messages::show(QStringLiteral("There is already a reading with that date and time"),
                           QStringLiteral("Duplicate Reading"));
            dtpRdate->setFocus();
            return;
        }
        rs->addNew();
        // A new reading is on the time charts, not on the length charts.
        Reading added = datedReading(id, date, time);
        added.temporal = true;
        added.spatial = false;
        added.writeDates(*rs);
        ReadingMarks::markChanged(*rs);
        added.writeFlags(*rs);
        try {
            rs->update();
        } catch (...) {
            rs->cancelUpdate();
            throw;
        }
        // Re-run the query unless the new reading already sorts last, where the
        // recordset has put it (a sensor with a reading dated later than now).
        const bool sortsLast =
            m_s.db
                .scalar(QStringLiteral("SELECT 1 FROM ") + SqlDialect::quoteName(rs->table()) +
                            QStringLiteral(" WHERE FullDate > ? LIMIT 1"),
                        {ReadingFormats::fullDate(date, time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))})
                .isNull();
        if (!sortsLast) rs->requery();
        // Left without a value, the new reading is removed again (leaveReading). It is the
        // one shown unless a reading is dated later than now.
        rs->moveFirst();
        m_newReading = rs->find(ReadingFormats::keyCriterion(key)) ? rs->bookmark() : 0;
        rs->moveLast();
        showCount();
        fillreadings();
    });
}
