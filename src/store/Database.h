#pragma once
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// The one database connection of a run (an SQLite file, named "TarnwellHALYX.mdb" for
// continuity with the files users already have). Statements are written in the program's
// established SQL and translated to SQLite's dialect by SqlDialect before they run.
class Database {
public:
    // Each Database has its own connection name (a unique one unless given).
    explicit Database(QString connectionName = QString());
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file read-write. Never creates a file: a missing,
    // unreadable or non-SQLite file leaves the connection closed and returns false.
    bool open(const QString& path);
    // Creates a new, empty database file (used by the set-up tool only).
    bool create(const QString& path);
    void close();
    bool isOpen() const;

    const QString& path() const { return m_path; }
    QString connectionString() const;
    QSqlDatabase handle() const;
    sqlite3* sqliteHandle() const;

    // Runs one statement (translated). Throws TwError on failure. Returns rows affected.
    qint64 execute(const QString& sql, const QVariantList& binds = {});
    // Runs a query and returns the first column of the first row (null when none).
    QVariant scalar(const QString& sql, const QVariantList& binds = {});

    // True when the file at path starts with the SQLite header (cheap, no connection).
    static bool looksLikeSqlite(const QString& path);

    // A statement of this connection prepared through the engine's own interface (no
    // translation), kept for reuse and finalized when the connection closes. Used where
    // one statement runs once per row of a large set. Throws TwError when it does not
    // prepare or the connection is closed.
    sqlite3_stmt* cachedStatement(const QString& sql);
    // Changes each time the connection is closed, so holders of cached statements know
    // to ask again.
    quint64 generation() const { return m_generation; }

private:
    friend class Transaction;
    bool connectTo(const QString& path, bool readSchema);
    void finalizeStatements();

    QString m_name;
    QString m_path;
    int m_transactionDepth = 0;
    QHash<QString, sqlite3_stmt*> m_statements;
    quint64 m_generation = 0;
};

// Runs a cached statement once with the given values bound (null, integer, double, text
// or bytes) and resets it. Throws TwError with the engine's code and message on failure.
void execStatement(sqlite3_stmt* st, const QVariant* values, int count);

// Wraps a unit of work in one transaction; rolls back unless commit() was called.
// Transactions nest: an inner one is a savepoint of the outer, so a routine that is one
// unit on its own (creating a data table) can also be part of a larger unit (adding a
// sensor).
class Transaction {
public:
    // Immediate takes the write lock when the transaction begins (waiting for another
    // process's writing to end), so two writers never find out too late that they clash.
    enum class Lock { Deferred, Immediate };
    explicit Transaction(Database& db, Lock lock = Lock::Deferred);
    ~Transaction();
    void commit();
private:
    Database& m_db;
    bool m_done = false;
    int m_level = 0;
};

// Turns the last error of a query or the connection into a TwError (the engine's own
// code when it gives one).
[[noreturn]] void throwSqlError(const class QSqlError& err);
