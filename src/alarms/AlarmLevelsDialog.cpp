#include "alarms/AlarmLevelsDialog.h"
#include "core/Messages.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AlarmRules;

namespace {
const char* const BoxNames[FieldCount] = {
    "txtLoadAlertUpper",  "txtLoadActionUpper", "txtLoadAlertLower",  "txtLoadActionLower", "txtDispAlertUpper",
    "txtDispActionUpper", "txtDispAlertLower",  "txtDispActionLower", "txtRateAlert",       "txtRateAction",
    "txtRateWindowDays",  "txtMarginPercent",   "txtStaleDays"};
}  // namespace

AlarmLevelsDialog::AlarmLevelsDialog(const QString& sensorId, const Texts& texts, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAlarmLevels"));
    setWindowTitle(QStringLiteral("Alarm levels of sensor ") + sensorId);
    auto* v = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Alert (amber): look closer, read more often. Action (red): act now.\n"
                                            "Leave a box empty to set no level there."),
                             this);
    v->addWidget(intro);

    auto* g = new QGridLayout;
    for (int i = 0; i < FieldCount; ++i) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(BoxNames[i]));
        e->setText(texts[size_t(i)]);
        e->setMaximumWidth(110);
        e->setAccessibleName(fieldCaption(Field(i)));
        m_boxes[size_t(i)] = e;
    }
    const char* heads[] = {"Alert above", "Action above", "Alert below", "Action below"};
    for (int c = 0; c < 4; ++c) g->addWidget(new QLabel(QLatin1String(heads[c]), this), 0, c + 1);
    auto row = [&](int r, const QString& caption, std::initializer_list<Field> fields) {
        auto* l = new QLabel(caption, this);
        g->addWidget(l, r, 0);
        int c = 1;
        for (Field f : fields) g->addWidget(m_boxes[size_t(f)], r, c++);
        l->setBuddy(m_boxes[size_t(*fields.begin())]);
    };
    row(1, QStringLiteral("&Load (t):"), {LoadAlertUpper, LoadActionUpper, LoadAlertLower, LoadActionLower});
    row(2, QStringLiteral("&Displacement (microns):"),
        {DispAlertUpper, DispActionUpper, DispAlertLower, DispActionLower});
    g->addWidget(new QLabel(QStringLiteral("Alert"), this), 3, 1);
    g->addWidget(new QLabel(QStringLiteral("Action"), this), 3, 2);
    g->addWidget(new QLabel(QStringLiteral("over (days)"), this), 3, 3);
    row(4, QStringLiteral("&Rate of load change (t/day):"), {RateAlert, RateAction, RateWindowDays});
    row(5, QStringLiteral("&Margin to clear a level (%):"), {MarginPercent});
    row(6, QStringLiteral("&Stale after (days without a reading):"), {StaleDays});
    v->addLayout(g);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &AlarmLevelsDialog::onOkClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    v->addWidget(buttons);
    m_boxes[LoadAlertUpper]->setFocus();
}

void AlarmLevelsDialog::onOkClicked()
{
    Texts texts;
    for (int i = 0; i < FieldCount; ++i) texts[size_t(i)] = m_boxes[size_t(i)]->text();
    const Checked c = check(texts);
    if (!c.ok()) {
        Messages::show(c.message, QStringLiteral("Alarm levels"), Messages::Icon::Exclamation);
        if (c.field >= 0) {
            m_boxes[size_t(c.field)]->setFocus();
            m_boxes[size_t(c.field)]->selectAll();
        }
        return;
    }
    m_levels = c.levels;
    accept();
}
