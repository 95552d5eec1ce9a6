#include "web/PageRoutes.h"
#include "core/TwError.h"
#include "web/PageAlarms.h"
#include "web/PageOverview.h"
#include "web/PageSensor.h"
#include "web/WebAuth.h"
#include "web/WebContext.h"
#include "web/WebParams.h"
#include "web/WebSensors.h"

#include <QDateTime>
#include <httplib.h>

namespace {

constexpr const char* HtmlType = "text/html; charset=utf-8";

void sendPage(httplib::Response& res, int status, const QString& html)
{
    const QByteArray bytes = html.toUtf8();
    res.status = status;
    res.set_content(bytes.constData(), size_t(bytes.size()), HtmlType);
    res.set_header("Cache-Control", "no-store");
}

PageHtml::Viewer viewerOf(WebContext& ctx, const httplib::Request& req)
{
    PageHtml::Viewer v;
    if (!ctx.auth) return v;
    // The open view of a file has an anonymous session: nobody to name, nothing to end.
    if (ctx.auth->mode() == WebAuth::Mode::OpenFile) return v;
    if (const auto s = ctx.auth->sessionOf(req)) {
        v.user = s->user;
        v.canAcknowledge = s->canAcknowledge;
        v.csrf = s->csrfToken;
        v.canLogOut = true;
    }
    return v;
}

// Runs a page's work; what it throws becomes a short page with the status: a refused
// parameter its own, a missing sensor 404, a refused login or right 403, the rest 500.
template <typename Work>
void answerPage(WebContext& ctx, const httplib::Request& req, httplib::Response& res, Work&& work)
{
    int status = 500;
    QString text;
    try {
        sendPage(res, 200, work(viewerOf(ctx, req)));
        return;
    } catch (const WebRefusal& r) {
        status = r.status;
        text = r.text;
    } catch (const TwError& e) {
        const bool refused = e.storage == StorageKind::NoPermission || e.number == ErrNo::PermissionDenied;
        status = e.number == ErrNo::ItemNotFound ? 404 : refused ? 403 : 500;
        text = e.description;
    }
    const QString title = status == 404 ? QStringLiteral("Not found") : QStringLiteral("Error");
    sendPage(res, status,
             PageHtml::document(title, viewerOf(ctx, req),
                                QStringLiteral("<h1>") + title + QStringLiteral("</h1>\n<p id=\"error\">") +
                                    PageHtml::escaped(text) + QStringLiteral("</p>\n")));
}

QStringList stateWords()
{
    QStringList words;
    for (auto s : {AlarmStore::Severity::Ok, AlarmStore::Severity::Stale, AlarmStore::Severity::Alert,
                   AlarmStore::Severity::Action, AlarmStore::Severity::NoLevels})
        words << AlarmStore::word(s);
    return words;
}

}  // namespace

void addPageRoutes(httplib::Server& http, WebContext& ctx)
{
    http.Get("/", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answerPage(ctx, req, res, [&](const PageHtml::Viewer& viewer) {
            WebOverview::Filter filter;
            filter.mineLevel = WebParams::text(req, "level");
            filter.location = WebParams::text(req, "location");
            filter.state = WebParams::oneOf(req, "state", stateWords(), QString());
            Database& db = ctx.db(req);
            const QString user = ctx.credentialsOf(req).user;
            const double now = WebOverview::nowKey();
            const std::vector<WebOverview::Line> all = WebOverview::lines(db, ctx.cache, user, {}, now);
            const bool filtered = !filter.mineLevel.isEmpty() || !filter.location.isEmpty() || !filter.state.isEmpty();
            return PageOverview::page(all, filtered ? WebOverview::lines(db, ctx.cache, user, filter, now) : all,
                                      filter, WebParams::dateText(now), viewer);
        });
    });

    http.Get(R"(/sensor/(.+))", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answerPage(ctx, req, res, [&](const PageHtml::Viewer& viewer) {
            Database& db = ctx.db(req);
            std::optional<SensorDetails> found = WebSensors::find(db, QString::fromStdString(req.matches[1]));
            if (!found) throw WebRefusal(404, QStringLiteral("There is no such sensor."));
            PageSensor::Sensor s;
            s.record = std::move(*found);
            const QString& id = s.record.instrumentId;
            s.state = WebOverview::lineOf(db, ctx.cache, ctx.credentialsOf(req).user, s.record, WebOverview::nowKey());
            s.levels = AlarmStore::levels(db, id);
            const std::vector<AlarmPlans::Plan> plans = AlarmPlans::plans(db);
            const AlarmPlans::Group group = AlarmPlans::groupOf(db, id);
            for (const QString& level : {QStringLiteral("Alert"), QStringLiteral("Action"), QStringLiteral("Stale")})
                if (auto p = AlarmPlans::planFor(plans, group, level)) s.plans.push_back(std::move(*p));
            s.episodes = AlarmEpisodes::active(db, id);
            return PageSensor::page(s, viewer);
        });
    });

    http.Get("/alarms", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answerPage(ctx, req, res, [&](const PageHtml::Viewer& viewer) {
            const QString view = WebParams::oneOf(req, "view", {QStringLiteral("now"), QStringLiteral("history")},
                                                  QStringLiteral("now"));
            QStringList periods;
            for (const PageAlarms::Period& p : PageAlarms::periods()) periods << p.key;
            const QString period = WebParams::oneOf(req, "period", periods, QStringLiteral("30"));
            return PageAlarms::render(ctx.db(req), view, period, viewer, QDateTime::currentDateTime());
        });
    });
}
