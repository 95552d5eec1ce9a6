#include "web/LoginPage.h"

#include <QUrl>

namespace LoginPage {

QString safeNext(const QString& next)
{
    const QString home = QStringLiteral("/");
    if (next.isEmpty() || next.size() > 2000 || !next.startsWith(u'/')) return home;
    // "//host" and "/\host" are read by browsers as another site.
    if (next.size() > 1 && (next.at(1) == u'/' || next.at(1) == u'\\')) return home;
    for (const QChar c : next)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'\\') return home;
    const QUrl url(next, QUrl::StrictMode);
    if (!url.isValid() || !url.isRelative() || !url.host().isEmpty()) return home;
    // Going back to the login page after logging in would only show it again.
    if (url.path() == QLatin1String("/login")) return home;
    return next;
}

QByteArray html(const QString& next, const QString& message, const QString& whatToEnter)
{
    QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Log in - Tarnwell</title>\n"
        "<link rel=\"stylesheet\" href=\"/static/tarnwell.css\">\n</head>\n"
        "<body class=\"login-page\">\n<main class=\"login\">\n<h1>Tarnwell</h1>\n");
    if (!message.isEmpty())
        page += QStringLiteral("<p class=\"login-message\" role=\"alert\">%1</p>\n").arg(message.toHtmlEscaped());
    page += QStringLiteral(
                "<form class=\"login-form\" method=\"post\" action=\"/login\">\n"
                "<p class=\"login-hint\">%1</p>\n"
                "<label for=\"user\">User name</label>\n"
                "<input id=\"user\" name=\"user\" autocomplete=\"username\" autocapitalize=\"none\" "
                "required autofocus>\n"
                "<label for=\"password\">Password</label>\n"
                "<input id=\"password\" name=\"password\" type=\"password\" "
                "autocomplete=\"current-password\" required>\n"
                "<input type=\"hidden\" name=\"next\" value=\"%2\">\n"
                "<button type=\"submit\">Log in</button>\n</form>\n</main>\n</body>\n</html>\n")
                .arg(whatToEnter.toHtmlEscaped(), safeNext(next).toHtmlEscaped());
    return page.toUtf8();
}

}  // namespace LoginPage
