#include "web/WebSessions.h"

#include "web/PasswordFile.h"

#include <QList>
#include <sodium.h>

QByteArray WebSessions::randomToken()
{
    initSodium();
    QByteArray bytes(32, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

bool WebSessions::tokensEqual(const QByteArray& a, const QByteArray& b)
{
    // Every token has the same length, so comparing the lengths first tells nothing.
    if (a.isEmpty() || a.size() != b.size()) return false;
    return sodium_memcmp(a.constData(), b.constData(), size_t(a.size())) == 0;
}

QByteArray WebSessions::keyOf(const QByteArray& id)
{
    initSodium();
    QByteArray key(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char*>(key.data()), size_t(key.size()),
                       reinterpret_cast<const unsigned char*>(id.constData()), quint64(id.size()), nullptr, 0);
    return key;
}

std::shared_ptr<const WebSession> WebSessions::create(const QString& user, const Credentials& credentials,
                                                      bool canAcknowledge, qint64 nowMs)
{
    auto s = std::make_shared<WebSession>();
    s->id = randomToken();
    s->user = user;
    s->credentials = credentials;
    s->canAcknowledge = canAcknowledge;
    s->csrfToken = randomToken();
    s->lastSeen = QDateTime::currentDateTimeUtc();
    std::lock_guard lock(m_mutex);
    while (m_entries.size() >= MaxSessions) dropLeastRecent();
    m_entries.insert(keyOf(s->id), Entry{s, nowMs});
    return s;
}

std::shared_ptr<const WebSession> WebSessions::find(const QByteArray& id, qint64 nowMs)
{
    if (id.isEmpty()) return nullptr;
    const QByteArray key = keyOf(id);
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(key);
    if (it == m_entries.end()) return nullptr;
    if (nowMs - it->lastSeenMs > IdleLimitMs) {
        m_entries.erase(it);
        return nullptr;
    }
    it->lastSeenMs = nowMs;
    return it->session;
}

void WebSessions::remove(const QByteArray& id)
{
    const QByteArray key = keyOf(id);
    std::lock_guard lock(m_mutex);
    m_entries.remove(key);
}

int WebSessions::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

void WebSessions::dropLeastRecent()
{
    auto oldest = m_entries.begin();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (it->lastSeenMs < oldest->lastSeenMs) oldest = it;
    if (oldest != m_entries.end()) m_entries.erase(oldest);
}

QByteArray WebSessions::cookie(const QByteArray& id, bool secure)
{
    QByteArray c = CookieName + '=' + id + "; HttpOnly; SameSite=Strict; Path=/";
    if (secure) c += "; Secure";
    return c;
}

QByteArray WebSessions::clearingCookie(bool secure)
{
    QByteArray c = CookieName + "=; Max-Age=0; HttpOnly; SameSite=Strict; Path=/";
    if (secure) c += "; Secure";
    return c;
}

QByteArray WebSessions::idFromCookieHeader(const QByteArray& header)
{
    for (const QByteArray& part : header.split(';')) {
        const QByteArray pair = part.trimmed();
        const int eq = pair.indexOf('=');
        if (eq > 0 && pair.left(eq) == CookieName) return pair.mid(eq + 1).trimmed();
    }
    return QByteArray();
}
