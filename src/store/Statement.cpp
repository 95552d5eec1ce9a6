#include "store/Statement.h"
#include "core/TwError.h"
#include "store/Database.h"

#include <sqlite3.h>

Statement::Statement(Database& db, const QString& sql) : m_db(db)
{
    sqlite3* h = db.isOpen() ? db.sqliteHandle() : nullptr;
    if (!h) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(h, text.constData(), int(text.size()), &m_st, nullptr);
    if (rc != SQLITE_OK || !m_st) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(h));
        if (m_st) sqlite3_finalize(m_st);
        m_st = nullptr;
        throw TwError(rc == SQLITE_OK ? ErrNo::DatabaseError : rc, message);
    }
}

Statement::~Statement()
{
    if (m_st) sqlite3_finalize(m_st);
}

void Statement::fail(int rc) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_st)));
    sqlite3_reset(m_st);
    throw TwError(rc, message);
}

void Statement::bindNull(int index)
{
    const int rc = sqlite3_bind_null(m_st, index);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, double value)
{
    const int rc = sqlite3_bind_double(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, qint64 value)
{
    const int rc = sqlite3_bind_int64(m_st, index, value);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bind(int index, const QString& value)
{
    const int rc = value.isNull() ? sqlite3_bind_null(m_st, index)
                                  : sqlite3_bind_text16(m_st, index, value.utf16(), int(value.size()) * 2, SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

void Statement::bindUtf8(int index, QByteArrayView value)
{
    const int rc = sqlite3_bind_text(m_st, index, value.data() ? value.data() : "", int(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) fail(rc);
}

bool Statement::next()
{
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
    int rc = sqlite3_step(m_st);
    while (rc == SQLITE_ROW) rc = sqlite3_step(m_st);
    if (rc != SQLITE_DONE) fail(rc);
    sqlite3_reset(m_st);
    return sqlite3_changes64(sqlite3_db_handle(m_st));
}

void Statement::reset() { sqlite3_reset(m_st); }

int Statement::columnCount() const { return sqlite3_column_count(m_st); }

bool Statement::isNull(int column) const { return sqlite3_column_type(m_st, column) == SQLITE_NULL; }

qint64 Statement::integer(int column) const { return sqlite3_column_int64(m_st, column); }

double Statement::number(int column) const { return sqlite3_column_double(m_st, column); }

bool Statement::isNumber(int column) const
{
    const int t = sqlite3_column_type(m_st, column);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

QByteArrayView Statement::utf8(int column) const
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_st, column));
    if (!p) return {};
    return QByteArrayView(p, sqlite3_column_bytes(m_st, column));
}

QString Statement::text(int column) const
{
    if (isNull(column)) return QString();
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
