#pragma once
#include "web/LoginThrottle.h"
#include "web/PasswordFile.h"
#include "web/WebSessions.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace httplib {
struct Request;
struct Response;
class Server;
}  // namespace httplib

// Who may see and do what in the web view.
// - OpenFile: a database file and no password file: everyone who reaches the address may
//   look (the program listens on the loopback address only), nobody may acknowledge.
// - PasswordFile: a database file and a password file: a login of that file is needed for
//   everything but the login page and the static files; its rights say whether it may
//   acknowledge.
// - ServerRoles: a team server: a person logs in with their own database login, their
//   requests connect as that role, and the server's rights decide.
// Sessions live in a cookie (HttpOnly, SameSite=Strict, Secure behind a TLS proxy); every
// change needs the session's form token and must come from a page of this site.
class WebAuth {
public:
    enum class Mode { OpenFile, PasswordFile, ServerRoles };
    // Opens a connection as who on the server (throws TwError when the server refuses the
    // login) and says whether that role may write acknowledgements.
    using ServerLogin = std::function<bool(const Credentials& who)>;

    WebAuth(Mode mode, bool behindProxy);
    Mode mode() const { return m_mode; }
    bool behindProxy() const { return m_behindProxy; }
    void setPasswordFile(PasswordFile file) { m_passwords = std::move(file); }
    void setServerLogin(ServerLogin login) { m_serverLogin = std::move(login); }

    // httplib's pre-routing handler (it runs before a request's body is read): lets the
    // login page, logging out and the static files through; refuses everything else
    // without a valid session (401 JSON {"error":…} for /api/, a 303 to
    // /login?next=… for pages). Returns true when it answered the request.
    bool handleOrRefuse(const httplib::Request& req, httplib::Response& res);
    // The request's session; null when none (OpenFile: an anonymous read-only session).
    std::shared_ptr<const WebSession> sessionOf(const httplib::Request& req) const;
    // For a state-changing request: the session, the form's token and the Origin (or, when
    // the browser sent none, the Referer) all check out. False: answer 403.
    bool allowsChange(const httplib::Request& req, const QByteArray& formToken) const;
    // Whether the request's Origin (or Referer) is this site's own.
    bool fromThisSite(const httplib::Request& req) const;

    // GET /login, POST /login (form fields user, password, next), POST /logout.
    void serveLoginPage(const httplib::Request& req, httplib::Response& res) const;
    void logIn(const httplib::Request& req, httplib::Response& res);
    void logOut(const httplib::Request& req, httplib::Response& res);

    // "scheme://host:port" of this site as the browser sees it (behind the proxy: from its
    // X-Forwarded-Proto and X-Forwarded-Host).
    QString siteOrigin(const httplib::Request& req) const;
    // The client's address (behind the proxy: the one it put last into X-Forwarded-For).
    QString clientAddress(const httplib::Request& req) const;

    WebSessions& sessions() { return m_sessions; }

private:
    // The user's rights when the login is good; nullopt when refused.
    std::optional<bool> checkLogin(const QString& user, const QByteArray& password, Credentials* credentials);

    Mode m_mode;
    bool m_behindProxy;
    PasswordFile m_passwords;
    ServerLogin m_serverLogin;
    mutable WebSessions m_sessions;
    LoginThrottle m_throttle;
    std::shared_ptr<const WebSession> m_anonymous;
};

// GET /login, POST /login, POST /logout and GET /api/session → {"user","canAcknowledge",
// "readOnly","csrf"} (the form token the pages send with a change).
void addLoginRoutes(httplib::Server& server, WebAuth& auth);
