#pragma once
#include <QObject>
#include <QString>

class frmTarnwell;
struct Shared;
class QComboBox;
class QLineEdit;
class QWidget;

// The sensor registry: the "1. Identification" and "2. Installation" pages, the sensor
// record (fillfields / savefields / CalcNCs), adding, selecting, navigating and deleting
// sensors, and the gauge layout.
class SensorRegistry : public QObject {
    Q_OBJECT
public:
    explicit SensorRegistry(frmTarnwell& win);

    QWidget* identificationPage() const { return m_idPage; }
    QWidget* installationPage() const { return m_installPage; }

    // Controls other parts of the program read or set.
    QComboBox* cboSensors = nullptr;
    QLineEdit* txtSCount = nullptr;
    QLineEdit* txtSensor = nullptr;
    QLineEdit* txtMineID = nullptr;

    void fillfields();
    void savefields();
    void CalcNCs();
    void SetNodeBoxes();
    // Empties cboSensors and lists every row of the Sensors recordset in order.
    void rebuildSensorList();
    // Entering the "2. Installation" tab: its caption, drawing and position boxes.
    void enterInstallationTab();
    // Entering the "1. Identification" tab: node boxes placed, focus on cboSensors.
    void enterIdentificationTab();
    // The layout option shown (stacked when true).
    bool isStacked() const;
    // The k factor box's text as typed (the load calculation reads it).
    QString boltKFactorText() const;

private:
    frmTarnwell& m_win;
    Shared& m_s;
    QWidget* m_idPage = nullptr;
    QWidget* m_installPage = nullptr;
};
