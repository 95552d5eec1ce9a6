#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

class Database;
struct sqlite3;

// What the web view computed from a sensor's readings (the overview's line of a sensor, a
// series' computed columns), kept while the tables it was computed from are unchanged, so
// that the overview of fifty sensors and a zoom into a long series read nothing again.
//
// An entry is kept with a mark of the tables it came from, taken before it was computed,
// and is used only while the mark is the same. Marks must mean the same to every thread:
//   - On a file, one connection of the cache's own, opened read-only and used only to ask
//     the engine whether any connection committed (its data version): any commit by anyone
//     (the desktop program, tarnwell-import, an acknowledgement here) gives a new mark for
//     every entry. Commits are rare next to looks, and one mark for all is always right.
//   - On a server, the tables' change counters, which every connection reads alike, and the
//     person asking (a role sees only what its rights let it: one role's answers are never
//     handed to another). A database whose tables keep no counters gives no mark: nothing
//     is kept.
// The cache is bounded by the bytes its entries say they hold; the least recently used go
// first.
class WebCache {
public:
    static constexpr qsizetype DefaultBytes = qsizetype(512) << 20;

    explicit WebCache(qsizetype maxBytes = DefaultBytes);
    ~WebCache();
    WebCache(const WebCache&) = delete;
    WebCache& operator=(const WebCache&) = delete;

    // The mark of the named tables as db sees them now, for the person `user` ("" the
    // program's own); empty when nothing can be kept.
    QByteArray mark(Database& db, const QString& user, const QStringList& tables);

    // The value kept under key with this mark, or the one make computes (then kept, with
    // the bytes it says it holds). A null from make is not kept. An empty mark keeps nothing.
    // While one thread computes a value, another asking for the same key and mark waits
    // for it instead of computing it again (twenty browsers opening the overview at once
    // compute each sensor once).
    template <typename T>
    std::shared_ptr<const T> get(const QByteArray& key, const QByteArray& mark,
                                 const std::function<std::shared_ptr<const T>(qsizetype& bytes)>& make)
    {
        return std::static_pointer_cast<const T>(
            getAny(key, mark, [&make](qsizetype& bytes) { return std::shared_ptr<const void>(make(bytes)); }));
    }

    // Forgets everything (tests; a database switched underneath).
    void clear();
    qsizetype bytesHeld() const;
    int entryCount() const;

private:
    using Made = std::shared_future<std::shared_ptr<const void>>;
    std::shared_ptr<const void> getAny(const QByteArray& key, const QByteArray& mark,
                                       const std::function<std::shared_ptr<const void>(qsizetype& bytes)>& make);
    void keep(const QByteArray& key, const QByteArray& mark, std::shared_ptr<const void> value, qsizetype bytes);
    QByteArray fileMark(const QString& path);

    struct Entry {
        QByteArray key;
        QByteArray mark;
        std::shared_ptr<const void> value;
        qsizetype bytes = 0;
    };
    mutable std::mutex m_lock;
    qsizetype m_maxBytes;
    qsizetype m_bytes = 0;
    std::list<Entry> m_entries;  // most recently used first
    std::unordered_map<QByteArray, std::list<Entry>::iterator> m_byKey;
    std::unordered_map<QByteArray, std::pair<QByteArray, Made>> m_making;  // key -> (mark, what it becomes)

    std::mutex m_watchLock;
    sqlite3* m_watch = nullptr;  // the file's watching connection
    QString m_watchPath;
};
