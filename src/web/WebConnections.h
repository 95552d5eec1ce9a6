#pragma once
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

class Database;

// Who a connection is for. An empty user: the program's own (a database file, or the
// server URI as given); otherwise a person's database login on the server.
struct Credentials {
    QString user;
    QString password;
};

// The web view's database connections. A connection is used only by the thread that
// opened it (Qt's SQL connections are bound to their thread), so each request thread has
// its own, one per person asking. A connection unused for IdleTime is closed by its thread
// when it next wakes (WebWorkers wakes it now and then for that), and every connection of a
// thread is closed when the thread ends.
//
// On a database file nothing but an acknowledgement can be written through these
// connections: the engine refuses any other change before it runs (see FileGuard in the
// .cpp). On a server the role's rights decide.
class WebConnections {
public:
    static constexpr std::chrono::minutes IdleTime{5};

    explicit WebConnections(QString target);
    ~WebConnections();
    WebConnections(const WebConnections&) = delete;
    WebConnections& operator=(const WebConnections&) = delete;

    const QString& target() const { return m_target; }
    bool isServer() const;

    // The calling thread's connection for who, opened at first use. Throws TwError when it
    // cannot be opened (with the engine's or server's reason: a refused login is a
    // StorageKind::NoPermission or ErrNo::PermissionDenied), or when the database is not at
    // this program's layout.
    Database& forThisThread(const Credentials& who);
    // A number naming the connection for the whole run (never given to another one), for
    // caches that must tell connections apart. 0 for a connection not opened here.
    quint64 serialOf(const Database& db) const;

    // Closes the calling thread's connections unused for longer than idle.
    void closeIdle(std::chrono::steady_clock::duration idle = IdleTime);
    // Closes every connection of the calling thread (the thread is ending).
    void closeThisThread();
    // How many connections are open, over all threads.
    int openCount() const;

    // Whether the open database is at this program's layout; empty when it is, otherwise
    // what to tell (an older one must be opened once in Tarnwell; a newer one needs a newer
    // program). Never changes the database.
    static QString layoutProblem(Database& db);
    // Opens target as the program itself and checks it; empty when it can be served.
    static QString checkTarget(const QString& target);

private:
    struct Entry;
    struct ThreadConnections;
    ThreadConnections& mine();
    std::unique_ptr<Database> open(const Credentials& who) const;

    QString m_target;
    mutable std::mutex m_lock;  // guards the map, not the connections (each its thread's)
    std::unordered_map<std::thread::id, std::unique_ptr<ThreadConnections>> m_threads;
};
