#include "alarms/AlarmEpisodeTexts.h"
#include "data/AlarmStore.h"

namespace AlarmEpisodeTexts {

QString position(const AlarmEpisodes::Episode& e)
{
    if (e.quantity == QLatin1String("Stale")) return QStringLiteral("-");
    return u'#' + QString::number(e.position) + QStringLiteral(" (") + e.direction + u')';
}

QString quantity(const AlarmEpisodes::Episode& e)
{
    if (e.quantity == QLatin1String("Disp")) return QStringLiteral("Displacement");
    if (e.quantity == QLatin1String("Stale")) return QStringLiteral("No reading");
    return e.quantity;
}

QString worstValue(const AlarmEpisodes::Episode& e) { return AlarmStore::valueText(e.quantity, e.worstValue); }

QString acknowledgement(const AlarmEpisodes::Episode& e)
{
    if (e.ackAt.isEmpty()) return QString();
    QString t = e.ackBy + QStringLiteral(", ") + AlarmStore::shownDate(e.ackAt);
    if (!e.acknowledged()) t += QStringLiteral(" (at ") + e.ackLevel + QStringLiteral("; again needed)");
    return t;
}

}  // namespace AlarmEpisodeTexts
