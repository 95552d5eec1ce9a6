#pragma once
#include <QDate>
#include <QDialog>
#include <functional>
#include <optional>

class QCalendarWidget;
class QPushButton;

class QLabel;

// The deletion window's choice (at most one flag set) and, for a range, its two days.
struct DeletionChoice {
    bool single = false;
    bool dateRange = false;
    bool all = false;
    QDate start;
    QDate end;
};

// The sensor whose readings the window deletes: what it names and counts in its questions.
struct BatchDelSensor {
    QString id;
    qint64 readings = 0;   // how many it has
    QString shownReading;  // date and time of the reading shown; empty when none
    QDate first;           // days of its first and last reading
    QDate last;
    // How many of its readings lie on or between two days.
    std::function<qint64(const QDate&, const QDate&)> countBetween;
};

// The readings deletion window ("SensorData Deletion"). It deletes nothing itself: it
// answers with the user's choice (one reading, a range of days, or all; with the range's
// two days) and closes. Given the sensor, it names it, its calendars
// open on its first and last reading days, and each choice is asked once more, naming
// the sensor and the number of readings, with No as the answer Enter gives; No (or a
// choice that would delete nothing) keeps the window open with nothing chosen.
class DeleteReadingsDialog : public QDialog {
    Q_OBJECT
public:
    // Nothing is chosen when it opens. Without a sensor the calendars open on today and
    // nothing is asked.
    explicit DeleteReadingsDialog(QWidget* parent = nullptr);
    DeleteReadingsDialog(const BatchDelSensor& sensor, QWidget* parent = nullptr);

    // Shows the window (modal) and returns the choice; nullopt when nothing was chosen.
    std::optional<DeletionChoice> ask();
    // What is chosen so far (nothing until a button chose).
    const DeletionChoice& choice() const { return m_choice; }

    QLabel* lblSensor = nullptr;

    QCalendarWidget* DelStart = nullptr;
    QCalendarWidget* DelEnd = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* cmdSingleDel = nullptr;
    QPushButton* cmdDeleteAll = nullptr;
    QPushButton* CancelButton = nullptr;

    void onBatchDeleteClicked();
    void onDeleteOneClicked();
    void onDeleteAllClicked();
    void onCancelClicked();

private:
    bool confirm(const QString& question);

    DeletionChoice m_choice;
    BatchDelSensor m_sensor;
};
