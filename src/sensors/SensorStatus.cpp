// The alarm status on the sensor pages: a mark per sensor in the sensor list (its colour,
// and the status in words beside the number and in the tooltip, so colour is never the only
// cue), the status line of the Identification page, and on the Installation page the levels
// set with the button that opens the levels dialog.
#include "core/ErrorTrap.h"
#include "data/AlarmStore.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The role that holds a list entry's status word.
constexpr int StatusWordRole = Qt::UserRole + 41;

// Draws the status word after the sensor number in the list's entries; the entry's text
// stays the bare number, which is what the sensor box shows and looks up.
class StatusDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString word = index.data(StatusWordRole).toString();
        if (!word.isEmpty()) option->text += QStringLiteral("   ") + word;
    }
};

QIcon markIcon(const QString& colourName)
{
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(colourName));
    p.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return QIcon(pm);
}

}  // namespace

void SensorRegistry::buildAlarmControls()
{
    auto* box = new QGroupBox(QStringLiteral("Alarm levels"));
    box->setObjectName(QStringLiteral("fraAlarmLevels"));
    auto* v = new QVBoxLayout(box);
    lblAlarmLevels = new QLabel(box);
    lblAlarmLevels->setObjectName(QStringLiteral("lblAlarmLevels"));
    lblAlarmLevels->setWordWrap(true);
    v->addWidget(lblAlarmLevels);
    cmdAlarmLevels = new QToolButton(box);
    cmdAlarmLevels->setObjectName(QStringLiteral("cmdAlarmLevels"));
    cmdAlarmLevels->setText(QStringLiteral("Set alarm &levels..."));
    cmdAlarmLevels->setToolTip(
        QStringLiteral("Alert and Action levels of this sensor's load, displacement and rate, "
                       "and when it counts as stale"));
    connect(cmdAlarmLevels, &QToolButton::clicked, this, [this] {
        savefields();
        m_win.editAlarmLevels();
    });
    v->addWidget(cmdAlarmLevels, 0, Qt::AlignLeft);
    cboSensors->setItemDelegate(new StatusDelegate(cboSensors));
}

void SensorRegistry::refreshStatusMarks()
{
    QHash<QString, AlarmStore::State> states;
    QSet<QString> withLevels;
    const bool read = ignoringErrors([&] {
        if (!m_s.db.isOpen()) return;
        states = AlarmStore::states(m_s.db);
    });
    if (!read) return;
    for (int i = 0; i < cboSensors->count(); ++i) {
        const auto it = states.constFind(cboSensors->itemText(i));
        if (it == states.constEnd()) {
            cboSensors->setItemData(i, QVariant(), Qt::DecorationRole);
            cboSensors->setItemData(i, QVariant(), StatusWordRole);
            cboSensors->setItemData(i, QStringLiteral("No alarm levels set"), Qt::ToolTipRole);
            continue;
        }
        const QString word = AlarmStore::word(it->status);
        cboSensors->setItemData(i, markIcon(AlarmStore::colourName(it->status)), Qt::DecorationRole);
        cboSensors->setItemData(i, word, StatusWordRole);
        cboSensors->setItemData(i, AlarmStore::statusLine(*it, true), Qt::ToolTipRole);
    }
    showAlarmStatus();
}

void SensorRegistry::showAlarmActivity(const QString& text)
{
    m_alarmActivity = text;
    showAlarmStatus();
}

void SensorRegistry::showAlarmStatus()
{
    const QString id = m_s.currentSensorId();
    const QString activity =
        m_alarmActivity.isEmpty() ? QString() : QStringLiteral("<br>") + m_alarmActivity.toHtmlEscaped();
    if (id.isEmpty() || !m_s.db.isOpen()) {
        lblAlarmStatus->setText(activity.mid(4));
        lblAlarmLevels->clear();
        return;
    }
    std::optional<AlarmStore::Levels> levels;
    std::optional<AlarmStore::State> state;
    ignoringErrors([&] {
        levels = AlarmStore::levels(m_s.db, id);
        state = AlarmStore::state(m_s.db, id);
    });
    const bool has = levels && levels->any();
    const QString line = AlarmStore::statusLine(state, has);
    const AlarmStore::Severity sev = has && state ? state->status : AlarmStore::Severity::NoLevels;
    const QString colour = AlarmStore::colourName(sev);
    // The mark's colour, then the words (the status is always written out).
    lblAlarmStatus->setText(
        (colour.isEmpty() ? QString()
                          : QStringLiteral("<span style=\"color:%1; font-size:large\">&#9679;</span> ").arg(colour)) +
        line.toHtmlEscaped() + activity);
    lblAlarmStatus->setToolTip(line);
    lblAlarmStatus->setProperty("status", AlarmStore::word(sev));
    lblAlarmLevels->setText(levels ? AlarmStore::levelsText(*levels).join(u'\n')
                                   : QStringLiteral("No alarm levels set."));
}
