#pragma once
#include "data/AlarmEpisodes.h"
#include "notify/NotifySettings.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The texts of a notification: the mail's subject and body, and the JSON a hook is given.
// Each names the sensor, its place, the position, the value, the level, the time, the
// response plan and how to acknowledge.
namespace NotifyMessages {

// What happened to the episode: "opened", "raised", "cleared", "reminder"; "test" for the
// test message of the settings.
struct Message {
    QString subject;
    QString body;
    QByteArray json;
};

Message compose(const AlarmEpisodes::Episode& e, const QString& change, const NotifySettings::Group& place,
                const std::optional<NotifySettings::Plan>& plan);

// The test message the settings send.
Message test(const QString& who);

// The headline of a change: "Action", "Action (reminder)", "cleared".
QString changeWord(const AlarmEpisodes::Episode& e, const QString& change);

}  // namespace NotifyMessages
