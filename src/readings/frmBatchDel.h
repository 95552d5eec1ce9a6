#pragma once
#include <QDialog>

struct DeletionChoice;
class QCalendarWidget;
class QPushButton;

// The readings deletion window ("SensorData Deletion"). It deletes nothing itself: it
// leaves the user's choice (one reading, a range of days, or all) and the two dates in
// the shared deletion choice and closes.
class frmBatchDel : public QDialog {
    Q_OBJECT
public:
    // Opening clears the three choices and sets both calendars to today; the dates of the
    // choice keep their values until "BATCH DELETE" is pressed.
    frmBatchDel(DeletionChoice& choice, QWidget* parent = nullptr);

    QCalendarWidget* DelStart = nullptr;
    QCalendarWidget* DelEnd = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* cmdSingleDel = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* CancelButton = nullptr;

    void OKButton_Click();
    void cmdSingleDel_Click();
    void Command1_Click();
    void CancelButton_Click();

private:
    DeletionChoice& m_choice;
};
