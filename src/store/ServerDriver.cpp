#include "store/ServerDriver.h"
#include "store/ServerChanges.h"
#include "core/StorageFault.h"
#include "core/TwError.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <libpq-fe.h>

namespace {

// The server's errors keep its five-character state code, marked so that it is never
// taken for one of the file engine's numeric codes.
QSqlError marked(const QSqlError& e)
{
    if (e.type() == QSqlError::NoError) return e;
    const QString code = e.nativeErrorCode().trimmed();
    return QSqlError(e.driverText(), e.databaseText(), e.type(),
                     code.isEmpty() ? QStringLiteral("pg:") : QStringLiteral("pg:") + code);
}

// Field names as the program spells them.
QSqlRecord respelled(const QSqlRecord& r)
{
    QSqlRecord out;
    for (int i = 0; i < r.count(); ++i) {
        QSqlField f = r.field(i);
        f.setName(SqlDialect::spelling(f.name()));
        out.append(f);
    }
    return out;
}

class ServerResult : public QSqlResult {
public:
    explicit ServerResult(const ServerDriver* driver) : QSqlResult(driver), m_driver(driver) {}

protected:
    QVariant data(int i) override { return m_q.value(i); }
    bool isNull(int i) override { return m_q.isNull(i); }

    bool reset(const QString& sql) override
    {
        const_cast<ServerDriver*>(m_driver)->noteStatement(sql);
        start();
        QString text;
        if (!translated(sql, &text)) {
            const_cast<ServerDriver*>(m_driver)->noteFailed(sql);
            return false;
        }
        if (!m_q.exec(text)) {
            // A transaction that could not begin is none: the next statement may connect again.
            const_cast<ServerDriver*>(m_driver)->noteFailed(sql);
            return failed();
        }
        if (!tracked(sql)) return false;
        rememberNames(sql);
        return started();
    }

    bool prepare(const QString& sql) override
    {
        start();
        m_generation = m_driver->generation();
        m_sql = sql;
        m_direct.clear();
        QString text;
        if (!translated(sql, &text)) return false;
        // The server prepares only queries and row changes; anything else (tables,
        // indexes, transactions) runs as it stands when executed.
        static const QRegularExpression dml(QStringLiteral("^\\s*(SELECT|INSERT|UPDATE|DELETE|WITH|VALUES)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
        if (!dml.match(text).hasMatch()) {
            m_direct = text;
            return true;
        }
        if (!m_q.prepare(text)) return failed();
        return true;
    }

    bool exec() override
    {
        setActive(false);
        setAt(QSql::BeforeFirstRow);
        const QVariantList& values = boundValues();
        // A connection lost since the last run is made again first (outside a transaction);
        // a statement prepared before that is prepared again on the new one.
        const_cast<ServerDriver*>(m_driver)->reconnectIfLost();
        if (m_generation != m_driver->generation()) {
            const QString sql = m_sql;
            if (!prepare(sql)) return false;
        }
        if (!m_direct.isEmpty()) {
            if (!m_q.exec(withValues(m_direct, values))) return failed();
            if (!tracked(m_sql)) return false;
            rememberNames(m_sql);
            return started();
        }
        for (int i = 0; i < values.size(); ++i) m_q.bindValue(i, values.at(i));
        if (!m_q.exec()) return failed();
        rememberNames(m_sql);
        return started();
    }

    bool fetch(int i) override
    {
        if (!m_q.seek(i)) return false;
        setAt(i);
        return true;
    }
    bool fetchNext() override
    {
        if (!m_q.next()) return false;
        setAt(at() + 1);
        return true;
    }
    bool fetchPrevious() override
    {
        if (!m_q.previous()) return false;
        setAt(at() - 1);
        return true;
    }
    bool fetchFirst() override
    {
        if (!m_q.first()) return false;
        setAt(0);
        return true;
    }
    bool fetchLast() override
    {
        if (!m_q.last()) return false;
        setAt(m_q.at());
        return true;
    }
    int size() override { return m_q.size(); }
    int numRowsAffected() override { return m_q.numRowsAffected(); }
    QSqlRecord record() const override { return respelled(m_q.record()); }
    QVariant lastInsertId() const override { return m_q.lastInsertId(); }
    void detachFromResultSet() override { m_q.finish(); }

private:
    // The statement in the server's dialect. One the dialect refuses fails here as a
    // statement the server did not take, its description naming the statement.
    bool translated(const QString& sql, QString* text)
    {
        try {
            *text = SqlDialect::toServer(const_cast<ServerDriver*>(m_driver)->withTextTests(sql));
            return true;
        } catch (const TwError& e) {
            setLastError(QSqlError(QString(), e.description, QSqlError::StatementError, QStringLiteral("pg:")));
            return false;
        }
    }

    // The text with each "?" (outside quotes) replaced by its value as a literal.
    QString withValues(const QString& text, const QVariantList& values) const
    {
        if (values.isEmpty()) return text;
        QString out;
        int next = 0;
        QChar quote;
        for (QChar c : text) {
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '?' && next < values.size()) {
                const QVariant& v = values.at(next++);
                QSqlField f(QString(), v.metaType());
                f.setValue(v);
                out += m_driver->inner().driver()->formatValue(f);
                continue;
            }
            out += c;
        }
        return out;
    }

    // The program's spelling of the names a CREATE or ALTER statement defined, kept on the
    // server for every later connection (the server itself keeps them in lower case).
    void rememberNames(const QString& sql)
    {
        const QStringList names = SqlDialect::definedNames(sql);
        if (names.isEmpty()) return;
        QSqlQuery q(m_driver->inner());
        q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tw_names (name TEXT PRIMARY KEY)"));
        q.prepare(QStringLiteral("INSERT INTO tw_names (name) SELECT unnest(?::text[]) ON CONFLICT DO NOTHING"));
        QStringList quoted;
        for (const QString& n : names) quoted << '"' + QString(n).replace('"', QStringLiteral("\\\"")) + '"';
        q.addBindValue(QStringLiteral("{") + quoted.join(',') + '}');
        q.exec();
    }

    // A table made gets the change trigger; a table made or dropped counts as a change.
    bool tracked(const QString& sql)
    {
        QSqlError e;
        if (const_cast<ServerDriver*>(m_driver)->trackDefinition(sql, &e)) return true;
        setLastError(marked(e));
        return false;
    }

    void start()
    {
        const_cast<ServerDriver*>(m_driver)->reconnectIfLost();
        m_q = QSqlQuery(m_driver->inner());
        // The server's driver reads a forward-only result row by row from the connection,
        // and loses the rest when another statement runs on it meanwhile (a pass writes
        // while it reads): results are taken whole.
        m_q.setForwardOnly(false);
        setActive(false);
        setAt(QSql::BeforeFirstRow);
    }
    bool failed()
    {
        QSqlError e = marked(m_q.lastError());
        // A connection the server dropped is said as such, whatever the statement met.
        if (!m_driver->connectionAlive()) {
            const QString again = m_driver->reconnectFailure();
            e = again.isEmpty() ? QSqlError(e.driverText(), e.databaseText(), QSqlError::ConnectionError,
                                            QStringLiteral("pg:08006"))
                                : QSqlError(e.driverText(), StorageFault::NoReconnect + again,
                                            QSqlError::ConnectionError, QStringLiteral("pg:08001"));
        }
        setLastError(e);
        return false;
    }
    bool started()
    {
        setSelect(m_q.isSelect());
        setActive(true);
        return true;
    }

    const ServerDriver* m_driver;
    QSqlQuery m_q{QSqlDatabase()};
    QString m_sql;
    QString m_direct;
    quint64 m_generation = 0;
};

}  // namespace

namespace {
// A connection of the server's driver kept out of Qt's list of named connections: it
// lives and dies with this driver (the list's lock is held while a driver is deleted).
struct UnlistedConnection : QSqlDatabase {
    UnlistedConnection() : QSqlDatabase(QStringLiteral("QPSQL")) {}
};
}  // namespace

ServerDriver::ServerDriver() : m_inner(UnlistedConnection()) {}

ServerDriver::~ServerDriver() { close(); }

QSqlDatabase ServerDriver::inner() const { return m_inner; }

namespace {
PGconn* connectionOf(const QSqlDatabase& db)
{
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    return h.isValid() ? *static_cast<PGconn* const*>(h.data()) : nullptr;
}
}  // namespace

bool ServerDriver::connectionAlive() const
{
    PGconn* conn = connectionOf(m_inner);
    return conn && PQstatus(conn) == CONNECTION_OK;
}

PGconn* ServerDriver::connection()
{
    if (!isOpen()) return nullptr;
    reconnectIfLost();
    return m_inner.isOpen() ? connectionOf(m_inner) : nullptr;
}

QString ServerDriver::translated(const QString& sql) { return SqlDialect::toServer(withTextTests(sql)); }

QSqlError ServerDriver::errorOf(const PGresult* result) const
{
    PGconn* conn = connectionOf(m_inner);
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result)
                                        : conn ? PQerrorMessage(conn)
                                               : "")
                          .trimmed();
    if (message.isEmpty()) message = QStringLiteral("The server did not answer the statement");
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (!connectionAlive()) {
        // As the translated statements say it: lost, or lost and not to be made again.
        if (!m_reconnectFailure.isEmpty())
            return QSqlError(QString(), StorageFault::NoReconnect + m_reconnectFailure, QSqlError::ConnectionError,
                             QStringLiteral("pg:08001"));
        return QSqlError(QString(), message, QSqlError::ConnectionError, QStringLiteral("pg:08006"));
    }
    return QSqlError(QString(), message, QSqlError::StatementError,
                     QStringLiteral("pg:") + QString::fromLatin1(state ? state : ""));
}

void ServerDriver::reconnectIfLost()
{
    if (!isOpen() || m_inTransaction) return;  // a transaction cut off is not resumed
    if (connectionAlive()) return;
    m_inner.close();
    m_reconnectFailure.clear();
    if (!m_inner.open()) {
        m_reconnectFailure = m_inner.lastError().databaseText().trimmed();
        if (m_reconnectFailure.isEmpty()) m_reconnectFailure = m_inner.lastError().text().trimmed();
    } else {
        ++m_generation;
        startSession();
    }
}

void ServerDriver::startSession()
{
    QSqlQuery q(m_inner);
    // Texts go both ways as UTF-8; numbers in the shortest form that reads back exactly.
    q.exec(QStringLiteral("SET client_encoding = 'UTF8'"));
    q.exec(QStringLiteral("SET extra_float_digits = 1"));
    q.exec(QStringLiteral("SET client_min_messages = warning"));
    // A selection of 100,000 readings is put in order in memory, not in files on the
    // server's disk.
    q.exec(QStringLiteral("SET work_mem = '32MB'"));
    // A user who is a member of the role owning the database works as that role: the
    // tables one engineer creates (a new sensor's) then belong to the team, and every other
    // member may change or drop them. A user outside that role works as themself.
    if (q.exec(QStringLiteral("SELECT r.rolname FROM pg_database d JOIN pg_roles r ON r.oid = d.datdba "
                              "WHERE d.datname = current_database() AND r.rolname <> current_user "
                              "AND pg_has_role(current_user, r.oid, 'MEMBER')")) &&
        q.next()) {
        const QString role = q.value(0).toString();
        q.finish();
        q.exec(QStringLiteral("SET ROLE \"") + QString(role).replace(u'"', QStringLiteral("\"\"")) + u'"');
    }
}

bool ServerDriver::hasFeature(DriverFeature f) const
{
    switch (f) {
        case Transactions:
        case QuerySize:
        case PreparedQueries:
        case PositionalPlaceholders:
        case Unicode:
        case LastInsertId:
        case LowPrecisionNumbers:
        case EventNotifications:
            return true;
        default:
            return false;
    }
}

bool ServerDriver::open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
                        const QString& options)
{
    close();
    QSqlDatabase& in = m_inner;
    if (!in.isValid()) {
        setLastError(QSqlError(QStringLiteral("The PostgreSQL driver of Qt is not installed"), QString(),
                               QSqlError::ConnectionError, QStringLiteral("pg:")));
        setOpenError(true);
        return false;
    }
    in.setDatabaseName(db);
    in.setUserName(user);
    in.setPassword(password);
    in.setHostName(host);
    in.setPort(port);
    in.setConnectOptions(options);
    if (!in.open()) {
        setLastError(marked(in.lastError()));
        setOpenError(true);
        return false;
    }
    startSession();
    {
        QSqlQuery q(in);
        // The spelling of the program's names, as the statements that made them had it.
        if (q.exec(QStringLiteral("SELECT to_regclass('tw_names') IS NOT NULL")) && q.next() && q.value(0).toBool() &&
            q.exec(QStringLiteral("SELECT name FROM tw_names")))
            while (q.next()) SqlDialect::learnSpelling(q.value(0).toString());
    }
    setOpen(true);
    setOpenError(false);
    return true;
}

void ServerDriver::close()
{
    if (m_inner.isOpen()) m_inner.close();
    setOpen(false);
    setOpenError(false);
}

QSqlResult* ServerDriver::createResult() const { return new ServerResult(this); }

bool ServerDriver::beginTransaction()
{
    QSqlQuery q(inner());
    return q.exec(QStringLiteral("BEGIN"));
}

bool ServerDriver::commitTransaction()
{
    QSqlQuery q(inner());
    return q.exec(QStringLiteral("COMMIT"));
}

bool ServerDriver::rollbackTransaction()
{
    QSqlQuery q(inner());
    return q.exec(QStringLiteral("ROLLBACK"));
}

bool ServerDriver::trackDefinition(const QString& sql, QSqlError* error)
{
    static const QRegularExpression made(
        QStringLiteral(
            "^\\s*(CREATE|DROP)\\s+TABLE\\s+(?:IF\\s+(?:NOT\\s+)?EXISTS\\s+)?(\"[^\"]+\"|`[^`]+`|\\[[^\\]]+\\]|\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = made.match(sql);
    if (!m.hasMatch()) return true;
    const QString table = ServerChanges::serverName(m.captured(2));
    if (table.startsWith(QLatin1String("tw_"))) return true;
    if (!ServerChanges::ensureSetUp(m_inner, error)) return false;
    if (m.captured(1).compare(QLatin1String("CREATE"), Qt::CaseInsensitive) == 0 &&
        !ServerChanges::track(m_inner, table, error))
        return false;
    return ServerChanges::note(m_inner, table, error);
}

void ServerDriver::noteFailed(const QString& sql)
{
    if (sql.trimmed().left(5).compare(QLatin1String("BEGIN"), Qt::CaseInsensitive) == 0) m_inTransaction = false;
}

void ServerDriver::noteStatement(const QString& sql)
{
    // Transactions are begun and ended by plain statements (store/Database.cpp).
    const QString t = sql.trimmed().left(16).toUpper();
    if (t.startsWith(QLatin1String("BEGIN"))) m_inTransaction = true;
    else if (t.startsWith(QLatin1String("COMMIT")) || t.startsWith(QLatin1String("ROLLBACK")) ||
             t.startsWith(QLatin1String("END")))
        m_inTransaction = t.startsWith(QLatin1String("ROLLBACK TO"));
}

QStringList ServerDriver::tables(QSql::TableType type) const
{
    QStringList out;
    for (const QString& t : inner().tables(type)) out << SqlDialect::spelling(t);
    return out;
}

QSqlRecord ServerDriver::record(const QString& tableName) const
{
    return respelled(inner().record(tableName.toLower()));
}

QString ServerDriver::escapeIdentifier(const QString& identifier, IdentifierType) const
{
    return SqlDialect::quoteName(identifier);
}

QVariant ServerDriver::handle() const { return inner().driver() ? inner().driver()->handle() : QVariant(); }

void ServerDriver::setTextTest(const QByteArray& name, std::function<bool(QByteArrayView)> test)
{
    if (test) m_textTests[name] = std::move(test);
    else m_textTests.remove(name);
}

QString ServerDriver::withTextTests(const QString& sql)
{
    if (m_textTests.isEmpty()) return sql;
    QString out = sql;
    for (auto it = m_textTests.constBegin(); it != m_textTests.constEnd(); ++it) {
        const QString name = QString::fromLatin1(it.key());
        const QRegularExpression call(QStringLiteral("\\b") + QRegularExpression::escape(name) +
                                          QStringLiteral("\\s*\\(\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*\\)"),
                                      QRegularExpression::CaseInsensitiveOption);
        auto m = call.match(out);
        if (!m.hasMatch()) continue;
        static const QRegularExpression from(QStringLiteral("\\bFROM\\s+(`[^`]+`|\"[^\"]+\"|\\[[^\\]]+\\]|\\w+)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const auto f = from.match(out);
        if (!f.hasMatch()) continue;
        QString table = f.captured(1);
        if (table.size() > 1 && (table.front() == '`' || table.front() == '"' || table.front() == '['))
            table = table.mid(1, table.size() - 2);
        const QString column = m.captured(1).toLower();
        const QString values = QStringLiteral("tw_text_") + name.toLower();
        QSqlQuery q(m_inner);
        q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ") + values + QStringLiteral(" (v TEXT PRIMARY KEY)"));
        q.exec(QStringLiteral("TRUNCATE ") + values);
        QSqlQuery read(m_inner);
        QStringList passing;
        if (read.exec(QStringLiteral("SELECT DISTINCT \"") + column + QStringLiteral("\"::text FROM \"") +
                      table.toLower() + '"'))
            while (read.next()) {
                if (read.isNull(0)) continue;
                const QByteArray v = read.value(0).toString().toUtf8();
                if (it.value()(QByteArrayView(v))) passing << read.value(0).toString();
            }
        if (!passing.isEmpty()) {
            QSqlQuery ins(m_inner);
            ins.prepare(QStringLiteral("INSERT INTO ") + values + QStringLiteral(" (v) SELECT unnest(?::text[])"));
            QStringList quoted;
            for (QString v : passing)
                quoted << '"' + v.replace('\\', QStringLiteral("\\\\")).replace('"', QStringLiteral("\\\"")) + '"';
            ins.addBindValue(QStringLiteral("{") + quoted.join(',') + '}');
            ins.exec();
        }
        while (m.hasMatch()) {
            out.replace(m.capturedStart(), m.capturedLength(),
                        QStringLiteral("(") + m.captured(1) + QStringLiteral(" IN (SELECT v FROM ") + values +
                            QStringLiteral("))"));
            m = call.match(out);
        }
    }
    return out;
}

namespace ServerAddresses {

bool isServerUri(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

ServerAddress parse(const QString& uri)
{
    ServerAddress a;
    if (!isServerUri(uri)) return a;
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) return a;
    a.host = url.host(QUrl::FullyDecoded);
    a.port = url.port(-1);
    a.user = url.userName(QUrl::FullyDecoded);
    a.password = url.password(QUrl::FullyDecoded);
    a.database = url.path(QUrl::FullyDecoded);
    if (a.database.startsWith('/')) a.database = a.database.mid(1);
    if (a.database.contains('/')) return a;
    QStringList options;
    const QUrlQuery query(url);
    for (const auto& item : query.queryItems(QUrl::FullyDecoded)) {
        // The driver takes options as key=value pairs separated by semicolons.
        if (item.first.contains(';') || item.second.contains(';') || item.first.isEmpty()) return a;
        options << item.first + '=' + item.second;
    }
    a.options = options.join(';');
    QUrl shown = url;
    shown.setPassword(QString());
    a.display = shown.toString();
    a.valid = true;
    return a;
}

}  // namespace ServerAddresses
