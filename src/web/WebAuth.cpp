#include "web/WebAuth.h"

#include "core/TwError.h"
#include "web/LoginPage.h"
#include "web/WebForm.h"
#include "web/WebJson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cstdio>
#include <httplib.h>
#include <sodium.h>

namespace {

QByteArray header(const httplib::Request& req, const char* name)
{
    return QByteArray::fromStdString(req.get_header_value(name)).trimmed();
}

// The first of a header's comma-separated values (a proxy in front of another adds its own).
QByteArray firstValue(const QByteArray& value) { return value.split(',').first().trimmed(); }

void answerJsonError(httplib::Response& res, int status, const QString& text)
{
    res.status = status;
    res.set_content(jsonError(text).toStdString(), "application/json");
}

void redirect(httplib::Response& res, const QString& to)
{
    res.status = 303;
    res.set_header("Location", QUrl::toPercentEncoding(to, "/?&=%:@-._~!$'()*+,;").toStdString());
}

// "scheme://host:port" with the scheme and host in lower case and the port always written,
// so that "http://Example:80" and "http://example" compare equal. Empty when not an origin.
QString normalisedOrigin(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return QString();
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return QString();
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    return QStringLiteral("%1://%2:%3").arg(scheme, url.host().toLower()).arg(port);
}

bool isApi(const std::string& path) { return path.rfind("/api/", 0) == 0 || path == "/api"; }

QString pathAndQuery(const httplib::Request& req)
{
    // req.target is the path and query as the browser sent them.
    return QString::fromStdString(req.target.empty() ? req.path : req.target);
}

}  // namespace

WebAuth::WebAuth(Mode mode, bool behindProxy) : m_mode(mode), m_behindProxy(behindProxy)
{
    initSodium();
    if (mode == Mode::OpenFile) {
        auto anonymous = std::make_shared<WebSession>();
        anonymous->canAcknowledge = false;
        m_anonymous = anonymous;
    }
}

bool WebAuth::handleOrRefuse(const httplib::Request& req, httplib::Response& res)
{
    const std::string& path = req.path;
    if (path == "/login" || path == "/logout") return false;
    // The pages' own files need no login; a path climbing out of /static/ is no such file.
    if (path.rfind("/static/", 0) == 0 && path.find("..") == std::string::npos) return false;
    if (sessionOf(req)) return false;
    if (isApi(path)) {
        answerJsonError(res, 401, QStringLiteral("Log in first"));
        return true;
    }
    // A page: to the login form, back here afterwards (only a page that is looked at).
    QString to = QStringLiteral("/login");
    if (req.method == "GET" && path != "/")
        to += QStringLiteral("?next=") + QString::fromLatin1(QUrl::toPercentEncoding(pathAndQuery(req)));
    res.status = 303;
    res.set_header("Location", to.toStdString());
    return true;
}

std::shared_ptr<const WebSession> WebAuth::sessionOf(const httplib::Request& req) const
{
    if (m_mode == Mode::OpenFile) return m_anonymous;
    const QByteArray id = WebSessions::idFromCookieHeader(header(req, "Cookie"));
    return m_sessions.find(id, LoginThrottle::steadyNowMs());
}

QString WebAuth::siteOrigin(const httplib::Request& req) const
{
    QByteArray scheme = "http";
    QByteArray host = header(req, "Host");
    if (m_behindProxy) {
        const QByteArray proto = firstValue(header(req, "X-Forwarded-Proto")).toLower();
        if (proto == "https" || proto == "http") scheme = proto;
        const QByteArray forwardedHost = firstValue(header(req, "X-Forwarded-Host"));
        if (!forwardedHost.isEmpty()) host = forwardedHost;
    }
    if (host.isEmpty()) return QString();
    return normalisedOrigin(QString::fromLatin1(scheme + "://" + host));
}

QString WebAuth::clientAddress(const httplib::Request& req) const
{
    if (m_behindProxy) {
        const QByteArray forwarded = header(req, "X-Forwarded-For");
        if (!forwarded.isEmpty()) return QString::fromLatin1(forwarded.split(',').last().trimmed());
    }
    return QString::fromStdString(req.remote_addr);
}

bool WebAuth::fromThisSite(const httplib::Request& req) const
{
    QByteArray claimed = header(req, "Origin");
    if (claimed.isEmpty()) claimed = header(req, "Referer");
    if (claimed.isEmpty()) return false;
    const QString origin = normalisedOrigin(QString::fromLatin1(claimed));
    return !origin.isEmpty() && origin == siteOrigin(req);
}

bool WebAuth::allowsChange(const httplib::Request& req, const QByteArray& formToken) const
{
    const auto session = sessionOf(req);
    if (!session || session->csrfToken.isEmpty()) return false;
    return WebSessions::tokensEqual(formToken, session->csrfToken) && fromThisSite(req);
}

void WebAuth::serveLoginPage(const httplib::Request& req, httplib::Response& res) const
{
    const QString next = QString::fromStdString(req.get_param_value("next"));
    if (m_mode == Mode::OpenFile || sessionOf(req)) {
        redirect(res, LoginPage::safeNext(next));
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(LoginPage::html(next, QString(),
                                    m_mode == Mode::ServerRoles ? QStringLiteral("Your database login.")
                                                                : QStringLiteral("Your Tarnwell web login."))
                        .toStdString(),
                    "text/html; charset=utf-8");
}

std::optional<bool> WebAuth::checkLogin(const QString& user, const QByteArray& password, Credentials* credentials)
{
    if (m_mode == Mode::PasswordFile) {
        const auto rights = m_passwords.verify(user, password);
        if (!rights) return std::nullopt;
        return *rights == PasswordFile::Rights::Acknowledge;
    }
    if (m_mode == Mode::ServerRoles && m_serverLogin && !user.isEmpty() && !password.isEmpty()) {
        const Credentials who{user, QString::fromUtf8(password)};
        try {
            const bool canAcknowledge = m_serverLogin(who);
            *credentials = who;
            return canAcknowledge;
        } catch (const TwError& e) {
            // The server's words go to the log of the service, not to the browser: they may
            // tell whether the role exists.
            std::fprintf(stderr, "tarnwell-web: login of %s refused: %s\n", qPrintable(user),
                         qPrintable(e.description));
        }
    }
    return std::nullopt;
}

void WebAuth::logIn(const httplib::Request& req, httplib::Response& res)
{
    if (m_mode == Mode::OpenFile) {
        redirect(res, QStringLiteral("/"));
        return;
    }
    const WebForm form = WebForm::fromBody(req.get_header_value("Content-Type"), req.body);
    const QString user = form.value(QStringLiteral("user")).trimmed();
    QByteArray password = form.value(QStringLiteral("password")).toUtf8();
    const QString next = form.value(QStringLiteral("next"));
    const QString hint = m_mode == Mode::ServerRoles ? QStringLiteral("Your database login.")
                                                     : QStringLiteral("Your Tarnwell web login.");
    auto answerForm = [&](int status, const QString& message) {
        res.status = status;
        res.set_header("Cache-Control", "no-store");
        res.set_content(LoginPage::html(next, message, hint).toStdString(), "text/html; charset=utf-8");
    };
    // A login posted from another site's page would log the browser in as someone else.
    if (!header(req, "Origin").isEmpty() && !fromThisSite(req)) {
        answerForm(403, QStringLiteral("This login form was not sent from this site."));
        return;
    }
    const QString address = clientAddress(req);
    const qint64 now = LoginThrottle::steadyNowMs();
    if (const int wait = m_throttle.secondsToWait(address, user, now); wait > 0) {
        res.set_header("Retry-After", std::to_string(wait));
        answerForm(429, QStringLiteral("Too many failed logins. Try again in %1 seconds.").arg(wait));
        return;
    }
    Credentials credentials;
    const std::optional<bool> canAcknowledge = checkLogin(user, password, &credentials);
    sodium_memzero(password.data(), size_t(password.size()));
    if (!canAcknowledge) {
        m_throttle.failed(address, user, LoginThrottle::steadyNowMs());
        answerForm(401, QStringLiteral("Wrong user name or password."));
        return;
    }
    m_throttle.succeeded(address, user);
    // A session the browser had before is ended: a new login gets a new id.
    if (const QByteArray old = WebSessions::idFromCookieHeader(header(req, "Cookie")); !old.isEmpty())
        m_sessions.remove(old);
    const auto session = m_sessions.create(user, credentials, *canAcknowledge, LoginThrottle::steadyNowMs());
    res.set_header("Set-Cookie", WebSessions::cookie(session->id, m_behindProxy).toStdString());
    res.set_header("Cache-Control", "no-store");
    redirect(res, LoginPage::safeNext(next));
}

void WebAuth::logOut(const httplib::Request& req, httplib::Response& res)
{
    // Only this site's pages may end a session, with its form's token; a session that has
    // ended already only has its cookie cleared.
    const QByteArray token =
        WebForm::fromBody(req.get_header_value("Content-Type"), req.body).value(QStringLiteral("csrf")).toLatin1();
    if (m_mode != Mode::OpenFile && sessionOf(req) && !allowsChange(req, token)) {
        answerJsonError(res, 403, QStringLiteral("Refused: not sent from a page of this site with its form's token"));
        return;
    }
    if (const QByteArray id = WebSessions::idFromCookieHeader(header(req, "Cookie")); !id.isEmpty())
        m_sessions.remove(id);
    res.set_header("Set-Cookie", WebSessions::clearingCookie(m_behindProxy).toStdString());
    redirect(res, m_mode == Mode::OpenFile ? QStringLiteral("/") : QStringLiteral("/login"));
}

void addLoginRoutes(httplib::Server& server, WebAuth& auth)
{
    server.Get("/login",
               [&auth](const httplib::Request& req, httplib::Response& res) { auth.serveLoginPage(req, res); });
    server.Post("/login", [&auth](const httplib::Request& req, httplib::Response& res) { auth.logIn(req, res); });
    server.Post("/logout", [&auth](const httplib::Request& req, httplib::Response& res) { auth.logOut(req, res); });
    server.Get("/api/session", [&auth](const httplib::Request& req, httplib::Response& res) {
        const auto s = auth.sessionOf(req);
        if (!s) {
            answerJsonError(res, 401, QStringLiteral("Log in first"));
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(QJsonDocument(QJsonObject{{QStringLiteral("user"), s->user},
                                                  {QStringLiteral("canAcknowledge"), s->canAcknowledge},
                                                  {QStringLiteral("readOnly"), !s->canAcknowledge},
                                                  {QStringLiteral("csrf"), QString::fromLatin1(s->csrfToken)}})
                            .toJson(QJsonDocument::Compact)
                            .toStdString(),
                        "application/json");
    });
}
