#include "web/AcknowledgeRoutes.h"

#include "core/TwError.h"
#include "data/AlarmEpisodes.h"
#include "store/Database.h"
#include "web/AcknowledgeRequest.h"
#include "web/WebAuth.h"
#include "web/WebContext.h"
#include "web/WebJson.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <httplib.h>

namespace {

void answerJson(httplib::Response& res, int status, const QJsonObject& o)
{
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(), "application/json");
}

void answerError(httplib::Response& res, int status, const QString& text, bool page)
{
    if (page) {
        res.status = status;
        res.set_content((text + QLatin1Char('\n')).toStdString(), "text/plain; charset=utf-8");
    } else {
        res.status = status;
        res.set_content(jsonError(text).toStdString(), "application/json");
    }
}

// POST /api/alarms/acknowledge and the Alarms page's form (page: answers with a redirect
// back to the page, or a plain text when refused).
void acknowledge(WebContext& context, const httplib::Request& req, httplib::Response& res, bool page)
{
    WebAuth& auth = *context.auth;
    const auto session = auth.sessionOf(req);
    const AcknowledgeRequest ask = AcknowledgeRequest::parse(req.get_header_value("Content-Type"), req.body);
    QByteArray token = QByteArray::fromStdString(req.get_header_value("X-CSRF-Token")).trimmed();
    if (token.isEmpty()) token = ask.csrf;
    if (auth.mode() == WebAuth::Mode::OpenFile) {
        answerError(res, 403,
                    QStringLiteral("This web view is read-only: start it with a password file to acknowledge"), page);
        return;
    }
    // The origin and token first: a forged request learns nothing, not even whether its
    // ids were well formed.
    if (!session || !auth.allowsChange(req, token)) {
        answerError(res, 403, QStringLiteral("Refused: not sent from a page of this site with its form's token"), page);
        return;
    }
    if (!session->canAcknowledge) {
        answerError(res, 403, QStringLiteral("This login may look at alarms but not acknowledge them"), page);
        return;
    }
    if (!ask.error.isEmpty()) {
        answerError(res, 400, ask.error, page);
        return;
    }
    // On a server the role's own name is who acknowledged (it is the login's user name).
    const QString who = session->user;
    int changed = 0;
    try {
        changed = AlarmEpisodes::acknowledge(context.db(req), ask.ids, ask.note, who, QDateTime::currentDateTime());
    } catch (const TwError& e) {
        if (e.storage == StorageKind::NoPermission || e.storage == StorageKind::ReadOnly) {
            answerError(res, 403, QStringLiteral("The database refused this change for your login"), page);
            return;
        }
        answerError(res, 500, QStringLiteral("The acknowledgement could not be written: ") + e.description, page);
        return;
    }
    if (page) {
        res.status = 303;
        res.set_header("Location", "/alarms");
        return;
    }
    answerJson(res, 200, QJsonObject{{QStringLiteral("acknowledged"), changed}});
}

}  // namespace

bool mayAcknowledge(Database& db)
{
    if (!db.isServer()) return true;
    // An acknowledgement writes the episodes and their events (AlarmEpisodes::acknowledge).
    QSqlQuery q(db.serverConnection());
    return q.exec(QStringLiteral("SELECT has_table_privilege('alarmepisodes', 'UPDATE') AND "
                                 "has_table_privilege('alarmevents', 'UPDATE')")) &&
           q.next() && q.value(0).toBool();
}

void addAuthRoutes(httplib::Server& server, WebContext& context)
{
    addLoginRoutes(server, *context.auth);
    server.Post("/api/alarms/acknowledge", [&context](const httplib::Request& req, httplib::Response& res) {
        acknowledge(context, req, res, false);
    });
    server.Post("/alarms/acknowledge", [&context](const httplib::Request& req, httplib::Response& res) {
        acknowledge(context, req, res, true);
    });
}
