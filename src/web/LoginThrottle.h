#pragma once
#include <QHash>
#include <QString>
#include <mutex>

// Slows down guessing of passwords: failed logins are counted per client address and per
// user name; after a few free tries each further failure makes that address or name wait
// twice as long as the one before (1 s, 2 s, 4 s … up to MaxWaitSeconds) before the next
// try is even looked at. A login asked for while waiting is answered at once with the
// time left (the server answers 429 with Retry-After), so no worker thread sleeps.
// Times are in milliseconds of a steady clock, passed in so the rule can be checked
// without waiting. Thread-safe.
class LoginThrottle {
public:
    static constexpr int FreeTries = 3;
    static constexpr int MaxWaitSeconds = 300;
    // A record not touched for this long is forgotten (its count starts again).
    static constexpr qint64 ForgetAfterMs = 3600 * 1000;
    // At most this many records are kept; beyond it the oldest are forgotten.
    static constexpr int MaxRecords = 20000;

    // Seconds left before address or user may try again (0: may try now).
    int secondsToWait(const QString& address, const QString& user, qint64 nowMs);
    void failed(const QString& address, const QString& user, qint64 nowMs);
    // A good login clears both records.
    void succeeded(const QString& address, const QString& user);

    // The wait after the n-th failure in a row.
    static int waitAfterFailures(int failures);
    static qint64 steadyNowMs();

private:
    struct Record {
        int failures = 0;
        qint64 lastMs = 0;
        qint64 blockedUntilMs = 0;
    };
    void note(const QString& key, qint64 nowMs);
    int secondsLeft(const QString& key, qint64 nowMs);
    void prune(qint64 nowMs);

    std::mutex m_mutex;
    QHash<QString, Record> m_records;
};
