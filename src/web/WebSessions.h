#pragma once
#include "web/WebConnections.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <memory>
#include <mutex>

// One logged-in person. credentials: on a team server, the database login the person's
// requests connect as; empty for logins of a password file.
struct WebSession {
    QByteArray id;
    QString user;
    Credentials credentials;
    bool canAcknowledge = false;
    QByteArray csrfToken;
    QDateTime lastSeen;  // when the session was made (the idle time is kept by WebSessions)
};

// The sessions of logged-in people, found by the id their browser sends in the cookie
// tarnwell_session. Ids and form tokens are 32 random bytes (base64url). A session not
// used for IdleLimitMs ends; beyond MaxSessions the one used least recently ends. Only a
// hash of each id is kept as the key, so a lookup's timing tells nothing about the ids.
// Thread-safe.
class WebSessions {
public:
    static constexpr qint64 IdleLimitMs = 12LL * 3600 * 1000;
    static constexpr int MaxSessions = 1000;
    static inline const QByteArray CookieName = QByteArrayLiteral("tarnwell_session");

    std::shared_ptr<const WebSession> create(const QString& user, const Credentials& credentials, bool canAcknowledge,
                                             qint64 nowMs);
    // The session of id, its idle time started again; null when unknown or expired.
    std::shared_ptr<const WebSession> find(const QByteArray& id, qint64 nowMs);
    void remove(const QByteArray& id);
    int count() const;

    // The Set-Cookie value that gives the browser the session (secure: only over HTTPS).
    static QByteArray cookie(const QByteArray& id, bool secure);
    // The Set-Cookie value that makes the browser forget it.
    static QByteArray clearingCookie(bool secure);
    // The session id in a request's Cookie header (empty when none).
    static QByteArray idFromCookieHeader(const QByteArray& header);

    // 32 random bytes as base64url without padding (43 characters).
    static QByteArray randomToken();
    // Whether two tokens are equal, in time that does not depend on where they differ.
    static bool tokensEqual(const QByteArray& a, const QByteArray& b);

private:
    struct Entry {
        std::shared_ptr<const WebSession> session;
        qint64 lastSeenMs = 0;
    };
    static QByteArray keyOf(const QByteArray& id);
    void dropLeastRecent();

    mutable std::mutex m_mutex;
    QHash<QByteArray, Entry> m_entries;
};
