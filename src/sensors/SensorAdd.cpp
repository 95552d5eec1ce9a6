// Adding a sensor by its nine-digit number: the Add New prompt, Enter in the sensor box
// with its prefix completion and length limit, and AddTypedSensor.
#include "core/AppInfo.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorTables.h"
#include "sensors/RecordText.h"
#include "sensors/SensorNumber.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "store/DataTables.h"

#include <QComboBox>
#include <QDate>
#include <QLineEdit>

void SensorRegistry::onAddSensorClicked()
{
    runTrapped(QStringLiteral(" imgAddSensor_Click"), [&] {
        m_s.typedSensorNumber.clear();
        // The prompt says what a number looks like; a number refused for its form opens the
        // prompt again with what was typed, selected for retyping. The same refused text
        // given twice in a row ends the asking.
        const QString question = QStringLiteral("Enter new Sensor No:\r\n\r\n") +
                                 QStringLiteral("Nine digits: the date part (4), the sensor type (2) and the serial ") +
                                 QStringLiteral("number 001 to 999.\r\nFor example 240375101: date part 2403, ") +
                                 QStringLiteral("type 75, serial 101.");
        QString typed, refused;
        for (;;) {
            const std::optional<QString> answer = Messages::prompt(question, QStringLiteral("Add New Sensor"), typed);
            if (!answer || answer->isEmpty()) {
                Messages::show(QStringLiteral("No sensor entered"), QStringLiteral("Add New Sensor"));
                return;
            }
            typed = *answer;
            const SensorNumber::Check c = SensorNumber::check(typed.trimmed());
            if (c == SensorNumber::Check::Ok) break;
            Messages::show(SensorNumber::refusalText(c), SensorNumber::RefusalTitle);
            if (typed == refused) return;
            refused = typed;
        }
        m_s.typedSensorNumber = typed;
        AddTypedSensor();
    });
}

bool SensorRegistry::cboSensorsKeyDown(int key, const QString& text)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_s.typedSensorNumber = cboSensors->currentText();
        AddTypedSensor();
        return true;  // Enter adds; it never chooses from the list
    }
    m_editingKey = key == Qt::Key_Delete || key == Qt::Key_Backspace;
    // A typed character other than Backspace is refused once the box holds more than
    // nine characters.
    if (!text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127 &&
        cboSensors->currentText().size() > 9)
        return true;
    return false;
}

void SensorRegistry::completeSensorEntry(const QString& text)
{
    if (m_editingKey || text.isEmpty()) return;
    QLineEdit* edit = cboSensors->lineEdit();
    const int caret = edit->cursorPosition();
    for (int i = 0; i < cboSensors->count(); ++i) {
        const QString entry = cboSensors->itemText(i);
        if (!entry.startsWith(text, Qt::CaseInsensitive)) continue;
        // The entry becomes the selected one, which chooses that sensor.
        cboSensors->setCurrentIndex(i);
        cboSensors->setEditText(entry);
        onSensorChosen();
        // The caret stays; the rest of the entry is selected.
        edit->setText(entry);
        edit->setSelection(int(entry.size()), caret - int(entry.size()));
        return;
    }
}

void SensorRegistry::AddTypedSensor()
{
    runTrapped(QStringLiteral(" G_AddTypedSensor"), [&] {
        const QString n = m_s.typedSensorNumber.trimmed();
        // 1. Show the number and keep the shown sensor's edits; when they cannot be
        // saved and stay on screen, nothing is added.
        const QString shown = m_s.currentSensorId();
        cboSensors->setEditText(n);
        if (!savefields(SaveThen::MoveAway)) {
            cboSensors->setEditText(shown);
            return;
        }

        // 2-4. The number's form.
        const SensorNumber::Check c = SensorNumber::check(n);
        if (c != SensorNumber::Check::Ok) {
            Messages::show(SensorNumber::refusalText(c), SensorNumber::RefusalTitle);
            return;
        }
        const SensorNumber::Parts parts = SensorNumber::split(n);

        // 5. The type must be known: nothing can be added without its Configuration row.
        if (!findConfiguration(parts.typeCode)) {
            restoreConfiguration();
            Messages::show(QStringLiteral("Sensors database error!!!"));
            return;
        }
        const QString family = m_s.rsConfig->text(QStringLiteral("Family"));
        const QString model = m_s.rsConfig->text(QStringLiteral("Model"));
        const QVariant channels = m_s.rsConfig->value(QStringLiteral("NumChannels"));
        restoreConfiguration();

        // 6. An existing number is refused, whichever sensor is shown; the search does not
        // move the Sensors recordset, so the shown sensor stays the current row.
        const bool registered =
            m_s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = ?"), {n}).toLongLong() > 0;
        if (registered) {
            Messages::show(QStringLiteral("Sensor ") + n + QStringLiteral(" already exists\r\n\r\n") +
                               QStringLiteral("Type a new sensor number in the 'Add or Select Sensor' combo box\r\n") +
                               QStringLiteral("Then click 'Add New' or hit the Enter key"),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return;
        }
        if (SessionData::TableExists(m_s.databasePath, n)) {
            // A data table without its Sensors row: adding would take over readings of
            // unknown origin, so nothing is changed.
            Messages::show(QStringLiteral("The database already holds a data table named ") + n +
                               QStringLiteral(", but no sensor of that number is registered.\r\n\r\n") +
                               QStringLiteral("Sensor ") + n +
                               QStringLiteral(" was not added and nothing was changed."),
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
            return;
        }

        // 7. Confirm, then add the Sensors row, the data table and the NetworkConfig row.
        const auto answer =
            Messages::show(QStringLiteral("Do you want to add new Sensor ") + n + QStringLiteral(" to the database?"),
                           AppInfo::MessageTitle, Messages::Icon::None, Messages::Buttons::YesNo);
        if (answer != Messages::Answer::Yes) return;
        if (!addSensorRows(n, family, model, channels.isNull() ? 0 : channels.toInt())) return;

        // The list and the recordset take the new sensor in InstrumentID order; it is shown
        // and saved.
        m_s.rsSensors->requery();
        rebuildSensorList();
        cboSensors->setEditText(n);
        txtSCount->setText(QString::number(m_s.rsSensors->recordCount()));
        if (!moveToSensor(n)) m_s.rsSensors->moveFirst();  // a filter in force may hide it
        fillfields();
        cboSensors->setEditText(m_s.currentSensorId());
        savefields();
    });
}

bool SensorRegistry::addSensorRows(const QString& n, const QString& family, const QString& model, int channels)
{
    Recordset& rs = *m_s.rsSensors;
    const QString shown = m_s.currentSensorId();
    const SensorNumber::Parts parts = SensorNumber::split(n);
    try {
        // The data table and both rows in one transaction: a failure (another user adding
        // the same number at the same moment included) leaves nothing, and other users see
        // the sensor whole or not at all.
        Transaction tx(m_s.db, Transaction::Lock::Immediate);
        DataTables::createDataTable(m_s.db, n);
        rs.addNew();
        rs.setValue(QStringLiteral("InstrumentID"), n);
        rs.setValue(QStringLiteral("Family"), family);
        rs.setValue(QStringLiteral("numgauges"), channels);
        rs.setValue(QStringLiteral("Model"), model);
        rs.setValue(QStringLiteral("SensorType"), parts.typeCode);
        rs.setValue(QStringLiteral("DateID"), parts.dateId);
        rs.setValue(QStringLiteral("TypeID"), parts.typeCode);
        rs.setValue(QStringLiteral("SensorNo"), parts.serial);
        rs.setValue(QStringLiteral("InstallDate"), QDate::currentDate().toString(RecordText::StoredDateFormat));
        rs.setValue(QStringLiteral("Destroyed"), QStringLiteral("No"));
        rs.setValue(QStringLiteral("HeadLocation"), true);
        rs.setValue(QStringLiteral("LengthofCable"), 0);
        rs.setValue(QStringLiteral("Stacked"), true);
        rs.update();

        Recordset net(m_s.db);
        net.open(QStringLiteral("SELECT * FROM NetworkConfig ORDER BY SensorID;"));
        net.addNew();
        net.setValue(QStringLiteral("SensorID"), n);
        net.setValue(QStringLiteral("MasterID"), QStringLiteral("NA"));
        net.setValue(QStringLiteral("SlaveID"), QStringLiteral("NA"));
        net.setValue(QStringLiteral("SlotID"), QStringLiteral("NA"));
        net.setValue(QStringLiteral("TimeConfig"), 24);
        net.update();
        net.close();
        tx.commit();
        return true;
    } catch (...) {
        rs.cancelUpdate();
        // The transaction took the table back with the rows. (Nothing is dropped by name
        // here: a table of that number may be another user's sensor added meanwhile.)
        // Back to the sensor that was shown.
        ignoringErrors([&] {
            rs.requery();
            if (!shown.isEmpty()) moveToSensor(shown);
        });
        cboSensors->setEditText(shown);
        Messages::show(QStringLiteral("Sensor ") + n + QStringLiteral(" could not be added.\r\n") +
                           QStringLiteral("Nothing was changed; the details are in the log file."),
                       AppInfo::MessageTitle, Messages::Icon::Critical);
        throw;
    }
}
