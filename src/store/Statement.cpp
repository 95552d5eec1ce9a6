#include "store/Statement.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/ServerDriver.h"

#include <QLocale>
#include <QSqlError>
#include <QVarLengthArray>
#include <atomic>
#include <charconv>
#include <cmath>
#include <libpq-fe.h>
#include <limits>
#include <sqlite3.h>
#include <vector>

// A server's statement: prepared on the server's own connection under a name of its own
// and run there directly, values going both ways as text (the server's own spelling of
// each value, read straight from its result: no conversion per value on the way). A run's
// rows are taken whole, since other statements may run on the connection while they are
// read (a pass writes while it reads).
struct Statement::Server {
    ServerDriver* driver = nullptr;
    QString sql;      // the program's SQL
    QByteArray text;  // in the server's dialect
    QByteArray name;
    int params = 0;
    quint64 generation = 0;
    bool prepared = false;
    std::vector<QByteArray> values;
    std::vector<char> given;  // 0 null, 1 text, 2 bytes
    PGresult* result = nullptr;
    int row = -1;
    int rows = 0;
    bool running = false;
    mutable std::vector<QByteArray> texts;

    ~Server()
    {
        clear();
        // Let the server forget it (not possible in a failed transaction: then it is
        // forgotten with the session).
        if (prepared && driver && driver->isOpen() && driver->generation() == generation && driver->connectionAlive())
            if (PGconn* c = driver->connection()) PQclear(PQexec(c, ("DEALLOCATE " + name).constData()));
    }

    void clear()
    {
        if (result) PQclear(result);
        result = nullptr;
        row = -1;
        rows = 0;
        running = false;
    }

    [[noreturn]] void fail(PGresult* r)
    {
        const QSqlError e = driver->errorOf(r);
        if (r) PQclear(r);
        throwSqlError(e);
    }

    PGconn* connection()
    {
        PGconn* c = driver->connection();
        if (!c) throwSqlError(driver->errorOf(nullptr));
        return c;
    }

    void prepare()
    {
        static std::atomic<quint64> counter{0};
        PGconn* c = connection();
        text = numbered(driver->translated(sql).toUtf8());
        params = highestParameter(text);
        name = "tw_st_" + QByteArray::number(++counter);
        generation = driver->generation();
        PGresult* r = PQprepare(c, name.constData(), text.constData(), 0, nullptr);
        if (!r || PQresultStatus(r) != PGRES_COMMAND_OK) fail(r);
        PQclear(r);
        prepared = true;
    }

    void set(int index, QByteArray value, char kind)
    {
        if (index < 1) throw TwError(ErrNo::DatabaseError, QStringLiteral("No value %1 to bind").arg(index));
        if (int(values.size()) < index) {
            values.resize(size_t(index));
            given.resize(size_t(index), 0);
        }
        values[size_t(index - 1)] = std::move(value);
        given[size_t(index - 1)] = kind;
    }

    PGresult* exec()
    {
        clear();
        PGconn* c = connection();
        // Prepared on a connection since made again: prepared again on this one.
        if (generation != driver->generation()) prepare();
        const int n = std::max(params, int(values.size()));
        QVarLengthArray<const char*, 32> p(n);
        QVarLengthArray<int, 32> lengths(n), formats(n);
        for (int i = 0; i < n; ++i) {
            const char kind = i < int(given.size()) ? given[size_t(i)] : 0;
            p[i] = kind ? values[size_t(i)].constData() : nullptr;
            lengths[i] = kind ? int(values[size_t(i)].size()) : 0;
            formats[i] = kind == 2 ? 1 : 0;
        }
        PGresult* r = PQexecPrepared(c, name.constData(), n, p.data(), lengths.data(), formats.data(), 0);
        const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) fail(r);
        return r;
    }

    // The statement with each "?" outside quotes numbered in turn ($1, $2, ...), as the
    // server's own interface takes its values.
    static QByteArray numbered(const QByteArray& sql)
    {
        QByteArray out;
        out.reserve(sql.size() + 16);
        int next = 0;
        char quote = 0;
        for (const char ch : sql) {
            if (quote) {
                if (ch == quote) quote = 0;
            } else if (ch == '\'' || ch == '"') {
                quote = ch;
            } else if (ch == '?') {
                out += '$' + QByteArray::number(++next);
                continue;
            }
            out += ch;
        }
        return out;
    }

    // The number of values the statement takes: its highest $n outside quotes.
    static int highestParameter(const QByteArray& sql)
    {
        int highest = 0;
        char quote = 0;
        for (qsizetype i = 0; i < sql.size(); ++i) {
            const char ch = sql[i];
            if (quote) {
                if (ch == quote) quote = 0;
            } else if (ch == '\'' || ch == '"') {
                quote = ch;
            } else if (ch == '$') {
                int v = 0;
                qsizetype j = i + 1;
                while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9') v = v * 10 + (sql[j++] - '0');
                highest = std::max(highest, v);
                i = j - 1;
            }
        }
        return highest;
    }

    // The current row's value and its type on the server.
    bool null(int column) const { return !result || row < 0 || PQgetisnull(result, row, column); }
    QByteArrayView raw(int column) const
    {
        if (null(column)) return {};
        return QByteArrayView(PQgetvalue(result, row, column), PQgetlength(result, row, column));
    }
    Oid type(int column) const { return result ? PQftype(result, column) : 0; }
};

namespace {
// Type identities of the server's built-in types (fixed in every server).
constexpr Oid BoolType = 16, ByteaType = 17, Int8Type = 20, Int2Type = 21, Int4Type = 23, OidType = 26,
              Float4Type = 700, Float8Type = 701, NumericType = 1700;

bool isIntegerType(Oid t) { return t == Int8Type || t == Int2Type || t == Int4Type || t == OidType; }
bool isFloatType(Oid t) { return t == Float4Type || t == Float8Type || t == NumericType; }

double numberOf(QByteArrayView v)
{
    bool ok = false;
    const double d = QByteArray::fromRawData(v.data(), v.size()).toDouble(&ok);
    if (ok) return d;
    // The server's spelling of the values no decimal number shows.
    if (v == "Infinity") return std::numeric_limits<double>::infinity();
    if (v == "-Infinity") return -std::numeric_limits<double>::infinity();
    if (v == "NaN") return std::numeric_limits<double>::quiet_NaN();
    return 0;
}

QByteArray textOf(double value)
{
    if (std::isnan(value)) return QByteArrayLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QByteArrayLiteral("Infinity") : QByteArrayLiteral("-Infinity");
    // The shortest text that reads back as the same double.
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, r.ptr - text);
}
}  // namespace

Statement::Statement(Database& db, const QString& sql) : m_db(db)
{
    if (!db.isOpen()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    if (db.isServer()) {
        m_server = std::make_unique<Server>();
        m_server->driver = dynamic_cast<ServerDriver*>(db.handle().driver());
        if (!m_server->driver) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
        m_server->sql = sql;
        m_server->prepare();
        db.adoptStatement(this);
        return;
    }
    sqlite3* h = db.sqliteHandle();
    if (!h) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(h, text.constData(), int(text.size()), &m_st, nullptr);
    if (rc != SQLITE_OK || !m_st) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(h));
        if (m_st) sqlite3_finalize(m_st);
        m_st = nullptr;
        throw TwError(rc == SQLITE_OK ? ErrNo::DatabaseError : rc, message);
    }
    db.adoptStatement(this);
}

Statement::~Statement()
{
    if (m_st || m_server) m_db.dropStatement(this);
    release();
}

void Statement::release()
{
    if (m_st) sqlite3_finalize(m_st);
    m_st = nullptr;
    m_server.reset();
}

void Statement::requireLive() const
{
    if (!m_st && !m_server) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
}

void Statement::fail(int rc) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_st)));
    sqlite3_reset(m_st);
    throw TwError(rc, message, storageKindOf(rc));
}

void Statement::bind(int index, const QVariant& v)
{
    if (v.isNull() || !v.isValid()) {
        bindNull(index);
        return;
    }
    switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            bind(index, v.toDouble());
            return;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            bind(index, qint64(v.toLongLong()));
            return;
        case QMetaType::QByteArray:
            requireLive();
            if (m_server) {
                m_server->set(index, v.toByteArray(), 2);
                return;
            } else {
                const QByteArray b = v.toByteArray();
                const int rc = sqlite3_bind_blob(m_st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
                if (rc != SQLITE_OK) fail(rc);
                return;
            }
        default:
            bind(index, v.toString());
            return;
    }
}

#define TW_SERVER_BIND(value, kind)            \
    requireLive();                             \
    if (m_server) {                            \
        m_server->set(index, (value), (kind)); \
        return;                                \
    }

void Statement::bindNull(int index)
{
    TW_SERVER_BIND(QByteArray(), 0)
    const int rc = sqlite3_bind_null(m_st, index);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, double value)
{
    // Not a number is no value: null on both engines (the file stores a bound NaN as null;
    // a server would keep 'NaN').
    if (std::isnan(value)) {
        bindNull(index);
        return;
    }
    TW_SERVER_BIND(textOf(value), 1)
    const int rc = sqlite3_bind_double(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, qint64 value)
{
    TW_SERVER_BIND(QByteArray::number(value), 1)
    const int rc = sqlite3_bind_int64(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, const QString& value)
{
    TW_SERVER_BIND(value.toUtf8(), value.isNull() ? 0 : 1)
    const int rc = value.isNull()
                       ? sqlite3_bind_null(m_st, index)
                       : sqlite3_bind_text16(m_st, index, value.utf16(), int(value.size()) * 2, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bindUtf8(int index, QByteArrayView value)
{
    TW_SERVER_BIND(value.toByteArray(), 1)
    const int rc =
        sqlite3_bind_text(m_st, index, value.data() ? value.data() : "", int(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bindUtf8Unchanged(int index, QByteArrayView value)
{
    TW_SERVER_BIND(value.toByteArray(), 1)
    const int rc = sqlite3_bind_text(m_st, index, value.data() ? value.data() : "", int(value.size()), SQLITE_STATIC);
    if (rc != SQLITE_OK) fail(rc);
}

#undef TW_SERVER_BIND

void Statement::bindRow(int first, const QByteArrayView* texts, int textCount, const double* numbers, int numberCount)
{
    requireLive();
    if (m_server) {
        for (int i = 0; i < textCount; ++i) {
            if (texts[i].data()) bindUtf8Unchanged(first + i, texts[i]);
            else bindNull(first + i);
        }
        for (int i = 0; i < numberCount; ++i) bind(first + textCount + i, numbers[i]);
        return;
    }
    for (int i = 0; i < textCount; ++i) {
        const int rc = texts[i].data()
                           ? sqlite3_bind_text(m_st, first + i, texts[i].data(), int(texts[i].size()), SQLITE_STATIC)
                           : sqlite3_bind_null(m_st, first + i);
        if (rc != SQLITE_OK) fail(rc);
    }
    for (int i = 0; i < numberCount; ++i) {
        const int index = first + textCount + i;
        const int rc =
            std::isnan(numbers[i]) ? sqlite3_bind_null(m_st, index) : sqlite3_bind_double(m_st, index, numbers[i]);
        if (rc != SQLITE_OK) fail(rc);
    }
}

bool Statement::next()
{
    requireLive();
    if (Server* sv = m_server.get()) {
        if (!sv->running) {
            sv->result = sv->exec();
            sv->rows = PQntuples(sv->result);
            sv->running = true;
        }
        sv->texts.clear();
        if (++sv->row < sv->rows) return true;
        sv->clear();
        return false;
    }
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
        sqlite3_reset(m_st);
        return false;
    }
    fail(rc);
}

qint64 Statement::run()
{
    requireLive();
    if (m_server) {
        PGresult* r = m_server->exec();
        const qint64 n = QByteArray(PQcmdTuples(r)).toLongLong();
        PQclear(r);
        return n;
    }
    int rc = sqlite3_step(m_st);
    while (rc == SQLITE_ROW) rc = sqlite3_step(m_st);
    if (rc != SQLITE_DONE) fail(rc);
    sqlite3_reset(m_st);
    return sqlite3_changes64(sqlite3_db_handle(m_st));
}

void Statement::reset()
{
    if (m_server) {
        m_server->clear();
        return;
    }
    if (m_st) sqlite3_reset(m_st);
}

int Statement::columnCount() const
{
    requireLive();
    if (m_server) {
        if (m_server->result) return PQnfields(m_server->result);
        PGconn* c = m_server->connection();
        PGresult* r = PQdescribePrepared(c, m_server->name.constData());
        const int n = r && PQresultStatus(r) == PGRES_COMMAND_OK ? PQnfields(r) : 0;
        PQclear(r);
        return n;
    }
    return sqlite3_column_count(m_st);
}

bool Statement::isNull(int column) const
{
    if (m_server) return m_server->null(column);
    return sqlite3_column_type(m_st, column) == SQLITE_NULL;
}

qint64 Statement::integer(int column) const
{
    if (m_server) {
        const QByteArrayView v = m_server->raw(column);
        if (v.isEmpty()) return 0;
        if (m_server->type(column) == BoolType) return v[0] == 't' ? 1 : 0;
        bool ok = false;
        const qint64 i = QByteArray::fromRawData(v.data(), v.size()).toLongLong(&ok);
        if (ok) return i;
        const double d = numberOf(v);
        return std::isfinite(d) ? qint64(d) : 0;
    }
    return sqlite3_column_int64(m_st, column);
}

double Statement::number(int column) const
{
    if (m_server) {
        if (m_server->type(column) == BoolType) return double(integer(column));
        return numberOf(m_server->raw(column));
    }
    return sqlite3_column_double(m_st, column);
}

bool Statement::isNumber(int column) const
{
    if (m_server) {
        if (m_server->null(column)) return false;
        const Oid t = m_server->type(column);
        return isIntegerType(t) || isFloatType(t);
    }
    const int t = sqlite3_column_type(m_st, column);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

QByteArrayView Statement::utf8(int column) const
{
    if (m_server) {
        if (m_server->null(column)) return {};
        const Oid t = m_server->type(column);
        if (t != Float4Type && t != Float8Type && t != BoolType) return m_server->raw(column);
        // Numbers with a fraction and yes/no as the program spells them.
        if (int(m_server->texts.size()) <= column) m_server->texts.resize(size_t(column) + 1);
        QByteArray& b = m_server->texts[size_t(column)];
        b = t == BoolType ? QByteArray::number(integer(column))
                          : QString::number(number(column), 'g', QLocale::FloatingPointShortest).toUtf8();
        return QByteArrayView(b.constData(), b.size());
    }
    // One call into the statement, then the value's own text and length (cheaper than
    // asking the statement for each: this is read for every channel of every reading).
    sqlite3_value* v = sqlite3_column_value(m_st, column);
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    if (!p) return {};
    return QByteArrayView(p, sqlite3_value_bytes(v));
}

QString Statement::text(int column) const
{
    if (isNull(column)) return QString();
    const QByteArrayView b = utf8(column);
    return QString::fromUtf8(b.data(), b.size());
}

QVariant Statement::value(int column) const
{
    if (m_server) {
        // As the server's driver in Qt gives them.
        const Oid t = m_server->type(column);
        QMetaType type = QMetaType::fromType<QString>();
        if (t == Int8Type) type = QMetaType::fromType<qlonglong>();
        else if (t == Int2Type || t == Int4Type || t == OidType) type = QMetaType::fromType<int>();
        else if (isFloatType(t)) type = QMetaType::fromType<double>();
        else if (t == BoolType) type = QMetaType::fromType<bool>();
        else if (t == ByteaType) type = QMetaType::fromType<QByteArray>();
        if (m_server->null(column)) return QVariant(type);
        const QByteArrayView v = m_server->raw(column);
        switch (type.id()) {
            case QMetaType::LongLong:
                return QVariant(qlonglong(integer(column)));
            case QMetaType::Int:
                return QVariant(int(integer(column)));
            case QMetaType::Double:
                return QVariant(numberOf(v));
            case QMetaType::Bool:
                return QVariant(v.size() > 0 && v[0] == 't');
            case QMetaType::QByteArray: {
                size_t n = 0;
                unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(v.data()), &n);
                const QByteArray out(reinterpret_cast<const char*>(bytes), qsizetype(n));
                PQfreemem(bytes);
                return out;
            }
            default:
                return QString::fromUtf8(v.data(), v.size());
        }
    }
    switch (sqlite3_column_type(m_st, column)) {
        case SQLITE_NULL:
            return QVariant();
        case SQLITE_INTEGER:
            return QVariant(qlonglong(sqlite3_column_int64(m_st, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_st, column));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_st, column)),
                              sqlite3_column_bytes(m_st, column));
        default:
            return text(column);
    }
}

TextTest::TextTest(Database& db, const QByteArray& name, std::function<bool(QByteArrayView)> test)
    : m_db(db),
      m_name(name),
      m_generation(db.generation())
{
    db.setTextTest(name, std::move(test));
}

TextTest::~TextTest()
{
    // Only on the connection it was set on (a reopened one no longer knows the name).
    if (m_db.generation() != m_generation) return;
    try {
        m_db.setTextTest(m_name, {});
    } catch (...) {}
}
