#include "web/WebConnections.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Migrations.h"
#include "store/ServerDriver.h"

#include <QAtomicInteger>
#include <QUrl>
#include <map>
#include <sqlite3.h>

namespace {

// The tables an acknowledgement writes; every other change of a database file is refused
// by the engine before it runs.
constexpr const char* AcknowledgedTables[] = {"AlarmEpisodes", "AlarmEvents"};

bool isAcknowledgedTable(const char* table)
{
    if (!table) return false;
    for (const char* t : AcknowledgedTables)
        if (sqlite3_stricmp(t, table) == 0) return true;
    return false;
}

// A pragma that asks about the schema (its argument is a table or index name), or any
// pragma without a value, which only reads the setting.
bool readsOnly(const char* pragma, const char* argument)
{
    if (!argument) return true;
    for (const char* asks :
         {"table_info", "table_xinfo", "index_list", "index_info", "index_xinfo", "foreign_key_list"})
        if (sqlite3_stricmp(asks, pragma) == 0) return true;
    return false;
}

// SQLite's authorizer on the web view's file connections: reading, transactions and the
// pragmas that only read pass; an update passes on the acknowledged tables only; every
// other change (insert, delete, create, drop, alter, attach, a pragma that sets) is denied,
// so the statement fails before it touches the file.
int fileGuard(void*, int action, const char* first, const char* second, const char*, const char*)
{
    switch (action) {
        case SQLITE_READ:
        case SQLITE_SELECT:
        case SQLITE_FUNCTION:
        case SQLITE_RECURSIVE:
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            return SQLITE_OK;
        case SQLITE_PRAGMA:
            return readsOnly(first, second) ? SQLITE_OK : SQLITE_DENY;
        case SQLITE_UPDATE:
            return isAcknowledgedTable(first) ? SQLITE_OK : SQLITE_DENY;
        default:
            return SQLITE_DENY;
    }
}

QAtomicInteger<quint64> g_serials{0};

}  // namespace

struct WebConnections::Entry {
    std::unique_ptr<Database> db;
    quint64 serial = 0;
    std::chrono::steady_clock::time_point lastUse;
};

struct WebConnections::ThreadConnections {
    std::map<std::pair<QString, QString>, Entry> byWho;
};

WebConnections::WebConnections(QString target) : m_target(std::move(target)) {}

WebConnections::~WebConnections()
{
    // A thread's connections are closed by the thread as it ends; what is left belongs to
    // the thread destroying this (the one that started the server).
    closeThisThread();
}

bool WebConnections::isServer() const { return Database::isServerTarget(m_target); }

WebConnections::ThreadConnections& WebConnections::mine()
{
    const std::lock_guard lock(m_lock);
    auto& slot = m_threads[std::this_thread::get_id()];
    if (!slot) slot = std::make_unique<ThreadConnections>();
    return *slot;
}

std::unique_ptr<Database> WebConnections::open(const Credentials& who) const
{
    auto db = std::make_unique<Database>(QStringLiteral("tarnwell-web-%1").arg(g_serials.loadRelaxed() + 1));
    QString target = m_target;
    if (!who.user.isEmpty()) {
        if (!isServer())
            throw TwError(ErrNo::PermissionDenied, QStringLiteral("a database file has no logins of its own"),
                          StorageKind::NoPermission);
        // Without a password the client library would look in the program's own places
        // (~/.pgpass, PGPASSWORD): a person always gives theirs.
        if (who.password.isEmpty())
            throw TwError(ErrNo::PermissionDenied, QStringLiteral("the database server asks for a password"),
                          StorageKind::NoPermission);
        QUrl url(m_target);
        url.setUserName(who.user);
        url.setPassword(who.password);
        target = url.toString(QUrl::FullyEncoded);
    }
    if (!db->open(target)) {
        const Database::OpenFailure failure = db->openFailure();
        const bool refused =
            failure == Database::OpenFailure::NoPassword || failure == Database::OpenFailure::NoPermission;
        QString text = Database::describe(failure);
        if (!db->openFailureDetail().isEmpty()) text += QStringLiteral(" (") + db->openFailureDetail() + u')';
        throw TwError(refused ? ErrNo::PermissionDenied : ErrNo::DatabaseError, text,
                      refused ? StorageKind::NoPermission : StorageKind::None);
    }
    if (!db->isServer()) {
        sqlite3* h = db->sqliteHandle();
        if (!h || sqlite3_set_authorizer(h, &fileGuard, nullptr) != SQLITE_OK)
            throw TwError(ErrNo::DatabaseError, QStringLiteral("the database file could not be guarded"));
    }
    if (who.user.isEmpty()) db->setUserName(QStringLiteral("tarnwell-web"));
    else db->setUserName(who.user);
    const QString problem = layoutProblem(*db);
    if (!problem.isEmpty()) throw TwError(ErrNo::DatabaseError, problem);
    return db;
}

Database& WebConnections::forThisThread(const Credentials& who)
{
    ThreadConnections& t = mine();
    const auto key = std::make_pair(who.user, who.password);
    const auto now = std::chrono::steady_clock::now();
    auto it = t.byWho.find(key);
    if (it == t.byWho.end() || !it->second.db->isOpen()) {
        Entry e;
        e.db = open(who);
        e.serial = ++g_serials;
        it = t.byWho.insert_or_assign(key, std::move(e)).first;
    }
    it->second.lastUse = now;
    return *it->second.db;
}

quint64 WebConnections::serialOf(const Database& db) const
{
    const std::lock_guard lock(m_lock);
    const auto t = m_threads.find(std::this_thread::get_id());
    if (t == m_threads.end()) return 0;
    for (const auto& [who, e] : t->second->byWho)
        if (e.db.get() == &db) return e.serial;
    return 0;
}

void WebConnections::closeIdle(std::chrono::steady_clock::duration idle)
{
    ThreadConnections& t = mine();
    const auto now = std::chrono::steady_clock::now();
    for (auto it = t.byWho.begin(); it != t.byWho.end();) {
        if (now - it->second.lastUse > idle) {
            const std::lock_guard lock(m_lock);  // serialOf reads the entries
            it = t.byWho.erase(it);
        } else {
            ++it;
        }
    }
}

void WebConnections::closeThisThread()
{
    std::unique_ptr<ThreadConnections> gone;
    {
        const std::lock_guard lock(m_lock);
        const auto it = m_threads.find(std::this_thread::get_id());
        if (it == m_threads.end()) return;
        gone = std::move(it->second);
        m_threads.erase(it);
    }
    gone.reset();
}

int WebConnections::openCount() const
{
    const std::lock_guard lock(m_lock);
    int n = 0;
    for (const auto& [thread, t] : m_threads) n += int(t->byWho.size());
    return n;
}

QString WebConnections::layoutProblem(Database& db)
{
    Migrations::Status status;
    try {
        status = Migrations::status(db);
    } catch (const TwError& e) {
        return QStringLiteral("The database's layout could not be read: ") + e.description;
    }
    if (status.newer())
        return QStringLiteral(
                   "The database %1 was changed by a newer release of Tarnwell; "
                   "tarnwell-web must be that release or later.")
            .arg(db.path());
    if (!status.pending.isEmpty())
        return QStringLiteral(
                   "The database %1 was made by an earlier release of Tarnwell. Open it once in "
                   "Tarnwell to bring it up to date, then start tarnwell-web again.")
            .arg(db.path());
    return QString();
}

QString WebConnections::checkTarget(const QString& target)
{
    Database db(QStringLiteral("tarnwell-web-check"));
    if (!db.open(target)) {
        // A team server whose address carries no login of the program's own: each person's
        // connection is checked as it opens instead.
        if (db.openFailure() == Database::OpenFailure::NoPassword) return QString();
        const QString shown = Database::isServerTarget(target) ? ServerAddresses::parse(target).display : target;
        QString text =
            QStringLiteral("The database %1 cannot be opened: %2").arg(shown, Database::describe(db.openFailure()));
        if (!db.openFailureDetail().isEmpty()) text += QStringLiteral(" (") + db.openFailureDetail() + u')';
        return text + u'.';
    }
    return layoutProblem(db);
}
