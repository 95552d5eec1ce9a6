#include "sensors/SensorRegistry.h"
#include "app/frmTarnwell.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

SensorRegistry::SensorRegistry(frmTarnwell& win) : QObject(&win), m_win(win), m_s(win.shared())
{
    m_idPage = new QWidget;
    m_idPage->setObjectName(QStringLiteral("pageIdentification"));
    auto* form = new QFormLayout(m_idPage);
    cboSensors = new QComboBox;
    cboSensors->setObjectName(QStringLiteral("cboSensors"));
    cboSensors->setEditable(true);
    txtSCount = new QLineEdit;
    txtSCount->setObjectName(QStringLiteral("txtSCount"));
    txtSensor = new QLineEdit;
    txtSensor->setObjectName(QStringLiteral("txtSensor"));
    txtMineID = new QLineEdit;
    txtMineID->setObjectName(QStringLiteral("txtMineID"));
    form->addRow(QStringLiteral("Add or Select Sensor"), cboSensors);
    form->addRow(QStringLiteral("Sensors"), txtSCount);
    form->addRow(QStringLiteral("Sensor"), txtSensor);
    form->addRow(QStringLiteral("Mine ID"), txtMineID);

    m_installPage = new QWidget;
    m_installPage->setObjectName(QStringLiteral("pageInstallation"));
}

void SensorRegistry::fillfields()
{
    // Shows the current sensor's number until the full record is laid out.
    txtMineID->setText(m_s.prefs.MineID);
    txtSensor->setText(m_s.prefs.MineID + m_s.currentSensorId());
}

void SensorRegistry::savefields() {}

void SensorRegistry::CalcNCs() {}

void SensorRegistry::SetNodeBoxes() {}

void SensorRegistry::enterInstallationTab() {}

void SensorRegistry::enterIdentificationTab() {}

bool SensorRegistry::isStacked() const
{
    return m_s.rsSensors && m_s.rsSensors->hasCurrentRow() && m_s.rsSensors->value(QStringLiteral("Stacked")).toBool();
}

QString SensorRegistry::boltKFactorText() const
{
    return m_s.rsSensors && m_s.rsSensors->hasCurrentRow() ? m_s.rsSensors->text(QStringLiteral("boltkfactor")) : QString();
}

void SensorRegistry::rebuildSensorList()
{
    cboSensors->clear();
    if (!m_s.rsSensors || m_s.rsSensors->recordCount() == 0) return;
    m_s.rsSensors->moveFirst();
    while (!m_s.rsSensors->eof()) {
        cboSensors->addItem(m_s.rsSensors->text(QStringLiteral("InstrumentID")));
        m_s.rsSensors->moveNext();
    }
    m_s.rsSensors->moveFirst();
}
