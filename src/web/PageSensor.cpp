#include "web/PageSensor.h"
#include "alarms/AlarmEpisodeTexts.h"

using PageHtml::escaped;

namespace PageSensor {

namespace {

// The installation record with the labels of the desktop's sensor pages.
QString recordTable(const SensorDetails& s)
{
    const QString layout = !s.stacked   ? QString()
                           : *s.stacked ? QStringLiteral("Stacked")
                                        : QStringLiteral("Staggered");
    const std::pair<QString, QString> fields[] = {
        {QStringLiteral("Sensor"), s.instrumentId},
        {QStringLiteral("Date ID"), s.dateId},
        {QStringLiteral("Type ID"), s.typeId},
        {QStringLiteral("Sensor No"), s.sensorNo},
        {QStringLiteral("Family"), s.family},
        {QStringLiteral("Length of cable (m)"), s.lengthOfCable},
        {QStringLiteral("Gauge layout"), layout},
        {QStringLiteral("Bolt k factor (ustrain/ton)"), s.kFactor},
        {QStringLiteral("Length of gauge (m)"), s.gaugeLength},
        {QStringLiteral("Number of gauges"), s.numGauges},
        {QStringLiteral("First node (m)"), s.firstNode},
        {QStringLiteral("Level"), s.level},
        {QStringLiteral("Location"), s.location},
        {QStringLiteral("Borehole"), s.borehole},
        {QStringLiteral("Date installed"), s.installDate},
        {QStringLiteral("Installed by"), s.installBy},
        {QStringLiteral("Purpose"), s.purpose},
        {QStringLiteral("Notes"), s.notes},
        {QStringLiteral("Destroyed"), s.destroyed},
        {QStringLiteral("Destruction date"), s.destructionDate},
    };
    QString rows;
    for (const auto& [label, value] : fields)
        rows += QStringLiteral("<tr><th>") + escaped(label) + QStringLiteral("</th><td>") + escaped(value) +
                QStringLiteral("</td></tr>");
    return QStringLiteral("<table class=\"record\" id=\"record\">") + rows + QStringLiteral("</table>");
}

QString stateLine(const WebOverview::Line& l)
{
    QString html = QStringLiteral("<p class=\"stateline\" id=\"state\">") +
                   PageHtml::stateMark(AlarmStore::word(l.severity), AlarmStore::colourName(l.severity));
    if (!l.headline.isEmpty()) html += u' ' + escaped(l.headline);
    if (!l.since.isEmpty())
        html += QStringLiteral(" <span class=\"since\">since ") + escaped(QString(l.since).replace(u'T', u' ')) +
                QStringLiteral("</span>");
    if (l.stale) html += QStringLiteral(" <span class=\"stale\">stale</span>");
    return html + QStringLiteral("</p>\n");
}

QString episodesTable(const std::vector<AlarmEpisodes::Episode>& episodes)
{
    if (episodes.empty()) return QStringLiteral("<p>No alarm is active.</p>\n");
    QString html = QStringLiteral(
        "<div class=\"scroll\"><table id=\"episodes\"><thead><tr><th>Position</th><th>Quantity</th><th>Level</th>"
        "<th>Value</th><th>Since</th><th>Acknowledged by</th><th>Note</th></tr></thead><tbody>");
    for (const AlarmEpisodes::Episode& e : episodes)
        html += QStringLiteral("<tr><td>") + escaped(AlarmEpisodeTexts::position(e)) + QStringLiteral("</td><td>") +
                escaped(AlarmEpisodeTexts::quantity(e)) + QStringLiteral("</td><td>") +
                PageHtml::stateMark(e.level, AlarmStore::colourName(AlarmStore::severityFromWord(e.level))) +
                QStringLiteral("</td><td>") + escaped(AlarmEpisodeTexts::worstValue(e)) + QStringLiteral("</td><td>") +
                escaped(AlarmStore::shownDate(e.openedAt)) + QStringLiteral("</td><td>") +
                escaped(AlarmEpisodeTexts::acknowledgement(e)) + QStringLiteral("</td><td>") + escaped(e.ackNote) +
                QStringLiteral("</td></tr>");
    return html + QStringLiteral("</tbody></table></div>\n");
}

QString levelsList(const std::optional<AlarmStore::Levels>& levels)
{
    const QStringList lines = levels ? AlarmStore::levelsText(*levels) : QStringList();
    if (lines.isEmpty()) return QStringLiteral("<p>No level is set.</p>\n");
    QString html = QStringLiteral("<ul id=\"levels\">");
    for (const QString& l : lines) html += QStringLiteral("<li>") + escaped(l) + QStringLiteral("</li>");
    return html + QStringLiteral("</ul>\n");
}

QString plansList(const std::vector<AlarmPlans::Plan>& plans)
{
    if (plans.empty()) return QStringLiteral("<p>No response plan is set for this sensor.</p>\n");
    QString html = QStringLiteral("<ul class=\"plans\">");
    for (const AlarmPlans::Plan& p : plans)
        html += QStringLiteral("<li>") + escaped(PageHtml::planText(p)) + QStringLiteral("</li>");
    return html + QStringLiteral("</ul>\n");
}

QString chart(const QString& id, const QString& title)
{
    return QStringLiteral("<section class=\"chartbox\"><h3>") + escaped(title) +
           QStringLiteral("</h3><div class=\"chart\" id=\"") + id +
           QStringLiteral("\"></div><p class=\"chartnote\" id=\"") + id + QStringLiteral("Note\"></p></section>\n");
}

}  // namespace

QString page(const Sensor& sensor, const PageHtml::Viewer& viewer)
{
    const QString id = sensor.record.instrumentId;
    // "/api/sensors/BOLT%2001": the sensor's answers, for the script and the CSV form.
    const QString api =
        QStringLiteral("/api/sensors/") + PageHtml::sensorPath(id).mid(QStringLiteral("/sensor/").size());
    QString body = QStringLiteral("<h1>Sensor ") + escaped(id) + QStringLiteral("</h1>\n") + stateLine(sensor.state);
    body += QStringLiteral("<div id=\"sensorPage\" data-api=\"") + escaped(api) + QStringLiteral("\">\n");
    body += QStringLiteral(
        "<h2>Load and displacement</h2>\n<p class=\"hint\">Drag across a chart to zoom in; "
        "double-click to see the whole period again.</p>\n");
    body += chart(QStringLiteral("chartLoad"), QStringLiteral("Load against time")) +
            chart(QStringLiteral("chartDisp"), QStringLiteral("Displacement against time"));
    body += QStringLiteral("<h2>Along the bolt</h2>\n<div class=\"profiles\">") +
            chart(QStringLiteral("profileLoad"), QStringLiteral("Load")) +
            chart(QStringLiteral("profileDisp"), QStringLiteral("Displacement")) +
            chart(QStringLiteral("profileShear"), QStringLiteral("Shear")) + QStringLiteral("</div>\n</div>\n");
    body += QStringLiteral("<h2>Active alarms</h2>\n") + episodesTable(sensor.episodes);
    body += QStringLiteral("<h2>Alarm levels</h2>\n") + levelsList(sensor.levels);
    body += QStringLiteral("<h2>Response plans</h2>\n") + plansList(sensor.plans);
    body += QStringLiteral("<h2>Installation record</h2>\n<div class=\"scroll\">") + recordTable(sensor.record) +
            QStringLiteral("</div>\n");
    body += QStringLiteral("<h2>Readings as CSV</h2>\n<form id=\"csv\" class=\"filter\" method=\"get\" action=\"") +
            escaped(api) +
            QStringLiteral(
                "/readings.csv\"><label>From <input type=\"date\" name=\"from\"></label> "
                "<label>To <input type=\"date\" name=\"to\"></label> "
                "<button type=\"submit\">Download</button></form>\n"
                "<link rel=\"stylesheet\" href=\"/static/dygraphs/dygraph.min.css\">\n");
    return PageHtml::document(QStringLiteral("Sensor ") + id, viewer, body,
                              {QStringLiteral("/static/dygraphs/dygraph.min.js"), QStringLiteral("/static/tarnwell.js"),
                               QStringLiteral("/static/sensor.js")});
}

}  // namespace PageSensor
