#include "web/WebRoutes.h"
#include "core/TwError.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "data/AlarmStore.h"
#include "store/Database.h"
#include "web/WebContext.h"
#include "web/WebCsv.h"
#include "web/WebJson.h"
#include "web/WebOverview.h"
#include "web/WebParams.h"
#include "web/WebProfiles.h"
#include "web/WebSensors.h"
#include "web/WebSeriesAnswer.h"

#include <QDateTime>
#include <httplib.h>

namespace {

constexpr const char* JsonType = "application/json; charset=utf-8";
constexpr int HistoryDays = 7;  // the Alarms window's first period

// Runs a handler's work and turns what it throws into the answer: a refused parameter into
// its status, a missing sensor into 404, a refused login or right into 403, the rest 500.
template <typename Work>
void answer(httplib::Response& res, Work&& work)
{
    try {
        work();
    } catch (const WebRefusal& r) {
        res.status = r.status;
        res.set_content(jsonError(r.text).toStdString(), JsonType);
    } catch (const TwError& e) {
        const bool refused = e.storage == StorageKind::NoPermission || e.number == ErrNo::PermissionDenied;
        res.status = e.number == ErrNo::ItemNotFound ? 404 : refused ? 403 : 500;
        res.set_content(jsonError(e.description).toStdString(), JsonType);
    }
}

void sendJson(httplib::Response& res, const QByteArray& body)
{
    res.set_content(body.constData(), size_t(body.size()), JsonType);
    res.set_header("Cache-Control", "no-store");
}

QString userOf(WebContext& ctx, const httplib::Request& req) { return ctx.credentialsOf(req).user; }

// The sensor named by the path, which must exist.
SensorDetails sensorOf(Database& db, const httplib::Request& req)
{
    const QString id = QString::fromStdString(req.matches[1]);
    std::optional<SensorDetails> s = WebSensors::find(db, id);
    if (!s) throw WebRefusal(404, QStringLiteral("no such sensor"));
    return std::move(*s);
}

void writeEpisode(JsonWriter& w, const AlarmEpisodes::Episode& e)
{
    w.beginObject();
    w.member("id", e.id).member("sensorId", e.sensorId).member("where", e.where()).member("quantity", e.quantity);
    w.member("position", e.position).member("level", e.level).member("peakLevel", e.peakLevel);
    w.member("openedAt", WebParams::apiDate(e.openedAt)).member("levelSince", WebParams::apiDate(e.levelSince));
    w.member("worstValue", e.worstValue).member("lastValue", e.lastValue);
    w.member("valueText", AlarmStore::valueText(e.quantity, e.worstValue));
    w.member("acknowledged", e.acknowledged());
    w.key("ackBy").textOrNull(e.ackBy);
    w.key("ackAt").textOrNull(WebParams::apiDate(e.ackAt));
    w.key("ackNote").textOrNull(e.ackNote);
    w.key("closedAt").textOrNull(WebParams::apiDate(e.closedAt));
    w.endObject();
}

QByteArray episodesJson(const std::vector<AlarmEpisodes::Episode>& list)
{
    JsonWriter w;
    w.beginObject().key("episodes").beginArray();
    for (const auto& e : list) writeEpisode(w, e);
    w.endArray().endObject();
    return w.take();
}

void writeLevels(JsonWriter& w, const std::optional<AlarmStore::Levels>& l)
{
    if (!l) {
        w.null();
        return;
    }
    w.beginObject();
    w.member("loadAlertUpper", l->loadAlertUpper).member("loadActionUpper", l->loadActionUpper);
    w.member("loadAlertLower", l->loadAlertLower).member("loadActionLower", l->loadActionLower);
    w.member("dispAlertUpper", l->dispAlertUpper).member("dispActionUpper", l->dispActionUpper);
    w.member("dispAlertLower", l->dispAlertLower).member("dispActionLower", l->dispActionLower);
    w.member("rateAlert", l->rateAlert).member("rateAction", l->rateAction);
    w.member("rateWindowDays", l->rateWindowDays).member("marginPercent", l->marginPercent);
    w.member("staleDays", l->staleDays);
    w.endObject();
}

// The installation record as the Identification and Installation pages show it.
void writeRecord(JsonWriter& w, const SensorDetails& s)
{
    w.beginObject();
    const std::pair<const char*, const QString*> fields[] = {{"InstrumentID", &s.instrumentId},
                                                             {"SensorType", &s.sensorType},
                                                             {"DateID", &s.dateId},
                                                             {"TypeID", &s.typeId},
                                                             {"SensorNo", &s.sensorNo},
                                                             {"Family", &s.family},
                                                             {"LengthofCable", &s.lengthOfCable},
                                                             {"Level", &s.level},
                                                             {"Location", &s.location},
                                                             {"Borehole", &s.borehole},
                                                             {"InstallDate", &s.installDate},
                                                             {"InstallBy", &s.installBy},
                                                             {"Purpose", &s.purpose},
                                                             {"Notes", &s.notes},
                                                             {"boltkfactor", &s.kFactor},
                                                             {"lengthofgauge", &s.gaugeLength},
                                                             {"numgauges", &s.numGauges},
                                                             {"NodeLocation1", &s.firstNode},
                                                             {"Destroyed", &s.destroyed},
                                                             {"DestructionDate", &s.destructionDate}};
    for (const auto& [name, value] : fields) w.member(name, *value);
    w.key("Stacked");
    if (s.stacked) w.value(*s.stacked);
    else w.null();
    w.endObject();
}

}  // namespace

void addApiRoutes(httplib::Server& http, WebContext& ctx)
{
    http.Get("/api/sensors", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            WebOverview::Filter f;
            f.mineLevel = WebParams::text(req, "level");
            f.location = WebParams::text(req, "location");
            QStringList words;
            for (auto s : {AlarmStore::Severity::Ok, AlarmStore::Severity::Stale, AlarmStore::Severity::Alert,
                           AlarmStore::Severity::Action, AlarmStore::Severity::NoLevels})
                words << AlarmStore::word(s);
            f.state = WebParams::oneOf(req, "state", words, QString());
            Database& db = ctx.db(req);
            const double now = WebOverview::nowKey();
            const std::vector<WebOverview::Line> lines = WebOverview::lines(db, ctx.cache, userOf(ctx, req), f, now);
            JsonWriter w;
            w.beginObject().member("generatedAt", WebParams::dateText(now)).key("sensors").beginArray();
            for (const auto& l : lines) WebOverview::writeLine(w, l);
            w.endArray().endObject();
            sendJson(res, w.take());
        });
    });

    // The more particular paths first: httplib takes the first pattern that matches, and a
    // sensor's id may hold a slash.
    http.Get(R"(/api/sensors/(.+)/series)", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            WebSeriesAnswer::Query q;
            q.kind =
                WebParams::oneOf(req, "kind", {QStringLiteral("load"), QStringLiteral("disp")}, QStringLiteral("load"));
            q.from = WebParams::dateKey(req, "from");
            q.to = WebParams::dateKey(req, "to");
            q.width = WebParams::integer(req, "width", WebSeriesAnswer::MinWidth, WebSeriesAnswer::MaxWidth,
                                         WebSeriesAnswer::DefaultWidth);
            Database& db = ctx.db(req);
            const SensorDetails s = sensorOf(db, req);
            sendJson(res, WebSeriesAnswer::json(db, ctx.cache, userOf(ctx, req), s, q));
        });
    });
    http.Get(R"(/api/sensors/(.+)/profile)", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            const QString kind =
                WebParams::oneOf(req, "kind", {QStringLiteral("load"), QStringLiteral("disp"), QStringLiteral("shear")},
                                 QStringLiteral("load"));
            const std::optional<double> date = WebParams::dateKey(req, "date");
            Database& db = ctx.db(req);
            const SensorDetails s = sensorOf(db, req);
            sendJson(res, WebProfiles::json(db, s, kind, date));
        });
    });
    http.Get(R"(/api/sensors/(.+)/readings\.csv)", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            const std::optional<double> from = WebParams::dateKey(req, "from");
            const std::optional<double> to = WebParams::dateKey(req, "to");
            Database& db = ctx.db(req);
            const SensorDetails s = sensorOf(db, req);
            const QByteArray csv = WebCsv::readings(db, s, from, to);
            res.set_content(csv.constData(), size_t(csv.size()), "text/csv; charset=utf-8");
            res.set_header("Content-Disposition", WebCsv::attachmentHeader(s.instrumentId).toStdString());
            res.set_header("Cache-Control", "no-store");
        });
    });
    http.Get(R"(/api/sensors/(.+))", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            Database& db = ctx.db(req);
            const SensorDetails s = sensorOf(db, req);
            const std::optional<AlarmStore::Levels> levels = AlarmStore::levels(db, s.instrumentId);
            const WebOverview::Line line =
                WebOverview::lineOf(db, ctx.cache, userOf(ctx, req), s, WebOverview::nowKey());
            JsonWriter w;
            w.beginObject().member("id", s.instrumentId);
            w.key("record");
            writeRecord(w, s);
            w.key("levels");
            writeLevels(w, levels);
            w.key("levelsText").beginArray();
            if (levels)
                for (const QString& t : AlarmStore::levelsText(*levels)) w.value(t);
            w.endArray();
            const std::vector<AlarmPlans::Plan> plans = AlarmPlans::plans(db);
            const AlarmPlans::Group group{s.level, s.location};
            w.key("plans").beginArray();
            for (const char* level : {"Alert", "Action", "Stale"})
                if (const auto p = AlarmPlans::planFor(plans, group, QLatin1String(level))) {
                    w.beginObject().member("level", p->level).member("group", p->group.text());
                    w.member("actions", p->actions).member("contacts", p->contacts);
                    w.member("text", p->actions + (p->contacts.isEmpty() ? QString()
                                                                         : QStringLiteral("\nCall: ") + p->contacts));
                    w.endObject();
                }
            w.endArray();
            w.key("state");
            WebOverview::writeLine(w, line);
            w.key("episodes").beginArray();
            for (const auto& e : AlarmEpisodes::active(db, s.instrumentId)) writeEpisode(w, e);
            w.endArray();
            w.endObject();
            sendJson(res, w.take());
        });
    });

    http.Get("/api/alarms/now", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] { sendJson(res, episodesJson(AlarmEpisodes::active(ctx.db(req)))); });
    });
    http.Get("/api/alarms/history", [&ctx](const httplib::Request& req, httplib::Response& res) {
        answer(res, [&] {
            const double now = WebOverview::nowKey();
            const double to = WebParams::dateKey(req, "to").value_or(now);
            const double from = WebParams::dateKey(req, "from").value_or(to - HistoryDays * 86400.0);
            if (from > to) throw WebRefusal(400, QStringLiteral("from is after to"));
            auto moment = [](double key) {
                const QDateTime utc = QDateTime::fromSecsSinceEpoch(qint64(key), Qt::UTC);
                return QDateTime(utc.date(), utc.time());
            };
            sendJson(res, episodesJson(AlarmEpisodes::history(ctx.db(req), moment(from), moment(to))));
        });
    });
}
