// Choosing a sensor from the list, stepping to the next or previous one, deleting one,
// and the destroyed flag.
#include "core/AppInfo.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "data/Rejections.h"
#include "core/Messages.h"
#include "data/AlarmStore.h"
#include "sensors/RecordText.h"
#include "sensors/SensorDeletion.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "store/DataTables.h"

#include <QComboBox>
#include <optional>
#include <QLineEdit>

void SensorRegistry::onSensorChosen()
{
    if (m_s.loading || !m_s.rsSensors || !m_s.rsSensors->isOpen()) return;
    runTrapped(QStringLiteral(" cboSensors_Click"), [&] {
        const QString shown = m_s.currentSensorId();
        if (!savefields(SaveThen::MoveAway)) {
            // The shown sensor's details stay on screen to be corrected or saved later.
            cboSensors->setEditText(shown);
            return;
        }
        const QString chosen = cboSensors->currentText();
        if (!rereadSensorsIfChanged(false) && chosen == shown) return;
        if (!moveToSensor(chosen)) {
            Messages::show(QStringLiteral("Error: Could not find data on the chosen sensor"));
            // Stay with the sensor that was shown, so there is always a current row to save.
            if (!shown.isEmpty() && moveToSensor(shown)) cboSensors->setEditText(shown);
        }
        fillfields();
        txtSCount->setText(QString::number(m_s.rsSensors->recordCount()));
    });
}

bool SensorRegistry::selectSensor(const QString& id)
{
    bool found = false;
    runTrapped(QStringLiteral(" G_selectSensor"), [&] {
        const QString shown = m_s.currentSensorId();
        if (shown == id) {
            found = true;
            return;
        }
        savefields();
        found = moveToSensor(id);
        if (!found) {
            Messages::show(QStringLiteral("Sensor ") + id +
                               QStringLiteral(" is not in the sensor list: it was deleted, or the filter on the "
                                              "Utilities page leaves it out."),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            if (!shown.isEmpty()) moveToSensor(shown);
            return;
        }
        fillfields();
        cboSensors->setEditText(id);
    });
    return found;
}

void SensorRegistry::onNextSensorClicked()
{
    runTrapped(QStringLiteral(" imgNext_Click"), [&] {
        Recordset& rs = *m_s.rsSensors;
        // At the end, another user may have added a sensor after it since the list was read.
        if ((rs.recordCount() == 0 || rs.absolutePosition() == rs.recordCount()) && !rs.othersMayHaveChanged()) {
            Messages::show(QStringLiteral("End of sensors"));
            return;
        }
        if (!savefields(SaveThen::MoveAway)) return;
        // Sensors other users added or deleted meanwhile are in the list the move goes through.
        if (!rereadSensorsIfChanged(false)) return;
        if (rs.recordCount() == 0 || rs.absolutePosition() == rs.recordCount()) {
            Messages::show(QStringLiteral("End of sensors"));
            return;
        }
        rs.moveNext();
        fillfields();
        cboSensors->setEditText(rs.text(QStringLiteral("InstrumentID")));
    });
}

void SensorRegistry::onPreviousSensorClicked()
{
    runTrapped(QStringLiteral(" imgPrevious_Click"), [&] {
        Recordset& rs = *m_s.rsSensors;
        if ((rs.recordCount() == 0 || rs.absolutePosition() == 1) && !rs.othersMayHaveChanged()) {
            Messages::show(QStringLiteral("Start of Sensors"));
            return;
        }
        if (!savefields(SaveThen::MoveAway)) return;
        if (!rereadSensorsIfChanged(false)) return;
        if (rs.recordCount() == 0 || rs.absolutePosition() == 1) {
            Messages::show(QStringLiteral("Start of Sensors"));
            return;
        }
        rs.movePrevious();
        fillfields();
        cboSensors->setEditText(rs.text(QStringLiteral("InstrumentID")));
    });
}

void SensorRegistry::onDeleteSensorClicked()
{
    // Runs with errors ignored: a step that fails is skipped and the next one runs.
    Recordset* rs = m_s.rsSensors.get();
    if (!rs || !rs->isOpen() || !rs->hasCurrentRow()) return;
    QString id;
    if (!ignoringErrors([&] { id = rs->text(QStringLiteral("InstrumentID")); })) return;
    // The question tells what goes with the sensor; No (also Escape) is the safe default.
    QString question = QStringLiteral("Permanently delete Sensor ") + id + QStringLiteral(" from database?");
    ignoringErrors([&] { question = SensorDeletion::question(id, SensorDeletion::survey(m_s.db, id)); });
    const auto answer = Messages::show(question, QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::Exclamation,
                                       Messages::Buttons::YesNo, Messages::Answer::No);
    if (answer != Messages::Answer::Yes) return;

    // Recordsets still open on the sensor's data table let go of it first.
    ignoringErrors([&] {
        for (auto* open : {&m_s.rsReadings, &m_s.rsGraph})
            if (*open && (*open)->isOpen() && (*open)->table() == id) (*open)->close();
    });
    // The steps are one transaction: other users (and a crash half-way) see the sensor
    // whole or gone, never its row without its readings.
    std::optional<Transaction> tx;
    ignoringErrors([&] { tx.emplace(m_s.db, Transaction::Lock::Immediate); });
    // A table already gone is not tried: on a server a failed statement would undo the
    // whole transaction, the steps that follow included.
    ignoringErrors([&] {
        if (m_s.db.tableExists(id)) m_s.db.execute(DataTables::dropStatement(id));
    });
    ignoringErrors([&] {
        Recordset net(m_s.db);
        net.open(QStringLiteral("SELECT * FROM NetworkConfig ORDER BY SensorID;"));
        if (net.find(QStringLiteral("SensorID = '") + id + '\'')) { net.deleteCurrent(); }
        net.close();
    });
    // Its alarm levels and state go with it; its alarm events stay as the record.
    ignoringErrors([&] { AlarmStore::forgetSensor(m_s.db, id); });
    // Its rejected-value marks go with its readings.
    ignoringErrors([&] { Rejections::forgetSensor(m_s.db, id); });
    ignoringErrors([&] { rs->deleteCurrent(); });
    if (tx) {
        try {
            tx->commit();
        } catch (const TwError& e) {
            tx.reset();
            WriteLog(trapMessage(e.number, e.description, QStringLiteral(" imgDelete_Click")));
            Messages::show(QStringLiteral("Sensor ") + id + QStringLiteral(" could not be deleted: ") + e.description +
                               QStringLiteral("\r\nNothing was deleted."),
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
            ignoringErrors([&] {
                rs->requery();
                showListAfterReread(id);
            });
            return;
        }
    }
    ignoringErrors([&] {
        cboSensors->clear();
        if (rs->recordCount() > 0) {
            rebuildSensorList();
            cboSensors->setEditText(rs->text(QStringLiteral("InstrumentID")));
        }
    });
    ignoringErrors([&] { fillfields(); });
}

void SensorRegistry::onDestroyedChosen()
{
    const QString flag = cboDestroyed->currentText();
    if (flag == QLatin1String("Yes")) {
        txtDestructionDate->setText(RecordText::todayForDestruction());
        savefields();
        txtDestructionDate->setFocus();
        showHeart(true);
    } else if (flag == QLatin1String("No")) {
        txtDestructionDate->clear();
        savefields();
        txtDestructionDate->setFocus();
        showHeart(false);
    }
    savefields();
}

bool SensorRegistry::cboDestroyedKeyPress(const QString& text)
{
    // Keys without a character (arrows, paging) and Tab keep their usual work.
    if (text.isEmpty() || text == QLatin1String("\t")) return false;
    const QChar c = text.at(0);
    const QString choice = (c == 'N' || c == 'n')   ? QStringLiteral("No")
                           : (c == 'Y' || c == 'y') ? QStringLiteral("Yes")
                                                    : QString();
    if (!choice.isEmpty()) {
        cboDestroyed->setCurrentIndex(cboDestroyed->findText(choice));
        onDestroyedChosen();
    }
    m_quietSave = true;
    savefields();
    m_quietSave = false;
    return true;  // the character never reaches the box
}
