#include "web/PageOverview.h"

#include <QSet>
#include <algorithm>
#include <cmath>

using PageHtml::escaped;

namespace PageOverview {

namespace {

QString choice(const QString& name, const QString& label, const QStringList& values, const QString& chosen)
{
    QString html = QStringLiteral("<label>") + escaped(label) + QStringLiteral(" <select name=\"") + name +
                   QStringLiteral("\"><option value=\"\">Any</option>");
    for (const QString& v : values)
        html += QStringLiteral("<option value=\"") + escaped(v) + u'"' +
                (v.compare(chosen, Qt::CaseInsensitive) == 0 ? QStringLiteral(" selected") : QString()) + u'>' +
                escaped(v) + QStringLiteral("</option>");
    return html + QStringLiteral("</select></label> ");
}

QStringList distinct(const std::vector<WebOverview::Line>& lines, QString WebOverview::Line::*field)
{
    QSet<QString> seen;
    for (const WebOverview::Line& l : lines)
        if (!(l.*field).isEmpty()) seen.insert(l.*field);
    QStringList out(seen.begin(), seen.end());
    std::sort(out.begin(), out.end(),
              [](const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; });
    return out;
}

std::optional<double> known(double v) { return std::isnan(v) ? std::nullopt : std::optional<double>(v); }

QString row(const WebOverview::Line& l)
{
    QString ago = escaped(PageHtml::ageText(known(l.ageDays)));
    if (l.stale) ago += QStringLiteral(" <span class=\"stale\">stale</span>");
    const QStringList cells = {
        PageHtml::stateMark(AlarmStore::word(l.severity), AlarmStore::colourName(l.severity)),
        QStringLiteral("<a href=\"") + escaped(PageHtml::sensorPath(l.id)) + QStringLiteral("\">") + escaped(l.id) +
            QStringLiteral("</a>"),
        escaped(l.mineLevel),
        escaped(l.location),
        escaped(QString(l.lastReading).replace(u'T', u' ')),
        ago,
        escaped(PageHtml::numberText(known(l.latestLoad))),
        escaped(PageHtml::numberText(known(l.peakLoad))),
        escaped(l.headline),
    };
    QString html = QStringLiteral("<tr>");
    for (int c = 0; c < cells.size(); ++c)
        html += (c == 6 || c == 7 ? QStringLiteral("<td class=\"num\">") : QStringLiteral("<td>")) + cells[c] +
                QStringLiteral("</td>");
    return html + QStringLiteral("</tr>\n");
}

}  // namespace

QString page(const std::vector<WebOverview::Line>& all, const std::vector<WebOverview::Line>& shown,
             const WebOverview::Filter& filter, const QString& generatedAt, const PageHtml::Viewer& viewer)
{
    QStringList states;
    for (auto s : {AlarmStore::Severity::Action, AlarmStore::Severity::Alert, AlarmStore::Severity::Stale,
                   AlarmStore::Severity::Ok, AlarmStore::Severity::NoLevels})
        states << AlarmStore::word(s);
    QString body =
        QStringLiteral("<h1>Overview</h1>\n<form id=\"filter\" class=\"filter\" method=\"get\" action=\"/\">") +
        choice(QStringLiteral("level"), QStringLiteral("Level"), distinct(all, &WebOverview::Line::mineLevel),
               filter.mineLevel) +
        choice(QStringLiteral("location"), QStringLiteral("Location"), distinct(all, &WebOverview::Line::location),
               filter.location) +
        choice(QStringLiteral("state"), QStringLiteral("State"), states, filter.state) +
        QStringLiteral("<button type=\"submit\">Show</button></form>\n");
    body += QStringLiteral(
                "<p class=\"status\"><span id=\"count\">%1 of %2 sensors</span>, as of <span "
                "id=\"generated\">%3</span></p>\n")
                .arg(shown.size())
                .arg(all.size())
                .arg(escaped(QString(generatedAt).replace(u'T', u' ')));
    body += QStringLiteral(
        "<div class=\"scroll\"><table id=\"sensors\"><thead><tr><th>State</th><th>Sensor</th><th>Level</th>"
        "<th>Location</th><th>Last reading</th><th>Age</th><th>Latest load (t)</th><th>Peak load (t)</th>"
        "<th>Note</th></tr></thead><tbody>\n");
    for (const WebOverview::Line& l : shown) body += row(l);
    body += QStringLiteral("</tbody></table></div>\n<p id=\"none\"") +
            (shown.empty() ? QString() : QStringLiteral(" hidden")) +
            QStringLiteral(">No sensor matches the filter.</p>\n");
    return PageHtml::document(QStringLiteral("Overview"), viewer, body,
                              {QStringLiteral("/static/tarnwell.js"), QStringLiteral("/static/overview.js")});
}

}  // namespace PageOverview
