#include "sensors/SensorRegistry.h"
#include "core/AppInfo.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>

SensorRegistry::SensorRegistry(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared())
{
    buildIdentificationPage();
    buildInstallationPage();
}

QString SensorRegistry::lengthOfCableText() const { return txtLengthofCable->text(); }
QString SensorRegistry::lengthOfGaugeText() const { return txtLengthofGauge->text(); }

bool SensorRegistry::isStacked() const { return optStacked->isChecked(); }

QString SensorRegistry::boltKFactorText() const { return txtBoltkfactor->text(); }

SensorDetails SensorRegistry::shownSensor() const
{
    SensorDetails s;
    if (m_s.rsSensors && m_s.rsSensors->isOpen() && m_s.rsSensors->hasCurrentRow()) {
        ignoringErrors([&] { s.instrumentId = SensorDetails::idOf(*m_s.rsSensors); });
        ignoringErrors([&] { s.sensorType = SensorDetails::typeOf(*m_s.rsSensors); });
    }
    s.dateId = txtDateID->text();
    s.typeId = txtTypeID->text();
    s.sensorNo = txtSensorNo->text();
    s.family = txtFamily->text();
    s.lengthOfCable = txtLengthofCable->text();
    s.level = txtLevel->text();
    s.location = txtLocation->text();
    s.borehole = txtBorehole->text();
    s.installDate = txtInstallDate->text();
    s.installBy = txtInstallBy->text();
    s.purpose = txtPurpose->text();
    s.notes = txtNotes->text();
    s.stacked = isStacked();
    s.kFactor = txtBoltkfactor->text();
    s.gaugeLength = txtLengthofGauge->text();
    s.numGauges = txtNumGauges->text();
    s.firstNode = m_txtNode[1]->text();
    s.destroyed = cboDestroyed->currentText();
    s.destructionDate = txtDestructionDate->text();
    for (int i = 1; i <= SensorDetails::NodeCount; ++i)
        s.nodes.at(size_t(i - 1)) = m_txtRelSGanchor.at(size_t(i))->text();
    for (int i = 1; i <= SensorDetails::CentreCount; ++i)
        s.centres.at(size_t(i - 1)) = m_txtRelSGCenter.at(size_t(i))->text();
    return s;
}

void SensorRegistry::whitenNodeBoxes()
{
    for (int i = 1; i <= SensorDetails::NodeCount; ++i) {
        QLineEdit* box = m_txtNode.at(size_t(i));
        QPalette p = box->palette();
        p.setColor(QPalette::Base, Qt::white);
        box->setPalette(p);
    }
}

void SensorRegistry::enableCentreBoxes(int channels)
{
    for (int i = 1; i <= std::min(channels, SensorDetails::CentreCount); ++i)
        m_txtSGCenter.at(size_t(i))->setEnabled(true);
}

void SensorRegistry::rebuildSensorList()
{
    cboSensors->clear();
    if (!m_s.rsSensors || !m_s.rsSensors->isOpen() || m_s.rsSensors->recordCount() == 0) return;
    QStringList ids;
    ids.reserve(int(m_s.rsSensors->recordCount()));
    m_s.rsSensors->moveFirst();
    while (!m_s.rsSensors->eof()) {
        ids << SensorDetails::idOf(*m_s.rsSensors);
        m_s.rsSensors->moveNext();
    }
    cboSensors->addItems(ids);
    m_s.rsSensors->moveFirst();
    refreshStatusMarks();
}

void SensorRegistry::refreshSensorList()
{
    rebuildSensorList();
    const qint64 count = m_s.rsSensors->recordCount();
    if (count > 0) {
        m_s.rsSensors->moveFirst();
        fillfields();
        cboSensors->setEditText(SensorDetails::idOf(*m_s.rsSensors));
    } else {
        cboSensors->setEditText(QString());
    }
    txtSCount->setText(QString::number(count));
}

void SensorRegistry::showSensorsAfterReopen()
{
    Shared& s = m_s;
    if (!s.rsSensors->bof() && !s.rsSensors->eof()) {
        rebuildSensorList();
        s.rsSensors->moveFirst();
        txtSCount->setText(QString::number(s.rsSensors->recordCount()));
        fillfields();
        cboSensors->setEditText(SensorDetails::idOf(*s.rsSensors));
    } else {
        cboSensors->clear();
        Messages::show(QStringLiteral("There are no sensors in the database, \r\n") +
                           QStringLiteral("click the ADD NEW button to begin using Tarnwell"),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
        txtSCount->setText(QStringLiteral("0"));
    }
}

bool SensorRegistry::findConfiguration(const QString& type)
{
    if (!m_s.rsConfig || !m_s.rsConfig->isOpen()) return false;
    if (m_s.rsConfig->recordCount() > 0) m_s.rsConfig->moveFirst();
    return m_s.rsConfig->find(QStringLiteral("SensorType = '") + type + '\'');
}

void SensorRegistry::restoreConfiguration()
{
    if (!m_s.rsSensors || !m_s.rsSensors->isOpen() || !m_s.rsSensors->hasCurrentRow()) return;
    findConfiguration(SensorDetails::typeOf(*m_s.rsSensors));
}

bool SensorRegistry::moveToSensor(const QString& id)
{
    if (m_s.rsSensors->recordCount() == 0) return false;
    m_s.rsSensors->moveFirst();
    return m_s.rsSensors->find(QStringLiteral("InstrumentID = '") + id + '\'');
}

bool SensorRegistry::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (watched == cboSensors || watched == cboSensors->lineEdit()) {
            if (cboSensorsKeyDown(k->key(), k->text())) return true;
        } else if (watched == cboDestroyed) {
            if (cboDestroyedKeyPress(k->text())) return true;
        } else if (watched == m_txtNode[1]) {
            if (txtNodeKeyPress(1, k->key(), k->text())) return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
