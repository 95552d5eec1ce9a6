#include "store/Statement.h"
#include "core/TwError.h"
#include "store/Database.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVector>
#include <sqlite3.h>

// A server's statement: the query on the connection, the values bound for the next run
// and the texts of the current row (kept until the next step, as SQLite keeps them).
struct Statement::Server {
    explicit Server(const QSqlDatabase& db) : q(db) {}
    QSqlQuery q;
    QVector<QVariant> values;
    bool running = false;
    mutable QVector<QByteArray> texts;

    void exec()
    {
        for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
        if (!q.exec()) throwSqlError(q.lastError());
    }
};

Statement::Statement(Database& db, const QString& sql) : m_db(db)
{
    if (!db.isOpen()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    if (db.isServer()) {
        m_server = std::make_unique<Server>(db.handle());
        if (!m_server->q.prepare(sql)) throwSqlError(m_server->q.lastError());
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
    if (v.isNull() || !v.isValid()) { bindNull(index); return; }
    switch (v.typeId()) {
    case QMetaType::Double: case QMetaType::Float: bind(index, v.toDouble()); return;
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::Bool:
        bind(index, qint64(v.toLongLong()));
        return;
    case QMetaType::QByteArray:
        requireLive();
        if (m_server) {
            if (m_server->values.size() < index) m_server->values.resize(index);
            m_server->values[index - 1] = v;
            return;
        } else {
            const QByteArray b = v.toByteArray();
            const int rc = sqlite3_bind_blob(m_st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            if (rc != SQLITE_OK) fail(rc);
            return;
        }
    default: bind(index, v.toString()); return;
    }
}

#define TW_SERVER_BIND(value)                                                        \
    requireLive();                                                                   \
    if (m_server) {                                                                  \
        if (m_server->values.size() < index) m_server->values.resize(index);         \
        m_server->values[index - 1] = (value);                                       \
        return;                                                                      \
    }

void Statement::bindNull(int index)
{
    TW_SERVER_BIND(QVariant())
    const int rc = sqlite3_bind_null(m_st, index);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, double value)
{
    TW_SERVER_BIND(QVariant(value))
    const int rc = sqlite3_bind_double(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, qint64 value)
{
    TW_SERVER_BIND(QVariant(qlonglong(value)))
    const int rc = sqlite3_bind_int64(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, const QString& value)
{
    TW_SERVER_BIND(value.isNull() ? QVariant() : QVariant(value))
    const int rc = value.isNull() ? sqlite3_bind_null(m_st, index)
                                  : sqlite3_bind_text16(m_st, index, value.utf16(), int(value.size()) * 2, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bindUtf8(int index, QByteArrayView value)
{
    TW_SERVER_BIND(QVariant(QString::fromUtf8(value.data(), value.size())))
    const int rc = sqlite3_bind_text(m_st, index, value.data() ? value.data() : "", int(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

#undef TW_SERVER_BIND

bool Statement::next()
{
    requireLive();
    if (m_server) {
        if (!m_server->running) {
            m_server->exec();
            m_server->running = true;
        }
        if (m_server->q.next()) {
            m_server->texts.clear();
            return true;
        }
        m_server->running = false;
        m_server->q.finish();
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
        m_server->exec();
        const qint64 n = m_server->q.numRowsAffected();
        m_server->q.finish();
        m_server->running = false;
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
        m_server->q.finish();
        m_server->running = false;
        return;
    }
    if (m_st) sqlite3_reset(m_st);
}

int Statement::columnCount() const
{
    requireLive();
    if (m_server) return m_server->q.record().count();
    return sqlite3_column_count(m_st);
}

bool Statement::isNull(int column) const
{
    if (m_server) return m_server->q.isNull(column);
    return sqlite3_column_type(m_st, column) == SQLITE_NULL;
}

qint64 Statement::integer(int column) const
{
    if (m_server) return m_server->q.value(column).toLongLong();
    return sqlite3_column_int64(m_st, column);
}

double Statement::number(int column) const
{
    if (m_server) return m_server->q.value(column).toDouble();
    return sqlite3_column_double(m_st, column);
}

bool Statement::isNumber(int column) const
{
    if (m_server) {
        const QVariant v = m_server->q.value(column);
        if (v.isNull()) return false;
        switch (v.typeId()) {
        case QMetaType::Double: case QMetaType::Float: case QMetaType::Int: case QMetaType::LongLong:
        case QMetaType::UInt: case QMetaType::ULongLong:
            return true;
        default: return false;
        }
    }
    const int t = sqlite3_column_type(m_st, column);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

QByteArrayView Statement::utf8(int column) const
{
    if (m_server) {
        if (m_server->q.isNull(column)) return {};
        if (m_server->texts.size() <= column) m_server->texts.resize(column + 1);
        QByteArray& b = m_server->texts[column];
        const QVariant v = m_server->q.value(column);
        if (v.typeId() == QMetaType::Double) b = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest).toUtf8();
        else b = v.toString().toUtf8();
        return QByteArrayView(b.constData(), b.size());
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_st, column));
    if (!p) return {};
    return QByteArrayView(p, sqlite3_column_bytes(m_st, column));
}

QString Statement::text(int column) const
{
    if (isNull(column)) return QString();
    if (m_server) return m_server->q.value(column).toString();
    const QByteArrayView b = utf8(column);
    return QString::fromUtf8(b.data(), b.size());
}

TextTest::TextTest(Database& db, const QByteArray& name, std::function<bool(QByteArrayView)> test)
    : m_db(db), m_name(name), m_generation(db.generation())
{
    db.setTextTest(name, std::move(test));
}

TextTest::~TextTest()
{
    // Only on the connection it was set on (a reopened one no longer knows the name).
    if (m_db.generation() != m_generation) return;
    try {
        m_db.setTextTest(m_name, {});
    } catch (...) {
    }
}
