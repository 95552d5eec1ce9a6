// The sensor record: fillfields shows the current row of the Sensors recordset, savefields
// writes the edited boxes back, CalcNCs computes the node and gauge-centre boxes.
#include "calc/Numbers.h"
#include "core/AppInfo.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/StorageFault.h"
#include "data/SensorDetails.h"
#include "sensors/GaugeLayout.h"
#include "sensors/RecordText.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

namespace {
const QString Yes = QStringLiteral("Yes");

const QString ConfigMissing = QStringLiteral("There was an error accessing the Sensors COnfiguration Table");
}  // namespace

void SensorRegistry::clearRecordBoxes()
{
    for (QLineEdit* e : {txtSensor, txtSensor2, txtSensor3, txtDateID, txtTypeID, txtSensorNo, txtFamily,
                         txtLengthofCable, txtLevel, txtLocation, txtBorehole, txtInstallDate, txtInstallBy, txtPurpose,
                         txtNotes, txtBoltkfactor, txtLengthofGauge, txtNumGauges, txtDestructionDate})
        e->clear();
    for (int i = 1; i <= GaugeLayout::NodeBoxes; ++i) {
        m_txtNode[size_t(i)]->clear();
        m_txtRelSGanchor[size_t(i)]->clear();
    }
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i) {
        m_txtSGCenter[size_t(i)]->clear();
        m_txtRelSGCenter[size_t(i)]->clear();
    }
    cboDestroyed->setCurrentIndex(-1);
    showHeart(false);
    lblAlarmStatus->clear();
    lblAlarmLevels->clear();
}

void SensorRegistry::fillfields()
{
    Recordset* rs = m_s.rsSensors.get();
    if (!rs || !rs->isOpen()) return;

    // 1. No sensors: empty boxes, the mine identifier and "No records".
    if (rs->recordCount() == 0) {
        clearRecordBoxes();
        txtMineID->setText(m_s.prefs.MineID);
        txtSCount->setText(QStringLiteral("0"));
        txtSnav->setText(QStringLiteral("No records"));
        return;
    }
    // 2. No current row.
    if (!rs->hasCurrentRow()) {
        Messages::show(QStringLiteral("Either you are at the first record or the last record."),
                       QStringLiteral("Cannot Fill Fields"), Messages::Icon::Exclamation);
        return;
    }

    // Every statement from here runs with errors ignored: a failing one is skipped, and a
    // field the row could not give leaves its box as it was.
    auto step = [](auto&& f, CodePlace where = CodePlace::here()) { ignoringErrors(f, where); };
    const SensorDetails row = SensorDetails::fromRow(*rs);
    auto show = [&](QLineEdit* box, const QString& value, const char* column) {
        if (row.wasRead(QLatin1String(column))) box->setText(value);
    };
    const bool idRead = row.wasRead(QStringLiteral("InstrumentID"));
    const QString mine = m_s.prefs.MineID;

    // 3. Identification, counts, installation, layout and gauges.
    if (idRead) txtSensor->setText(mine + row.instrumentId);
    txtMineID->setText(mine);
    show(txtDateID, row.dateId, "DateID");
    show(txtTypeID, row.typeId, "TypeID");
    show(txtSensorNo, row.sensorNo, "SensorNo");
    show(txtFamily, row.family, "Family");
    step([&] { txtSCount->setText(QString::number(rs->recordCount())); });
    show(txtLengthofCable, row.lengthOfCable, "LengthofCable");
    step([&] {
        txtSnav->setText(QString::number(rs->absolutePosition()) + QStringLiteral(" of ") +
                         QString::number(rs->recordCount()));
    });
    if (idRead) txtSensor2->setText(mine + row.instrumentId);
    show(txtLevel, row.level, "Level");
    show(txtLocation, row.location, "Location");
    show(txtBorehole, row.borehole, "Borehole");
    show(txtInstallDate, RecordText::installDateForDisplay(row.installDate), "InstallDate");
    show(txtInstallBy, row.installBy, "InstallBy");
    show(txtPurpose, row.purpose, "Purpose");
    show(txtNotes, row.notes, "Notes");
    // A layout not stored (null) leaves the option shown.
    if (row.stacked) (*row.stacked ? optStacked : optStaggered)->setChecked(true);
    show(txtBoltkfactor, row.kFactor, "boltkfactor");
    show(txtLengthofGauge, row.gaugeLength, "lengthofgauge");
    show(txtNumGauges, row.numGauges, "numgauges");
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i) m_txtSGCenter[size_t(i)]->clear();
    show(m_txtNode[1], row.firstNode, "NodeLocation1");

    // 4. The sensor's type in Configuration.
    bool typeFound = false;
    step([&] {
        if (!row.wasRead(QStringLiteral("SensorType"))) return;
        typeFound = findConfiguration(row.sensorType);
        // Told once per sensor, not at every refill of the same record.
        if (!idRead) return;
        const QString& id = row.instrumentId;
        if (!typeFound && !m_unknownTypeTold.contains(id)) {
            m_unknownTypeTold.insert(id);
            Messages::show(ConfigMissing + QStringLiteral("\r\n\r\nSensor ") + id +
                           QStringLiteral(" has the type code \"") + row.sensorType +
                           QStringLiteral("\", which the Configuration table does not hold, so its reading "
                                          "boxes and charts cannot be set up for it."));
        }
    });

    // 5. Positions and their boxes.
    step([&] { CalcNCs(); });
    step([&] { SetNodeBoxes(); });
    // CalcNCs may have stopped before the drawing: it always follows the option shown.
    step([&] { refreshDrawings(); });

    // 6. The third label, the destroyed flag, the heart and the destruction date.
    if (idRead) txtSensor3->setText(mine + row.instrumentId);
    bool destroyed = false;
    if (row.wasRead(QStringLiteral("Destroyed"))) {
        cboDestroyed->setCurrentIndex(cboDestroyed->findText(row.destroyed));
        destroyed = row.destroyed == Yes;
    }
    step([&] { showHeart(destroyed); });
    if (!destroyed) txtDestructionDate->clear();
    else show(txtDestructionDate, RecordText::destructionDateForDisplay(row.destructionDate), "DestructionDate");

    // The alarm status line and the levels.
    step([&] { showAlarmStatus(); });

    // 7. The reading boxes for the type (the Configuration row found in step 4).
    step([&] { m_win.configureReadings(); });

    // 8. The sensor and chart tabs become available.
    step([&] {
        for (int tab : {0, 1, 3, 4, 5, 6}) m_win.setTabEnabled(tab, true);
    });
}

QString SensorRegistry::refusedBoxMessage(SaveThen then) const
{
    const std::pair<QLineEdit*, const char*> numbers[] = {
        {txtLengthofCable, "Length of cable (m)"},     {txtBoltkfactor, "Bolt k factor (ustrain/ton)"},
        {txtLengthofGauge, "Length of gauge (m)"},     {txtNumGauges, "Number of gauges"},
        {m_txtNode[1], "the first node position (m)"},
    };
    auto refusal = [then](const QString& typed, const char* what, const char* caption) {
        QString text = QStringLiteral("The sensor's details were not saved.\r\n\r\n\"") + typed +
                       QStringLiteral("\" is not ") + QLatin1String(what);
        switch (then) {
            case SaveThen::Refill:
                return text + QStringLiteral(", so ") + QLatin1String(caption) +
                       QStringLiteral(" shows its stored value again; the other details typed were not saved either.");
            case SaveThen::Close:
                return text + QStringLiteral(" for ") + QLatin1String(caption) + '.';
            case SaveThen::Stay:
            case SaveThen::MoveAway:
                break;
        }
        return text + QStringLiteral(": please correct ") + QLatin1String(caption) + '.';
    };
    for (const auto& [box, caption] : numbers) {
        const QString t = box->text().trimmed();
        if (!t.isEmpty() && !Numbers::tryLocaleValue(t)) return refusal(box->text(), "a number", caption);
    }
    if (!txtDestructionDate->text().isEmpty() && !RecordText::parseDate(txtDestructionDate->text()).isValid())
        return refusal(txtDestructionDate->text(), "a date", "the destruction date");
    return QString();
}

bool SensorRegistry::savefields(SaveThen then)
{
    Recordset* rs = m_s.rsSensors.get();
    if (!rs || !rs->isOpen() || rs->recordCount() == 0) return true;
    bool goOn = true;
    runTrapped(QStringLiteral(" G_savefields"), [&] {
        if (!rs->hasCurrentRow()) {
            Messages::show(QStringLiteral("Either you are at the first record or the last record."),
                           QStringLiteral("Cannot Save Fields"), Messages::Icon::Exclamation);
            rs->update();  // no current row: fails, and the failure is logged
            return;
        }
        // A number box holding text that is not a number refuses the whole save: the row
        // stays as it was. Moving to another sensor stops, so the boxes keep what was
        // typed and it can be corrected; a refill shows the stored values again.
        const QString refusal = refusedBoxMessage(then);
        if (!refusal.isEmpty()) {
            if (!m_quietSave) Messages::show(refusal, AppInfo::MessageTitle, Messages::Icon::Exclamation);
            if (then == SaveThen::MoveAway) goOn = false;
        }
        try {
            // The record as typed; the positions are computed again between its parts.
            const SensorDetails typed = shownSensor();
            typed.writeRecord(*rs);
            CalcNCs();
            const QString date = txtDestructionDate->text();
            typed.writeStatus(*rs, date.isEmpty() ? QString() : RecordText::destructionDateToStore(date));
            rs->update();
        } catch (TwError& e) {
            // Nothing of a refused save may reach the row later (a move would write it).
            rs->cancelUpdate();
            // Another user changed or deleted the sensor since it was shown: nothing was
            // written; the user sees what is stored now and the caller stops.
            if (tellConflict(e)) {
                goOn = false;
                return;
            }
            if (e.isStorageFault()) {
                if (m_quietSave || then == SaveThen::Stay) {
                    // Saves made while typing: the boxes keep what was typed anyway, and
                    // the next save that leaves the record asks what to do with it.
                    e.told = m_quietSave;
                } else if (StorageFault::askKeep(e, QStringLiteral("The sensor's details"))) {
                    goOn = false;
                }
            }
            throw;
        } catch (...) {
            rs->cancelUpdate();
            throw;
        }
    });
    return goOn;
}

void SensorRegistry::CalcNCs()
{
    // 1. Empty every computed box (the centre boxes too, so a layout change or a missing
    // length never leaves stale positions).
    for (int i = 1; i <= GaugeLayout::NodeBoxes; ++i) {
        m_txtRelSGanchor[size_t(i)]->clear();
        if (i >= 2) m_txtNode[size_t(i)]->clear();
    }
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i) {
        m_txtRelSGCenter[size_t(i)]->clear();
        m_txtSGCenter[size_t(i)]->clear();
    }
    // 2. The first node with two decimals.
    const QString first = m_txtNode[1]->text();
    m_txtRelSGanchor[1]->setText(GaugeLayout::twoDecimals(first));

    const QVariant channels = m_s.rsConfig ? m_s.rsConfig->value(QStringLiteral("NumChannels")) : QVariant();
    if (channels.isNull()) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    const int n = channels.toInt();
    const bool stacked = optStacked->isChecked();
    const std::optional<double> length = GaugeLayout::gaugeLength(txtLengthofGauge->text());  // throws 13
    if (length) {
        const GaugeLayout::Positions p = GaugeLayout::compute(first, *length, n, stacked);
        auto outOfRange = [] { return TwError(9, QStringLiteral("Subscript out of range")); };
        for (int k = 0; k < p.nodes.size(); ++k) {
            const int i = k + 2;
            if (i > GaugeLayout::NodeBoxes) throw outOfRange();
            m_txtNode[size_t(i)]->setText(p.nodes[k]);
            m_txtRelSGanchor[size_t(i)]->setText(GaugeLayout::twoDecimals(p.nodes[k]));
        }
        for (int k = 0; k < p.centres.size(); ++k) {
            const int i = k + 1;
            if (i > GaugeLayout::CentreBoxes) throw outOfRange();
            m_txtSGCenter[size_t(i)]->setText(p.centres[k]);
            m_txtRelSGCenter[size_t(i)]->setText(GaugeLayout::twoDecimals(p.centres[k]));
        }
    }
    // 3.4 / 4.4 The drawing of the layout.
    refreshDrawings();
}
