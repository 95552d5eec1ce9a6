// Leaving the reading on screen: a reading just added and left without a value is
// removed, a refused value is kept on screen or discarded by the user's choice (never
// stored, never dropped without a word), and anything else is saved when it changed.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "readings/ReadingFormats.h"
#include "session/Shared.h"

#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace {
QString removedMessage(const QString& when)
{
    return QStringLiteral("The new reading of ") + when + QStringLiteral(" had no values and was removed.");
}

QString discardedMessage(const QString& when)
{
    return QStringLiteral("What was typed for the reading of ") + when +
           QStringLiteral(" was discarded: nothing was stored.");
}
}  // namespace

void ReadingsController::setStatus(const QString& text)
{
    lblReadingStatus->setText(text);
    lblReadingStatus->setVisible(!text.isEmpty());
}

bool ReadingsController::leaveReading()
{
    bool goOn = true;
    runTrapped(QStringLiteral(" G_leaveReading"), [&] {
        if (!hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
        setStatus(QString());
        // A date or time still being edited is applied (or refused) first.
        applyPendingPickerEdit();
        if (!hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
        if (removeEmptyNewReading()) return;
        if (!ReadingValid()) {
            goOn = m_refusal.ok ? false : askKeepOrDiscard();
            return;
        }
        if (m_s.rsReadings->bookmark() == m_newReading) m_newReading = 0;
        goOn = SaveReadings();
    });
    return goOn;
}

bool ReadingsController::removeEmptyNewReading()
{
    Recordset& rs = *m_s.rsReadings;
    if (m_newReading == 0 || rs.bookmark() != m_newReading) return false;
    if (!txtChannelT->text().trimmed().isEmpty()) return false;
    for (int i = 1; i <= 6; ++i)
        if (!txtChannel[size_t(i)]->text().trimmed().isEmpty()) return false;
    const QString when = Reading::whenOf(rs);
    const qint64 position = rs.absolutePosition();
    try {
        rs.deleteCurrentIfUnchanged();
    } catch (const TwError& e) {
        // Another user has written to it meanwhile: it is theirs too now, and stays.
        if (e.number != ErrNo::ChangedByOther) throw;
        m_newReading = 0;
        rs.rereadCurrent();
        return false;
    }
    m_newReading = 0;
    rs.requery();
    const qint64 count = rs.recordCount();
    if (count > 0) rs.setAbsolutePosition(std::clamp<qint64>(position - 1, 1, count));
    m_removedAt = position;
    m_s.savedReadingBookmark = count > 0 ? rs.bookmark() : 0;
    fillreadings();
    if (count == 0) txtRcount->setText(ReadingFormats::countText(0, 0));
    else showCount();
    setStatus(removedMessage(when));
    return true;
}

bool ReadingsController::askKeepOrDiscard()
{
    const ReadingRules::Check refusal = m_refusal;
    const int choice =
        Messages::choose(ReadingRules::refusedQuestion(refusal), ReadingRules::RefusedTitle,
                         Messages::Icon::Exclamation, {ReadingRules::KeepOnScreen, ReadingRules::DiscardIt}, 0);
    if (choice != 1) {
        // Kept: the user stays on the reading with the values and the reason shown.
        if (QLineEdit* box = valueBox(refusal.channel)) box->setFocus();
        return false;
    }
    Recordset& rs = *m_s.rsReadings;
    const QString when = Reading::whenOf(rs);
    fillreadings();  // the stored values back on screen
    // A reading just added has nothing stored: without what was typed it is removed.
    const bool removed = removeEmptyNewReading();
    if (rs.isOpen() && rs.hasCurrentRow() && rs.bookmark() == m_newReading) m_newReading = 0;
    setStatus(removed ? discardedMessage(when) + u' ' + removedMessage(when) : discardedMessage(when));
    return true;
}

void ReadingsController::onValueEdited()
{
    if (m_refusal.ok) return;
    const ReadingRules::Check now = checkValuesOnScreen();
    if (now.ok) {
        m_refusal = now;
        CheckFutureDate();  // the refusal gone; the date warning, if any, shows again
        return;
    }
    m_refusal = now;
    lblError->setText(now.message);
}
