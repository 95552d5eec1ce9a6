#pragma once
#include <QDateTime>
#include <QObject>
#include <QString>
#include "readings/ReadingRules.h"
#include <array>
#include <functional>

class PageHost;
struct Shared;
struct BatchDelSensor;
struct Reading;
class Recordset;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTimeEdit;
class QToolButton;
class QWidget;

// The "3. Readings" page: the current reading's display, navigation, entry, validation,
// re-dating and deletion, and the reading boxes' set-up for the sensor's type.
//
// The procedures are spread over files by what they do: ReadingsPage.cpp (the page's
// controls and ConfigureForm), ReadingsDisplay.cpp (fillreadings, navigation),
// ReadingsEntry.cpp (key filters, ReadingValid, SaveReadings, DupID, adding),
// ReadingsRedate.cpp (CheckDateTime and the pickers), ReadingsDelete.cpp (deletion),
// ReadingsLeave.cpp (what happens to the reading on screen when the user leaves it),
// ReadingsRejections.cpp (rejecting and restoring values).
class ReadingsController : public QObject {
    Q_OBJECT
public:
    explicit ReadingsController(PageHost& win);
    QWidget* page() const { return m_page; }

    QLabel* lblError = nullptr;
    // The page's status line: what became of the reading last left (removed, discarded).
    QLabel* lblReadingStatus = nullptr;
    // The rejected values of the reading shown: who, when and why, one line each.
    QLabel* lblRejected = nullptr;

    // Controls of the page (object names as the members).
    QLineEdit* txtReadingID = nullptr;
    QDateEdit* dtpRdate = nullptr;
    QTimeEdit* dtpRtime = nullptr;
    QLineEdit* txtChannelT = nullptr;
    std::array<QLineEdit*, 7> txtChannel{};  // 1..6; 0 unused
    std::array<QLabel*, 7> lbln{};
    std::array<QLabel*, 7> lblmm{};
    QLabel* lblTemp = nullptr;
    QLabel* lblTemperature = nullptr;
    QLabel* lblNotes = nullptr;
    QCheckBox* chkTemporal = nullptr;
    QCheckBox* chkSpatial = nullptr;
    QLineEdit* txtRcount = nullptr;

    // Sets up the reading boxes for the current Configuration row (the sensor's type).
    void ConfigureForm();
    // Shows the current reading of the readings recordset (or the empty state).
    void fillreadings();
    // Shows the future-date warning when the picked date is after today, else hides lblError.
    void CheckFutureDate();
    // Whether the reading on screen may be saved; on No the reason is on lblError. Only
    // values typed (differing from the stored reading) are checked.
    bool ReadingValid();
    // Every road out of the reading on screen (moving, changing tab, F5, adding, closing,
    // the tool windows) goes through here. A reading just added and left without any value
    // is removed (the status line says so); a refused value asks "Keep it on screen" (false:
    // stay, nothing stored) or "Discard it" (the typed values dropped, the status line says
    // nothing was stored); otherwise what changed is saved. False when the user stays.
    bool leaveReading();
    // Writes the reading on screen into the current row (no validation). False when the
    // database could not take it and the user keeps it on screen: the caller then stops
    // instead of showing another reading.
    bool SaveReadings();
    // Whether another reading of the sensor already has this key (the row at the
    // remembered position does not count). Leaves the recordset on the found row.
    bool DupID(const QString& key);
    // Applies a changed date or time to the current reading, refusing a taken key.
    void CheckDateTime();
    // The tab change's Readings side: entering opens the readings and shows the saved
    // (or the last) reading; leaving keeps the bookmark and saves the reading on screen.
    void enterReadingsTab();
    // False when the reading on screen could not be saved and stays on screen.
    bool leaveReadingsTab();
    // txtRcount := "<position> of <count>".
    void showCount();
    // F5: saves the reading on screen, then reads the sensor's readings again (what other
    // users added or deleted) and shows the same reading with its stored values.
    void refreshReadings();

    // Actions of the page.
    void onFirstReadingClicked();
    void onPreviousReadingClicked();
    void onNextReadingClicked();
    void onLastReadingClicked();
    void onAddReadingClicked();
    void onDeleteReadingClicked();
    // Rejects a value of the reading shown (the whole reading, a gauge, the temperature)
    // with a reason, or restores one rejected before.
    void onRejectValueClicked();

    // The key filter of txtChannel(index) (index 1..6) and txtChannelT: the character
    // code, or 0 when the character is discarded.
    int txtChannel_KeyPress(int index, int keyAscii);
    int txtChannelT_KeyPress(int keyAscii);

    // The clock adding a reading takes "now" from (tests set a fixed one).
    std::function<QDateTime()> clock;

private:
    void buildPage();
    void clearReading();
    void setPickers(const QDate& date, const QTime& time);
    void showStoredReading();
    // A reading of the sensor at a picked date and time: its key and date columns.
    static Reading datedReading(const QString& sensorId, const QDate& date, const QTime& time);
    // Navigation: runs the save-before-move rule, then move() when canMove() holds,
    // otherwise tells the user the end is reached.
    enum class Step { First, Previous, Next, Last };
    void navigate(const QString& tag, Step step);
    // The values on screen checked against the type's limits (only the typed ones).
    ReadingRules::Check checkValuesOnScreen() const;
    QLineEdit* valueBox(int channel) const;  // 0 the temperature, 1..6 a gauge
    // leaveReading's parts: the empty new reading removed (true when it was), the question
    // after a refused value (true: discarded, go on).
    bool removeEmptyNewReading();
    bool askKeepOrDiscard();
    // A value box edited: a refusal shown clears once the values pass.
    void onValueEdited();
    void setStatus(const QString& text);
    // Greys the rejected values of the reading shown and lists their marks.
    void showRejections();
    bool hasReadings() const;
    void showOutcomeAfterDeletion();
    // The sensor shown, as the deletion window names and counts it.
    BatchDelSensor deletionSensor();
    void deleteSingle();
    void deleteDateRange(const QDate& start, const QDate& end);
    void deleteAll();
    // The pickers: a change the user makes is applied when the edit is finished.
    void onDatePicked();
    void onTimePicked();
    void applyPendingPickerEdit();
    void rememberBookmark();
    // Reads the reading list again when another connection committed a change since it
    // was read (always with force), keeping the reading shown where it still exists. False
    // when the readings are gone (the sensor was deleted by someone else): the user was told.
    bool rereadIfChanged(bool force);
    // A save refused because another user changed or deleted the reading: the user is told
    // and the reading's current values (or the nearest reading) are shown. True when e was
    // such a refusal.
    bool tellConflict(const struct TwError& e);

    PageHost& m_win;
    Shared& m_s;
    QWidget* m_page = nullptr;
    bool m_dateEditPending = false;
    bool m_timeEditPending = false;
    bool m_inDateCheck = false;
    // The reading Add New made, while it is on screen (its bookmark; 0 none).
    qint64 m_newReading = 0;
    // Set when leaving removed that reading: its position, for the move that follows.
    qint64 m_removedAt = 0;
    // The refusal on lblError (ok when none).
    ReadingRules::Check m_refusal;
};
