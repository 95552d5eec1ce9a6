#include "web/LoginThrottle.h"

#include <QDeadlineTimer>
#include <QList>
#include <algorithm>

namespace {
// Addresses and names live in one table; the prefix keeps a user called "127.0.0.1" apart
// from that address.
QString addressKey(const QString& address) { return QStringLiteral("a:") + address; }
QString userKey(const QString& user) { return QStringLiteral("u:") + user.toCaseFolded(); }
}  // namespace

int LoginThrottle::waitAfterFailures(int failures)
{
    if (failures <= FreeTries) return 0;
    const int doublings = std::min(failures - FreeTries - 1, 16);
    return std::min(1 << doublings, MaxWaitSeconds);
}

qint64 LoginThrottle::steadyNowMs()
{
    // The time since boot in a monotonic clock: changes of the wall clock do not move it.
    return QDeadlineTimer::current().deadline();
}

int LoginThrottle::secondsLeft(const QString& key, qint64 nowMs)
{
    const auto it = m_records.constFind(key);
    if (it == m_records.constEnd() || it->blockedUntilMs <= nowMs) return 0;
    return int((it->blockedUntilMs - nowMs + 999) / 1000);
}

int LoginThrottle::secondsToWait(const QString& address, const QString& user, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    return std::max(secondsLeft(addressKey(address), nowMs), secondsLeft(userKey(user), nowMs));
}

void LoginThrottle::note(const QString& key, qint64 nowMs)
{
    Record& r = m_records[key];
    if (r.failures > 0 && nowMs - r.lastMs > ForgetAfterMs) r.failures = 0;
    ++r.failures;
    r.lastMs = nowMs;
    r.blockedUntilMs = nowMs + qint64(waitAfterFailures(r.failures)) * 1000;
}

void LoginThrottle::failed(const QString& address, const QString& user, qint64 nowMs)
{
    std::lock_guard lock(m_mutex);
    if (m_records.size() >= MaxRecords) prune(nowMs);
    note(addressKey(address), nowMs);
    if (!user.isEmpty()) note(userKey(user), nowMs);
}

void LoginThrottle::succeeded(const QString& address, const QString& user)
{
    std::lock_guard lock(m_mutex);
    m_records.remove(addressKey(address));
    m_records.remove(userKey(user));
}

void LoginThrottle::prune(qint64 nowMs)
{
    for (auto it = m_records.begin(); it != m_records.end();)
        it = (nowMs - it->lastMs > ForgetAfterMs && it->blockedUntilMs <= nowMs) ? m_records.erase(it) : std::next(it);
    if (m_records.size() < MaxRecords) return;
    // Still full (many addresses failing at once): forget the older half.
    QList<qint64> times;
    times.reserve(m_records.size());
    for (const Record& r : std::as_const(m_records)) times << r.lastMs;
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    const qint64 median = times.at(times.size() / 2);
    for (auto it = m_records.begin(); it != m_records.end();)
        it = it->lastMs < median ? m_records.erase(it) : std::next(it);
}
