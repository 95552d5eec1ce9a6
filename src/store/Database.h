#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

struct sqlite3;

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

private:
    friend class Transaction;
    QString m_name;
    QString m_path;
    int m_transactionDepth = 0;
};

// Wraps a unit of work in one transaction; rolls back unless commit() was called.
// Transactions nest: an inner one is a savepoint of the outer, so a routine that is one
// unit on its own (creating a data table) can also be part of a larger unit (adding a
// sensor).
class Transaction {
public:
    explicit Transaction(Database& db);
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
