#include "alarms/AlarmsWindow.h"
#include "alarms/AlarmEpisodePages.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmLevelsCsv.h"
#include "alarms/AlarmRules.h"
#include "alarms/NotificationSettingsDialog.h"
#include "core/ErrorTrap.h"
#include "core/TwError.h"
#include "core/Messages.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const QStringList Columns = {QStringLiteral("Status"),  QStringLiteral("Sensor"), QStringLiteral("Level"),
                             QStringLiteral("What"),    QStringLiteral("Value"),  QStringLiteral("Level set"),
                             QStringLiteral("Reading"), QStringLiteral("Raised"), QStringLiteral("Acknowledged by"),
                             QStringLiteral("When"),    QStringLiteral("Note")};

QString whatText(const AlarmStore::Event& e)
{
    if (e.quantity == QLatin1String("Stale")) return QStringLiteral("No reading");
    return AlarmRules::positionText(e.quantity, e.position) + QStringLiteral(" (") + e.direction + u')';
}
}  // namespace

AlarmsWindow::AlarmsWindow(Database& db, GoTo goTo, QWidget* parent)
    : QDialog(parent),
      m_db(db),
      m_goTo(std::move(goTo))
{
    setObjectName(QStringLiteral("frmAlarms"));
    setWindowTitle(QStringLiteral("Alarms"));
    resize(1060, 520);
    auto* outer = new QVBoxLayout(this);
    // "Now" (what is active), "History" (episodes of a period) and "Events" (every
    // crossing recorded); the window opens on "Now".
    tabAlarms = new QTabWidget(this);
    tabAlarms->setObjectName(QStringLiteral("tabAlarms"));
    pageNow = new AlarmNowPage(
        db,
        [this](const QString& id) {
            if (m_goTo && m_goTo(id)) accept();
        },
        tabAlarms);
    pageHistory = new AlarmHistoryPage(db, tabAlarms);
    auto* events = new QWidget(tabAlarms);
    tabAlarms->addTab(pageNow, QStringLiteral("&Now"));
    tabAlarms->addTab(pageHistory, QStringLiteral("&History"));
    tabAlarms->addTab(events, QStringLiteral("&Events"));
    outer->addWidget(tabAlarms, 1);
    auto* v = new QVBoxLayout(events);

    auto* top = new QHBoxLayout;
    auto* show = new QLabel(QStringLiteral("&Show:"), this);
    cboAlarmFilter = new QComboBox(this);
    cboAlarmFilter->setObjectName(QStringLiteral("cboAlarmFilter"));
    cboAlarmFilter->addItems(
        {QStringLiteral("Open and acknowledged"), QStringLiteral("Open"), QStringLiteral("Acknowledged")});
    show->setBuddy(cboAlarmFilter);
    lblAlarmCount = new QLabel(this);
    lblAlarmCount->setObjectName(QStringLiteral("lblAlarmCount"));
    top->addWidget(show);
    top->addWidget(cboAlarmFilter);
    top->addSpacing(16);
    top->addWidget(lblAlarmCount, 1);
    v->addLayout(top);

    grdAlarms = new QTableWidget(0, int(Columns.size()), this);
    grdAlarms->setObjectName(QStringLiteral("grdAlarms"));
    grdAlarms->setHorizontalHeaderLabels(Columns);
    grdAlarms->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdAlarms->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdAlarms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdAlarms->verticalHeader()->setVisible(false);
    grdAlarms->horizontalHeader()->setStretchLastSection(true);
    grdAlarms->setTabKeyNavigation(false);
    grdAlarms->installEventFilter(this);
    v->addWidget(grdAlarms, 1);

    auto* buttons = new QHBoxLayout;
    cmdAcknowledge = new QPushButton(QStringLiteral("&Acknowledge..."), this);
    cmdAcknowledge->setObjectName(QStringLiteral("cmdAcknowledge"));
    cmdAcknowledge->setToolTip(QStringLiteral("Acknowledge the selected open events with a note"));
    cmdGoToSensor = new QPushButton(QStringLiteral("&Go to sensor"), this);
    cmdGoToSensor->setObjectName(QStringLiteral("cmdGoToSensor"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    v->addWidget(cmdAcknowledge, 0, Qt::AlignLeft);
    buttons->addWidget(cmdGoToSensor);
    cmdNotifications = new QPushButton(QStringLiteral("&Notifications..."), this);
    cmdNotifications->setObjectName(QStringLiteral("cmdNotifications"));
    cmdNotifications->setToolTip(QStringLiteral("Mail server, hook, recipients and response plans"));
    cmdNotifications->setAutoDefault(false);
    buttons->addWidget(cmdNotifications);
    connect(cmdNotifications, &QPushButton::clicked, this, [this] {
        NotificationSettingsDialog dlg(m_db, this);
        if (dlg.exec() == QDialog::Accepted) pageNow->fill();
    });
    cmdExportLevels = new QPushButton(QStringLiteral("E&xport levels..."), this);
    cmdExportLevels->setObjectName(QStringLiteral("cmdExportLevels"));
    cmdImportLevels = new QPushButton(QStringLiteral("&Import levels..."), this);
    cmdImportLevels->setObjectName(QStringLiteral("cmdImportLevels"));
    for (QPushButton* b : {cmdExportLevels, cmdImportLevels}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    connect(cmdExportLevels, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, QStringLiteral("Export alarm levels"),
                                         QStringLiteral("alarm-levels.csv"), QStringLiteral("CSV files (*.csv)"));
        if (!path.isEmpty()) exportLevels(path);
    });
    connect(cmdImportLevels, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import alarm levels"), QString(),
                                                          QStringLiteral("CSV files (*.csv);;All files (*)"));
        if (!path.isEmpty()) importLevels(path);
    });
    buttons->addStretch();
    buttons->addWidget(close);
    outer->addLayout(buttons);
    for (QPushButton* b : {cmdAcknowledge, cmdGoToSensor, close}) b->setAutoDefault(false);

    connect(cboAlarmFilter, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    connect(cmdAcknowledge, &QPushButton::clicked, this, &AlarmsWindow::onAcknowledgeClicked);
    connect(cmdGoToSensor, &QPushButton::clicked, this, &AlarmsWindow::onGoToSensorClicked);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdAlarms, &QTableWidget::cellDoubleClicked, this, [this] { onGoToSensorClicked(); });
    setTabOrder(cboAlarmFilter, grdAlarms);
    setTabOrder(grdAlarms, cmdAcknowledge);
    setTabOrder(cmdAcknowledge, cmdGoToSensor);
    setTabOrder(cmdGoToSensor, close);
    fill();
    tabAlarms->setCurrentWidget(pageNow);
    pageNow->grdNow->setFocus();
}

void AlarmsWindow::fill()
{
    const AlarmStore::EventFilter filter = cboAlarmFilter->currentIndex() == 1   ? AlarmStore::EventFilter::Open
                                           : cboAlarmFilter->currentIndex() == 2 ? AlarmStore::EventFilter::Acknowledged
                                                                                 : AlarmStore::EventFilter::All;
    m_events.clear();
    runTrapped(QStringLiteral(" frmAlarms.fill"), [&] { m_events = AlarmStore::events(m_db, filter); });
    grdAlarms->setRowCount(int(m_events.size()));
    int open = 0;
    for (int r = 0; r < int(m_events.size()); ++r) {
        const AlarmStore::Event& e = m_events[size_t(r)];
        if (!e.acknowledged()) ++open;
        const AlarmStore::Severity sev = AlarmStore::severityFromWord(e.level);
        const QString quantity = e.quantity;
        const QStringList texts = {
            e.acknowledged() ? QStringLiteral("Acknowledged") : QStringLiteral("Open"),
            e.sensorId,
            e.level,
            whatText(e),
            AlarmRules::valueText(quantity, e.value),
            AlarmRules::valueText(quantity, e.threshold),
            AlarmStore::shownDate(e.readingDate),
            AlarmStore::shownDate(e.raisedAt),
            e.ackBy,
            e.acknowledged() ? AlarmStore::shownDate(e.ackAt) : QString(),
            e.ackNote,
        };
        for (int c = 0; c < texts.size(); ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c == 2) {
                // The level in its colour, and in words.
                item->setBackground(QColor(AlarmStore::colourName(sev)));
                item->setForeground(sev == AlarmStore::Severity::Alert ? Qt::black : Qt::white);
            }
            if (c == 0 && !e.acknowledged()) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            grdAlarms->setItem(r, c, item);
        }
    }
    grdAlarms->resizeColumnsToContents();
    lblAlarmCount->setText(QStringLiteral("%1 event%2 shown, %3 open")
                               .arg(m_events.size())
                               .arg(m_events.size() == 1 ? "" : "s")
                               .arg(open));
    if (!m_events.empty()) grdAlarms->selectRow(0);
}

std::vector<AlarmStore::Event> AlarmsWindow::selectedEvents() const
{
    QSet<int> rows;
    for (const QModelIndex& i : grdAlarms->selectionModel()->selectedRows()) rows.insert(i.row());
    if (rows.isEmpty() && grdAlarms->currentRow() >= 0) rows.insert(grdAlarms->currentRow());
    std::vector<AlarmStore::Event> out;
    for (int r = 0; r < int(m_events.size()); ++r)
        if (rows.contains(r)) out.push_back(m_events[size_t(r)]);
    return out;
}

void AlarmsWindow::onAcknowledgeClicked()
{
    QList<qint64> ids;
    for (const AlarmStore::Event& e : selectedEvents())
        if (!e.acknowledged()) ids << e.id;
    if (ids.isEmpty()) {
        Messages::show(QStringLiteral("Choose one or more open events in the list to acknowledge."),
                       QStringLiteral("Alarms"), Messages::Icon::Information);
        return;
    }
    const std::optional<QString> note = askAcknowledgementNote(
        ids.size() == 1 ? QStringLiteral("Note for the acknowledgement (what was seen, done or decided):")
                        : QStringLiteral("Note for the acknowledgement of the %1 selected events (what was seen, "
                                         "done or decided):")
                              .arg(ids.size()));
    if (!note) return;
    const qint64 first = ids.first();
    runTrapped(QStringLiteral(" frmAlarms.cmdAcknowledge_Click"), [&] {
        AlarmStore::acknowledge(m_db, ids, *note, AlarmStore::loginName(), QDateTime::currentDateTime());
    });
    fill();
    for (int r = 0; r < int(m_events.size()); ++r)
        if (m_events[size_t(r)].id == first) grdAlarms->selectRow(r);
}

void AlarmsWindow::onGoToSensorClicked()
{
    if (tabAlarms->currentWidget() == pageNow) {
        const int row = pageNow->grdNow->currentRow();
        const auto& shown = pageNow->shownEpisodes();
        if (row >= 0 && row < int(shown.size()) && m_goTo && m_goTo(shown[size_t(row)].sensorId)) accept();
        return;
    }
    const std::vector<AlarmStore::Event> chosen = selectedEvents();
    if (chosen.empty()) return;
    if (m_goTo && m_goTo(chosen.front().sensorId)) accept();
}

bool AlarmsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grdAlarms && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            onGoToSensorClicked();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AlarmsWindow::exportLevels(const QString& path)
{
    runTrapped(QStringLiteral(" frmAlarms.exportLevels"), [&] {
        const QString text = AlarmLevelsCsv::exportText(m_db);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
            throw TwError(ErrNo::PermissionDenied, QStringLiteral("cannot write ") + path);
    });
}

void AlarmsWindow::importLevels(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        Messages::show(QStringLiteral("The file ") + path + QStringLiteral(" cannot be read."),
                       QStringLiteral("Alarms"), Messages::Icon::Exclamation);
        return;
    }
    const QString csv = QString::fromUtf8(f.readAll());
    runTrapped(QStringLiteral(" frmAlarms.importLevels"), [&] {
        const AlarmLevelsCsv::Preview p = AlarmLevelsCsv::preview(m_db, csv);
        if (p.changes.empty()) {
            Messages::show(p.text(), QStringLiteral("Import alarm levels"), Messages::Icon::Information);
            return;
        }
        if (Messages::show(p.text() + QStringLiteral("\r\n\r\nStore the changed levels?"),
                           QStringLiteral("Import alarm levels"), Messages::Icon::Question, Messages::Buttons::YesNo,
                           Messages::Answer::No) != Messages::Answer::Yes)
            return;
        AlarmLevelsCsv::apply(m_db, p);
        for (const auto& change : p.changes)
            runTrapped(QStringLiteral(" Alarms_Evaluate ") + change.first,
                       [&] { AlarmEvaluation::evaluateSensor(m_db, change.first, QDateTime::currentDateTime()); });
    });
    fill();
    pageNow->fill();
}
