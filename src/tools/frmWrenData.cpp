#include "tools/frmWrenData.h"
#include "app/Keyboard.h"
#include "app/Messages.h"
#include "app/Module1.h"
#include "app/frmTarnwell.h"
#include "maintenance/ErrorLog.h"
#include "maintenance/ErrorTrap.h"
#include "maintenance/StorageFault.h"
#include "tools/GridWidgets.h"
#include "tools/ToolsController.h"
#include "tools/WrenGridModel.h"
#include "tools/WrenImport.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmWrenData::frmWrenData(frmTarnwell& win, ToolsController& tools, const QString& sourcePath, QWidget* parent)
    : QDialog(parent), m_win(win), m_s(win.shared()), m_tools(tools), m_sourcePath(sourcePath)
{
    setObjectName(QStringLiteral("frmWrenData"));
    setWindowTitle(QStringLiteral("Import DataFiles"));
    setModal(true);

    lblHeader = GridWidgets::makeHeaderLabel(this);

    auto* frame = new QGroupBox(QStringLiteral("Datafile Date Format:"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        optDateFormat[i] = new QRadioButton(WrenDates::layoutCaption(WrenDates::Layout(i)), frame);
        optDateFormat[i]->setObjectName(QStringLiteral("optDateFormat(%1)").arg(i));
        group->addButton(optDateFormat[i], i);
        frameLayout->addWidget(optDateFormat[i]);
    }
    optDateFormat[0]->setChecked(true);
    connect(group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) layoutChanged();
    });

    cmdAppend = new QPushButton(QStringLiteral("append"), this);
    cmdAppend->setObjectName(QStringLiteral("cmdAppend"));
    cmdAppend->setAutoDefault(false);
    cmdAppend->setDefault(true);   // Enter appends (after its question); not from inside the grid
    connect(cmdAppend, &QPushButton::clicked, this, &frmWrenData::cmdAppend_Click);

    GridWidgets::addMarkPictures(this, &img_x_on, &img_x_off);

    m_model = new WrenGridModel(this);
    MSFlexGrid1 = new GridWidgets::GridView(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setModel(m_model);
    MSFlexGrid1->setItemDelegate(new GridWidgets::MarkDelegate(WrenGridModel::MarkRole, img_x_on, img_x_off, MSFlexGrid1));
    connect(MSFlexGrid1, &QTableView::clicked, this, &frmWrenData::MSFlexGrid1_Click);
    Keyboard::keepEnterIn(MSFlexGrid1);
    // A blank switches the mark of the current row, for keyboard use.
    MSFlexGrid1->setKeyHandler([this](QChar ch) {
        if (ch != u' ') return false;
        const QModelIndex cur = MSFlexGrid1->currentIndex();
        if (cur.isValid()) m_model->toggle(m_model->index(cur.row(), WrenGridModel::AppendColumn));
        return true;
    });

    auto* top = new QHBoxLayout;
    top->addWidget(frame);
    top->addStretch();
    top->addWidget(cmdAppend);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeader);
    layout->addLayout(top);
    layout->addWidget(MSFlexGrid1);
    resize(1100, 640);

    Form_Load();
}

frmWrenData::~frmWrenData() = default;

WrenDates::Layout frmWrenData::layout() const
{
    for (int i = 0; i < 3; ++i)
        if (optDateFormat[i] && optDateFormat[i]->isChecked()) return WrenDates::Layout(i);
    return WrenDates::Layout::YearFirst;
}

int frmWrenData::interval() const
{
    return WrenDates::intervalHours(m_tools.cboWrenInt ? m_tools.cboWrenInt->currentText() : QStringLiteral("24"));
}

void frmWrenData::Form_Load()
{
    ignoringErrors([&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) {
            if (m_s.rsReadings->hasCurrentRow()) m_s.savedReadingBookmark = m_s.rsReadings->bookmark();
            m_s.rsReadings->close();
        }
    });
    ignoringErrors([&] { Module1::OpenSensorData(m_s); });
    if (!m_tools.noDataFile()) {
        lblHeader->setText(QStringLiteral("Click to download textfile data to Sensor ") + m_s.subWindowSensor);
        cmdAppend->setEnabled(true);
    } else {
        lblHeader->setText(QStringLiteral("No data found for this sensor"));
        cmdAppend->setEnabled(false);
    }
    ignoringErrors([&] { PopulateSFlexGrid(); });
}

bool frmWrenData::PopulateSFlexGrid()
{
    if (!m_model || !MSFlexGrid1) return false;
    if (m_tools.noDataFile()) {
        m_model->clear();
        return false;
    }
    m_model->setRows(m_tools.takeDataFileRows(), layout(), interval());
    QHeaderView* h = MSFlexGrid1->horizontalHeader();
    if (m_model->rowCount() == 0) {
        h->resizeSection(0, GridWidgets::twips(this, 1800));
        return true;
    }
    const QStringList headers = WrenGridModel::headers();
    for (int c = 0; c < headers.size(); ++c)
        h->resizeSection(c, GridWidgets::twips(this, 120 * int(headers[c].trimmed().size()) + 240));
    h->resizeSection(0, GridWidgets::twips(this, 2600));
    return true;
}

void frmWrenData::layoutChanged()
{
    // The marks follow the layout the dates are read in.
    if (m_model && m_model->rowCount() > 0) m_model->preselect(layout(), interval());
}

void frmWrenData::MSFlexGrid1_Click(const QModelIndex& index)
{
    if (m_model) m_model->toggle(index);
}

void frmWrenData::cmdAppend_Click()
{
    const auto answer = Messages::show(QStringLiteral("All the checked data will be added to sensor:  ") +
                                           m_s.subWindowSensor + QStringLiteral(" ?"),
                                       QString(), Messages::Icon::None, Messages::Buttons::YesNo);
    if (answer == Messages::Answer::Yes) {
        WrenImport::Outcome outcome;
        QString failure;
        try {
            const WrenImport::Target target = WrenImport::targetFor(m_s.db, m_s.subWindowSensor);
            // Lines that are not readings that can be stored are listed, all in one, before
            // anything is appended; the user decides whether the others are.
            const auto refused = WrenImport::refusedRows(m_model->rows(), m_model->selection(), layout(), target);
            if (!refused.empty()) {
                qint64 checked = 0;
                for (bool on : m_model->selection()) checked += on ? 1 : 0;
                const qint64 accepted = checked - qint64(refused.size());
                const QString summary = ImportChecks::summary(refused, accepted);
                if (accepted == 0) {
                    Messages::show(summary, QString(), Messages::Icon::Exclamation);
                    return;   // the window stays open with its marks
                }
                if (Messages::show(summary, QString(), Messages::Icon::Exclamation, Messages::Buttons::YesNo) !=
                    Messages::Answer::Yes)
                    return;
            }
            GridWidgets::ProgressWindow progress(this, QStringLiteral("Appending readings..."));
            outcome = WrenImport::appendRows(m_s.db, target, m_model->rows(), m_model->selection(), layout(),
                                             progress.progress());
        } catch (const TwError& e) {
            WriteLog(trapMessage(e.number, e.description, QStringLiteral(" frmWrenData.cmdAppend_Click")));
            failure = e.isStorageFault() ? StorageFault::reason(e.storage) : e.description;
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
        const QString dups = WrenImport::duplicatesMessage(outcome.duplicates);
        if (!dups.isEmpty()) Messages::show(dups);
        if (outcome.appended == 0) {
            Messages::show(QStringLiteral(" No data was found to append"));
        } else {
            Messages::show(QString::number(outcome.appended) + QStringLiteral(" records appended to ") +
                           m_s.subWindowSensor);
            // Keep a copy of what was imported in the data folder.
            runTrapped(QStringLiteral(" frmWrenData.ArchiveDataFile"), [&] {
                const QString copy = QDir(m_s.dataFolder).filePath(WrenImport::WorkingCopyName);
                WrenImport::archiveCopy(m_s.dataFolder, WrenImport::FileExists(copy) ? copy : m_sourcePath,
                                        m_s.subWindowSensor, QDate::currentDate());
            });
        }
    }
    m_model->clear();
    cmdAppend->setEnabled(false);
    accept();
}

void frmWrenData::Form_Unload()
{
    if (m_unloaded) return;
    m_unloaded = true;
    ignoringErrors([&] {
        if (m_s.rsReadings && m_s.rsReadings->isOpen()) m_s.rsReadings->close();
    });
    m_tools.closeDataFile();
    m_tools.returnToSavedReading();
}

void frmWrenData::done(int r)
{
    Form_Unload();
    QDialog::done(r);
}
