#include "web/PageHtml.h"

#include <QUrl>

namespace PageHtml {

QString escaped(const QString& text)
{
    // Qt's escaping covers & < > "; the apostrophe too, for attributes quoted with it.
    return text.toHtmlEscaped().replace(u'\'', QLatin1String("&#39;"));
}

QString sensorPath(const QString& sensorId)
{
    return QStringLiteral("/sensor/") + QString::fromLatin1(QUrl::toPercentEncoding(sensorId));
}

QString stateMark(const QString& word, const QString& colour)
{
    // No levels has no colour: a plain outlined mark.
    if (colour.isEmpty()) return QStringLiteral("<span class=\"state state-none\">") + escaped(word) + "</span>";
    return QStringLiteral("<span class=\"state\" style=\"background:") + escaped(colour) + "\">" + escaped(word) +
           "</span>";
}

QString ageText(std::optional<double> days)
{
    if (!days) return QString();
    const double d = std::max(0.0, *days);
    if (d < 1.0 / 24) return QStringLiteral("%1 min ago").arg(qRound(d * 24 * 60));
    if (d < 2) return QStringLiteral("%1 h ago").arg(qRound(d * 24));
    return QStringLiteral("%1 days ago").arg(qRound(d));
}

QString numberText(std::optional<double> value) { return value ? QString::number(*value, 'f', 2) : QString(); }

QString planText(const AlarmPlans::Plan& plan)
{
    QString text = QStringLiteral("Response plan (") + plan.level + QStringLiteral(", ") + plan.group.text() +
                   QStringLiteral("): ") + plan.actions;
    if (!plan.contacts.isEmpty()) text += QStringLiteral(" Who is called: ") + plan.contacts;
    return text;
}

QString document(const QString& title, const Viewer& viewer, const QString& body, const QStringList& scripts)
{
    QString who;
    if (viewer.user.isEmpty()) who = QStringLiteral("<span class=\"who\">Read-only view</span>");
    else who = QStringLiteral("<span class=\"who\">Logged in as <b>") + escaped(viewer.user) + "</b></span>";
    if (viewer.canLogOut)
        who += QStringLiteral(
                   "<form class=\"logout\" method=\"post\" action=\"/logout\">"
                   "<input type=\"hidden\" name=\"csrf\" value=\"") +
               escaped(QString::fromLatin1(viewer.csrf)) + "\"><button type=\"submit\">Log out</button></form>";
    QString html = QStringLiteral(
                       "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>") +
                   escaped(title) +
                   QStringLiteral(
                       " - Tarnwell</title>"
                       "<link rel=\"stylesheet\" href=\"/static/tarnwell.css\"></head><body>"
                       "<header><nav><a href=\"/\">Overview</a> <a href=\"/alarms\">Alarms</a></nav>") +
                   who + QStringLiteral("</header>\n<main>") + body + QStringLiteral("</main>\n");
    for (const QString& s : scripts) html += QStringLiteral("<script src=\"") + escaped(s) + "\"></script>\n";
    html += QStringLiteral("</body></html>\n");
    return html;
}

}  // namespace PageHtml
