#include "alarms/AlarmEpisodePages.h"
#include "alarms/AlarmEpisodeTexts.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/AlarmStore.h"
#include "notify/NotifySettings.h"
#include "notify/Outbox.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* makeGrid(const QStringList& columns, const QString& name, QWidget* parent)
{
    auto* g = new QTableWidget(0, int(columns.size()), parent);
    g->setObjectName(name);
    g->setHorizontalHeaderLabels(columns);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::ExtendedSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->setVisible(false);
    g->horizontalHeader()->setStretchLastSection(true);
    g->setTabKeyNavigation(false);
    return g;
}

void put(QTableWidget* g, int row, const QStringList& texts, const QString& level)
{
    for (int c = 0; c < texts.size(); ++c) {
        auto* item = new QTableWidgetItem(texts[c]);
        if (texts[c] == level && !level.isEmpty()) {
            const AlarmStore::Severity sev = AlarmStore::severityFromWord(level);
            item->setBackground(QColor(AlarmStore::colourName(sev)));
            item->setForeground(sev == AlarmStore::Severity::Alert ? Qt::black : Qt::white);
        }
        g->setItem(row, c, item);
    }
}

}  // namespace

AlarmNowPage::AlarmNowPage(Database& db, GoTo goTo, QWidget* parent)
    : QWidget(parent),
      m_db(db),
      m_goTo(std::move(goTo))
{
    setObjectName(QStringLiteral("pageNow"));
    auto* v = new QVBoxLayout(this);
    grdNow = makeGrid(
        {QStringLiteral("Sensor"), QStringLiteral("Position"), QStringLiteral("Quantity"), QStringLiteral("Level"),
         QStringLiteral("Value"), QStringLiteral("Since"), QStringLiteral("Acknowledged by")},
        QStringLiteral("grdNow"), this);
    v->addWidget(grdNow, 1);
    lblPlan = new QLabel(this);
    lblPlan->setObjectName(QStringLiteral("lblPlan"));
    lblPlan->setWordWrap(true);
    lblPlan->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(lblPlan);
    auto* buttons = new QHBoxLayout;
    cmdAcknowledge = new QPushButton(QStringLiteral("A&cknowledge..."), this);
    cmdAcknowledge->setObjectName(QStringLiteral("cmdAcknowledgeNow"));
    cmdAcknowledge->setToolTip(QStringLiteral("Acknowledge the selected alarms with a note"));
    cmdAcknowledgeSensor = new QPushButton(QStringLiteral("Acknowledge &sensor..."), this);
    cmdAcknowledgeSensor->setObjectName(QStringLiteral("cmdAcknowledgeSensor"));
    cmdAcknowledgeSensor->setToolTip(QStringLiteral("Acknowledge every active alarm of the selected row's sensor"));
    lblOutbox = new QLabel(this);
    lblOutbox->setObjectName(QStringLiteral("lblOutbox"));
    buttons->addWidget(cmdAcknowledge);
    buttons->addWidget(cmdAcknowledgeSensor);
    buttons->addSpacing(16);
    buttons->addWidget(lblOutbox, 1);
    v->addLayout(buttons);
    for (QPushButton* b : {cmdAcknowledge, cmdAcknowledgeSensor}) b->setAutoDefault(false);
    connect(cmdAcknowledge, &QPushButton::clicked, this, &AlarmNowPage::onAcknowledgeClicked);
    connect(cmdAcknowledgeSensor, &QPushButton::clicked, this, &AlarmNowPage::onAcknowledgeSensorClicked);
    connect(grdNow, &QTableWidget::itemSelectionChanged, this, &AlarmNowPage::showPlan);
    connect(grdNow, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        if (m_goTo && row >= 0 && row < int(m_episodes.size())) m_goTo(m_episodes[size_t(row)].sensorId);
    });
    fill();
}

void AlarmNowPage::fill()
{
    m_episodes.clear();
    QString outbox;
    runTrapped(QStringLiteral(" frmAlarms.Now"), [&] {
        m_episodes = AlarmEpisodes::active(m_db);
        outbox = Outbox::unsentText(m_db);
    });
    grdNow->setRowCount(int(m_episodes.size()));
    for (int r = 0; r < int(m_episodes.size()); ++r) {
        const AlarmEpisodes::Episode& e = m_episodes[size_t(r)];
        put(grdNow, r,
            {e.sensorId, AlarmEpisodeTexts::position(e), AlarmEpisodeTexts::quantity(e), e.level,
             AlarmEpisodeTexts::worstValue(e), AlarmStore::shownDate(e.openedAt),
             AlarmEpisodeTexts::acknowledgement(e)},
            e.level);
    }
    grdNow->resizeColumnsToContents();
    lblOutbox->setText(outbox.isEmpty()
                           ? QString()
                           : QStringLiteral("Notifications: ") + outbox + QStringLiteral(" (see the error log)"));
    if (!m_episodes.empty()) grdNow->selectRow(0);
    showPlan();
}

std::vector<AlarmEpisodes::Episode> AlarmNowPage::selected() const
{
    QSet<int> rows;
    for (const QModelIndex& i : grdNow->selectionModel()->selectedRows()) rows.insert(i.row());
    std::vector<AlarmEpisodes::Episode> out;
    for (int r = 0; r < int(m_episodes.size()); ++r)
        if (rows.contains(r)) out.push_back(m_episodes[size_t(r)]);
    return out;
}

void AlarmNowPage::showPlan()
{
    const std::vector<AlarmEpisodes::Episode> chosen = selected();
    if (chosen.empty()) {
        lblPlan->setText(m_episodes.empty() ? QStringLiteral("No alarm is active.") : QString());
        return;
    }
    const AlarmEpisodes::Episode& e = chosen.front();
    std::optional<NotifySettings::Plan> plan;
    runTrapped(QStringLiteral(" frmAlarms.Plan"),
               [&] { plan = NotifySettings::planFor(m_db, e.sensorId, e.peakLevel); });
    if (!plan) {
        lblPlan->setText(QStringLiteral("Response plan: none set for ") + e.peakLevel + u'.');
        return;
    }
    QString text = QStringLiteral("Response plan (") + plan->level + QStringLiteral(", ") + plan->group.text() +
                   QStringLiteral("): ") + plan->actions;
    if (!plan->contacts.isEmpty()) text += QStringLiteral("\nWho is called: ") + plan->contacts;
    lblPlan->setText(text);
}

std::optional<QString> askAcknowledgementNote(const QString& question)
{
    const std::optional<QString> note = Messages::prompt(question, QStringLiteral("Acknowledge"));
    if (!note) return std::nullopt;
    if (note->trimmed().isEmpty()) {
        Messages::show(QStringLiteral("An acknowledgement needs a note: nothing was acknowledged."),
                       QStringLiteral("Alarms"), Messages::Icon::Exclamation);
        return std::nullopt;
    }
    return note;
}

void AlarmNowPage::acknowledge(const QList<qint64>& ids, const QString& what)
{
    const std::optional<QString> note =
        askAcknowledgementNote(QStringLiteral("Note for the acknowledgement of ") + what +
                               QStringLiteral(" (what was seen, done or decided):"));
    if (!note) return;
    runTrapped(QStringLiteral(" frmAlarms.Acknowledge"), [&] {
        AlarmEpisodes::acknowledge(m_db, ids, *note, AlarmStore::loginName(), QDateTime::currentDateTime());
    });
    fill();
}

void AlarmNowPage::onAcknowledgeClicked()
{
    QList<qint64> ids;
    for (const AlarmEpisodes::Episode& e : selected())
        if (!e.acknowledged()) ids << e.id;
    if (ids.isEmpty()) {
        Messages::show(QStringLiteral("Choose one or more alarms not yet acknowledged in the list."),
                       QStringLiteral("Alarms"), Messages::Icon::Information);
        return;
    }
    acknowledge(ids, ids.size() == 1 ? QStringLiteral("the selected alarm")
                                     : QStringLiteral("the %1 selected alarms").arg(ids.size()));
}

void AlarmNowPage::onAcknowledgeSensorClicked()
{
    const std::vector<AlarmEpisodes::Episode> chosen = selected();
    if (chosen.empty()) {
        Messages::show(QStringLiteral("Choose a row of the sensor to acknowledge."), QStringLiteral("Alarms"),
                       Messages::Icon::Information);
        return;
    }
    const QString sensor = chosen.front().sensorId;
    QList<qint64> ids;
    for (const AlarmEpisodes::Episode& e : m_episodes)
        if (e.sensorId == sensor && !e.acknowledged()) ids << e.id;
    if (ids.isEmpty()) return;
    acknowledge(ids, QStringLiteral("every active alarm of sensor ") + sensor);
}

AlarmHistoryPage::AlarmHistoryPage(Database& db, QWidget* parent) : QWidget(parent), m_db(db)
{
    setObjectName(QStringLiteral("pageHistory"));
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Period:"), this);
    cboPeriod = new QComboBox(this);
    cboPeriod->setObjectName(QStringLiteral("cboPeriod"));
    cboPeriod->addItems({QStringLiteral("Last 7 days"), QStringLiteral("Last 30 days"), QStringLiteral("Last 365 days"),
                         QStringLiteral("All")});
    cboPeriod->setCurrentIndex(1);
    label->setBuddy(cboPeriod);
    top->addWidget(label);
    top->addWidget(cboPeriod);
    top->addStretch();
    v->addLayout(top);
    grdHistory = makeGrid({QStringLiteral("Sensor"), QStringLiteral("Position"), QStringLiteral("Quantity"),
                           QStringLiteral("Highest level"), QStringLiteral("Worst value"), QStringLiteral("Opened"),
                           QStringLiteral("Closed"), QStringLiteral("Acknowledged by"), QStringLiteral("Note")},
                          QStringLiteral("grdHistory"), this);
    v->addWidget(grdHistory, 1);
    connect(cboPeriod, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    fill();
}

void AlarmHistoryPage::fill()
{
    const int days[] = {7, 30, 365, 0};
    const int span = days[std::clamp(cboPeriod->currentIndex(), 0, 3)];
    const QDateTime to = QDateTime::currentDateTime();
    const QDateTime from = span > 0 ? to.addDays(-span) : QDateTime(QDate(1900, 1, 1), QTime(0, 0));
    m_episodes.clear();
    runTrapped(QStringLiteral(" frmAlarms.History"), [&] { m_episodes = AlarmEpisodes::history(m_db, from, to); });
    grdHistory->setRowCount(int(m_episodes.size()));
    for (int r = 0; r < int(m_episodes.size()); ++r) {
        const AlarmEpisodes::Episode& e = m_episodes[size_t(r)];
        put(grdHistory, r,
            {e.sensorId, AlarmEpisodeTexts::position(e), AlarmEpisodeTexts::quantity(e), e.peakLevel,
             AlarmEpisodeTexts::worstValue(e), AlarmStore::shownDate(e.openedAt),
             e.active() ? QStringLiteral("active") : AlarmStore::shownDate(e.closedAt),
             AlarmEpisodeTexts::acknowledgement(e), e.ackNote},
            e.peakLevel);
    }
    grdHistory->resizeColumnsToContents();
}
