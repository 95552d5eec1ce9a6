#include "alarms/NotificationSettingsDialog.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/AlarmStore.h"
#include "notify/NotifySettings.h"
#include "notify/Outbox.h"
#include "store/Database.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* grid(const QStringList& columns, const QString& name, QWidget* parent)
{
    auto* g = new QTableWidget(0, int(columns.size()), parent);
    g->setObjectName(name);
    g->setHorizontalHeaderLabels(columns);
    g->verticalHeader()->setVisible(false);
    g->horizontalHeader()->setStretchLastSection(true);
    return g;
}

QString cell(const QTableWidget* g, int r, int c)
{
    const QTableWidgetItem* i = g->item(r, c);
    return i ? i->text().trimmed() : QString();
}

void setRow(QTableWidget* g, int r, const QStringList& texts)
{
    for (int c = 0; c < texts.size(); ++c) g->setItem(r, c, new QTableWidgetItem(texts[c]));
}

// A row with nothing typed in it is left out.
bool blank(const QTableWidget* g, int r)
{
    for (int c = 0; c < g->columnCount(); ++c)
        if (!cell(g, r, c).isEmpty()) return false;
    return true;
}

QString levelWord(const QString& typed)
{
    for (const char* w : {"Alert", "Action", "Stale"})
        if (typed.compare(QLatin1String(w), Qt::CaseInsensitive) == 0) return QLatin1String(w);
    return QString();
}

}  // namespace

NotificationSettingsDialog::NotificationSettingsDialog(Database& db, QWidget* parent) : QDialog(parent), m_db(db)
{
    setObjectName(QStringLiteral("frmAlarmNotify"));
    setWindowTitle(QStringLiteral("Alarm notifications"));
    resize(820, 640);
    auto* v = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    txtSmtpUrl = new QLineEdit(this);
    txtSmtpUrl->setPlaceholderText(QStringLiteral("smtp://mail.example.com:587 or smtps://mail.example.com:465"));
    txtSmtpUser = new QLineEdit(this);
    txtSmtpUser->setPlaceholderText(QStringLiteral("empty: no login"));
    txtSmtpFrom = new QLineEdit(this);
    chkRequireTls = new QCheckBox(QStringLiteral("Send only over an encrypted connection"), this);
    txtHook = new QLineEdit(this);
    txtHook->setPlaceholderText(QStringLiteral("a program given each notification as JSON on its input"));
    txtReminderHours = new QLineEdit(this);
    txtCooldownMinutes = new QLineEdit(this);
    txtWebAddress = new QLineEdit(this);
    txtWebAddress->setObjectName(QStringLiteral("txtWebAddress"));
    txtWebAddress->setPlaceholderText(
        QStringLiteral("https://tarnwell.mine.example (the messages link to the sensor's page; empty: no links)"));
    form->addRow(QStringLiteral("Mail &server:"), txtSmtpUrl);
    form->addRow(QStringLiteral("&Login:"), txtSmtpUser);
    form->addRow(QStringLiteral("&From address:"), txtSmtpFrom);
    form->addRow(QString(), chkRequireTls);
    form->addRow(QStringLiteral("&Hook command:"), txtHook);
    form->addRow(QStringLiteral("&Reminder after (hours, 0 none):"), txtReminderHours);
    form->addRow(QStringLiteral("&Cool-down (minutes):"), txtCooldownMinutes);
    form->addRow(QStringLiteral("&Web view address:"), txtWebAddress);
    v->addLayout(form);
    auto* pw =
        new QLabel(QStringLiteral("The mail server's password is not kept in the database: each program that sends "
                                  "reads it from TARNWELL_SMTP_PASSWORD, or from the file named by "
                                  "TARNWELL_SMTP_PASSWORD_FILE (default: smtp-password in the data folder)."),
                   this);
    pw->setWordWrap(true);
    v->addWidget(pw);
    v->addWidget(new QLabel(QStringLiteral("Recipients (level: Alert gets Alert and Action; an empty mine level or "
                                           "location means every sensor):"),
                            this));
    grdRecipients = grid({QStringLiteral("Address"), QStringLiteral("From level"), QStringLiteral("Mine level"),
                          QStringLiteral("Location")},
                         QStringLiteral("grdRecipients"), this);
    v->addWidget(grdRecipients, 1);
    v->addWidget(new QLabel(QStringLiteral("Response plans (per level, for every sensor or a group):"), this));
    grdPlans = grid({QStringLiteral("Level"), QStringLiteral("Mine level"), QStringLiteral("Location"),
                     QStringLiteral("What to do"), QStringLiteral("Who is called")},
                    QStringLiteral("grdPlans"), this);
    v->addWidget(grdPlans, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* test = buttons->addButton(QStringLiteral("Send a &test message"), QDialogButtonBox::ActionRole);
    test->setObjectName(QStringLiteral("cmdTest"));
    v->addWidget(buttons);
    connect(test, &QPushButton::clicked, this, &NotificationSettingsDialog::onSendTestClicked);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    runTrapped(QStringLiteral(" frmAlarmNotify.load"), [&] {
        const NotifySettings::Settings s = NotifySettings::load(m_db);
        txtSmtpUrl->setText(s.smtpUrl);
        txtSmtpUser->setText(s.smtpUser);
        txtSmtpFrom->setText(s.smtpFrom);
        chkRequireTls->setChecked(s.requireTls);
        txtHook->setText(s.hookCommand);
        txtReminderHours->setText(QString::number(s.reminderHours));
        txtCooldownMinutes->setText(QString::number(s.cooldownMinutes));
        txtWebAddress->setText(s.webAddress);
        const auto recipients = NotifySettings::recipients(m_db);
        grdRecipients->setRowCount(int(recipients.size()) + 5);
        for (int r = 0; r < int(recipients.size()); ++r) {
            const auto& x = recipients[size_t(r)];
            setRow(grdRecipients, r, {x.address, x.minLevel, x.group.mineLevel, x.group.location});
        }
        const auto plans = NotifySettings::plans(m_db);
        grdPlans->setRowCount(int(plans.size()) + 3);
        for (int r = 0; r < int(plans.size()); ++r) {
            const auto& p = plans[size_t(r)];
            setRow(grdPlans, r, {p.level, p.group.mineLevel, p.group.location, p.actions, p.contacts});
        }
    });
}

namespace {
struct Typed {
    NotifySettings::Settings settings;
    std::vector<NotifySettings::Recipient> recipients;
    std::vector<NotifySettings::Plan> plans;
    QString problem;
};

Typed read(const NotificationSettingsDialog& f)
{
    Typed t;
    t.settings.smtpUrl = f.txtSmtpUrl->text().trimmed();
    t.settings.smtpUser = f.txtSmtpUser->text().trimmed();
    t.settings.smtpFrom = f.txtSmtpFrom->text().trimmed();
    t.settings.requireTls = f.chkRequireTls->isChecked();
    t.settings.hookCommand = f.txtHook->text().trimmed();
    bool ok = false;
    t.settings.reminderHours = f.txtReminderHours->text().trimmed().toDouble(&ok);
    if (!ok || t.settings.reminderHours < 0)
        t.problem = QStringLiteral("The reminder time must be a number of hours (0: none).");
    t.settings.cooldownMinutes = f.txtCooldownMinutes->text().trimmed().toInt(&ok);
    if (!ok || t.settings.cooldownMinutes < 0)
        t.problem = QStringLiteral("The cool-down must be a whole number of minutes.");
    t.settings.webAddress = f.txtWebAddress->text().trimmed();
    if (!NotifySettings::webAddressAccepted(t.settings.webAddress))
        t.problem = QStringLiteral(
            "The web view address is given as http://host or https://host (with a port or a "
            "path if needed), or left empty for no links.");
    const QString url = t.settings.smtpUrl.toLower();
    if (!url.isEmpty() && !url.startsWith(QLatin1String("smtp://")) && !url.startsWith(QLatin1String("smtps://")))
        t.problem = QStringLiteral("The mail server is given as smtp://host:port or smtps://host:port.");
    for (int r = 0; r < f.grdRecipients->rowCount(); ++r) {
        if (blank(f.grdRecipients, r)) continue;
        const QString level =
            levelWord(cell(f.grdRecipients, r, 1).isEmpty() ? QStringLiteral("Alert") : cell(f.grdRecipients, r, 1));
        const QString address = cell(f.grdRecipients, r, 0);
        if (!address.contains(u'@') || (level != QLatin1String("Alert") && level != QLatin1String("Action")))
            t.problem = QStringLiteral("Recipient row %1: an e-mail address and the level Alert or Action are needed.")
                            .arg(r + 1);
        t.recipients.push_back({address, level, {cell(f.grdRecipients, r, 2), cell(f.grdRecipients, r, 3)}});
    }
    for (int r = 0; r < f.grdPlans->rowCount(); ++r) {
        if (blank(f.grdPlans, r)) continue;
        const QString level = levelWord(cell(f.grdPlans, r, 0));
        if (level.isEmpty() || cell(f.grdPlans, r, 3).isEmpty())
            t.problem =
                QStringLiteral("Response plan row %1: the level (Alert, Action or Stale) and what to do are needed.")
                    .arg(r + 1);
        t.plans.push_back(
            {level, {cell(f.grdPlans, r, 1), cell(f.grdPlans, r, 2)}, cell(f.grdPlans, r, 3), cell(f.grdPlans, r, 4)});
    }
    return t;
}
}  // namespace

bool NotificationSettingsDialog::save()
{
    const Typed t = read(*this);
    if (!t.problem.isEmpty()) {
        Messages::show(t.problem, windowTitle(), Messages::Icon::Exclamation);
        return false;
    }
    bool saved = false;
    runTrapped(QStringLiteral(" frmAlarmNotify.save"), [&] {
        Transaction tx(m_db);
        NotifySettings::save(m_db, t.settings);
        NotifySettings::saveRecipients(m_db, t.recipients);
        NotifySettings::savePlans(m_db, t.plans);
        tx.commit();
        saved = true;
    });
    return saved;
}

void NotificationSettingsDialog::onSendTestClicked()
{
    const Typed t = read(*this);
    if (!t.problem.isEmpty()) {
        Messages::show(t.problem, windowTitle(), Messages::Icon::Exclamation);
        return;
    }
    QStringList to;
    for (const NotifySettings::Recipient& r : t.recipients)
        if (!to.contains(r.address, Qt::CaseInsensitive)) to << r.address;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const QStringList problems = Outbox::sendTest(t.settings, to, AlarmStore::loginName());
    QApplication::restoreOverrideCursor();
    if (problems.isEmpty())
        Messages::show(QStringLiteral("The test message was sent."), windowTitle(), Messages::Icon::Information);
    else
        Messages::show(QStringLiteral("The test message was not sent:\r\n") + problems.join(QStringLiteral("\r\n")),
                       windowTitle(), Messages::Icon::Exclamation);
}
