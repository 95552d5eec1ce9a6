#include "tools/ToolsController.h"
#include "core/AppInfo.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/SensorData.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "tools/GridWidgets.h"
#include "tools/LoggerImport.h"
#include "tools/ColumnMapDialog.h"
#include "tools/DatasheetWindow.h"
#include "tools/LoggerImportWindow.h"
#include "widgets/PageHost.h"

#include <QDir>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>

namespace {
ToolsController::FileChooser g_fileChooser;
QString g_exportFolder;
}  // namespace

ToolsController::ToolsController(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared()) {}

void ToolsController::setFileChooser(FileChooser chooser) { g_fileChooser = std::move(chooser); }

void ToolsController::setExportFolder(const QString& folder) { g_exportFolder = folder; }

QString ToolsController::exportFolder(const QString& dataFolder)
{
    return g_exportFolder.isEmpty() ? QDir(dataFolder).filePath(QStringLiteral("exports")) : g_exportFolder;
}

QString ToolsController::chooseFile()
{
    if (g_fileChooser) return g_fileChooser(m_win.widget());
    // Titled with the sensor the file goes to; it opens in the data folder, where logger
    // files are usually copied.
    return QFileDialog::getOpenFileName(
        m_win.widget(), QStringLiteral("Choose a logger file to import into sensor ") + m_s.subWindowSensor,
        m_s.dataFolder, QStringLiteral("Logger files (*.txt *.dat *.csv);;Text (*.txt);;All files (*)"));
}

void ToolsController::returnToSavedReading()
{
    SessionData::OpenSensorData(m_s);
    ignoringErrors([&] {
        Recordset* rs = m_s.rsReadings.get();
        if (rs && rs->isOpen() && rs->recordCount() > 0) {
            if (m_s.savedReadingBookmark == 0 || !rs->setBookmark(m_s.savedReadingBookmark)) rs->moveLast();
        }
    });
    m_win.showReading();
}

void ToolsController::onDatasheetClicked()
{
    runTrapped(QStringLiteral(" imgDatasheet_Click"), [&] {
        if (!m_win.saveReading()) return;  // kept on screen: nothing opens
        // Remember the reading on screen, so closing the datasheet returns to it.
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) {
            if (m_s.rsReadings->hasCurrentRow()) m_s.savedReadingBookmark = m_s.rsReadings->bookmark();
            m_s.rsReadings->close();
        }
        if (!m_s.rsSensors || !m_s.rsSensors->hasCurrentRow())
            throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("There is no current sensor"));
        m_s.subWindowSensor = SensorDetails::idOf(*m_s.rsSensors);
        DatasheetWindow sheet(m_win, *this, m_win.widget());
        sheet.exec();
        // Values, flags or readings may have changed in the grid.
        m_win.readingsChanged();
    });
}

void ToolsController::OpenDataFile(const QString& fileTitle, const QString& fileName)
{
    Q_UNUSED(fileTitle);
    closeDataFile();
    m_readCancelled = false;
    GridWidgets::ProgressWindow progress(m_win.widget(), QStringLiteral("Reading the logger file..."));
    LoggerImport::LoggerData file = LoggerImport::openLoggerFile(m_s.dataFolder, fileName, progress.progress());
    m_readCancelled = file.file.cancelled;
    if (m_readCancelled) {  // stopped by the user: no window opens, nothing changes
        closeDataFile();
        return;
    }
    m_noDataFile = file.noDataFile;
    m_dataFile = std::move(file.file);
}

bool ToolsController::chooseColumnMap(QWidget* parent, const ColumnMap& start)
{
    const LoggerImport::Target target = LoggerImport::targetFor(m_s.db, m_s.subWindowSensor);
    ColumnMapDialog window(m_s.subWindowSensor, target, m_dataFile, start, parent);
    if (window.exec() != QDialog::Accepted) return false;
    m_map = window.map();
    ColumnMaps::save(m_s.db, m_s.subWindowSensor, LoggerFormats::name(m_dataFile.format), m_dataFile.signature(),
                     m_map);
    return true;
}

bool ToolsController::haveColumnMap()
{
    if (const auto saved = ColumnMaps::load(m_s.db, m_s.subWindowSensor, m_dataFile.signature())) {
        m_map = *saved;
        return true;
    }
    const LoggerImport::Target target = LoggerImport::targetFor(m_s.db, m_s.subWindowSensor);
    return chooseColumnMap(m_win.widget(), ColumnMaps::guess(m_dataFile.names, m_dataFile.firstRows(20), target.gauges,
                                                             target.tempChannel));
}

namespace {
// The first bytes of a file, to tell its format before it is read.
QByteArray headOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
}
}  // namespace

void ToolsController::onImportLoggerDataClicked()
{
    runTrapped(QStringLiteral(" imgAddWrenData_Click"), [&] {
        if (!m_win.saveReading()) return;  // kept on screen: nothing opens
        if (!m_s.rsSensors || !m_s.rsSensors->hasCurrentRow())
            throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("There is no current sensor"));
        m_s.subWindowSensor = SensorDetails::idOf(*m_s.rsSensors);

        const QString path = chooseFile();
        if (path.isEmpty()) return;
        const QString title = QFileInfo(path).fileName();
        // Files with named columns come from a logger program and carry its table's name;
        // only the comma-separated layout is named after its sensor.
        const bool named = LoggerFormats::detect(headOf(path)) != LoggerFormats::Format::CommaSeparated;
        if (!named && title != m_s.subWindowSensor + QStringLiteral(".txt")) {
            const auto answer = Messages::show(
                QStringLiteral("WARNING:\r\n") + title + QStringLiteral(" is not a match for the current sensor of ") +
                    SensorDetails::idOf(*m_s.rsSensors) +
                    QStringLiteral("\r\nAre you sure you want to append this data to the database?\r\n\r\n") +
                    QStringLiteral("This may cause undesirable results including corruption and loss of database"),
                QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::Exclamation, Messages::Buttons::YesNo,
                Messages::Answer::No);
            if (answer != Messages::Answer::Yes) return;
        }
        try {
            OpenDataFile(title, path);
        } catch (const TwError& e) {
            // A file that cannot be read or is gone, or a data folder that cannot be
            // written: said so (and logged), nothing imported.
            WriteLog(trapMessage(e.number, e.description, QStringLiteral(" imgAddWrenData_Click")));
            Messages::show(e.description + QStringLiteral(".\r\nNothing was imported."), AppInfo::MessageTitle,
                           Messages::Icon::Exclamation);
            return;
        }
        if (m_readCancelled) return;
        if (m_noDataFile) {
            Messages::show(QStringLiteral("There was no data found for this sensor."), QString(),
                           Messages::Icon::Information);
            return;
        }
        if (!m_dataFile.error.isEmpty()) {
            Messages::show(QStringLiteral("The file ") + title + QStringLiteral(" cannot be imported:\r\n") +
                               LoggerFormats::refusalText(m_dataFile),
                           QString(), Messages::Icon::Exclamation);
            return;
        }
        if (m_dataFile.needsMap() && !haveColumnMap()) return;
        LoggerImportWindow window(m_win, *this, path, m_win.widget());
        window.exec();
        // The imported readings are evaluated against the alarm levels.
        m_win.readingsChanged();
    });
    closeDataFile();
}
