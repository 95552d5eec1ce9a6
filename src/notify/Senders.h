#pragma once
#include "notify/NotifySettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The two ways a notification leaves the program. Each returns an empty text when the
// notification was delivered, otherwise why not (the outbox tries again later).
namespace Senders {

// One mail to every recipient, through the mail server of the settings (libcurl's SMTP:
// STARTTLS when the server offers it, or always with requireTls; TLS from the start with an
// smtps:// address; a login when a user is set, with the password of
// NotifySettings::smtpPassword). Gives up after timeoutSeconds.
QString sendMail(const NotifySettings::Settings& s, const QString& password, const QStringList& to,
                 const QString& subject, const QString& body, int timeoutSeconds = 60);

// Runs the hook command with the JSON on its standard input; delivered when it exits with
// 0 within timeoutSeconds.
QString runHook(const QString& command, const QByteArray& json, int timeoutSeconds = 60);

}  // namespace Senders
