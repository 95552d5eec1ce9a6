#pragma once
#include <QDate>
#include <QDialog>

struct ReportOptions;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;

// The report options window. OK records the choices in the shared report options; Cancel
// records that no report is wanted. The window is hidden, not destroyed, so its boxes
// keep the user's last choice for the rest of the run.
class ReportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    ReportOptionsDialog(ReportOptions& options, QWidget* parent = nullptr);

    QLabel* lblContents = nullptr;
    QCheckBox* chkCover = nullptr;
    QGroupBox* grpPlots = nullptr;
    QCheckBox* chkTemp = nullptr;
    QCheckBox* chkRate = nullptr;
    QCheckBox* chkSpatial = nullptr;
    QCheckBox* chkDvL = nullptr;
    QCheckBox* chkSvL = nullptr;  // "Shear v Length"
    QLabel* lblSensor = nullptr;  // the sensor reported on
    QCheckBox* chkPdf = nullptr;
    // The period: from and to (both days whole), the month up to today at first, and the
    // button that sets it to the sensor's whole record.
    QDateEdit* dtpFrom = nullptr;
    QDateEdit* dtpTo = nullptr;
    QPushButton* cmdWholeRecord = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Names the sensor the report is written for (set before the window is shown).
    void setSensor(const QString& id);
    // The dates of the sensor's first and last reading, for "Whole record" (invalid: none).
    void setRecordSpan(const QDate& first, const QDate& last);

    void onOkClicked();
    void onCancelClicked();

protected:
    void reject() override;

private:
    ReportOptions& m_options;
    QDate m_first, m_last;  // the sensor's record
};
