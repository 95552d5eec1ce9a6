#include "web/PageSensor.h"
#include "data/AlarmStore.h"

#include <QJsonArray>

using PageHtml::escaped;

namespace PageSensor {

namespace {

QString valueText(const QJsonValue& v)
{
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 10);
    if (v.isBool()) return v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    return v.toString();
}

// The installation record: a list of {"name","value"} pairs in their order, or an object.
QString recordTable(const QJsonValue& record)
{
    QString rows;
    auto add = [&](const QString& name, const QJsonValue& value) {
        rows += QStringLiteral("<tr><th>") + escaped(name) + QStringLiteral("</th><td>") + escaped(valueText(value)) +
                QStringLiteral("</td></tr>");
    };
    if (record.isArray()) {
        for (const QJsonValue& f : record.toArray()) {
            const QJsonObject o = f.toObject();
            add(o.value(QLatin1String("name")).toString(), o.value(QLatin1String("value")));
        }
    } else {
        const QJsonObject o = record.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) add(it.key(), it.value());
    }
    return QStringLiteral("<table class=\"record\" id=\"record\">") + rows + QStringLiteral("</table>");
}

QString stateLine(const QJsonObject& state)
{
    QString html = QStringLiteral("<p class=\"stateline\" id=\"state\">") +
                   PageHtml::stateMark(state.value(QLatin1String("state")).toString(),
                                       state.value(QLatin1String("colour")).toString());
    const QString headline = state.value(QLatin1String("headline")).toString();
    if (!headline.isEmpty()) html += u' ' + escaped(headline);
    const QString since = state.value(QLatin1String("since")).toString();
    if (!since.isEmpty()) html += QStringLiteral(" <span class=\"since\">since ") + escaped(QString(since).replace(u'T', u' ')) + QStringLiteral("</span>");
    if (state.value(QLatin1String("stale")).toBool()) html += QStringLiteral(" <span class=\"stale\">stale</span>");
    return html + QStringLiteral("</p>\n");
}

QString episodesTable(const QJsonArray& episodes)
{
    if (episodes.isEmpty()) return QStringLiteral("<p>No alarm is active.</p>\n");
    QString html = QStringLiteral(
        "<div class=\"scroll\"><table id=\"episodes\"><thead><tr><th>Where</th><th>Level</th><th>Value</th>"
        "<th>Since</th><th>Acknowledged by</th><th>Note</th></tr></thead><tbody>");
    for (const QJsonValue& v : episodes) {
        const QJsonObject e = v.toObject();
        const QString level = e.value(QLatin1String("level")).toString();
        QString ack;
        if (e.value(QLatin1String("acknowledged")).toBool())
            ack = e.value(QLatin1String("ackBy")).toString() + QStringLiteral(", ") +
                  e.value(QLatin1String("ackAt")).toString().replace(u'T', u' ');
        html += QStringLiteral("<tr><td>") + escaped(e.value(QLatin1String("where")).toString()) +
                QStringLiteral("</td><td>") + PageHtml::stateMark(level, AlarmStore::colourName(AlarmStore::severityFromWord(level))) +
                QStringLiteral("</td><td>") + escaped(e.value(QLatin1String("valueText")).toString()) +
                QStringLiteral("</td><td>") + escaped(e.value(QLatin1String("openedAt")).toString().replace(u'T', u' ')) +
                QStringLiteral("</td><td>") + escaped(ack) + QStringLiteral("</td><td>") +
                escaped(e.value(QLatin1String("ackNote")).toString()) + QStringLiteral("</td></tr>");
    }
    return html + QStringLiteral("</tbody></table></div>\n");
}

QString listOf(const QJsonArray& lines, const QString& none)
{
    if (lines.isEmpty()) return QStringLiteral("<p>") + escaped(none) + QStringLiteral("</p>\n");
    QString html = QStringLiteral("<ul>");
    for (const QJsonValue& l : lines) html += QStringLiteral("<li>") + escaped(l.toString()) + QStringLiteral("</li>");
    return html + QStringLiteral("</ul>\n");
}

QString plansList(const QJsonArray& plans)
{
    if (plans.isEmpty()) return QStringLiteral("<p>No response plan is set for this sensor.</p>\n");
    QString html = QStringLiteral("<ul class=\"plans\">");
    for (const QJsonValue& v : plans) {
        const QJsonObject p = v.toObject();
        html += QStringLiteral("<li><b>") + escaped(p.value(QLatin1String("level")).toString()) +
                QStringLiteral("</b>: ") + escaped(p.value(QLatin1String("text")).toString()) + QStringLiteral("</li>");
    }
    return html + QStringLiteral("</ul>\n");
}

QString chart(const QString& id, const QString& title)
{
    return QStringLiteral("<section class=\"chartbox\"><h3>") + escaped(title) +
           QStringLiteral("</h3><div class=\"chart\" id=\"") + id +
           QStringLiteral("\"></div><p class=\"chartnote\" id=\"") + id + QStringLiteral("Note\"></p></section>\n");
}

}  // namespace

QString page(const QJsonObject& sensor, const PageHtml::Viewer& viewer)
{
    const QString id = sensor.value(QLatin1String("id")).toString();
    const QString api = QStringLiteral("/api/sensors/") + PageHtml::sensorPath(id).mid(8);
    QString body = QStringLiteral("<h1>Sensor ") + escaped(id) + QStringLiteral("</h1>\n");
    body += stateLine(sensor.value(QLatin1String("state")).toObject());
    body += QStringLiteral("<div id=\"sensorPage\" data-api=\"") + escaped(api) + QStringLiteral("\">\n");
    body += QStringLiteral("<h2>Load and displacement</h2>\n<p class=\"hint\">Drag across a chart to zoom in; "
                           "double-click to see the whole period again.</p>\n");
    body += chart(QStringLiteral("chartLoad"), QStringLiteral("Load against time")) +
            chart(QStringLiteral("chartDisp"), QStringLiteral("Displacement against time"));
    body += QStringLiteral("<h2>Along the bolt</h2>\n<div class=\"profiles\">") +
            chart(QStringLiteral("profileLoad"), QStringLiteral("Load")) +
            chart(QStringLiteral("profileDisp"), QStringLiteral("Displacement")) +
            chart(QStringLiteral("profileShear"), QStringLiteral("Shear")) + QStringLiteral("</div>\n</div>\n");
    body += QStringLiteral("<h2>Active alarms</h2>\n") +
            episodesTable(sensor.value(QLatin1String("episodes")).toArray());
    body += QStringLiteral("<h2>Alarm levels</h2>\n") +
            listOf(sensor.value(QLatin1String("levelsText")).toArray(), QStringLiteral("No level is set."));
    body += QStringLiteral("<h2>Response plans</h2>\n") + plansList(sensor.value(QLatin1String("plans")).toArray());
    body += QStringLiteral("<h2>Installation record</h2>\n<div class=\"scroll\">") +
            recordTable(sensor.value(QLatin1String("record"))) + QStringLiteral("</div>\n");
    body += QStringLiteral("<h2>Readings as CSV</h2>\n<form id=\"csv\" class=\"filter\" method=\"get\" action=\"") +
            escaped(api) +
            QStringLiteral("/readings.csv\"><label>From <input type=\"date\" name=\"from\"></label> "
                           "<label>To <input type=\"date\" name=\"to\"></label> "
                           "<button type=\"submit\">Download</button></form>\n"
                           "<link rel=\"stylesheet\" href=\"/static/dygraphs/dygraph.min.css\">\n");
    return PageHtml::document(QStringLiteral("Sensor ") + id, viewer, body,
                              {QStringLiteral("/static/dygraphs/dygraph.min.js"), QStringLiteral("/static/tarnwell.js"),
                               QStringLiteral("/static/sensor.js")});
}

}  // namespace PageSensor
