// Showing the current reading (fillreadings), the future-date warning and the four
// navigation actions with their save-before-move rule.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "readings/ReadingFormats.h"
#include "readings/ReadingRules.h"
#include "session/Shared.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimeEdit>

void ReadingsController::setPickers(const QDate& date, const QTime& time)
{
    // Values the program puts into the pickers are not user changes: no notification.
    const QSignalBlocker blockDate(dtpRdate);
    const QSignalBlocker blockTime(dtpRtime);
    if (date.isValid()) dtpRdate->setDate(date);
    if (time.isValid()) dtpRtime->setTime(time);
    m_dateEditPending = false;
    m_timeEditPending = false;
}

void ReadingsController::clearReading()
{
    txtReadingID->clear();
    setPickers(QDate::currentDate(), QTime(12, 0, 0));
    txtChannelT->clear();
    for (int i = 1; i <= 6; ++i) txtChannel[size_t(i)]->clear();
}

void ReadingsController::showStoredReading()
{
    const Recordset& rs = *m_s.rsReadings;
    txtReadingID->setText(rs.text(QStringLiteral("DateTimeKey")));
    // The pickers take the stored date and time texts; a row whose texts cannot be read
    // is shown at its FullDate, so that a later save never takes the previous reading's date.
    QDate date = ReadingFormats::parseStoredDate(rs.text(QStringLiteral("ReadingDate")));
    QTime time = ReadingFormats::parseStoredTime(rs.text(QStringLiteral("ReadingTime")));
    if (!date.isValid() || !time.isValid()) {
        const QDateTime full = ReadingFormats::parseFullDate(rs.value(QStringLiteral("FullDate")));
        if (!date.isValid()) date = full.date();
        if (!time.isValid() && full.isValid()) time = full.time();
    }
    setPickers(date, time);
    txtChannelT->setText(rs.text(QStringLiteral("ChannelT")));
    for (int i = 1; i <= 6; ++i) txtChannel[size_t(i)]->setText(rs.text(QStringLiteral("Channel%1").arg(i)));
    chkTemporal->setChecked(ReadingRules::flagTicked(rs.value(QStringLiteral("Plottemporal"))));
    chkSpatial->setChecked(ReadingRules::flagTicked(rs.value(QStringLiteral("PlotSpatial"))));
}

void ReadingsController::fillreadings()
{
    runTrapped(QStringLiteral(" Module1_fillreadings"), [&] {
        Recordset* rs = m_s.rsReadings.get();
        if (!rs || !rs->isOpen()) {
            clearReading();
            return;
        }
        if (rs->recordCount() > 0 && !rs->hasCurrentRow()) {
            clearReading();
            Messages::show(QStringLiteral("No readings found"), QStringLiteral("Cannot Move"), Messages::Icon::Exclamation);
        } else if (rs->recordCount() > 0) {
            lblError->setVisible(false);
            showStoredReading();
            showCount();
            CheckFutureDate();
        } else {
            clearReading();
            lblError->setText(ReadingRules::NoReadingsNotice);
            lblError->setVisible(true);
        }
    });
}

void ReadingsController::CheckFutureDate()
{
    if (ReadingRules::isFutureDate(dtpRdate->date(), QDate::currentDate())) {
        lblError->setText(ReadingRules::FutureDateWarning);
        lblError->setVisible(true);
    } else {
        lblError->setVisible(false);
    }
}

void ReadingsController::navigate(const QString& tag, const std::function<bool(const Recordset&)>& canMove,
                                  const std::function<void(Recordset&)>& move, const QString& endMessage)
{
    runTrapped(tag, [&] {
        if (!hasReadings()) {
            // None when the list was read: others may have added some since. The latest is
            // shown, as entering the tab shows it (nothing on screen to save).
            Recordset* rs = m_s.rsReadings.get();
            if (!rs || !rs->isOpen() || !rs->othersMayHaveChanged()) return;
            if (!rereadIfChanged(true) || !hasReadings()) return;
            m_s.rsReadings->moveLast();
            fillreadings();
            showCount();
            return;
        }
        applyPendingPickerEdit();
        if (!ReadingValid()) return;
        if (!SaveReadings()) return;
        // What other users added or deleted meanwhile is in the list the move goes through.
        if (!rereadIfChanged(false)) return;
        Recordset& rs = *m_s.rsReadings;
        if (!canMove(rs)) {
            Messages::show(endMessage);
            return;
        }
        move(rs);
        fillreadings();
        showCount();
    });
}

void ReadingsController::imgFirst_Click()
{
    navigate(QStringLiteral(" imgFirst_Click"), [](const Recordset& rs) { return rs.absolutePosition() != 1; },
             [](Recordset& rs) { rs.moveFirst(); }, QStringLiteral("Start of readings"));
}

void ReadingsController::imgPrevData_Click()
{
    navigate(QStringLiteral(" imgPrevData_Click"),
             [](const Recordset& rs) { return rs.absolutePosition() != 1 && !rs.bof(); },
             [](Recordset& rs) { rs.movePrevious(); }, QStringLiteral("Start of readings"));
}

void ReadingsController::imgNextData_Click()
{
    navigate(QStringLiteral(" imgNextData_Click"),
             [](const Recordset& rs) { return rs.absolutePosition() != rs.recordCount() && !rs.eof(); },
             [](Recordset& rs) { rs.moveNext(); }, QStringLiteral("End of readings"));
}

void ReadingsController::imgLast_Click()
{
    navigate(QStringLiteral(" imgLast_Click"),
             [](const Recordset& rs) { return rs.absolutePosition() != rs.recordCount(); },
             [](Recordset& rs) { rs.moveLast(); }, QStringLiteral("End of readings"));
}
