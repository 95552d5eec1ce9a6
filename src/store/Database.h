#pragma once
#include "core/TwError.h"
#include "store/StructureCheck.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QByteArrayView>
#include <functional>
#include <memory>
#include <string>
#include <optional>
#include <unordered_map>
#include <vector>
#include <unordered_set>

struct sqlite3;
struct sqlite3_stmt;

// The one database connection of a run: an SQLite file (named "TarnwellHALYX.mdb" for
// continuity with the files users already have), or a PostgreSQL server given by a
// connection URI ("postgresql://user@host:port/dbname") for a team sharing its data.
// Statements are written in the program's established SQL and translated by SqlDialect
// before they run (on a server, by the connection's own driver: see ServerDriver), so
// callers never ask which engine they talk to; what differs (table lists, columns, a new
// data table, row identities) is an operation of this class.
class Database {
public:
    // Each Database has its own connection name (a unique one unless given).
    explicit Database(QString connectionName = QString());
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file read-write. Never creates a file: a missing,
    // unreadable or non-SQLite file leaves the connection closed and returns false, and
    // openFailure() says why.
    // A server URI (see ServerAddresses::isServerUri) connects to that server instead;
    // password, when not empty, is used where the URI and the usual places give none.
    bool open(const QString& path, const QString& password = QString());

    // Whether the text names a database server (a postgresql:// URI) rather than a file.
    static bool isServerTarget(const QString& target);

    enum class Engine { File, Server };
    Engine engine() const { return m_engine; }
    bool isServer() const { return m_engine == Engine::Server; }

    // NeedsRecovery: a journal left by an interrupted save must be played back into the
    // file, but the folder it is in cannot be written.
    enum class OpenFailure {
        None,
        NoFile,
        NoPermission,
        NotADatabase,
        Damaged,
        Locked,
        Other,
        BadAddress,
        NoServer,
        NoPassword,
        NoDriver,
        NeedsRecovery
    };
    OpenFailure openFailure() const { return m_openFailure; }
    QString openFailureDetail() const { return m_openDetail; }  // the system's or engine's words
    // "there is no database file", "the file is damaged", ... (lower case, no full stop).
    static QString describe(OpenFailure failure);

    // Whether the open database can be written, found out by asking the engine and by
    // taking (and at once giving back) the write lock. Changes nothing.
    enum class WriteAccess { Writable, ReadOnlyFile, ReadOnlyFolder, Locked };
    WriteAccess probeWriteAccess();

    // Starts the engine's structural check of the open file in the background (see
    // StructureCheck); done runs on this thread with the outcome. Closing the connection
    // stops a check that is still running.
    void startStructureCheck(StructureCheck::Done done);
    bool structureCheckRunning() const { return m_check && m_check->running(); }
    // The damage the last finished check found (empty: none, or not checked yet).
    const QStringList& knownDamage() const { return m_knownDamage; }

    // How long a statement waits for another connection's lock before it fails as locked:
    // short, so the window never hangs for long without a word.
    static constexpr int BusyWaitMs = 1000;
    // On a server, how long an Immediate transaction waits for another writer's turn, and
    // the key of that turn among the server's transaction locks.
    static constexpr int ServerWriteLockWaitMs = 10000;
    static constexpr qint64 ServerWriteLockKey = 0x5457574c;
    // Called (from the waiting thread) when a statement of any connection starts to wait
    // for a lock; the background check uses it to step aside.
    static void setLockWaitNotice(std::function<void()> notice);
    // Creates a new, empty database file (used by the set-up tool only).
    bool create(const QString& path);
    void close();
    bool isOpen() const;

    // The file's path, or the server's URI without its password.
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

    // Changes each time the connection is closed, so holders of cached statements know
    // to ask again.
    quint64 generation() const { return m_generation; }
    // Whether a Transaction of this connection is open.
    bool inTransaction() const { return m_transactionDepth > 0; }

    // A mark of one table's state: two equal stamps mean that the table did not change in
    // between (no row of it written through this connection, nothing committed by another
    // connection, no table created or dropped, the connection not reopened). Rows written
    // and rolled back still change it, so equal stamps are a safe reason to reuse what was
    // read from the table. (Emptying a whole table with a bare DELETE is not seen until a
    // row is written again.)
    struct Stamp {
        quint64 generation = 0;
        quint64 tableWrites = 0;
        qint64 dataVersion = -1;
        qint64 schemaVersion = -1;
        quint64 rollbacks = 0;  // (file: what was read inside a rolled-back transaction is not current)
        bool operator==(const Stamp&) const = default;
    };
    // On a server the table's change counter (store/ServerChanges.h) tells: it moves with
    // every commit that wrote the table, this connection's own included, and with this
    // connection's own writes in its open transaction.
    Stamp stamp(const QString& table);
    // Server only: puts the change trigger on every table lacking it; returns how many got
    // one. Throws TwError.
    int trackChanges();
    // What was committed to one table as a server counts it (store/ServerChanges.h): the
    // transactions that wrote it and those that changed it otherwise than by adding rows.
    // Between two marks of equal edits the only change is added rows; of equal writes too,
    // none. Not known on a file, on a server without the counters, or inside a transaction
    // (whose changes may still be undone).
    struct AppendMark {
        bool known = false;
        quint64 generation = 0;
        qint64 writes = 0;
        qint64 edits = 0;
        // Whether nothing but rows were added between this mark and a later one.
        bool onlyAddedBefore(const AppendMark& later) const
        {
            return known && later.known && generation == later.generation && edits == later.edits &&
                   later.writes >= writes;
        }
    };
    AppendMark appendMark(const QString& table);

    // ---- operations each engine does its own way ----
    // Whether a table of that name exists (names compare without case).
    bool tableExists(const QString& name);
    // Every table of the database, as the program spells them (the engine's and the
    // connection's own bookkeeping tables left out).
    QStringList tableNames();
    struct Column {
        QString name;
        QString type;  // as declared in SQLite terms: TEXT, REAL, INTEGER, BOOLEAN, BLOB
    };
    // The data columns of a table in order (the server's row identity is not one of them).
    // Empty when there is no such table.
    QList<Column> columns(const QString& table);
    // Creates table name shaped like the template: the same columns, defaults and
    // indexes (index names taken from the template's, with the new table's name).
    void createTableLike(const QString& name, const QString& templateName);
    // Whether a unique index of the table covers exactly this column.
    bool hasUniqueIndexOn(const QString& table, const QString& column);
    // The row identity of the row the last INSERT through execute() or a Statement added
    // (file only; on a server add " RETURNING rowid" to the INSERT).
    qint64 lastInsertRowId() const;

    // Runs SQL written in the server's own dialect, untranslated (server connections only:
    // for the few statements built for the server alone, such as batched writes).
    void executeOnServer(const QString& sql) { serverExec(sql); }
    // The server's own connection (statements on it are not translated).
    QSqlDatabase serverConnection() const { return serverInner(); }
    // Sends rows in the server's bulk copy text format (tab-separated columns, \N for null,
    // one line per row) into table (server connections only). Throws TwError.
    // binary: the rows are in the copy's binary format instead (header and trailer included).
    void copyToServer(const QString& table, const QByteArray& rows, bool binary = false);

    // The Statements of this connection, let go when it closes.
    void adoptStatement(class Statement* st) { m_liveStatements.insert(st); }
    void dropStatement(class Statement* st) { m_liveStatements.erase(st); }

    // Called by the engine for every row written through this connection.
    void noteWrite(const char* table, qint64 rowid);
    // The rows of table written (inserted, updated or deleted) through this connection since
    // its stamp's tableWrites was since, as the engine told them (a row may come more than
    // once); nullopt when not all of them are remembered (file connections remember the
    // last RowsRemembered of each table; a server's, none).
    std::optional<std::vector<qint64>> rowsWrittenSince(const QString& table, quint64 since) const;
    static constexpr size_t RowsRemembered = 100000;

    // Who changes rows through this connection: the login name unless set otherwise (tests
    // play two users). Written into ChangedBy with every change of a sensor or a reading.
    const QString& userName() const { return m_userName; }
    void setUserName(const QString& name) { m_userName = name; }
    static QString loginName();

    // A mark of what other connections have committed: two equal marks mean that no other
    // connection (another copy of the program, tarnwell-import) committed a change to any
    // table in between, and that this connection was not reopened. Cheap enough to ask
    // before every move.
    Stamp othersStamp();

    // Sets the test the connection's SQL calls as name(text) (see TextTest in
    // store/Statement.h); an empty test makes such calls fail. Throws TwError when the
    // engine refuses the name.
    void setTextTest(const QByteArray& name, std::function<bool(QByteArrayView)> test);

private:
    friend class Transaction;
    bool connectTo(const QString& path, bool readSchema);
    bool connectServer(const QString& uri, const QString& password);
    // Runs SQL in the server's own dialect, untranslated (server connections only).
    void serverExec(const QString& sql, const QVariantList& binds = {});
    QVariant serverScalar(const QString& sql, const QVariantList& binds = {});
    QSqlDatabase serverInner() const;
    Stamp serverStamp(const QString& query);

    QString m_name;
    QString m_path;
    Engine m_engine = Engine::File;
    quint64 m_serverStamps = 0;
    bool m_changesTracked = false;
    std::unordered_set<class Statement*> m_liveStatements;
    QString m_userName = loginName();
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openDetail;
    std::unique_ptr<StructureCheck> m_check;
    QStringList m_knownDamage;
    int m_transactionDepth = 0;
    quint64 m_rollbacks = 0;
    quint64 m_generation = 0;
    // Rows written per table through this connection (by the engine's name of the table).
    // Rows written per table: how many, and which (the latest RowsRemembered at most;
    // rows[i] is write number firstKept + i).
    struct TableWrites {
        quint64 count = 0;
        quint64 firstKept = 1;
        std::vector<qint64> rows;
    };
    std::unordered_map<std::string, TableWrites> m_tableWrites;
    std::string m_lastTable;
    TableWrites* m_lastTableWrites = nullptr;
    // The text tests this connection's SQL knows, each at a fixed address the engine holds.
    std::unordered_map<std::string, std::unique_ptr<std::function<bool(QByteArrayView)>>> m_textTests;
};

// Wraps a unit of work in one transaction; rolls back unless commit() was called.
// Transactions nest: an inner one is a savepoint of the outer, so a routine that is one
// unit on its own (creating a data table) can also be part of a larger unit (adding a
// sensor).
class Transaction {
public:
    // Immediate takes the write lock when the transaction begins (waiting for another
    // process's writing to end), so two writers never find out too late that they clash.
    // Snapshot: every read sees the database as it was at the transaction's first
    // statement, and a write to a row another connection changed since then fails
    // (StorageKind::Locked), so nothing is written over a change that was not read. (A
    // file's transaction is like that already: its first write fails when another
    // connection committed since it began reading.)
    enum class Lock { Deferred, Immediate, Snapshot };
    explicit Transaction(Database& db, Lock lock = Lock::Deferred);
    ~Transaction();
    void commit();

private:
    Database& m_db;
    bool m_done = false;
    int m_level = 0;
};

// Turns the last error of a query or the connection into a TwError (the engine's own
// code when it gives one; a fault of the file itself is marked as a storage fault).
[[noreturn]] void throwSqlError(const class QSqlError& err);

// The storage fault an engine result code (primary or extended) stands for, if any.
StorageKind storageKindOf(int engineCode);

// Makes a connection of the engine's own interface wait for locks as the program's
// connections do (Database::BusyWaitMs).
void useShortLockWait(sqlite3* handle);
