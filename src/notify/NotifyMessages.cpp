#include "notify/NotifyMessages.h"
#include "data/AlarmStore.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

namespace NotifyMessages {

namespace {

const QString HowToAcknowledge = QStringLiteral(
    "To acknowledge: open Tarnwell, choose Alarms, select the row on the \"Now\" page and press Acknowledge.");

QString placeText(const NotifySettings::Group& g)
{
    QStringList parts;
    if (!g.mineLevel.isEmpty()) parts << AlarmPlans::levelText(g.mineLevel);
    if (!g.location.isEmpty()) parts << g.location;
    return parts.isEmpty() ? QStringLiteral("(no place recorded)") : parts.join(QStringLiteral(", "));
}

// The base without the slashes it may end in, so a page's path is added with exactly one.
QString baseOf(const QString& webAddress)
{
    QString base = webAddress.trimmed();
    while (base.endsWith(u'/')) base.chop(1);
    return base;
}

}  // namespace

QString sensorLink(const QString& webAddress, const QString& sensorId)
{
    const QString base = baseOf(webAddress);
    if (base.isEmpty()) return QString();
    // Every character but letters, digits and "-._~" is encoded, so a space, "&", "/", "?"
    // or "#" in an id stays part of the id's path segment.
    return base + QStringLiteral("/sensor/") + QString::fromLatin1(QUrl::toPercentEncoding(sensorId));
}

QString alarmsLink(const QString& webAddress)
{
    const QString base = baseOf(webAddress);
    return base.isEmpty() ? QString() : base + QStringLiteral("/alarms");
}

QString changeWord(const AlarmEpisodes::Episode& e, const QString& change)
{
    if (change == QLatin1String("cleared")) return QStringLiteral("cleared");
    if (change == QLatin1String("reminder")) return e.level + QStringLiteral(" (reminder, not acknowledged)");
    if (change == QLatin1String("raised")) return e.level + QStringLiteral(" (raised)");
    return e.level;
}

Message compose(const AlarmEpisodes::Episode& e, const QString& change, const NotifySettings::Group& place,
                const std::optional<NotifySettings::Plan>& plan, const QString& webAddress)
{
    const bool cleared = change == QLatin1String("cleared");
    const QString where =
        e.quantity == QLatin1String("Stale") ? e.where() : e.where() + QStringLiteral(" (") + e.direction + u')';
    const QString value = AlarmStore::valueText(e.quantity, cleared ? e.lastValue : e.worstValue);
    const QString threshold = AlarmStore::valueText(e.quantity, e.threshold);
    const QString time = AlarmStore::shownDate(cleared                  ? e.closedAt
                                               : e.levelSince.isEmpty() ? e.openedAt
                                                                        : e.levelSince);
    Message m;
    m.subject = QStringLiteral("Tarnwell alarm: ") + changeWord(e, change) + QStringLiteral(" - sensor ") + e.sensorId +
                u' ' + e.where() + u' ' + value;
    QStringList lines;
    lines << QStringLiteral("Sensor: ") + e.sensorId << QStringLiteral("Place: ") + placeText(place)
          << QStringLiteral("Position: ") + where << QStringLiteral("Level: ") + changeWord(e, change)
          << QStringLiteral("Value: ") + value + QStringLiteral(" (") + e.peakLevel + QStringLiteral(" level ") +
                 threshold + u')'
          << QStringLiteral("Time of the reading: ") + time
          << QStringLiteral("Since: ") + AlarmStore::shownDate(e.openedAt);
    if (cleared) lines << QStringLiteral("The value is back within the levels; the episode is closed.");
    lines << QString();
    if (plan) {
        lines << QStringLiteral("Response plan (") + plan->level + QStringLiteral(", ") + plan->group.text() +
                     QStringLiteral("):");
        lines << plan->actions;
        if (!plan->contacts.isEmpty()) lines << QStringLiteral("Who is called: ") + plan->contacts;
    } else {
        lines << QStringLiteral("Response plan: none set for ") + e.peakLevel + u'.';
    }
    lines << QString() << HowToAcknowledge;
    const QString sensorPage = sensorLink(webAddress, e.sensorId);
    const QString alarmsPage = alarmsLink(webAddress);
    if (!sensorPage.isEmpty())
        lines << QString() << QStringLiteral("The sensor in the web view: ") + sensorPage
              << QStringLiteral("Every alarm now: ") + alarmsPage;
    m.body = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");

    QJsonObject o;
    o.insert(QStringLiteral("change"), change);
    o.insert(QStringLiteral("episode"), double(e.id));
    o.insert(QStringLiteral("sensor"), e.sensorId);
    o.insert(QStringLiteral("mineLevel"), place.mineLevel);
    o.insert(QStringLiteral("location"), place.location);
    o.insert(QStringLiteral("quantity"), e.quantity);
    o.insert(QStringLiteral("position"), e.position);
    o.insert(QStringLiteral("direction"), e.direction);
    o.insert(QStringLiteral("level"), e.level);
    o.insert(QStringLiteral("peakLevel"), e.peakLevel);
    o.insert(QStringLiteral("value"), cleared ? e.lastValue : e.worstValue);
    o.insert(QStringLiteral("threshold"), e.threshold);
    o.insert(QStringLiteral("valueText"), value);
    o.insert(QStringLiteral("openedAt"), e.openedAt);
    o.insert(QStringLiteral("readingAt"), cleared ? e.closedAt : e.levelSince);
    if (plan) {
        o.insert(QStringLiteral("plan"), plan->actions);
        o.insert(QStringLiteral("contacts"), plan->contacts);
    }
    if (!sensorPage.isEmpty()) {
        o.insert(QStringLiteral("sensorLink"), sensorPage);
        o.insert(QStringLiteral("alarmsLink"), alarmsPage);
    }
    o.insert(QStringLiteral("text"), m.subject);
    m.json = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return m;
}

Message test(const QString& who, const QString& webAddress)
{
    Message m;
    m.subject = QStringLiteral("Tarnwell alarm: test message");
    m.body = QStringLiteral("This is a test message sent by ") + who +
             QStringLiteral(" from Tarnwell's alarm settings on ") +
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) +
             QStringLiteral(".\r\nAlarm notifications will reach this address.\r\n");
    const QString alarmsPage = alarmsLink(webAddress);
    if (!alarmsPage.isEmpty()) m.body += QStringLiteral("Every alarm now: ") + alarmsPage + QStringLiteral("\r\n");
    QJsonObject o;
    o.insert(QStringLiteral("change"), QStringLiteral("test"));
    if (!alarmsPage.isEmpty()) o.insert(QStringLiteral("alarmsLink"), alarmsPage);
    o.insert(QStringLiteral("text"), m.subject);
    m.json = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return m;
}

}  // namespace NotifyMessages
