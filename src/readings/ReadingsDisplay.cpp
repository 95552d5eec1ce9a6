// Showing the current reading (fillreadings), the future-date warning and the four
// navigation actions with their save-before-move rule.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "readings/ReadingFormats.h"
#include "readings/ReadingRules.h"
#include "session/Shared.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <algorithm>

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
    showRejections();
}

void ReadingsController::showStoredReading()
{
    const Reading shown = Reading::read(*m_s.rsReadings);
    txtReadingID->setText(shown.key);
    // The pickers take the stored date and time texts; a row whose texts cannot be read
    // is shown at its FullDate, so that a later save never takes the previous reading's date.
    QDate date = ReadingFormats::parseStoredDate(shown.date);
    QTime time = ReadingFormats::parseStoredTime(shown.time);
    if (!date.isValid() || !time.isValid()) {
        const QDateTime full = ReadingFormats::parseFullDate(Reading::fullDateOf(*m_s.rsReadings));
        if (!date.isValid()) date = full.date();
        if (!time.isValid() && full.isValid()) time = full.time();
    }
    setPickers(date, time);
    txtChannelT->setText(shown.temperature);
    for (int i = 1; i <= 6; ++i) txtChannel[size_t(i)]->setText(shown.channel(i));
    chkTemporal->setChecked(shown.temporal);
    chkSpatial->setChecked(shown.spatial);
    showRejections();
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
            Messages::show(QStringLiteral("No readings found"), QStringLiteral("Cannot Move"),
                           Messages::Icon::Exclamation);
        } else if (rs->recordCount() > 0) {
            lblError->setVisible(false);
            m_refusal = ReadingRules::Check{};
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

void ReadingsController::navigate(const QString& tag, Step step)
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
        m_removedAt = 0;
        if (!leaveReading()) return;
        if (m_removedAt > 0) {
            // The reading left was removed: its neighbour in the direction asked is shown.
            Recordset* rs = m_s.rsReadings.get();
            if (hasReadings()) {
                const qint64 count = rs->recordCount();
                switch (step) {
                    case Step::First:
                        rs->moveFirst();
                        break;
                    case Step::Previous:
                        rs->setAbsolutePosition(std::max<qint64>(m_removedAt - 1, 1));
                        break;
                    case Step::Next:
                        rs->setAbsolutePosition(std::min(m_removedAt, count));
                        break;
                    case Step::Last:
                        rs->moveLast();
                        break;
                }
            }
            m_removedAt = 0;
            fillreadings();
            showCount();
            return;
        }
        // What other users added or deleted meanwhile is in the list the move goes through.
        if (!rereadIfChanged(false)) return;
        Recordset& rs = *m_s.rsReadings;
        const bool forward = step == Step::Next || step == Step::Last;
        bool canMove = false;
        switch (step) {
            case Step::First:
                canMove = rs.absolutePosition() != 1;
                break;
            case Step::Previous:
                canMove = rs.absolutePosition() != 1 && !rs.bof();
                break;
            case Step::Next:
                canMove = rs.absolutePosition() != rs.recordCount() && !rs.eof();
                break;
            case Step::Last:
                canMove = rs.absolutePosition() != rs.recordCount();
                break;
        }
        if (!canMove) {
            Messages::show(forward ? QStringLiteral("End of readings") : QStringLiteral("Start of readings"));
            return;
        }
        switch (step) {
            case Step::First:
                rs.moveFirst();
                break;
            case Step::Previous:
                rs.movePrevious();
                break;
            case Step::Next:
                rs.moveNext();
                break;
            case Step::Last:
                rs.moveLast();
                break;
        }
        fillreadings();
        showCount();
    });
}

void ReadingsController::onFirstReadingClicked() { navigate(QStringLiteral(" imgFirst_Click"), Step::First); }

void ReadingsController::onPreviousReadingClicked() { navigate(QStringLiteral(" imgPrevData_Click"), Step::Previous); }

void ReadingsController::onNextReadingClicked() { navigate(QStringLiteral(" imgNextData_Click"), Step::Next); }

void ReadingsController::onLastReadingClicked() { navigate(QStringLiteral(" imgLast_Click"), Step::Last); }
