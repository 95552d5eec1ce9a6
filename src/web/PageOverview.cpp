#include "web/PageOverview.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>

using PageHtml::escaped;

namespace PageOverview {

namespace {

const QStringList StateWords = {QStringLiteral("Action"), QStringLiteral("Alert"), QStringLiteral("Stale"),
                                QStringLiteral("OK"), QStringLiteral("No levels")};

QString choice(const QString& name, const QString& label, const QStringList& values, const QString& chosen)
{
    QString html = QStringLiteral("<label>") + escaped(label) + QStringLiteral(" <select name=\"") + name +
                   QStringLiteral("\"><option value=\"\">Any</option>");
    for (const QString& v : values)
        html += QStringLiteral("<option value=\"") + escaped(v) + u'"' +
                (v == chosen ? QStringLiteral(" selected") : QString()) + u'>' + escaped(v) +
                QStringLiteral("</option>");
    return html + QStringLiteral("</select></label> ");
}

QStringList distinct(const QJsonArray& sensors, const QString& key)
{
    QSet<QString> seen;
    for (const QJsonValue& s : sensors) {
        const QString v = s.toObject().value(key).toString();
        if (!v.isEmpty()) seen.insert(v);
    }
    QStringList out(seen.begin(), seen.end());
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        return QString::localeAwareCompare(a, b) < 0;
    });
    return out;
}

QString row(const QJsonObject& s)
{
    const QString id = s.value(QLatin1String("id")).toString();
    const QJsonValue age = s.value(QLatin1String("ageDays"));
    const bool stale = s.value(QLatin1String("stale")).toBool();
    QString lastReading = s.value(QLatin1String("lastReading")).toString();
    lastReading.replace(u'T', u' ');
    QString ago = escaped(PageHtml::ageText(age.isDouble() ? std::optional<double>(age.toDouble()) : std::nullopt));
    if (stale) ago += QStringLiteral(" <span class=\"stale\">stale</span>");
    const QStringList cells = {
        PageHtml::stateMark(s.value(QLatin1String("state")).toString(), s.value(QLatin1String("colour")).toString()),
        QStringLiteral("<a href=\"") + escaped(PageHtml::sensorPath(id)) + QStringLiteral("\">") + escaped(id) +
            QStringLiteral("</a>"),
        escaped(s.value(QLatin1String("mineLevel")).toString()),
        escaped(s.value(QLatin1String("location")).toString()),
        escaped(lastReading),
        ago,
        escaped(PageHtml::numberText(s.value(QLatin1String("latestLoad")))),
        escaped(PageHtml::numberText(s.value(QLatin1String("peakLoad")))),
        escaped(s.value(QLatin1String("headline")).toString()),
    };
    QString html = QStringLiteral("<tr>");
    for (int c = 0; c < cells.size(); ++c)
        html += (c == 6 || c == 7 ? QStringLiteral("<td class=\"num\">") : QStringLiteral("<td>")) + cells[c] +
                QStringLiteral("</td>");
    return html + QStringLiteral("</tr>\n");
}

}  // namespace

bool Filter::accepts(const QJsonObject& sensor) const
{
    return (level.isEmpty() || sensor.value(QLatin1String("mineLevel")).toString() == level) &&
           (location.isEmpty() || sensor.value(QLatin1String("location")).toString() == location) &&
           (state.isEmpty() || sensor.value(QLatin1String("state")).toString() == state);
}

QString page(const QJsonObject& all, const Filter& filter, const PageHtml::Viewer& viewer)
{
    const QJsonArray sensors = all.value(QLatin1String("sensors")).toArray();
    QString rows;
    int shown = 0;
    for (const QJsonValue& s : sensors) {
        if (!filter.accepts(s.toObject())) continue;
        rows += row(s.toObject());
        ++shown;
    }
    QString body = QStringLiteral("<h1>Overview</h1>\n<form id=\"filter\" class=\"filter\" method=\"get\" action=\"/\">") +
                   choice(QStringLiteral("level"), QStringLiteral("Level"),
                          distinct(sensors, QStringLiteral("mineLevel")), filter.level) +
                   choice(QStringLiteral("location"), QStringLiteral("Location"),
                          distinct(sensors, QStringLiteral("location")), filter.location) +
                   choice(QStringLiteral("state"), QStringLiteral("State"), StateWords, filter.state) +
                   QStringLiteral("<button type=\"submit\">Show</button></form>\n");
    body += QStringLiteral("<p class=\"status\"><span id=\"count\">%1 of %2 sensors</span>, as of <span "
                           "id=\"generated\">%3</span></p>\n")
                .arg(shown)
                .arg(sensors.size())
                .arg(escaped(all.value(QLatin1String("generatedAt")).toString().replace(u'T', u' ')));
    body += QStringLiteral(
                "<div class=\"scroll\"><table id=\"sensors\"><thead><tr><th>State</th><th>Sensor</th><th>Level</th>"
                "<th>Location</th><th>Last reading</th><th>Age</th><th>Latest load (t)</th><th>Peak load (t)</th>"
                "<th>Note</th></tr></thead><tbody>\n") +
            rows + QStringLiteral("</tbody></table></div>\n");
    body += QStringLiteral("<p id=\"none\"") + (shown == 0 ? QString() : QStringLiteral(" hidden")) +
            QStringLiteral(">No sensor matches the filter.</p>\n");
    return PageHtml::document(QStringLiteral("Overview"), viewer, body,
                              {QStringLiteral("/static/tarnwell.js"), QStringLiteral("/static/overview.js")});
}

}  // namespace PageOverview
