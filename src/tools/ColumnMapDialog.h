#pragma once
#include "tools/ColumnMap.h"
#include "tools/LoggerFormats.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The column map of a logger file with named columns, for one sensor: a preview of the
// file's first rows, the date and time column and its layout, the temperature column, a
// column per gauge channel, the clock offset and the codes the logger writes for "no
// reading". Modal; OK checks the choice first.
class ColumnMapDialog : public QDialog {
    Q_OBJECT
public:
    ColumnMapDialog(const QString& sensorId, const LoggerReadings::Target& target, const LoggerFormats::Opened& file,
                    const ColumnMap& start, QWidget* parent = nullptr);

    QLabel* lblHeader = nullptr;
    QTableWidget* grdPreview = nullptr;
    QComboBox* cboDateColumn = nullptr;
    QComboBox* cboDateLayout = nullptr;
    QComboBox* cboTempColumn = nullptr;  // null when the type has no temperature channel
    std::vector<QComboBox*> cboGauge;    // "cboGauge(1)" ..
    QDoubleSpinBox* txtClockOffset = nullptr;
    QLineEdit* txtMissingCodes = nullptr;  // the logger's codes for "no reading"
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The map as chosen on screen.
    ColumnMap map() const;

    void onOkClicked();

private:
    const LoggerFormats::Opened& m_file;
    LoggerReadings::Target m_target;
};
