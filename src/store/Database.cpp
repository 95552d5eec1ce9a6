#include "store/Database.h"
#include "core/TwError.h"
#include "store/ServerChanges.h"
#include "store/ServerDriver.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"
#include "store/LockWait.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <map>
#include <sqlite3.h>
#include <pwd.h>
#include <unistd.h>

StorageKind storageKindOf(int engineCode)
{
    switch (engineCode & 0xff) {
        case SQLITE_READONLY:
            return StorageKind::ReadOnly;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StorageKind::Locked;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return StorageKind::Damaged;
        case SQLITE_FULL:
            return StorageKind::DiskFull;
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
        case SQLITE_AUTH:
            return StorageKind::NoPermission;
        case SQLITE_IOERR:
            return StorageKind::DiskError;
        default:
            return StorageKind::None;
    }
}

namespace {
// The engine's report of a row written (inserted, updated or deleted) through a connection.
void onRowWritten(void* self, int, const char*, const char* table, sqlite3_int64 rowid)
{
    static_cast<Database*>(self)->noteWrite(table, rowid);
}

void callTextTest(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const auto* test = static_cast<const std::function<bool(QByteArrayView)>*>(sqlite3_user_data(ctx));
    if (!*test) {
        sqlite3_result_error(ctx, "no test is set for this function", -1);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    try {
        sqlite3_result_int(ctx, (*test)(QByteArrayView(p ? p : "", n)) ? 1 : 0);
    } catch (...) {
        sqlite3_result_error(ctx, "the test of a text failed", -1);
    }
}
}  // namespace

namespace {
// The fault a server's state code (class and code, "08006") stands for.
StorageKind serverKindOf(const QString& state, QSqlError::ErrorType type)
{
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")) ||
        (state.isEmpty() && type == QSqlError::ConnectionError))
        return StorageKind::ServerGone;
    if (state == QLatin1String("42501") || state.startsWith(QLatin1String("28"))) return StorageKind::NoPermission;
    if (state == QLatin1String("25006")) return StorageKind::ReadOnly;
    if (state == QLatin1String("53100")) return StorageKind::DiskFull;
    // (40001: a row changed by another transaction since this one's snapshot.)
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") || state == QLatin1String("40001"))
        return StorageKind::Locked;
    if (state.startsWith(QLatin1String("XX"))) return StorageKind::Damaged;
    return StorageKind::None;
}
}  // namespace

void throwSqlError(const QSqlError& err)
{
    const QString native = err.nativeErrorCode();
    // The server's five-character state, marked by the translating driver, or as the
    // server's own connection gives it (SQLite's codes have at most four digits).
    if (native.startsWith(QLatin1String("pg:")) || native.size() == 5) {
        QString text = err.databaseText();
        if (text.isEmpty()) text = err.text();
        const QString state = native.startsWith(QLatin1String("pg:")) ? native.mid(3) : native;
        throw TwError(ErrNo::DatabaseError, text.trimmed(), serverKindOf(state, err.type()));
    }
    bool ok = false;
    int code = native.toInt(&ok);
    const StorageKind kind = ok ? storageKindOf(code) : StorageKind::None;
    if (!ok || code == 0) code = ErrNo::DatabaseError;
    QString text = err.databaseText();
    if (text.isEmpty()) text = err.text();
    throw TwError(code, text, kind);
}

namespace {

std::function<void()>& lockWaitNotice()
{
    static std::function<void()> notice;
    return notice;
}
QMutex g_noticeMutex;
std::map<int, std::function<void()>>& lockWaitListeners()
{
    static std::map<int, std::function<void()>> listeners;
    return listeners;
}

// Waits for another connection's lock in short sleeps, for at most BusyWaitMs.
int waitForLock(void*, int count)
{
    constexpr int Step = 10;
    if (count == 0) {
        QMutexLocker lock(&g_noticeMutex);
        if (lockWaitNotice()) lockWaitNotice()();
        for (const auto& [id, listener] : lockWaitListeners()) listener();
    }
    if (count * Step >= Database::BusyWaitMs) return 0;
    sqlite3_sleep(Step);
    return 1;
}

}  // namespace

void Database::setLockWaitNotice(std::function<void()> notice)
{
    QMutexLocker lock(&g_noticeMutex);
    lockWaitNotice() = std::move(notice);
}

int LockWait::addListener(std::function<void()> listener)
{
    static int lastId = 0;
    QMutexLocker lock(&g_noticeMutex);
    lockWaitListeners().emplace(++lastId, std::move(listener));
    return lastId;
}

void LockWait::removeListener(int id)
{
    QMutexLocker lock(&g_noticeMutex);
    lockWaitListeners().erase(id);
}

void useShortLockWait(sqlite3* handle)
{
    if (handle) sqlite3_busy_handler(handle, &waitForLock, nullptr);
}

QString Database::describe(OpenFailure failure)
{
    switch (failure) {
        case OpenFailure::NoFile:
            return QStringLiteral("there is no database file");
        case OpenFailure::NoPermission:
            return QStringLiteral("Tarnwell is not allowed to read the database file");
        case OpenFailure::NotADatabase:
            return QStringLiteral("the file is not a Tarnwell database");
        case OpenFailure::Damaged:
            return QStringLiteral("the database file is damaged");
        case OpenFailure::Locked:
            return QStringLiteral("another program is using the database and has locked it");
        case OpenFailure::Other:
            return QStringLiteral("the database file could not be opened");
        case OpenFailure::BadAddress:
            return QStringLiteral("the address of the database server is not a valid postgresql:// address");
        case OpenFailure::NoServer:
            return QStringLiteral("Tarnwell could not connect to the database server");
        case OpenFailure::NoPassword:
            return QStringLiteral("the database server asks for a password");
        case OpenFailure::NeedsRecovery:
            return QStringLiteral("the database file needs recovery, but its folder is read-only");
        case OpenFailure::NoDriver:
            return QStringLiteral("the PostgreSQL driver of Qt (libqt6sql6-psql) is not installed");
        case OpenFailure::None:
            break;
    }
    return QString();
}

Database::Database(QString connectionName) : m_name(std::move(connectionName))
{
    static QAtomicInt counter;
    if (m_name.isEmpty()) m_name = QStringLiteral("tarnwell-%1").arg(counter.fetchAndAddRelaxed(1));
}

Database::~Database() { close(); }

bool Database::isServerTarget(const QString& target) { return ServerAddresses::isServerUri(target); }

bool Database::looksLikeSqlite(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(16);
    return head == QByteArray("SQLite format 3\0", 16);
}

bool Database::open(const QString& path, const QString& password)
{
    close();
    m_openFailure = OpenFailure::None;
    m_openDetail.clear();
    if (ServerAddresses::isServerUri(path)) return connectServer(path, password);
    const QFileInfo file(path);
    if (!file.exists()) {
        // A folder that may not be looked into hides the file as well as a missing one.
        const QFileInfo folder(file.absolutePath());
        m_openFailure = folder.exists() && !folder.isExecutable() ? OpenFailure::NoPermission : OpenFailure::NoFile;
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_openFailure = OpenFailure::NoPermission;
        m_openDetail = f.errorString();
        return false;
    }
    f.close();
    if (!looksLikeSqlite(path)) {
        m_openFailure = OpenFailure::NotADatabase;
        return false;
    }
    if (connectTo(path, true)) return true;
    // A save cut short leaves its journal beside the file, and the engine plays it back
    // into the file (and removes it) before anything is read: in a folder that cannot be
    // written that fails as a bare disk I/O error, which is not what is wrong.
    const QString journal = path + QStringLiteral("-journal");
    const QByteArray folder = QFile::encodeName(file.absolutePath());
    if (QFileInfo(journal).size() > 0 && ::access(folder.constData(), W_OK | X_OK) != 0) {
        m_openFailure = OpenFailure::NeedsRecovery;
        m_openDetail = QStringLiteral("a save was interrupted, and its journal ") + QFileInfo(journal).fileName() +
                       QStringLiteral(
                           " must be played back into the file, which removes the journal from the folder; "
                           "once the folder can be written, Tarnwell does that at the next start and "
                           "nothing is lost");
    }
    return false;
}

bool Database::create(const QString& path)
{
    close();
    return connectTo(path, false);
}

bool Database::connectTo(const QString& path, bool readSchema)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlError error = db.lastError();
        if (ok) {
            QVariant v = db.driver()->handle();
            if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
                useShortLockWait(*static_cast<sqlite3* const*>(v.data()));
        }
        if (ok && readSchema) {
            // A file with a valid header can still be damaged: read the schema once.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
            if (!ok) error = q.lastError();
        }
        if (!ok) {
            bool numeric = false;
            const int code = error.nativeErrorCode().toInt(&numeric);
            switch (numeric ? storageKindOf(code) : StorageKind::None) {
                case StorageKind::Locked:
                    m_openFailure = OpenFailure::Locked;
                    break;
                case StorageKind::Damaged:
                    m_openFailure = OpenFailure::Damaged;
                    break;
                case StorageKind::NoPermission:
                case StorageKind::ReadOnly:
                    m_openFailure = OpenFailure::NoPermission;
                    break;
                default:
                    m_openFailure = OpenFailure::Other;
                    break;
            }
            m_openDetail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
            db.close();
        }
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_path = path;
    m_engine = Engine::File;
    if (sqlite3* h = sqliteHandle()) sqlite3_update_hook(h, &onRowWritten, this);
    return true;
}

namespace {
// The password each server address was last opened with in this run (in memory only), so
// that every further connection the program opens to that address - a table check, a
// restore, a second window - logs in as the open one did, wherever its password came from.
QMutex g_passwordsLock;
QHash<QString, QString> g_passwords;
}  // namespace

bool Database::connectServer(const QString& uri, const QString& givenPassword)
{
    const ServerAddress a = ServerAddresses::parse(uri);
    if (!a.valid) {
        m_openFailure = OpenFailure::BadAddress;
        return false;
    }
    QString password = a.password.isEmpty() ? givenPassword : a.password;
    bool remembered = false;
    if (password.isEmpty()) {
        QMutexLocker lock(&g_passwordsLock);
        password = g_passwords.value(a.display);
        remembered = !password.isEmpty();
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_openFailure = OpenFailure::NoDriver;
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(new ServerDriver(), m_name);
        db.setDatabaseName(a.database);
        db.setUserName(a.user);
        db.setPassword(password);
        db.setHostName(a.host);
        db.setPort(a.port);
        db.setConnectOptions(a.options);
        ok = db.open();
        if (!ok) {
            const QSqlError e = db.lastError();
            m_openDetail = (e.databaseText().isEmpty() ? e.driverText() : e.databaseText()).trimmed();
            const QString state = e.nativeErrorCode().mid(3);
            if (m_openDetail.contains(QLatin1String("no password supplied")) ||
                m_openDetail.contains(QLatin1String("password authentication failed")))
                m_openFailure = OpenFailure::NoPassword;
            else if (state.startsWith(QLatin1String("28")) || state == QLatin1String("42501"))
                m_openFailure = OpenFailure::NoPermission;
            else m_openFailure = OpenFailure::NoServer;
            db.close();
        }
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(m_name);
        // A remembered password the server no longer takes (changed meanwhile) is let go,
        // and the usual places (~/.pgpass, PGPASSWORD) are tried instead.
        if (remembered && m_openFailure == OpenFailure::NoPassword) {
            {
                QMutexLocker lock(&g_passwordsLock);
                g_passwords.remove(a.display);
            }
            m_openFailure = OpenFailure::None;
            m_openDetail.clear();
            return connectServer(uri, givenPassword);
        }
        return false;
    }
    if (!password.isEmpty()) {
        QMutexLocker lock(&g_passwordsLock);
        g_passwords.insert(a.display, password);
    }
    m_path = a.display;
    m_engine = Engine::Server;
    // Stamps are read from the change counters only when every table keeps them (a
    // database set up by an earlier version lacks them until set up again).
    m_changesTracked = ServerChanges::everyTableTracked(serverInner());
    return true;
}

QSqlDatabase Database::serverInner() const
{
    if (auto* d = dynamic_cast<ServerDriver*>(handle().driver())) {
        // The server's own statements connect again after a lost connection too, as the
        // translated ones do (never inside a transaction that was cut off).
        d->reconnectIfLost();
        return d->inner();
    }
    return QSqlDatabase();
}

void Database::serverExec(const QString& sql, const QVariantList& binds)
{
    QSqlQuery q(serverInner());
    if (binds.isEmpty()) {
        // Not prepared: the server prepares queries and row changes only.
        if (!q.exec(sql)) throwSqlError(q.lastError());
        return;
    }
    if (!q.prepare(sql)) throwSqlError(q.lastError());
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
}

Database::WriteAccess Database::probeWriteAccess()
{
    if (isServer() && isOpen()) return WriteAccess::Writable;  // the server refuses what a user may not do
    sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
    if (!h) return WriteAccess::ReadOnlyFile;
    // The engine opens a file it may not write read-only.
    if (sqlite3_db_readonly(h, "main") == 1) return WriteAccess::ReadOnlyFile;
    // Every save keeps a journal beside the file, so the folder must be writable too.
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0) return WriteAccess::ReadOnlyFolder;
    if (m_transactionDepth > 0) return WriteAccess::Writable;
    const int rc = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        return WriteAccess::Writable;
    }
    switch (storageKindOf(rc)) {
        case StorageKind::Locked:
            return WriteAccess::Locked;
        case StorageKind::ReadOnly:
            return WriteAccess::ReadOnlyFile;
        default:
            return WriteAccess::Writable;  // anything else shows itself at the first save
    }
}

void Database::noteWrite(const char* table, qint64 rowid)
{
    // Rows come in long runs of the same table: one string compare each.
    if (!m_lastTableWrites || m_lastTable != table) {
        m_lastTable = table;
        m_lastTableWrites = &m_tableWrites[m_lastTable];
    }
    TableWrites& w = *m_lastTableWrites;
    ++w.count;
    if (w.rows.size() >= RowsRemembered) {
        // Too many to remember: the earlier ones are let go at once.
        w.rows.clear();
        w.firstKept = w.count;
    }
    w.rows.push_back(rowid);
}

std::optional<std::vector<qint64>> Database::rowsWrittenSince(const QString& table, quint64 since) const
{
    if (isServer()) return std::nullopt;
    const auto it = m_tableWrites.find(table.toStdString());
    if (it == m_tableWrites.end()) return since == 0 ? std::optional(std::vector<qint64>()) : std::nullopt;
    const TableWrites& w = it->second;
    if (since > w.count || since + 1 < w.firstKept) return std::nullopt;
    return std::vector<qint64>(w.rows.begin() + qsizetype(since + 1 - w.firstKept), w.rows.end());
}

void Database::setTextTest(const QByteArray& name, std::function<bool(QByteArrayView)> test)
{
    if (isServer()) {
        if (auto* d = dynamic_cast<ServerDriver*>(handle().driver())) d->setTextTest(name, std::move(test));
        return;
    }
    auto it = m_textTests.find(name.toStdString());
    if (it == m_textTests.end()) {
        sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
        if (!h) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
        auto slot = std::make_unique<std::function<bool(QByteArrayView)>>();
        const int rc = sqlite3_create_function_v2(h, name.constData(), 1, SQLITE_UTF8, slot.get(), &callTextTest,
                                                  nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) throw TwError(rc, QString::fromUtf8(sqlite3_errmsg(h)));
        it = m_textTests.emplace(name.toStdString(), std::move(slot)).first;
    }
    *it->second = std::move(test);
}

Database::Stamp Database::stamp(const QString& table)
{
    Stamp s;
    s.generation = m_generation;
    if (isServer()) return serverStamp(ServerChanges::tableQuery(table));
    sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
    if (!h) return s;
    const auto it = m_tableWrites.find(table.toStdString());
    s.tableWrites = it == m_tableWrites.end() ? 0 : it->second.count;
    s.rollbacks = m_rollbacks;
    auto pragma = [&](const char* sql) {
        qint64 v = -1;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    };
    s.dataVersion = pragma("PRAGMA data_version");
    s.schemaVersion = pragma("PRAGMA schema_version");
    return s;
}

Database::Stamp Database::serverStamp(const QString& query)
{
    Stamp s;
    s.generation = m_generation;
    auto* driver = dynamic_cast<ServerDriver*>(handle().driver());
    if (m_changesTracked && driver) {
        // A connection made again is a new session: its own tally starts again.
        driver->reconnectIfLost();
        s.generation = m_generation + (quint64(driver->generation()) << 32);
        QSqlQuery q(driver->inner());
        q.setForwardOnly(true);
        if (q.exec(query) && q.next()) {
            s.dataVersion = q.value(0).toLongLong();  // (null: not written since it was made)
            const int columns = q.record().count();
            s.schemaVersion = columns > 1 ? q.value(1).toLongLong() : 0;
            s.tableWrites = columns > 2 ? q.value(2).toULongLong() : 0;
            return s;
        }
    }
    // Nothing to tell by (or the question failed: the next statement meets the reason):
    // counts as changed at every look.
    s.tableWrites = ++m_serverStamps;
    s.dataVersion = -2;
    return s;
}

Database::AppendMark Database::appendMark(const QString& table)
{
    AppendMark m;
    auto* driver = isServer() ? dynamic_cast<ServerDriver*>(handle().driver()) : nullptr;
    if (!m_changesTracked || !driver || inTransaction()) return m;
    driver->reconnectIfLost();
    m.generation = m_generation + (quint64(driver->generation()) << 32);
    QSqlQuery q(driver->inner());
    q.setForwardOnly(true);
    if (q.exec(ServerChanges::appendsQuery(table)) && q.next() && q.value(0).toBool()) {
        m.known = true;
        m.writes = q.value(1).toLongLong();
        m.edits = q.value(2).toLongLong();
    }
    return m;
}

int Database::trackChanges()
{
    if (!isServer()) return 0;
    QSqlError e;
    int added = 0;
    if (!ServerChanges::ensureSetUp(serverInner(), &e) || !ServerChanges::trackAll(serverInner(), &added, &e))
        throwSqlError(e);
    m_changesTracked = ServerChanges::everyTableTracked(serverInner());
    return added;
}

QString Database::loginName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) name = qEnvironmentVariable("LOGNAME");
    // Started without a login's environment (a service, a scheduled job): the account's name.
    if (name.isEmpty())
        if (const passwd* pw = getpwuid(geteuid())) name = QString::fromLocal8Bit(pw->pw_name);
    return name;
}

Database::Stamp Database::othersStamp()
{
    if (isServer()) return serverStamp(ServerChanges::othersQuery());
    Stamp s = stamp(QString());
    s.tableWrites = 0;
    s.rollbacks = 0;
    return s;
}

void Database::startStructureCheck(StructureCheck::Done done)
{
    if (!isOpen() || isServer()) return;  // the server looks after its own storage
    m_check =
        std::make_unique<StructureCheck>(m_path, [this, done = std::move(done)](const StructureCheck::Outcome& o) {
            m_knownDamage = o.problems;
            if (done) done(o);
        });
    m_check->start();
}

void Database::close()
{
    m_check.reset();
    m_knownDamage.clear();
    for (Statement* st : m_liveStatements) st->release();
    m_liveStatements.clear();
    ++m_generation;
    m_tableWrites.clear();
    m_lastTableWrites = nullptr;
    m_lastTable.clear();
    if (isOpen())
        if (sqlite3* h = sqliteHandle()) sqlite3_update_hook(h, nullptr, nullptr);
    // The engine's functions end with the connection; their tests are dropped after it.
    std::unordered_map<std::string, std::unique_ptr<std::function<bool(QByteArrayView)>>> tests;
    tests.swap(m_textTests);
    if (!QSqlDatabase::contains(m_name)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen()) db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_path.clear();
    m_engine = Engine::File;
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QString Database::connectionString() const
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + m_path;
}

QSqlDatabase Database::handle() const { return QSqlDatabase::database(m_name, false); }

sqlite3* Database::sqliteHandle() const
{
    QVariant v = handle().driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0) return *static_cast<sqlite3* const*>(v.data());
    return nullptr;
}

qint64 Database::execute(const QString& sql, const QVariantList& binds)
{
    if (!isOpen()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    QSqlQuery q(handle());
    if (!q.prepare(SqlDialect::translate(sql))) throwSqlError(q.lastError());
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
    return q.numRowsAffected();
}

QVariant Database::scalar(const QString& sql, const QVariantList& binds)
{
    if (!isOpen()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    if (!q.prepare(SqlDialect::translate(sql))) throwSqlError(q.lastError());
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
    return q.next() ? q.value(0) : QVariant();
}

Transaction::Transaction(Database& db, Lock lock) : m_db(db), m_level(db.m_transactionDepth)
{
    if (m_level == 0) {
        // Run as plain statements, so a failure keeps the engine's own code. (A server
        // locks rows as they are written: there is no write lock to take first.)
        QSqlQuery q(m_db.handle());
        if (!q.exec(lock == Lock::Immediate && !db.isServer() ? QStringLiteral("BEGIN IMMEDIATE")
                                                              : QStringLiteral("BEGIN")))
            throwSqlError(q.lastError());
        if (lock == Lock::Snapshot && db.isServer()) {
            QSqlQuery l(db.serverInner());
            if (!l.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"))) {
                const QSqlError e = l.lastError();
                QSqlQuery(m_db.handle()).exec(QStringLiteral("ROLLBACK"));
                throwSqlError(e);
            }
        }
        if (lock == Lock::Immediate && db.isServer()) {
            // The file's write lock, on a server: one transaction lock that every writer
            // asking for it takes in turn (released when the transaction ends).
            QSqlQuery l(db.serverInner());
            if (!l.exec(QStringLiteral("SET LOCAL lock_timeout = '%1ms'").arg(Database::ServerWriteLockWaitMs)) ||
                !l.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(Database::ServerWriteLockKey))) {
                const QSqlError e = l.lastError();
                QSqlQuery(m_db.handle()).exec(QStringLiteral("ROLLBACK"));
                throwSqlError(e);
            }
        }
    } else {
        m_db.execute(QStringLiteral("SAVEPOINT tw_%1").arg(m_level));
    }
    ++m_db.m_transactionDepth;
}

Transaction::~Transaction()
{
    if (m_done) return;
    --m_db.m_transactionDepth;
    ++m_db.m_rollbacks;
    if (m_level == 0) {
        QSqlQuery q(m_db.handle());
        q.exec(QStringLiteral("ROLLBACK"));
    } else {
        QSqlQuery q(m_db.handle());
        q.exec(QStringLiteral("ROLLBACK TO tw_%1").arg(m_level));
        q.exec(QStringLiteral("RELEASE tw_%1").arg(m_level));
    }
}

void Transaction::commit()
{
    if (m_level == 0) {
        QSqlQuery q(m_db.handle());
        if (!q.exec(QStringLiteral("COMMIT"))) throwSqlError(q.lastError());
    } else {
        m_db.execute(QStringLiteral("RELEASE tw_%1").arg(m_level));
    }
    m_done = true;
    --m_db.m_transactionDepth;
}
