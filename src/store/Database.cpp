#include "store/Database.h"
#include "core/TwError.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {
// The engine's report of a row written (inserted, updated or deleted) through a connection.
void onRowWritten(void* self, int, const char*, const char* table, sqlite3_int64)
{
    static_cast<Database*>(self)->noteWrite(table);
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

void throwSqlError(const QSqlError& err)
{
    bool ok = false;
    int code = err.nativeErrorCode().toInt(&ok);
    if (!ok || code == 0) code = ErrNo::DatabaseError;
    QString text = err.databaseText();
    if (text.isEmpty()) text = err.text();
    throw TwError(code, text);
}

Database::Database(QString connectionName) : m_name(std::move(connectionName))
{
    static QAtomicInt counter;
    if (m_name.isEmpty()) m_name = QStringLiteral("tarnwell-%1").arg(counter.fetchAndAddRelaxed(1));
}

Database::~Database() { close(); }

bool Database::looksLikeSqlite(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(16);
    return head == QByteArray("SQLite format 3\0", 16);
}

bool Database::open(const QString& path)
{
    close();
    if (!QFile::exists(path) || !looksLikeSqlite(path)) return false;
    return connectTo(path, true);
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
        if (ok && readSchema) {
            // A file with a valid header can still be damaged: read the schema once.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        }
        if (!ok) db.close();
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_path = path;
    if (sqlite3* h = sqliteHandle()) sqlite3_update_hook(h, &onRowWritten, this);
    return true;
}

void Database::finalizeStatements()
{
    for (sqlite3_stmt* st : std::as_const(m_statements)) sqlite3_finalize(st);
    m_statements.clear();
}

sqlite3_stmt* Database::cachedStatement(const QString& sql)
{
    auto it = m_statements.constFind(sql);
    if (it != m_statements.constEnd()) return *it;
    sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
    if (!h) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(h, text.constData(), int(text.size()), &st, nullptr);
    if (rc != SQLITE_OK || !st) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(h));
        if (st) sqlite3_finalize(st);
        throw TwError(rc, message);
    }
    m_statements.insert(sql, st);
    return st;
}

void Database::noteWrite(const char* table)
{
    // Rows come in long runs of the same table: one string compare each.
    if (!m_lastTableWrites || m_lastTable != table) {
        m_lastTable = table;
        m_lastTableWrites = &m_tableWrites[m_lastTable];
    }
    ++*m_lastTableWrites;
}

void Database::setTextTest(const QByteArray& name, std::function<bool(QByteArrayView)> test)
{
    auto it = m_textTests.find(name.toStdString());
    if (it == m_textTests.end()) {
        sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
        if (!h) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
        auto slot = std::make_unique<std::function<bool(QByteArrayView)>>();
        const int rc = sqlite3_create_function_v2(h, name.constData(), 1, SQLITE_UTF8, slot.get(), &callTextTest, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK) throw TwError(rc, QString::fromUtf8(sqlite3_errmsg(h)));
        it = m_textTests.emplace(name.toStdString(), std::move(slot)).first;
    }
    *it->second = std::move(test);
}

Database::Stamp Database::stamp(const QString& table)
{
    Stamp s;
    s.generation = m_generation;
    sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
    if (!h) return s;
    const auto it = m_tableWrites.find(table.toStdString());
    s.tableWrites = it == m_tableWrites.end() ? 0 : it->second;
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

void execStatement(sqlite3_stmt* st, const QVariant* values, int count)
{
    for (int i = 0; i < count; ++i) {
        const QVariant& v = values[i];
        const int p = i + 1;
        if (v.isNull() || !v.isValid()) { sqlite3_bind_null(st, p); continue; }
        switch (v.typeId()) {
        case QMetaType::Double: case QMetaType::Float: sqlite3_bind_double(st, p, v.toDouble()); break;
        case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        case QMetaType::Bool:
            sqlite3_bind_int64(st, p, v.toLongLong());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            sqlite3_bind_blob(st, p, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QString t = v.toString();
            sqlite3_bind_text16(st, p, t.utf16(), int(t.size()) * 2, SQLITE_TRANSIENT);
            break;
        }
        }
    }
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st)));
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        throw TwError(rc, message);
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
}

void Database::close()
{
    finalizeStatements();
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
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.data());
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
    if (m_level == 0 && lock == Lock::Immediate) {
        QSqlQuery q(m_db.handle());
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) throwSqlError(q.lastError());
    } else if (m_level == 0) {
        if (!m_db.handle().transaction()) throwSqlError(m_db.handle().lastError());
    } else {
        m_db.execute(QStringLiteral("SAVEPOINT tw_%1").arg(m_level));
    }
    ++m_db.m_transactionDepth;
}

Transaction::~Transaction()
{
    if (m_done) return;
    --m_db.m_transactionDepth;
    if (m_level == 0) {
        m_db.handle().rollback();
    } else {
        QSqlQuery q(m_db.handle());
        q.exec(QStringLiteral("ROLLBACK TO tw_%1").arg(m_level));
        q.exec(QStringLiteral("RELEASE tw_%1").arg(m_level));
    }
}

void Transaction::commit()
{
    if (m_level == 0) {
        if (!m_db.handle().commit()) throwSqlError(m_db.handle().lastError());
    } else {
        m_db.execute(QStringLiteral("RELEASE tw_%1").arg(m_level));
    }
    m_done = true;
    --m_db.m_transactionDepth;
}
