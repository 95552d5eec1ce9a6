#include "tools/RejectedNotes.h"
#include "data/Rejections.h"

#include <QStringList>
#include <map>

namespace RejectedNotes {

QHash<QByteArray, QByteArray> forSensor(Database& db, const QString& sensorId)
{
    // Per reading, its marks in gauge order: the whole reading first, the temperature last.
    std::map<QString, std::map<int, QString>> notes;
    for (const Rejections::Mark& m : Rejections::marks(db, sensorId)) {
        const QString what = m.gauge == Rejections::WholeReading  ? QStringLiteral("whole reading")
                             : m.gauge == Rejections::Temperature ? QStringLiteral("temperature")
                                                                  : QStringLiteral("gauge %1").arg(m.gauge);
        QStringList who;
        for (const QString& part : {m.by, m.at})
            if (!part.isEmpty()) who << part;
        notes[m.dateTimeKey][m.gauge] =
            what + QStringLiteral(": ") + m.reason +
            (who.isEmpty() ? QString() : QStringLiteral(" (") + who.join(QStringLiteral(", ")) + u')');
    }
    QHash<QByteArray, QByteArray> out;
    for (const auto& [key, byGauge] : notes) {
        QStringList parts;
        for (const auto& [gauge, note] : byGauge) parts << note;
        out.insert(key.toUtf8(), parts.join(QStringLiteral("; ")).toUtf8());
    }
    return out;
}

}  // namespace RejectedNotes
