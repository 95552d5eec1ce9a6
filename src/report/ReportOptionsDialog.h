#pragma once
#include <QDate>
#include <QDialog>
#include <optional>

// Which charts the report includes, its period and its form, as chosen in the report
// options window.
struct ReportOptions {
    bool loadVTime = false;
    bool dispVTime = false;
    bool loadVLength = false;
    bool dispVLength = false;
    bool shearVLength = false;
    bool cover = true;  // the sensor's installation lines in the title block
    bool pdf = false;   // a PDF copy of the report as well
    QDate from, to;     // the period reported on, both days whole
};

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;

// The report options window. OK answers with the choices; Cancel (or Escape) answers that
// no report is wanted. The window is hidden, not destroyed, so its boxes keep the user's
// last choice for the rest of the run.
class ReportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReportOptionsDialog(QWidget* parent = nullptr);

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

    // Shows the window (modal) and returns the choices; nullopt when it was cancelled.
    std::optional<ReportOptions> ask();
    // The answer of its last showing (nullopt: cancelled).
    const std::optional<ReportOptions>& answer() const { return m_answer; }

    void onOkClicked();
    void onCancelClicked();

protected:
    void reject() override;

private:
    std::optional<ReportOptions> m_answer;
    QDate m_first, m_last;  // the sensor's record
};
