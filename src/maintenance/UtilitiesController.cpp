#include "maintenance/UtilitiesController.h"
#include "core/AppInfo.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "session/Shared.h"
#include "store/Statement.h"
#include "widgets/ActionButton.h"
#include "widgets/PageHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

const QString UtilitiesController::WebAddress = QStringLiteral("https://www.orrisford.com/");

namespace {
QIcon standardIcon(QStyle::StandardPixmap p) { return QApplication::style()->standardIcon(p); }

QWidget* actionRow(const ActionPair& a)
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    a.image->setParent(w);
    a.label->setParent(w);
    h->addWidget(a.image);
    h->addWidget(a.label, 1);
    return w;
}
}  // namespace

UtilitiesController::UtilitiesController(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared())
{
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("pageUtilities"));
    auto* grid = new QGridLayout(m_page);
    grid->addWidget(buildFilterBox(), 0, 0, 2, 1);
    grid->addWidget(buildBackupBox(), 0, 1);
    grid->addWidget(buildOutputBox(), 1, 1);
    m_page->installEventFilter(this);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

QWidget* UtilitiesController::buildFilterBox()
{
    auto* box = new QGroupBox(QStringLiteral("Filter Installed Sensors:"));
    box->setObjectName(QStringLiteral("fraFilter"));
    auto* v = new QVBoxLayout(box);

    chkDontShowDestroyed = new QCheckBox(QStringLiteral("Do Not Show Destroyed Sensors"));
    chkDontShowDestroyed->setObjectName(QStringLiteral("chkDontShowDestroyed"));
    v->addWidget(chkDontShowDestroyed);

    auto* form = new QFormLayout;
    txtFilterType = new QComboBox;
    txtFilterType->setObjectName(QStringLiteral("txtFilterType"));
    txtFilterType->setEditable(true);
    txtFilterType->setInsertPolicy(QComboBox::NoInsert);
    // The sensor types of the database in use, filled whenever the page shows.
    txtFilterType->addItems(FilterCriteria::standardTypeEntries());
    txtFilterType->setCurrentIndex(-1);
    txtFilterType->setEditText(QString());
    form->addRow(QStringLiteral("Filter by Sensor Type:"), txtFilterType);
    txtFilterLevel = new QLineEdit;
    txtFilterLevel->setObjectName(QStringLiteral("txtFilterLevel"));
    form->addRow(QStringLiteral("Filter by Level:"), txtFilterLevel);
    txtFilterLocation = new QLineEdit;
    txtFilterLocation->setObjectName(QStringLiteral("txtFilterLocation"));
    form->addRow(QStringLiteral("Filter by Location:"), txtFilterLocation);
    v->addLayout(form);

    v->addWidget(new QLabel(QStringLiteral("Filter by Install Date: (yyyy/mm/dd)")));
    auto* dates = new QFormLayout;
    txtStartDate = new QLineEdit;
    txtStartDate->setObjectName(QStringLiteral("txtStartDate"));
    txtStartDate->setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    txtEndDate = new QLineEdit;
    txtEndDate->setObjectName(QStringLiteral("txtEndDate"));
    txtEndDate->setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    dates->addRow(QStringLiteral("Start Date:"), txtStartDate);
    dates->addRow(QStringLiteral("End Date:"), txtEndDate);
    v->addLayout(dates);
    txtStartDate->installEventFilter(this);
    txtEndDate->installEventFilter(this);

    // The two faces imgFilter takes; kept hidden.
    imgApplyFilter = new QLabel(box);
    imgApplyFilter->setObjectName(QStringLiteral("imgApplyFilter"));
    imgApplyFilter->setPixmap(standardIcon(QStyle::SP_DialogApplyButton).pixmap(32, 32));
    imgApplyFilter->hide();
    imgRemoveFilter = new QLabel(box);
    imgRemoveFilter->setObjectName(QStringLiteral("imgRemoveFilter"));
    imgRemoveFilter->setPixmap(standardIcon(QStyle::SP_DialogResetButton).pixmap(32, 32));
    imgRemoveFilter->hide();

    const ActionPair toggle =
        makeAction(box, QStringLiteral("imgFilter"), QStringLiteral("lblFilterState"), QStringLiteral("Apply Filter"),
                   QIcon(imgApplyFilter->pixmap()), [this] { onFilterClicked(); });
    imgFilter = toggle.image;
    lblFilterState = toggle.label;
    v->addWidget(actionRow(toggle));

    lblFilter = new QLabel(QStringLiteral("* Filter Applied *"));
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    lblFilter->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    lblFilter->hide();
    v->addWidget(lblFilter);
    v->addStretch();
    return box;
}

QWidget* UtilitiesController::buildBackupBox()
{
    auto* box = new QGroupBox(QStringLiteral("Backup and Restore"));
    box->setObjectName(QStringLiteral("fraBackup"));
    auto* v = new QVBoxLayout(box);
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgDatabase"), QStringLiteral("lblDatabase"),
                                      QStringLiteral("Database..."), standardIcon(QStyle::SP_DriveHDIcon),
                                      [this] { onDatabaseClicked(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgBackup"), QStringLiteral("Label42"),
                                      QStringLiteral("Backup Database"), standardIcon(QStyle::SP_DialogSaveButton),
                                      [this] { onBackupClicked(); })));
    v->addWidget(new QLabel(QStringLiteral("Choose an mdb file to restore from:")));
    lstFiles = new QListWidget;
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    v->addWidget(lstFiles, 1);
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgRestore"), QStringLiteral("Label27"),
                                      QStringLiteral("Restore from Backup"), standardIcon(QStyle::SP_BrowserReload),
                                      [this] { onRestoreClicked(); })));
    return box;
}

QWidget* UtilitiesController::buildOutputBox()
{
    auto* box = new QGroupBox(QStringLiteral("Reports and Help"));
    box->setObjectName(QStringLiteral("fraOutput"));
    auto* v = new QVBoxLayout(box);
    v->addWidget(
        actionRow(makeAction(box, QStringLiteral("imgReport"), QStringLiteral("Label46"), QStringLiteral("Report"),
                             standardIcon(QStyle::SP_FileDialogDetailedView), [this] { onReportClicked(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgAlarms"), QStringLiteral("lblAlarms"),
                                      QStringLiteral("Alarms (Ctrl+L)"), standardIcon(QStyle::SP_MessageBoxWarning),
                                      [this] { m_win.showAlarms(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgHelp"), QStringLiteral("Label66"),
                                      QStringLiteral("View Tarnwell Manual"),
                                      standardIcon(QStyle::SP_FileDialogContentsView), [this] { onHelpClicked(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgOpenLog"), QStringLiteral("lblOpenLog"),
                                      QStringLiteral("Open the log"), standardIcon(QStyle::SP_FileIcon),
                                      [this] { onOpenLogClicked(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgInternet"), QStringLiteral("Label40"),
                                      QStringLiteral("Visit the Orrisford website"),
                                      standardIcon(QStyle::SP_DriveNetIcon), [this] { onWebsiteClicked(); })));
    v->addWidget(actionRow(makeAction(box, QStringLiteral("imgAbout"), QStringLiteral("Label29"),
                                      QStringLiteral("About Orrisford's Tarnwell"),
                                      standardIcon(QStyle::SP_MessageBoxInformation), [this] { showAbout(); })));
    v->addStretch();
    return box;
}

// ---- Filter -------------------------------------------------------------------------

void UtilitiesController::showFilterState(bool inForce)
{
    lblFilterState->setText(inForce ? QStringLiteral("Remove Filter") : QStringLiteral("Apply Filter"));
    imgFilter->setToolTip(lblFilterState->text());
    imgFilter->setIcon(QIcon(inForce ? imgRemoveFilter->pixmap() : imgApplyFilter->pixmap()));
    lblFilter->setVisible(inForce);
}

void UtilitiesController::onFilterClicked()
{
    runTrapped(QStringLiteral(" imgFilter_Click"), [&] {
        if (!m_s.rsSensors || !m_s.rsSensors->isOpen())
            throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("The Sensors recordset is not open"));
        if (m_s.rsSensors->isFiltered()) {
            RemoveFilter();
            return;
        }
        FilterCriteria::Input in;
        in.dontShowDestroyed = chkDontShowDestroyed->isChecked();
        fillTypeList();
        in.type = txtFilterType->currentText();
        in.types.clear();
        for (int i = 0; i < txtFilterType->count(); ++i) in.types << txtFilterType->itemText(i);
        in.level = txtFilterLevel->text();
        in.location = txtFilterLocation->text();
        in.startDate = txtStartDate->text();
        in.endDate = txtEndDate->text();
        const FilterCriteria::Result r = FilterCriteria::build(in, QDate::currentDate());
        switch (r.problem) {
            case FilterCriteria::Problem::UnknownType:
                Messages::show(QStringLiteral("Sensor Type is not recognized\r\n\r\n") +
                               QStringLiteral("Please choose a sensor from the list, or enter the 2 digit sensor #"));
                return;
            case FilterCriteria::Problem::BadStartDate:
                Messages::show(
                    QStringLiteral("Start date is not a valid date\r\nPlease enter a date in the format yyyy/mm/dd"));
                txtStartDate->setFocus();
                return;
            case FilterCriteria::Problem::BadEndDate:
                Messages::show(
                    QStringLiteral("End date is not a valid date\r\nPlease enter a date in the format yyyy/mm/dd"));
                txtEndDate->setFocus();
                return;
            case FilterCriteria::Problem::NoCriteria:
                Messages::show(QStringLiteral("You must enter criteria to filter sensors on"), AppInfo::MessageTitle,
                               Messages::Icon::Information);
                return;
            case FilterCriteria::Problem::None:
                break;
        }
        AddFilter(r.criteria);
    });
}

QStringList UtilitiesController::configuredTypes()
{
    QStringList entries;
    ignoringErrors([&] {
        if (!m_s.db.isOpen()) return;
        Statement q(m_s.db, QStringLiteral("SELECT SensorType, Model FROM Configuration ORDER BY SensorType"));
        while (q.next()) entries << FilterCriteria::typeEntry(q.text(0), q.text(1));
    });
    return entries;
}

void UtilitiesController::fillTypeList()
{
    QStringList entries = configuredTypes();
    if (entries.isEmpty()) entries = FilterCriteria::standardTypeEntries();  // nothing readable: the usual six
    QStringList offered;
    for (int i = 0; i < txtFilterType->count(); ++i) offered << txtFilterType->itemText(i);
    if (offered == entries) return;
    // What the user typed or chose stays in the box.
    const QString typed = txtFilterType->currentText();
    const QSignalBlocker quiet(txtFilterType);
    txtFilterType->clear();
    txtFilterType->addItems(entries);
    txtFilterType->setCurrentIndex(-1);
    txtFilterType->setEditText(typed);
}

void UtilitiesController::AddFilter(const FilterCriteria::Criteria& criteria)
{
    runTrapped(QStringLiteral(" G_AddFilter"), [&] {
        flushPendingEdits();
        m_s.rsSensors->setFilter(criteria.where, criteria.binds);
        if (m_s.rsSensors->recordCount() > 0) {
            showFilterState(true);
        } else {
            Messages::show(QStringLiteral("There are no sensors that meet the criteria"), AppInfo::MessageTitle,
                           Messages::Icon::Exclamation);
            m_s.rsSensors->clearFilter();
            showFilterState(false);
        }
        m_win.refreshSensorList();
    });
}

void UtilitiesController::RemoveFilter()
{
    runTrapped(QStringLiteral(" G_RemoveFilter"), [&] {
        flushPendingEdits();
        m_s.rsSensors->clearFilter();
        lblFilter->hide();
        m_win.refreshSensorList();
        showFilterState(false);
        chkDontShowDestroyed->setChecked(false);
        txtFilterType->setCurrentIndex(-1);
        txtFilterType->setEditText(QString());
        txtFilterLevel->clear();
        txtFilterLocation->clear();
        txtStartDate->clear();
        txtEndDate->clear();
    });
}

void UtilitiesController::checkDateBox(QLineEdit* box)
{
    if (m_checkingDate) return;
    const QString text = box->text().trimmed();
    if (text.isEmpty() || FilterCriteria::parseDate(text)) return;
    m_checkingDate = true;
    const QString which = box == txtStartDate ? QStringLiteral("Start Date") : QStringLiteral("End Date");
    Messages::show(which + QStringLiteral(" is not a valid date\r\nPlease type a date in the format yyyy/mm/dd"),
                   QString(), Messages::Icon::Exclamation);
    box->setFocus();
    box->selectAll();
    m_checkingDate = false;
}

bool UtilitiesController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched == m_page) fillTypeList();
    if (event->type() == QEvent::FocusOut && (watched == txtStartDate || watched == txtEndDate))
        checkDateBox(static_cast<QLineEdit*>(watched));
    return QObject::eventFilter(watched, event);
}

// ---- Help, links, About ----------------------------------------------------------------

void UtilitiesController::onHelpClicked()
{
    runTrapped(QStringLiteral(" imgHelp_Click"), [&] {
        const QString path = m_s.dataFolder + QStringLiteral("/TarnwellManual.pdf");
        if (!QFile::exists(path)) {
            Messages::show(QStringLiteral("The Tarnwell manual could not be found:\r\n") + path, AppInfo::MessageTitle,
                           Messages::Icon::Exclamation);
            return;
        }
        if (!Desktop::openFile(path))
            Messages::show(QStringLiteral("No program could be found to open the Tarnwell manual:\r\n") + path,
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
    });
}

void UtilitiesController::onOpenLogClicked()
{
    runTrapped(QStringLiteral(" imgOpenLog_Click"), [&] {
        const QString path = Paths::logFilePath();
        if (!QFile::exists(path)) {
            Messages::show(QStringLiteral("Tarnwell has logged no errors yet. The log will be\r\n") +
                               QDir::toNativeSeparators(path),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return;
        }
        if (!Desktop::openFile(path))
            Messages::show(
                QStringLiteral("No program could be found to open the error log:\r\n") + QDir::toNativeSeparators(path),
                AppInfo::MessageTitle, Messages::Icon::Exclamation);
    });
}

void UtilitiesController::onWebsiteClicked()
{
    runTrapped(QStringLiteral(" imgInternet_Click"), [&] {
        if (!Desktop::openUrl(WebAddress))
            Messages::show(QStringLiteral("No web browser could be found to open\r\n") + WebAddress,
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
    });
}

void UtilitiesController::showAbout()
{
    runTrapped(QStringLiteral(" imgAbout_Click"), [&] { m_win.showAbout(); });
}

void UtilitiesController::onReportClicked() { m_win.makeReport(); }
