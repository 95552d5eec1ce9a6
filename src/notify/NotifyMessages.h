#pragma once
#include "data/AlarmEpisodes.h"
#include "notify/NotifySettings.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The texts of a notification: the mail's subject and body, and the JSON a hook is given.
// Each names the sensor, its place, the position, the value, the level, the time, the
// response plan and how to acknowledge, and with a web view address set, links to the
// sensor's page and to the alarms page of the web view.
namespace NotifyMessages {

// What happened to the episode: "opened", "raised", "cleared", "reminder"; "test" for the
// test message of the settings.
struct Message {
    QString subject;
    QString body;
    QByteArray json;
};

// webAddress: the web view's base address; empty, no links.
Message compose(const AlarmEpisodes::Episode& e, const QString& change, const NotifySettings::Group& place,
                const std::optional<NotifySettings::Plan>& plan, const QString& webAddress = QString());

// The test message the settings send (with the alarms page's link when an address is set).
Message test(const QString& who, const QString& webAddress = QString());

// The web view's page of a sensor, "<base>/sensor/<id, URL-encoded>", and its alarms page,
// "<base>/alarms", whether or not the base ends in "/". Empty when no base is set.
QString sensorLink(const QString& webAddress, const QString& sensorId);
QString alarmsLink(const QString& webAddress);

// The headline of a change: "Action", "Action (reminder)", "cleared".
QString changeWord(const AlarmEpisodes::Episode& e, const QString& change);

}  // namespace NotifyMessages
