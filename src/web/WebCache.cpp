#include "web/WebCache.h"
#include "store/Database.h"

#include <QFile>
#include <sqlite3.h>

WebCache::WebCache(qsizetype maxBytes) : m_maxBytes(maxBytes) {}

WebCache::~WebCache()
{
    if (m_watch) sqlite3_close_v2(m_watch);
}

QByteArray WebCache::fileMark(const QString& path)
{
    const std::lock_guard lock(m_watchLock);
    if (m_watch && m_watchPath != path) {
        sqlite3_close_v2(m_watch);
        m_watch = nullptr;
    }
    if (!m_watch) {
        sqlite3* h = nullptr;
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &h,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close_v2(h);
            return QByteArray();
        }
        useShortLockWait(h);
        m_watch = h;
        m_watchPath = path;
    }
    // data_version moves whenever another connection (every other one: this one never
    // writes) committed; schema_version whenever a table was made, dropped or altered.
    QByteArray mark("file:");
    for (const char* sql : {"PRAGMA data_version", "PRAGMA schema_version"}) {
        sqlite3_stmt* st = nullptr;
        qint64 v = -1;
        if (sqlite3_prepare_v2(m_watch, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        if (v < 0) return QByteArray();
        mark += QByteArray::number(v) + ':';
    }
    return mark;
}

QByteArray WebCache::mark(Database& db, const QString& user, const QStringList& tables)
{
    if (!db.isServer()) return fileMark(db.path());
    QByteArray mark = "server:" + user.toUtf8() + '\x1f';
    for (const QString& table : tables) {
        const Database::Stamp s = db.stamp(table);
        // -2: the server keeps no counter for the table (or the question failed).
        if (s.dataVersion == -2) return QByteArray();
        mark += QByteArray::number(s.dataVersion) + ':' + QByteArray::number(s.schemaVersion) + ':' +
                QByteArray::number(s.tableWrites) + ';';
    }
    return mark;
}

std::shared_ptr<const void> WebCache::getAny(const QByteArray& key, const QByteArray& mark,
                                             const std::function<std::shared_ptr<const void>(qsizetype& bytes)>& make)
{
    if (mark.isEmpty()) {
        qsizetype bytes = 0;
        return make(bytes);
    }
    std::promise<std::shared_ptr<const void>> promise;
    {
        std::unique_lock lock(m_lock);
        if (const auto it = m_byKey.find(key); it != m_byKey.end() && it->second->mark == mark) {
            m_entries.splice(m_entries.begin(), m_entries, it->second);
            return it->second->value;
        }
        if (const auto it = m_making.find(key); it != m_making.end() && it->second.first == mark) {
            const Made made = it->second.second;
            lock.unlock();
            return made.get();  // rethrows what the computing thread met
        }
        m_making.insert_or_assign(key, std::make_pair(mark, Made(promise.get_future())));
    }
    auto done = [&] {
        const std::lock_guard lock(m_lock);
        if (const auto it = m_making.find(key); it != m_making.end() && it->second.first == mark) m_making.erase(it);
    };
    try {
        qsizetype bytes = 0;
        std::shared_ptr<const void> value = make(bytes);
        if (value) keep(key, mark, value, bytes);
        done();
        promise.set_value(value);
        return value;
    } catch (...) {
        done();
        promise.set_exception(std::current_exception());
        throw;
    }
}

void WebCache::keep(const QByteArray& key, const QByteArray& mark, std::shared_ptr<const void> value, qsizetype bytes)
{
    if (bytes > m_maxBytes / 4) return;  // one answer never pushes out most of the others
    const std::lock_guard lock(m_lock);
    if (const auto it = m_byKey.find(key); it != m_byKey.end()) {
        m_bytes -= it->second->bytes;
        m_entries.erase(it->second);
        m_byKey.erase(it);
    }
    m_entries.push_front(Entry{key, mark, std::move(value), bytes});
    m_byKey.emplace(key, m_entries.begin());
    m_bytes += bytes;
    while (m_bytes > m_maxBytes && !m_entries.empty()) {
        m_bytes -= m_entries.back().bytes;
        m_byKey.erase(m_entries.back().key);
        m_entries.pop_back();
    }
}

void WebCache::clear()
{
    const std::lock_guard lock(m_lock);
    m_entries.clear();
    m_byKey.clear();
    m_bytes = 0;
}

qsizetype WebCache::bytesHeld() const
{
    const std::lock_guard lock(m_lock);
    return m_bytes;
}

int WebCache::entryCount() const
{
    const std::lock_guard lock(m_lock);
    return int(m_entries.size());
}
