// The operations on tables that each engine does its own way (the file keeps its layout in
// sqlite_master and answers PRAGMAs; the server answers from its catalogue).
#include "core/TwError.h"
#include "store/Database.h"
#include "store/ReadingEdits.h"
#include "store/ServerChanges.h"
#include "store/SqlDialect.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

// Tables of the server connection's own bookkeeping, never shown as the program's.
bool isBookkeeping(const QString& name)
{
    return name.startsWith(QLatin1String("tw_"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

QString sqliteType(const QString& serverType)
{
    if (serverType == QLatin1String("double precision") || serverType == QLatin1String("real"))
        return QStringLiteral("REAL");
    if (serverType == QLatin1String("bigint") || serverType == QLatin1String("integer"))
        return QStringLiteral("INTEGER");
    if (serverType == QLatin1String("smallint")) return QStringLiteral("BOOLEAN");
    if (serverType == QLatin1String("bytea")) return QStringLiteral("BLOB");
    return QStringLiteral("TEXT");
}

const QRegularExpression& indexHead()
{
    static const QRegularExpression re(
        QStringLiteral(
            "^\\s*CREATE\\s+(UNIQUE\\s+)?INDEX\\s+(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|\\w+)\\s+ON\\s+(ONLY\\s+)?"
            "(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|[\\w.]+)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

}  // namespace

QVariant Database::serverScalar(const QString& sql, const QVariantList& binds)
{
    QSqlQuery q(serverInner());
    if (!q.prepare(sql)) throwSqlError(q.lastError());
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
    return q.next() ? q.value(0) : QVariant();
}

bool Database::tableExists(const QString& name)
{
    if (isServer())
        return serverScalar(QStringLiteral(
                                "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() "
                                "AND table_name = lower(?)"),
                            {name})
                   .toInt() > 0;
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
                  {name})
               .toInt() > 0;
}

QStringList Database::tableNames()
{
    QSqlQuery q(isServer() ? serverInner() : handle());
    q.setForwardOnly(true);
    const bool ok = isServer()
                        ? q.exec(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                                "current_schema() AND table_type = 'BASE TABLE' ORDER BY table_name"))
                        : q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
    if (!ok) throwSqlError(q.lastError());
    QStringList out;
    while (q.next()) {
        const QString name = SqlDialect::spelling(q.value(0).toString());
        if (!isBookkeeping(name)) out << name;
    }
    return out;
}

QList<Database::Column> Database::columns(const QString& table)
{
    QList<Column> out;
    QSqlQuery q(isServer() ? serverInner() : handle());
    q.setForwardOnly(true);
    if (isServer()) {
        // From the catalogue itself: the information schema's view of it takes the server
        // ten to twenty milliseconds, and every recordset opened asks.
        if (!q.prepare(QStringLiteral(
                "SELECT a.attname, format_type(a.atttypid, NULL) FROM pg_attribute a JOIN pg_class c ON c.oid = "
                "a.attrelid WHERE c.relnamespace = current_schema()::regnamespace AND c.relname = lower(?) AND "
                "a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum")))
            throwSqlError(q.lastError());
        q.addBindValue(table);
        if (!q.exec()) throwSqlError(q.lastError());
        while (q.next()) {
            const QString name = q.value(0).toString();
            if (name == QLatin1String(SqlDialect::RowIdColumn)) continue;
            out << Column{SqlDialect::spelling(name), sqliteType(q.value(1).toString())};
        }
        return out;
    }
    if (!q.exec(QStringLiteral("PRAGMA table_info(") + SqlDialect::quoteName(table) + ')'))
        throwSqlError(q.lastError());
    while (q.next()) out << Column{q.value(1).toString(), q.value(2).toString()};
    return out;
}

void Database::createTableLike(const QString& name, const QString& templateName)
{
    if (isServer()) {
        // The server copies columns, defaults, the row identity (with a counter of its own)
        // and the indexes; the indexes are then named after the new table as on the file.
        QSqlQuery iq(serverInner());
        iq.setForwardOnly(true);
        if (!iq.prepare(QStringLiteral("SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() "
                                       "AND tablename = lower(?)")))
            throwSqlError(iq.lastError());
        iq.addBindValue(templateName);
        if (!iq.exec()) throwSqlError(iq.lastError());
        QStringList indexSql;
        const QString tmpl = templateName.toLower();
        while (iq.next()) {
            const QString index = iq.value(0).toString();
            const QString def = iq.value(1).toString();
            const auto m = indexHead().match(def);
            if (!m.hasMatch() || !index.startsWith(tmpl)) continue;
            indexSql << QStringLiteral("CREATE ") + m.captured(1) + QStringLiteral("INDEX \"") +
                            (name + index.mid(tmpl.size())).toLower() + QStringLiteral("\" ON ") + '"' +
                            name.toLower() + '"' + def.mid(m.capturedEnd());
        }
        iq.finish();
        Transaction tx(*this);
        serverExec(QStringLiteral("CREATE TABLE \"") + name.toLower() + QStringLiteral("\" (LIKE \"") + tmpl +
                   QStringLiteral("\" INCLUDING DEFAULTS INCLUDING IDENTITY INCLUDING CONSTRAINTS)"));
        for (const QString& s : indexSql) serverExec(s);
        QSqlError e;
        if (!ServerChanges::ensureSetUp(serverInner(), &e) || !ServerChanges::track(serverInner(), name, &e) ||
            !ServerChanges::note(serverInner(), name, &e))
            throwSqlError(e);
        tx.commit();
        return;
    }
    const QString tableSql =
        scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"), {templateName})
            .toString();
    if (tableSql.isEmpty())
        throw TwError(
            -1, QStringLiteral("The database has no table or query named '") + templateName + QStringLiteral("'."));
    // Replace the name in "CREATE TABLE <name>" by the new table's quoted name.
    static const QRegularExpression head(
        QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = head.match(tableSql);
    if (!m.hasMatch()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The template's definition cannot be read"));
    const QString newTable =
        QStringLiteral("CREATE TABLE ") + SqlDialect::quoteName(name) + tableSql.mid(m.capturedEnd());

    QSqlQuery iq(handle());
    iq.setForwardOnly(true);
    if (!iq.prepare(QStringLiteral(
            "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL")))
        throwSqlError(iq.lastError());
    iq.addBindValue(templateName);
    if (!iq.exec()) throwSqlError(iq.lastError());
    QStringList indexSql;
    while (iq.next()) {
        const QString index = iq.value(0).toString();
        const QString sql = iq.value(1).toString();
        const auto im = indexHead().match(sql);
        if (!im.hasMatch()) continue;
        QString suffix = index;
        if (suffix.startsWith(templateName, Qt::CaseInsensitive)) suffix = suffix.mid(templateName.size());
        indexSql << QStringLiteral("CREATE ") + im.captured(1) + QStringLiteral("INDEX ") +
                        SqlDialect::quoteName(name + suffix) + QStringLiteral(" ON ") + SqlDialect::quoteName(name) +
                        sql.mid(im.capturedEnd());
    }
    iq.finish();
    Transaction tx(*this);
    execute(newTable);
    for (const QString& s : indexSql) execute(s);
    ReadingEdits::track(*this, name);
    tx.commit();
}

bool Database::hasUniqueIndexOn(const QString& table, const QString& column)
{
    if (isServer())
        return serverScalar(
                   QStringLiteral(
                       "SELECT count(*) FROM pg_index i JOIN pg_class t ON t.oid = i.indrelid "
                       "JOIN pg_namespace n ON n.oid = t.relnamespace JOIN pg_attribute a ON "
                       "a.attrelid = t.oid AND a.attnum = i.indkey[0] WHERE n.nspname = current_schema() "
                       "AND t.relname = lower(?) AND i.indisunique AND i.indnatts = 1 AND a.attname = lower(?)"),
                   {table, column})
                   .toInt() > 0;
    QSqlQuery q(handle());
    if (!q.exec(QStringLiteral("PRAGMA index_list(") + SqlDialect::quoteName(table) + u')')) return false;
    QStringList unique;
    while (q.next())
        if (q.value(2).toInt() == 1) unique << q.value(1).toString();
    q.finish();
    for (const QString& idx : unique) {
        QSqlQuery c(handle());
        if (!c.exec(QStringLiteral("PRAGMA index_info(") + SqlDialect::quoteName(idx) + u')')) continue;
        QStringList cols;
        while (c.next()) cols << c.value(2).toString();
        if (cols.size() == 1 && cols.front().compare(column, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

qint64 Database::lastInsertRowId() const
{
    sqlite3* h = isOpen() ? sqliteHandle() : nullptr;
    return h ? sqlite3_last_insert_rowid(h) : -1;
}

void Database::copyToServer(const QString& table, const QByteArray& rows, bool binary)
{
    const QVariant h = serverInner().driver() ? serverInner().driver()->handle() : QVariant();
    PGconn* conn = h.isValid() && (qstrcmp(h.typeName(), "PGconn*") == 0 || qstrcmp(h.typeName(), "pg_conn*") == 0)
                       ? *static_cast<PGconn* const*>(h.data())
                       : nullptr;
    if (!conn) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    auto fail = [&](PGresult* r) {
        const QString message = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(conn)).trimmed();
        const QString state = r && PQresultErrorField(r, PG_DIAG_SQLSTATE)
                                  ? QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE))
                                  : QString();
        if (r) PQclear(r);
        while (PGresult* rest = PQgetResult(conn)) PQclear(rest);
        throwSqlError(QSqlError(QString(), message, QSqlError::StatementError, QStringLiteral("pg:") + state));
    };
    const QByteArray sql = "COPY " + table.toUtf8() + " FROM STDIN" + (binary ? " WITH (FORMAT binary)" : "");
    PGresult* r = PQexec(conn, sql.constData());
    if (!r || PQresultStatus(r) != PGRES_COPY_IN) fail(r);
    PQclear(r);
    if (PQputCopyData(conn, rows.constData(), int(rows.size())) != 1 || PQputCopyEnd(conn, nullptr) != 1) fail(nullptr);
    r = PQgetResult(conn);
    if (!r || PQresultStatus(r) != PGRES_COMMAND_OK) fail(r);
    PQclear(r);
    while (PGresult* rest = PQgetResult(conn)) PQclear(rest);
}
