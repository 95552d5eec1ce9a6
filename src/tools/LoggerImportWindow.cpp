#include "tools/LoggerImportWindow.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "data/SensorData.h"
#include "session/Shared.h"
#include "core/StorageFault.h"
#include "tools/ColumnMap.h"
#include "tools/GridWidgets.h"
#include "tools/LoggerGridModel.h"
#include "tools/LoggerImport.h"
#include "tools/ToolsController.h"
#include "widgets/Keyboard.h"
#include "widgets/PageHost.h"
#include "widgets/WindowPlacement.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

LoggerImportWindow::LoggerImportWindow(PageHost& win, ToolsController& tools, const QString& sourcePath,
                                       QWidget* parent)
    : QDialog(parent),
      m_win(win),
      m_s(win.shared()),
      m_tools(tools),
      m_sourcePath(sourcePath)
{
    setObjectName(QStringLiteral("frmWrenData"));
    setWindowTitle(QStringLiteral("Import DataFiles"));
    setModal(true);

    lblHeader = GridWidgets::makeHeaderLabel(this);

    auto* frame = new QGroupBox(QStringLiteral("Datafile Date Format:"), this);
    m_dateFrame = frame;
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        optDateFormat[i] = new QRadioButton(LoggerDates::layoutCaption(LoggerDates::Layout(i)), frame);
        optDateFormat[i]->setObjectName(QStringLiteral("optDateFormat(%1)").arg(i));
        group->addButton(optDateFormat[i], i);
        frameLayout->addWidget(optDateFormat[i]);
    }
    optDateFormat[0]->setChecked(true);
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) layoutChanged();
    });

    lblCounts = new QLabel(this);
    lblCounts->setObjectName(QStringLiteral("lblCounts"));

    // The window's own pre-selection: every new reading at first; one per so many hours
    // when the logger read more often than the length charts need.
    auto* intervalCaption = new QLabel(QStringLiteral("Tick one reading every"), this);
    intervalCaption->setObjectName(QStringLiteral("lblWrenInt"));
    cboLoggerInterval = new QComboBox(this);
    cboLoggerInterval->setObjectName(QStringLiteral("cboWrenInt"));
    cboLoggerInterval->setEditable(true);
    cboLoggerInterval->setInsertPolicy(QComboBox::NoInsert);
    cboLoggerInterval->addItems({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("24")});
    cboLoggerInterval->setCurrentText(QString::number(DefaultInterval));
    cboLoggerInterval->setToolTip(
        QStringLiteral("Minimum interval in hours between the readings ticked; 0 ticks every new reading"));
    cboLoggerInterval->setMinimumContentsLength(4);
    intervalCaption->setBuddy(cboLoggerInterval);
    auto* intervalUnit = new QLabel(QStringLiteral("hours (0: every new reading)"), this);
    connect(cboLoggerInterval, &QComboBox::currentTextChanged, this, &LoggerImportWindow::intervalChanged);
    // Enter in the box applies it; it never reaches the append button.
    cboLoggerInterval->installEventFilter(this);
    if (cboLoggerInterval->lineEdit()) cboLoggerInterval->lineEdit()->installEventFilter(this);

    cmdSelectAll = new QPushButton(QStringLiteral("Select all"), this);
    cmdSelectAll->setObjectName(QStringLiteral("cmdSelectAll"));
    cmdSelectAll->setAutoDefault(false);
    cmdSelectAll->setToolTip(QStringLiteral("Tick every row the sensor does not have yet"));
    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { m_model->setAllSelected(true); });
    cmdSelectNone = new QPushButton(QStringLiteral("Select none"), this);
    cmdSelectNone->setObjectName(QStringLiteral("cmdSelectNone"));
    cmdSelectNone->setAutoDefault(false);
    cmdSelectNone->setToolTip(QStringLiteral("Untick every row"));
    connect(cmdSelectNone, &QPushButton::clicked, this, [this] { m_model->setAllSelected(false); });

    cmdAppend = new QPushButton(QStringLiteral("append"), this);
    cmdAppend->setObjectName(QStringLiteral("cmdAppend"));
    cmdAppend->setAutoDefault(false);
    cmdAppend->setDefault(true);  // Enter appends (after its question); not from inside the grid
    connect(cmdAppend, &QPushButton::clicked, this, &LoggerImportWindow::onAppendClicked);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);
    cmdCancel->setToolTip(QStringLiteral("Close the window; nothing is appended"));
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    lblColumnMap = new QLabel(this);
    lblColumnMap->setObjectName(QStringLiteral("lblColumnMap"));
    lblColumnMap->setWordWrap(true);
    cmdColumnMap = new QPushButton(QStringLiteral("Column map..."), this);
    cmdColumnMap->setObjectName(QStringLiteral("cmdColumnMap"));
    cmdColumnMap->setAutoDefault(false);
    connect(cmdColumnMap, &QPushButton::clicked, this, &LoggerImportWindow::onColumnMapClicked);

    GridWidgets::addMarkPictures(this, &img_x_on, &img_x_off);

    m_model = new LoggerGridModel(this);
    grid = new GridWidgets::GridView(this);
    grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    grid->setModel(m_model);
    grid->setItemDelegate(new GridWidgets::MarkDelegate(LoggerGridModel::MarkRole, img_x_on, img_x_off, grid));
    connect(grid, &QTableView::clicked, this, &LoggerImportWindow::onGridClicked);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &LoggerImportWindow::showCounts);
    connect(m_model, &QAbstractItemModel::modelReset, this, &LoggerImportWindow::showCounts);
    Keyboard::keepEnterIn(grid);
    // A blank switches the mark of the current row, for keyboard use.
    grid->setKeyHandler([this](QChar ch) {
        if (ch != u' ') return false;
        const QModelIndex cur = grid->currentIndex();
        if (cur.isValid()) m_model->toggle(m_model->index(cur.row(), m_model->appendColumn()));
        return true;
    });

    auto* top = new QHBoxLayout;
    top->addWidget(frame);
    top->addWidget(lblColumnMap, 1);
    top->addWidget(cmdColumnMap);
    top->addStretch();
    top->addWidget(cmdAppend);
    top->addWidget(cmdCancel);
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(intervalCaption);
    ticks->addWidget(cboLoggerInterval);
    ticks->addWidget(intervalUnit);
    ticks->addSpacing(24);
    ticks->addWidget(cmdSelectAll);
    ticks->addWidget(cmdSelectNone);
    ticks->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeader);
    layout->addLayout(top);
    layout->addLayout(ticks);
    layout->addWidget(grid);
    layout->addWidget(lblCounts);
    resize(1100, 640);
    // The grid fills the window; the window keeps the size the user last gave it.
    WindowPlacement::restoreSize(this, QStringLiteral("ImportWindow"));

    loadFile();
}

LoggerImportWindow::~LoggerImportWindow() = default;

LoggerDates::Layout LoggerImportWindow::layout() const
{
    for (int i = 0; i < 3; ++i)
        if (optDateFormat[i] && optDateFormat[i]->isChecked()) return LoggerDates::Layout(i);
    return LoggerDates::Layout::YearFirst;
}

int LoggerImportWindow::interval() const
{
    return cboLoggerInterval ? LoggerDates::intervalHours(cboLoggerInterval->currentText()) : DefaultInterval;
}

void LoggerImportWindow::intervalChanged()
{
    // Ticks again by the new interval (hand-made ticks are replaced), only when the number
    // itself changed.
    const int hours = interval();
    if (hours == m_appliedInterval) return;
    m_appliedInterval = hours;
    if (m_model && m_model->rowCount() > 0) {
        m_model->setMapping(mapping(), hours);
        markStored();
    } else {
        showCounts();
    }
}

bool LoggerImportWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && cboLoggerInterval &&
        (watched == cboLoggerInterval || watched == cboLoggerInterval->lineEdit())) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            intervalChanged();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LoggerImportWindow::loadFile()
{
    ignoringErrors([&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) {
            if (m_s.rsReadings->hasCurrentRow()) m_s.savedReadingBookmark = m_s.rsReadings->bookmark();
            m_s.rsReadings->close();
        }
    });
    ignoringErrors([&] { SessionData::OpenSensorData(m_s); });
    m_format = m_tools.dataFile().format;
    m_target = {m_s.subWindowSensor, 0, false};
    ignoringErrors([&] { m_target = LoggerImport::targetFor(m_s.db, m_s.subWindowSensor); });
    const bool named = m_format != LoggerFormats::Format::CommaSeparated;
    m_dateFrame->setVisible(!named);
    lblColumnMap->setVisible(named);
    cmdColumnMap->setVisible(named);
    if (named) showMap();
    // Which file goes to which sensor.
    setWindowTitle(QStringLiteral("Import DataFiles: ") + QFileInfo(m_sourcePath).fileName() +
                   QStringLiteral(" to sensor ") + m_s.subWindowSensor);
    if (!m_tools.noDataFile()) {
        lblHeader->setText(QStringLiteral("Click to download textfile data to Sensor ") + m_s.subWindowSensor);
        cmdAppend->setEnabled(true);
    } else {
        lblHeader->setText(QStringLiteral("No data found for this sensor"));
        cmdAppend->setEnabled(false);
    }
    ignoringErrors([&] { PopulateSFlexGrid(); });
}

bool LoggerImportWindow::PopulateSFlexGrid()
{
    if (!m_model || !grid) return false;
    if (m_tools.noDataFile()) {
        m_model->clear();
        return false;
    }
    m_appliedInterval = interval();
    m_model->setTable(m_tools.takeDataFileRows(), columns(), mapping(), m_appliedInterval);
    markStored();
    QHeaderView* h = grid->horizontalHeader();
    if (m_model->rowCount() == 0) {
        h->resizeSection(0, GridWidgets::twips(this, 1800));
        return true;
    }
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const QString header = m_model->headerData(c, Qt::Horizontal).toString();
        h->resizeSection(c, GridWidgets::twips(this, 120 * int(header.trimmed().size()) + 240));
    }
    h->resizeSection(0, GridWidgets::twips(this, 2600));
    return true;
}

LoggerReadings::Mapping LoggerImportWindow::mapping() const
{
    if (m_format == LoggerFormats::Format::CommaSeparated)
        return LoggerFormats::commaSeparatedMapping(int(layout()), m_target);
    LoggerReadings::Mapping m;
    LoggerFormats::mappingFor(m_tools.dataFile(), m_tools.columnMap(), m);
    return m;
}

std::vector<LoggerGridModel::Column> LoggerImportWindow::columns() const
{
    if (m_format == LoggerFormats::Format::CommaSeparated) return LoggerGridModel::commaSeparatedColumns();
    const LoggerReadings::Mapping m = mapping();
    std::vector<LoggerGridModel::Column> out{{QStringLiteral("Reading Date & Time"), m.dateField, true}};
    if (m_target.tempChannel) out.push_back({Reading::TemperatureColumn, m.tempField, false});
    for (int k = 0; k < m_target.gauges; ++k)
        out.push_back(
            {Reading::channelColumn(k + 1), size_t(k) < m.gaugeFields.size() ? m.gaugeFields[size_t(k)] : -1, false});
    return out;
}

void LoggerImportWindow::showMap()
{
    const ColumnMap& map = m_tools.columnMap();
    QStringList parts{map.dateColumn + QStringLiteral(" (") + LoggerClock::caption(map.layout) +
                      QStringLiteral(") \u2192 date")};
    if (m_target.tempChannel && !map.tempColumn.isEmpty())
        parts << map.tempColumn + QStringLiteral(" \u2192 ") + Reading::TemperatureColumn;
    for (int k = 0; k < map.gaugeColumns.size(); ++k)
        if (!map.gaugeColumns[k].isEmpty())
            parts << map.gaugeColumns[k] + QStringLiteral(" \u2192 ") + Reading::channelColumn(k + 1);
    if (map.clockOffsetHours != 0)
        parts << QStringLiteral("clock offset %1 h").arg(QString::number(map.clockOffsetHours, 'f', 2));
    if (!map.missingCodes.isEmpty())
        parts << QStringLiteral("no reading: ") + map.missingCodes.join(QStringLiteral(", "));
    lblColumnMap->setText(m_tools.dataFile().description + QStringLiteral(": ") + parts.join(QStringLiteral(", ")));
}

void LoggerImportWindow::onColumnMapClicked()
{
    runTrapped(QStringLiteral(" frmWrenData.cmdColumnMap_Click"), [&] {
        if (!m_tools.chooseColumnMap(this, m_tools.columnMap())) return;
        showMap();
        m_model->setMapping(mapping(), interval(), columns());
        markStored();
    });
}

void LoggerImportWindow::layoutChanged()
{
    // The marks follow the layout the dates are read in.
    if (m_model && m_model->rowCount() > 0) {
        m_model->setMapping(mapping(), interval());
        markStored();
    }
}

void LoggerImportWindow::markStored()
{
    // Rows the sensor has already are greyed and left unmarked; without the database the
    // duplicate check of the append still refuses them.
    ignoringErrors(
        [&] { m_model->setStored(LoggerImport::storedRows(m_s.db, m_s.subWindowSensor, m_model->moments())); });
    showCounts();
}

void LoggerImportWindow::showCounts()
{
    if (!lblCounts || !m_model) return;
    const int rows = m_model->rowCount();
    if (rows == 0 || m_model->columnCount() <= 1) {
        lblCounts->clear();
        return;
    }
    const int stored = m_model->storedCount();
    QString text = QStringLiteral("%1 of %2 rows ticked to append").arg(m_model->selectedCount()).arg(rows);
    if (stored > 0)
        text += QStringLiteral("; %1 already stored for sensor %2 (greyed)").arg(stored).arg(m_s.subWindowSensor);
    const int hours = m_appliedInterval;
    if (hours > 0)
        text += QStringLiteral(". Pre-selected: one reading every %1 hour%2.").arg(hours).arg(hours == 1 ? "" : "s");
    else text += QStringLiteral(". Pre-selected: every new reading.");
    lblCounts->setText(text);
}

void LoggerImportWindow::onGridClicked(const QModelIndex& index)
{
    if (m_model) m_model->toggle(index);
}

QString LoggerImportWindow::nothingTickedReason() const
{
    const int rows = m_model ? m_model->rowCount() : 0;
    if (rows == 0 || m_tools.noDataFile())
        return QStringLiteral("The file holds no readings: there is nothing to append.");
    if (m_model->storedCount() == rows)
        return QStringLiteral("Sensor %1 has every reading of this file already: there is nothing to append.")
            .arg(m_s.subWindowSensor);
    return QStringLiteral(
        "No reading is ticked, so nothing can be appended.\r\n"
        "Tick the readings to append in the Append column (click, or Space), or use Select all.");
}

void LoggerImportWindow::onAppendClicked()
{
    const int ticked = m_model ? m_model->selectedCount() : 0;
    if (ticked == 0) {
        // Nothing would happen: the window stays open with the reason.
        Messages::show(nothingTickedReason(), QString(), Messages::Icon::Information);
        return;
    }
    const auto answer = Messages::show(
        QStringLiteral("Append %1 ticked reading%2 to sensor %3?\r\n\r\n")
                .arg(QLocale(QLocale::English).toString(ticked), ticked == 1 ? QString() : QStringLiteral("s"),
                     m_s.subWindowSensor) +
            QStringLiteral(
                "Plot Spatial (the length charts) is ticked on the first new reading of each day that has none."),
        QString(), Messages::Icon::None, Messages::Buttons::YesNo);
    if (answer == Messages::Answer::Yes) {
        LoggerReadings::Outcome outcome;
        QString failure;
        try {
            const LoggerImport::Target target = LoggerImport::targetFor(m_s.db, m_s.subWindowSensor);
            const LoggerReadings::Mapping m = mapping();
            LoggerReadings::Survey survey;
            {
                GridWidgets::ProgressWindow progress(this, QStringLiteral("Checking the readings..."));
                survey = LoggerReadings::survey(m_model->table(), m_model->selection(), m, target, progress.progress());
            }
            if (survey.cancelled) {
                Messages::show(QStringLiteral("The import was cancelled; nothing was appended."));
                return;
            }
            // Lines that cannot be stored are listed before anything is stored; the user decides.
            if (!survey.refused.empty()) {
                const auto go = Messages::show(
                    LoggerReadings::refusalSummary(survey.refused) +
                        (survey.ready > 0 ? QStringLiteral("\r\n\r\nAppend the other %1 readings?").arg(survey.ready)
                                          : QStringLiteral("\r\n\r\nNo other reading is selected. Close the window?")),
                    QString(), Messages::Icon::Exclamation, Messages::Buttons::YesNo, Messages::Answer::No);
                if (go != Messages::Answer::Yes) return;  // the window stays open, its marks as they were
            }
            GridWidgets::ProgressWindow progress(this, QStringLiteral("Appending readings..."));
            outcome = LoggerReadings::append(m_s.db, target, m_model->table(), survey, m, progress.progress());
        } catch (const TwError& e) {
            WriteLog(trapMessage(e.number, e.description, QStringLiteral(" frmWrenData.cmdAppend_Click")));
            failure = e.isStorageFault() ? StorageFault::reason(e) : e.description;
        }
        if (!failure.isNull()) {
            // The append is one transaction: nothing of it was stored, and the window stays
            // open with its marks, so it can be tried again.
            Messages::show(QStringLiteral("The readings could not be appended: ") + failure +
                               QStringLiteral(".\r\nNothing was stored."),
                           QString(), Messages::Icon::Exclamation);
            return;
        }
        if (outcome.cancelled) {
            // Nothing was stored; the window stays open with its marks as they were.
            Messages::show(QStringLiteral("The import was cancelled; nothing was appended."));
            return;
        }
        const QString dups = LoggerReadings::duplicatesMessage(outcome.duplicates, outcome.duplicateKeys);
        if (!dups.isEmpty()) Messages::show(dups);
        if (outcome.appended == 0) {
            Messages::show(QStringLiteral(" No data was found to append"));
        } else {
            Messages::show(QString::number(outcome.appended) + QStringLiteral(" records appended to ") +
                           m_s.subWindowSensor);
            // Keep a copy of what was imported in the data folder.
            runTrapped(QStringLiteral(" frmWrenData.ArchiveDataFile"), [&] {
                const QString copy = QDir(m_s.dataFolder).filePath(LoggerImport::WorkingCopyName);
                const QString suffix = QFileInfo(m_sourcePath).suffix();
                LoggerImport::archiveCopy(
                    m_s.dataFolder, LoggerImport::FileExists(copy) ? copy : m_sourcePath, m_s.subWindowSensor,
                    QDate::currentDate(),
                    m_format == LoggerFormats::Format::CommaSeparated ? QStringLiteral("txt") : suffix);
            });
        }
    }
    m_model->clear();
    cmdAppend->setEnabled(false);
    accept();
}

void LoggerImportWindow::readyToClose()
{
    if (m_unloaded) return;
    m_unloaded = true;
    ignoringErrors([&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) m_s.rsReadings->close();
    });
    m_tools.closeDataFile();
    m_tools.returnToSavedReading();
}

void LoggerImportWindow::done(int r)
{
    readyToClose();
    WindowPlacement::saveSize(this, QStringLiteral("ImportWindow"));
    QDialog::done(r);
}
