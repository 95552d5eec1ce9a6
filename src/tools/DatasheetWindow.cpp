#include "tools/DatasheetWindow.h"
#include "core/AppInfo.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "data/AlarmStore.h"
#include "core/Messages.h"
#include "session/Shared.h"
#include "core/StorageFault.h"
#include "tools/DatasheetExport.h"
#include "tools/DatasheetModel.h"
#include "tools/GridWidgets.h"
#include "tools/LoggerImport.h"
#include "tools/ToolsController.h"
#include "tools/RejectedNotes.h"
#include "tools/XlsxExport.h"
#include "widgets/PageHost.h"
#include "widgets/SavedTo.h"
#include "widgets/WindowPlacement.h"

#include <QCheckBox>
#include <QDateTime>
#include <algorithm>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace {

const QStringList SaveChoices = {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")};

// The sensor type's gauge count (its NumChannels); the first digit of the type code less
// one when the type is not in Configuration.
int gaugeCount(Shared& s, const QString& sensor)
{
    int gauges = -1;
    ignoringErrors([&] { gauges = LoggerImport::targetFor(s.db, sensor).gauges; });
    if (gauges < 0) gauges = sensor.size() >= 5 ? std::max(0, sensor.mid(4, 1).toInt() - 1) : 0;
    return std::clamp(gauges, 0, 10);
}

QIcon exportIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 110, 60), 1.5));
    p.setBrush(QColor(235, 247, 238));
    p.drawRect(QRectF(4.5, 3.5, 23, 25));
    for (int i = 1; i < 4; ++i) p.drawLine(QPointF(4.5, 3.5 + i * 6.25), QPointF(27.5, 3.5 + i * 6.25));
    p.drawLine(QPointF(12.5, 3.5), QPointF(12.5, 28.5));
    p.drawLine(QPointF(20, 3.5), QPointF(20, 28.5));
    return QIcon(pm);
}

}  // namespace

DatasheetWindow::DatasheetWindow(PageHost& win, ToolsController& tools, QWidget* parent)
    : QDialog(parent),
      m_win(win),
      m_s(win.shared()),
      m_tools(tools)
{
    setObjectName(QStringLiteral("frmDatasheet"));
    setWindowTitle(QStringLiteral("Tarnwell DataSheet"));
    setModal(true);

    lblHeader = GridWidgets::makeHeaderLabel(this);

    cmdExport = new QToolButton(this);
    cmdExport->setObjectName(QStringLiteral("Image1"));
    cmdExport->setIcon(exportIcon());
    cmdExport->setIconSize(QSize(32, 32));
    cmdExport->setAutoRaise(true);
    cmdExport->setToolTip(QStringLiteral("Export the datasheet to a spreadsheet"));
    cmdExport->setAccessibleName(QStringLiteral("Export to spreadsheet"));
    connect(cmdExport, &QToolButton::clicked, this, &DatasheetWindow::onExportClicked);
    auto* exportCaption = new QLabel(QStringLiteral("Export to spreadsheet"), this);
    chkExportComputed = new QCheckBox(QStringLiteral("With computed loads and displacements"), this);
    chkExportComputed->setObjectName(QStringLiteral("chkExportComputed"));
    chkExportComputed->setToolTip(
        QStringLiteral("Adds the loads (t) and displacements (microns) computed from the "
                       "gauges, against the first reading, beside the gauges"));

    GridWidgets::addMarkPictures(this, &img_x_on, &img_x_off);

    grid = new GridWidgets::GridView(this);
    grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    // Spreadsheet editing: a typed key replaces a value cell's text, F2 or a double click
    // edits inside it.
    grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::DoubleClicked);
    grid->setKeyHandler([this](QChar ch) { return onGridKeyPress(ch); });
    connect(grid, &GridWidgets::GridView::editorClosed, this, [this] {
        if (m_model) tellRefusal(m_model->takeRefusal());
    });
    grid->setHorizontalHeader(new GridWidgets::UnitHeader(DatasheetModel::UnitRole, grid));
    connect(grid, &QTableView::clicked, this, &DatasheetWindow::onGridClicked);

    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    cmdClose->setToolTip(QStringLiteral("Close; with corrected values or plot marks, asks whether to save them"));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    cmdDiscard = new QPushButton(QStringLiteral("Discard changes"), this);
    cmdDiscard->setObjectName(QStringLiteral("cmdDiscard"));
    cmdDiscard->setAutoDefault(false);
    cmdDiscard->setEnabled(false);
    cmdDiscard->setToolTip(QStringLiteral("Close without saving the values and plot marks changed here"));
    connect(cmdDiscard, &QPushButton::clicked, this, &DatasheetWindow::onDiscardClicked);

    cmdReject = new QPushButton(QStringLiteral("Reject/Restore..."), this);
    cmdReject->setObjectName(QStringLiteral("cmdReject"));
    cmdReject->setAutoDefault(false);
    cmdReject->setToolTip(
        QStringLiteral("Reject the value of the chosen cell (a date cell: the whole reading) with a "
                       "reason, or restore it; a rejected value stays stored and counts as no value"));
    connect(cmdReject, &QPushButton::clicked, this, &DatasheetWindow::onRejectClicked);

    auto* top = new QHBoxLayout;
    top->addWidget(lblHeader);
    top->addStretch();
    top->addWidget(chkExportComputed);
    top->addWidget(exportCaption);
    top->addWidget(cmdExport);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdReject);
    bottom->addStretch();
    bottom->addWidget(cmdDiscard);
    bottom->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grid);
    layout->addLayout(bottom);
    setTabOrder(chkExportComputed, cmdExport);
    setTabOrder(cmdExport, grid);
    setTabOrder(grid, cmdDiscard);
    setTabOrder(cmdDiscard, cmdClose);
    resize(1000, 640);
    // The grid fills the window; the window keeps the size the user last gave it.
    m_sizeRemembered = WindowPlacement::restoreSize(this, QStringLiteral("Datasheet"));
    grid->setFocus();  // the keyboard starts in the grid

    loadReadings();
}

DatasheetWindow::~DatasheetWindow() = default;

void DatasheetWindow::loadReadings()
{
    runTrapped(QStringLiteral(" frmDatasheet.Form_Load"), [&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) {
            if (m_s.rsReadings->hasCurrentRow()) m_s.savedReadingBookmark = m_s.rsReadings->bookmark();
            m_s.rsReadings->close();
        }
        const QString sensor = m_s.subWindowSensor;
        m_model = new DatasheetModel(m_s.db, sensor, gaugeCount(m_s, sensor), this);
        lblHeader->setText(QStringLiteral("Data for Sensor ") + sensor);
        PopulateFlexGrid();
    });
}

bool DatasheetWindow::PopulateFlexGrid()
{
    if (!m_model || !grid) return false;
    ignoringErrors([&] { m_model->load(); });
    grid->setModel(m_model);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { cmdDiscard->setEnabled(m_model->changed()); });
    auto* delegate = new GridWidgets::NumberDelegate(DatasheetModel::MarkRole, img_x_on, img_x_off, grid);
    grid->setItemDelegate(delegate);
    if (m_model->readingCount() == 0) {
        grid->horizontalHeader()->resizeSection(0, GridWidgets::twips(this, 2600));
        return true;
    }
    const QStringList headers = DatasheetModel::headersFor(m_model->gauges());
    for (int c = 0; c < headers.size(); ++c)
        grid->horizontalHeader()->resizeSection(c,
                                                GridWidgets::twips(this, 120 * int(headers[c].trimmed().size()) + 240));
    // The key column: 2600 twips, or wider where the font needs it to show a whole key.
    const int keyWidth =
        grid->fontMetrics().horizontalAdvance(m_s.subWindowSensor + QStringLiteral(" 0000/00/00 00:00:00")) + 16;
    grid->horizontalHeader()->resizeSection(0, std::max(GridWidgets::twips(this, 2600), keyWidth));
    int total = 0;
    for (int c = 0; c < headers.size(); ++c) total += grid->horizontalHeader()->sectionSize(c);
    if (!m_sizeRemembered) resize(std::max(width(), std::min(total + 60, 1500)), height());
    return true;
}

void DatasheetWindow::onGridClicked(const QModelIndex& index)
{
    if (m_model) m_model->toggle(index);
}

bool DatasheetWindow::onGridKeyPress(QChar ch)
{
    bool taken = true;
    runTrapped(QStringLiteral(" frmDatasheet.MSFlexGri1_KeyPress"), [&] {
        if (!m_model) return;
        const QModelIndex current = grid->currentIndex();
        switch (m_model->typeKey(current, ch)) {
            case DatasheetModel::KeyResult::MessageA:
                Messages::show(DatasheetModel::MessageA, AppInfo::MessageTitle, Messages::Icon::Information);
                break;
            case DatasheetModel::KeyResult::MessageB:
                Messages::show(DatasheetModel::MessageB, AppInfo::MessageTitle, Messages::Icon::Information);
                break;
            case DatasheetModel::KeyResult::MoveNext: {
                const QModelIndex next = m_model->nextCell(current);
                if (next.isValid()) {
                    grid->setCurrentIndex(next);
                    grid->scrollTo(next);
                }
                break;
            }
            case DatasheetModel::KeyResult::StartEdit:
                taken = false;  // the view opens the editor with the key as its text
                break;
            case DatasheetModel::KeyResult::EditInside:
                if (grid->editInside(current))
                    if (QLineEdit* line = grid->openEditor()) line->backspace();
                break;
            default:
                break;
        }
    });
    return taken;
}

QString DatasheetWindow::Read_Values_From_Grid()
{
    m_keepOpen = false;
    runTrapped(QStringLiteral(" frmDatasheet.G_ReadValuesFromGrid"), [&] {
        if (!m_model) return;
        GridWidgets::ProgressWindow progress(this, QStringLiteral("Saving the datasheet..."));
        try {
            m_model->writeBack(progress.progress());
        } catch (TwError& e) {
            // Nothing of the corrections was stored (one transaction): the user decides
            // whether the window stays open with them.
            if (e.isStorageFault())
                m_keepOpen = StorageFault::askKeep(e, QStringLiteral("The corrections in the datasheet"));
            if (e.number == ErrNo::ChangedByOther) {
                // Another user changed some of the readings: the window stays open with their
                // current values and the user's other corrections.
                Messages::show(e.description, QString(), Messages::Icon::Exclamation);
                e.told = true;
                m_keepOpen = true;
            }
            throw;
        }
    });
    if (m_keepOpen) return QString();
    ignoringErrors([&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) m_s.rsReadings->close();
    });
    return QString();
}

bool DatasheetWindow::FlexGridToExcel(const QString& path, const QString& sheetName)
{
    bool written = false;
    runTrapped(QStringLiteral(" Module1_FlexGridToExcel"), [&] {
        if (!m_model) return;
        QDir().mkpath(QFileInfo(path).absolutePath());
        GridWidgets::ProgressWindow progress(this, QStringLiteral("Writing the spreadsheet..."));
        // A second sheet gives the sensor's alarm status, levels and open events.
        QList<XlsxExport::TextSheet> more;
        ignoringErrors([&] {
            more << XlsxExport::TextSheet{QStringLiteral("Alarm status"),
                                          AlarmStore::sheetRows(m_s.db, m_s.subWindowSensor)};
        });
        // A last column marks the rejected values of each reading (what, why, who, when).
        QHash<QByteArray, QByteArray> rejected;
        ignoringErrors([&] { rejected = RejectedNotes::forSensor(m_s.db, m_s.subWindowSensor); });
        // On request the loads and displacements, computed as the charts compute them.
        std::optional<DatasheetExport::SensorLayout> layout;
        QHash<QString, quint16> masks;
        if (chkExportComputed->isChecked()) {
            layout = DatasheetExport::sensorLayout(m_s.db, m_s.subWindowSensor);
            ignoringErrors([&] { masks = Rejections::masks(m_s.db, m_s.subWindowSensor); });
        }
        DatasheetExport::Sheet sheet(m_model->gauges(), layout, masks);
        const XlsxExport::Result r = XlsxExport::writeRows(
            path, sheetName, sheet.heading(), m_model->readingCount(),
            [&](const XlsxExport::RowSink& row) {
                m_model->exportRows([&](const QByteArrayView* cells) {
                    QByteArrayView note;
                    if (!rejected.isEmpty()) {
                        // The first column is the reading's key.
                        const auto found = rejected.constFind(cells[0].toByteArray());
                        if (found != rejected.cend()) note = *found;
                    }
                    return row(sheet.row(cells, note));
                });
            },
            progress.progress(), more);
        if (r.cancelled) return;
        if (!r.ok) {
            Messages::show(QStringLiteral("The spreadsheet could not be written:\r\n") +
                               QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + r.error,
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
            return;
        }
        written = true;
        if (!Desktop::openFile(path))
            Messages::show(QStringLiteral("You need to have Microsoft Excel installed to use this function"),
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
        // Where the workbook went, with its folder a click away.
        showSavedTo(this, AppInfo::MessageTitle, path);
    });
    return written;
}

void DatasheetWindow::onExportClicked()
{
    const QString folder = ToolsController::exportFolder(m_s.dataFolder);
    const QString stem = QStringLiteral("Datasheet_") + m_s.subWindowSensor + u'_' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    QString path = QDir(folder).filePath(stem + QStringLiteral(".xlsx"));
    for (int n = 2; QFile::exists(path); ++n) path = QDir(folder).filePath(stem + QStringLiteral("_%1.xlsx").arg(n));
    FlexGridToExcel(path, m_s.subWindowSensor);
}

void DatasheetWindow::onRejectClicked()
{
    runTrapped(QStringLiteral(" cmdReject_Click"), [&] {
        if (!m_model || m_model->readingCount() == 0) return;
        const QModelIndex at = grid->currentIndex();
        if (!at.isValid()) {
            Messages::show(QStringLiteral("Choose the cell of the value to reject or restore first."));
            return;
        }
        const int row = at.row();
        const int gauge = std::max(m_model->gaugeOfColumn(at.column()), int(Rejections::WholeReading));
        const QString key = m_model->cellText(row, 0);
        if (const Rejections::Mark* mark = m_model->markOf(row, gauge)) {
            if (Messages::show(DatasheetModel::markText(*mark) + QStringLiteral("\r\nRestore it?"),
                               QStringLiteral("Restore a Value"), Messages::Icon::Question, Messages::Buttons::YesNo,
                               Messages::Answer::No) != Messages::Answer::Yes)
                return;
            Rejections::restore(m_s.db, m_s.subWindowSensor, key, gauge);
        } else {
            const QString what = gauge == Rejections::WholeReading  ? QStringLiteral("the whole reading")
                                 : gauge == Rejections::Temperature ? QStringLiteral("the temperature")
                                                                    : QStringLiteral("gauge %1").arg(gauge);
            const std::optional<QString> reason =
                Messages::prompt(QStringLiteral("Why is ") + what + QStringLiteral(" of ") + key +
                                     QStringLiteral(" rejected? It stays stored and shown, and counts as no value."),
                                 QStringLiteral("Reject a Value"));
            if (!reason) return;
            if (reason->trimmed().isEmpty()) {
                Messages::show(QStringLiteral("A rejected value needs a reason: nothing was rejected."), QString(),
                               Messages::Icon::Exclamation);
                return;
            }
            Rejections::reject(m_s.db, m_s.subWindowSensor, key, gauge, *reason);
        }
        m_model->loadRejections();
    });
}

void DatasheetWindow::onDiscardClicked()
{
    if (!m_model || !m_model->changed()) {
        reject();
        return;
    }
    const int n = m_model->editedCount();
    const QString question = n == 1 ? QStringLiteral("Discard the changes to 1 reading of sensor ")
                                    : QStringLiteral("Discard the changes to %1 readings of sensor ").arg(n);
    if (Messages::show(question + m_s.subWindowSensor + QStringLiteral("?\r\nThe stored values stay as they were."),
                       AppInfo::MessageTitle, Messages::Icon::Question, Messages::Buttons::YesNo,
                       Messages::Answer::No) != Messages::Answer::Yes)
        return;
    m_discard = true;
    reject();
}

bool DatasheetWindow::tellRefusal(const QString& refusal)
{
    if (refusal.isEmpty()) return false;
    m_refusalShown = true;
    Messages::show(refusal, AppInfo::MessageTitle, Messages::Icon::Exclamation);
    return true;
}

bool DatasheetWindow::askToSave()
{
    const int n = m_model->editedCount();
    const QString question = n == 1 ? QStringLiteral("Save the changes to 1 reading of sensor ")
                                    : QStringLiteral("Save the changes to %1 readings of sensor ").arg(n);
    const int choice = Messages::choose(question + m_s.subWindowSensor +
                                            QStringLiteral("?\r\nDiscard leaves the stored values as they were; "
                                                           "Cancel goes back to the datasheet."),
                                        AppInfo::MessageTitle, Messages::Icon::Question, SaveChoices, 0);
    if (choice == 1) {
        m_discard = true;
        return true;
    }
    return choice == 0;  // Cancel, or the box closed with Escape: the window stays, edits and all
}

bool DatasheetWindow::readyToClose()
{
    if (m_unloaded) return true;
    if (m_model && !m_discard) {
        // What the open editor holds is entered first; a refused text is told and the window
        // stays open to correct it.
        m_refusalShown = false;
        grid->finishEditing();
        if (m_refusalShown) return false;
        if (m_model->editedCount() > 0) {
            if (!askToSave()) return false;
            if (!m_discard) {
                Read_Values_From_Grid();
                if (m_keepOpen) return false;  // the corrections stay on screen
            }
        }
    }
    m_unloaded = true;
    if (m_discard)
        ignoringErrors([&] {
            if (m_s.rsReadings && m_s.rsReadings->isOpen()) m_s.rsReadings->close();
        });
    m_tools.returnToSavedReading();
    return true;
}

void DatasheetWindow::done(int r)
{
    if (!readyToClose()) return;
    WindowPlacement::saveSize(this, QStringLiteral("Datasheet"));
    QDialog::done(r);
}
