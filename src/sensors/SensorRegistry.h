#pragma once
#include <QObject>

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
    void SetNodeBoxes();
    // Empties cboSensors and lists every row of the Sensors recordset in order.
    void rebuildSensorList();

private:
    frmTarnwell& m_win;
    Shared& m_s;
    QWidget* m_idPage = nullptr;
    QWidget* m_installPage = nullptr;
};
