#include "web/PageAlarms.h"
#include "alarms/AlarmEpisodeTexts.h"
#include "data/AlarmStore.h"

#include <QSet>

using PageHtml::escaped;

namespace PageAlarms {

namespace {

QString sensorCell(const QString& id)
{
    return QStringLiteral("<a href=\"") + escaped(PageHtml::sensorPath(id)) + QStringLiteral("\">") + escaped(id) +
           QStringLiteral("</a>");
}

// The level in its colour and in words.
QString levelCell(const QString& level)
{
    return PageHtml::stateMark(level, AlarmStore::colourName(AlarmStore::severityFromWord(level)));
}

QString cells(const QStringList& html)
{
    QString out;
    for (const QString& c : html) out += QStringLiteral("<td>") + c + QStringLiteral("</td>");
    return out;
}

QString header(const QStringList& columns)
{
    QString out = QStringLiteral("<thead><tr>");
    for (const QString& c : columns) out += QStringLiteral("<th>") + escaped(c) + QStringLiteral("</th>");
    return out + QStringLiteral("</tr></thead>");
}

QString tabs(bool history)
{
    return QStringLiteral("<h1>Alarms</h1>\n<p class=\"tabs\"><a href=\"/alarms\"") +
           (history ? QString() : QStringLiteral(" class=\"current\"")) +
           QStringLiteral(">Now</a> <a href=\"/alarms?view=history\"") +
           (history ? QStringLiteral(" class=\"current\"") : QString()) + QStringLiteral(">History</a></p>\n");
}

// The "Now" page's script: it refreshes the page while nobody is acknowledging.
QStringList refreshing() { return {QStringLiteral("/static/alarms.js")}; }

}  // namespace

const std::vector<Period>& periods()
{
    static const std::vector<Period> list = {{QStringLiteral("7"), QStringLiteral("Last 7 days"), 7},
                                             {QStringLiteral("30"), QStringLiteral("Last 30 days"), 30},
                                             {QStringLiteral("365"), QStringLiteral("Last 365 days"), 365},
                                             {QStringLiteral("all"), QStringLiteral("All"), 0}};
    return list;
}

const Period& periodNamed(const QString& key)
{
    for (const Period& p : periods())
        if (p.key == key) return p;
    return periods()[1];
}

QString nowPage(const std::vector<AlarmEpisodes::Episode>& active,
                const std::vector<std::pair<QString, AlarmPlans::Plan>>& plans, const PageHtml::Viewer& viewer)
{
    QString body = tabs(false);
    if (active.empty()) {
        body += QStringLiteral("<p id=\"none\">No alarm is active.</p>\n");
        return PageHtml::document(QStringLiteral("Alarms"), viewer, body, refreshing());
    }
    const bool form = viewer.canAcknowledge;
    if (form)
        body += QStringLiteral(
                    "<form id=\"acknowledge\" method=\"post\" action=\"/alarms/acknowledge\">"
                    "<input type=\"hidden\" name=\"csrf\" value=\"") +
                escaped(QString::fromLatin1(viewer.csrf)) + QStringLiteral("\">\n");
    QStringList columns = {QStringLiteral("Sensor"),         QStringLiteral("Position"), QStringLiteral("Quantity"),
                           QStringLiteral("Level"),          QStringLiteral("Value"),    QStringLiteral("Since"),
                           QStringLiteral("Acknowledged by")};
    if (form) columns.prepend(QString());
    body += QStringLiteral("<div class=\"scroll\"><table id=\"now\">") + header(columns) + QStringLiteral("<tbody>\n");
    for (const AlarmEpisodes::Episode& e : active) {
        QStringList html = {sensorCell(e.sensorId),
                            escaped(AlarmEpisodeTexts::position(e)),
                            escaped(AlarmEpisodeTexts::quantity(e)),
                            levelCell(e.level),
                            escaped(AlarmEpisodeTexts::worstValue(e)),
                            escaped(AlarmStore::shownDate(e.openedAt)),
                            escaped(AlarmEpisodeTexts::acknowledgement(e))};
        if (form)
            html.prepend(e.acknowledged() ? QString()
                                          : QStringLiteral("<input type=\"checkbox\" name=\"ids\" value=\"%1\" "
                                                           "aria-label=\"Choose\">")
                                                .arg(e.id));
        body += QStringLiteral("<tr data-episode=\"%1\">").arg(e.id) + cells(html) + QStringLiteral("</tr>\n");
    }
    body += QStringLiteral("</tbody></table></div>\n");
    if (form)
        body += QStringLiteral(
            "<p><label>Note for the acknowledgement (what was seen, done or decided):<br>"
            "<textarea name=\"note\" id=\"note\" rows=\"2\" required></textarea></label></p>"
            "<p><button type=\"submit\" id=\"acknowledgeButton\">Acknowledge</button></p></form>\n");
    if (!plans.empty()) {
        body += QStringLiteral("<h2>Response plans</h2>\n<ul class=\"plans\">");
        for (const auto& [sensorId, plan] : plans)
            body += QStringLiteral("<li><b>") + escaped(sensorId) + QStringLiteral("</b>: ") +
                    escaped(PageHtml::planText(plan)) + QStringLiteral("</li>");
        body += QStringLiteral("</ul>\n");
    }
    return PageHtml::document(QStringLiteral("Alarms"), viewer, body, refreshing());
}

QString historyPage(const std::vector<AlarmEpisodes::Episode>& episodes, const Period& period,
                    const PageHtml::Viewer& viewer)
{
    QString body = tabs(true);
    body += QStringLiteral(
        "<form class=\"filter\" method=\"get\" action=\"/alarms\">"
        "<input type=\"hidden\" name=\"view\" value=\"history\">"
        "<label>Period: <select name=\"period\">");
    for (const Period& p : periods())
        body += QStringLiteral("<option value=\"") + p.key + u'"' +
                (p.key == period.key ? QStringLiteral(" selected") : QString()) + u'>' + p.label +
                QStringLiteral("</option>");
    body += QStringLiteral("</select></label> <button type=\"submit\">Show</button></form>\n");
    body += QStringLiteral("<div class=\"scroll\"><table id=\"history\">") +
            header({QStringLiteral("Sensor"), QStringLiteral("Position"), QStringLiteral("Quantity"),
                    QStringLiteral("Highest level"), QStringLiteral("Worst value"), QStringLiteral("Opened"),
                    QStringLiteral("Closed"), QStringLiteral("Acknowledged by"), QStringLiteral("Note")}) +
            QStringLiteral("<tbody>\n");
    for (const AlarmEpisodes::Episode& e : episodes)
        body += QStringLiteral("<tr>") +
                cells({sensorCell(e.sensorId), escaped(AlarmEpisodeTexts::position(e)),
                       escaped(AlarmEpisodeTexts::quantity(e)), levelCell(e.peakLevel),
                       escaped(AlarmEpisodeTexts::worstValue(e)), escaped(AlarmStore::shownDate(e.openedAt)),
                       escaped(e.active() ? QStringLiteral("active") : AlarmStore::shownDate(e.closedAt)),
                       escaped(AlarmEpisodeTexts::acknowledgement(e)), escaped(e.ackNote)}) +
                QStringLiteral("</tr>\n");
    body += QStringLiteral("</tbody></table></div>\n");
    if (episodes.empty()) body += QStringLiteral("<p id=\"none\">No alarm in this period.</p>\n");
    return PageHtml::document(QStringLiteral("Alarm history"), viewer, body);
}

QString render(Database& db, const QString& view, const QString& periodKey, const PageHtml::Viewer& viewer,
               const QDateTime& now)
{
    if (view == QLatin1String("history")) {
        const Period& period = periodNamed(periodKey);
        const QDateTime from = period.days > 0 ? now.addDays(-period.days) : QDateTime(QDate(1900, 1, 1), QTime(0, 0));
        return historyPage(AlarmEpisodes::history(db, from, now), period, viewer);
    }
    const std::vector<AlarmEpisodes::Episode> active = AlarmEpisodes::active(db);
    // One plan per sensor and level, in the order of the list.
    const std::vector<AlarmPlans::Plan> all = AlarmPlans::plans(db);
    std::vector<std::pair<QString, AlarmPlans::Plan>> shown;
    QSet<QString> seen;
    for (const AlarmEpisodes::Episode& e : active) {
        const QString key = e.sensorId + u'\n' + e.peakLevel;
        if (seen.contains(key)) continue;
        seen.insert(key);
        if (auto plan = AlarmPlans::planFor(all, AlarmPlans::groupOf(db, e.sensorId), e.peakLevel))
            shown.emplace_back(e.sensorId, *plan);
    }
    return nowPage(active, shown, viewer);
}

}  // namespace PageAlarms
