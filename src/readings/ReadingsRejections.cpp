// Rejected values on the Readings tab: a whole reading, one gauge or the temperature can
// be marked rejected with a reason (and restored). A rejected value stays stored and on
// screen, greyed, with who rejected it, when and why; the calculations treat it as no value.
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/Reading.h"
#include "data/Rejections.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QLabel>
#include <QLineEdit>

namespace {

const QColor RejectedText(0x90, 0x90, 0x90);

QString valueName(int gauge)
{
    if (gauge == Rejections::WholeReading) return QStringLiteral("The whole reading");
    if (gauge == Rejections::Temperature) return QStringLiteral("Temperature");
    return QStringLiteral("Gauge %1").arg(gauge);
}

QString markText(const Rejections::Mark& m)
{
    return valueName(m.gauge) + QStringLiteral(" rejected by ") + (m.by.isEmpty() ? QStringLiteral("?") : m.by) +
           QStringLiteral(" at ") + m.at + QStringLiteral(": ") + m.reason;
}

}  // namespace

void ReadingsController::showRejections()
{
    std::vector<Rejections::Mark> marks;
    const Recordset* rs = m_s.rsReadings.get();
    if (rs && rs->isOpen() && rs->hasCurrentRow())
        ignoringErrors([&] { marks = Rejections::marks(m_s.db, rs->table(), Reading::keyOf(*rs)); });
    const Rejections::Mark* whole = nullptr;
    for (const Rejections::Mark& m : marks)
        if (m.gauge == Rejections::WholeReading) whole = &m;
    const QColor normal = m_page->palette().color(QPalette::Text);
    for (int box = 0; box <= 6; ++box) {
        const int gauge = box == 0 ? Rejections::Temperature : box;
        const Rejections::Mark* mark = whole;
        for (const Rejections::Mark& m : marks)
            if (m.gauge == gauge) mark = &m;
        QLineEdit* edit = valueBox(box);
        QPalette p = edit->palette();
        p.setColor(QPalette::Text, mark ? RejectedText : normal);
        edit->setPalette(p);
        edit->setToolTip(mark ? markText(*mark) : QString());
    }
    QStringList lines;
    for (const Rejections::Mark& m : marks) lines << markText(m);
    lblRejected->setText(lines.join(u'\n'));
    lblRejected->setVisible(!lines.isEmpty());
}

void ReadingsController::onRejectValueClicked()
{
    runTrapped(QStringLiteral(" imgRejectValue_Click"), [&] {
        if (!hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
        // What is typed is stored (or refused) first: a mark is about the stored values.
        m_removedAt = 0;
        const bool stays = leaveReading() && m_removedAt == 0;
        m_removedAt = 0;
        if (!stays || !hasReadings() || !m_s.rsReadings->hasCurrentRow()) return;
        Recordset& rs = *m_s.rsReadings;
        const QString sensor = rs.table();
        const Reading shown = Reading::read(rs);
        const QString& key = shown.key;
        const QString when = shown.when();
        std::vector<Rejections::Mark> marks = Rejections::marks(m_s.db, sensor, key);
        auto markOf = [&](int gauge) -> const Rejections::Mark* {
            for (const Rejections::Mark& m : marks)
                if (m.gauge == gauge) return &m;
            return nullptr;
        };

        // The values the page shows: the whole reading, its gauges, the temperature.
        QList<int> gauges{Rejections::WholeReading};
        for (int i = 1; i <= 6; ++i)
            if (txtChannel[size_t(i)]->isEnabled()) gauges << i;
        if (txtChannelT->isEnabled()) gauges << Rejections::Temperature;
        QStringList choices;
        for (int g : gauges) choices << (markOf(g) ? QStringLiteral("Restore: ") : QString()) + valueName(g);
        choices << QStringLiteral("Cancel");
        const int picked = Messages::choose(
            QStringLiteral("Reject a value of the reading of ") + when +
                QStringLiteral(" (it stays stored and shown, and counts as no value in every calculation, chart and "
                               "alarm), or restore one rejected before:"),
            QStringLiteral("Reject or Restore a Value"), Messages::Icon::Question, choices, int(choices.size()) - 1);
        if (picked < 0 || picked >= gauges.size()) return;
        const int gauge = gauges[picked];

        QString done;
        if (markOf(gauge)) {
            Rejections::restore(m_s.db, sensor, key, gauge);
            done = valueName(gauge) + QStringLiteral(" of the reading of ") + when + QStringLiteral(" was restored.");
        } else {
            const std::optional<QString> reason =
                Messages::prompt(QStringLiteral("Why is ") + valueName(gauge).toLower() +
                                     QStringLiteral(" of the reading of ") + when + QStringLiteral(" rejected?"),
                                 QStringLiteral("Reject a Value"));
            if (!reason) return;
            if (reason->trimmed().isEmpty()) {
                Messages::show(QStringLiteral("A rejected value needs a reason: nothing was rejected."), QString(),
                               Messages::Icon::Exclamation);
                return;
            }
            Rejections::reject(m_s.db, sensor, key, gauge, *reason);
            done = valueName(gauge) + QStringLiteral(" of the reading of ") + when + QStringLiteral(" was rejected.");
        }
        // The mark changed the reading's flag for the calculations: it is read again.
        rs.rereadCurrent();
        fillreadings();
        setStatus(done);
        // The alarm status follows what now counts.
        m_win.readingsChanged();
    });
}
