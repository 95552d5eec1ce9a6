#include "store/ServerChanges.h"

#include <QSqlQuery>
#include <QStringList>

namespace ServerChanges {

namespace {

QString quoted(const QString& name) { return '"' + QString(name).replace('"', QStringLiteral("\"\"")) + '"'; }
QString literal(const QString& text) { return '\'' + QString(text).replace('\'', QStringLiteral("''")) + '\''; }

bool run(QSqlDatabase inner, const QString& sql, QSqlError* error)
{
    QSqlQuery q(inner);
    if (q.exec(sql)) return true;
    if (error) *error = q.lastError();
    return false;
}

}  // namespace

QString serverName(const QString& table)
{
    QString t = table.trimmed();
    if (t.size() > 1 && (t.front() == '"' || t.front() == '`' || t.front() == '['))
        t = t.mid(1, t.size() - 2);
    return t.toLower();
}

bool ensureSetUp(QSqlDatabase inner, QSqlError* error)
{
    {
        QSqlQuery q(inner);
        if (q.exec(QStringLiteral("SELECT to_regclass('tw_changes') IS NOT NULL AND to_regproc('tw_changes_trigger') IS NOT NULL")) &&
            q.next() && q.value(0).toBool())
            return true;
    }
    // The function runs with its owner's rights, so a user who may write a table need not
    // be given rights on the bookkeeping table too.
    return run(inner,
               QStringLiteral("CREATE TABLE IF NOT EXISTS tw_changes (tbl TEXT PRIMARY KEY, n BIGINT NOT NULL DEFAULT 0, "
                              "xact BIGINT NOT NULL DEFAULT 0)"),
               error) &&
           run(inner,
               QStringLiteral("CREATE OR REPLACE FUNCTION tw_note_change(t TEXT) RETURNS void LANGUAGE plpgsql "
                              "SECURITY DEFINER SET search_path FROM CURRENT AS $tw$\n"
                              "BEGIN\n"
                              "  INSERT INTO tw_changes AS c (tbl, n, xact) VALUES (t, 1, txid_current())\n"
                              "    ON CONFLICT (tbl) DO UPDATE SET n = c.n + 1, xact = txid_current();\n"
                              "  PERFORM set_config('tarnwell.own_changes', (coalesce(nullif(current_setting("
                              "'tarnwell.own_changes', true), '')::bigint, 0) + 1)::text, false);\n"
                              "END\n$tw$"),
               error) &&
           run(inner,
               QStringLiteral("CREATE OR REPLACE FUNCTION tw_changes_trigger() RETURNS trigger LANGUAGE plpgsql AS $tw$\n"
                              "BEGIN\n"
                              "  PERFORM tw_note_change(TG_TABLE_NAME);\n"
                              "  RETURN NULL;\n"
                              "END\n$tw$"),
               error);
}

bool track(QSqlDatabase inner, const QString& table, QSqlError* error)
{
    const QString t = quoted(serverName(table));
    return run(inner, QStringLiteral("DROP TRIGGER IF EXISTS tw_changes ON ") + t, error) &&
           run(inner,
               QStringLiteral("CREATE TRIGGER tw_changes AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON ") + t +
                   QStringLiteral(" FOR EACH STATEMENT EXECUTE FUNCTION tw_changes_trigger()"),
               error);
}

bool note(QSqlDatabase inner, const QString& table, QSqlError* error)
{
    return run(inner, QStringLiteral("SELECT tw_note_change(") + literal(serverName(table)) + ')', error);
}

namespace {
// The program's tables of the connection's schema without the trigger.
const char* const untracked =
    "FROM pg_class c WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'p') "
    "AND c.relname NOT LIKE 'tw\\_%' AND NOT EXISTS (SELECT 1 FROM pg_trigger g WHERE g.tgrelid = c.oid "
    "AND g.tgname = 'tw_changes')";
}  // namespace

bool everyTableTracked(QSqlDatabase inner)
{
    QSqlQuery q(inner);
    return q.exec(QStringLiteral("SELECT CASE WHEN to_regclass('tw_changes') IS NULL OR to_regproc('tw_changes_trigger') IS NULL "
                                 "THEN false ELSE has_table_privilege('tw_changes', 'SELECT') AND NOT EXISTS (SELECT 1 ") +
                  QLatin1String(untracked) + QStringLiteral(") END")) &&
           q.next() && q.value(0).toBool();
}

bool trackAll(QSqlDatabase inner, int* added, QSqlError* error)
{
    if (added) *added = 0;
    QStringList tables;
    {
        QSqlQuery q(inner);
        if (!q.exec(QStringLiteral("SELECT c.relname ") + QLatin1String(untracked))) {
            if (error) *error = q.lastError();
            return false;
        }
        while (q.next()) tables << q.value(0).toString();
    }
    for (const QString& t : tables) {
        if (!track(inner, t, error)) return false;
        if (added) ++*added;
    }
    return true;
}

QString tableQuery(const QString& table)
{
    return QStringLiteral("SELECT n, xact FROM tw_changes WHERE tbl = ") + literal(serverName(table));
}

QString othersQuery()
{
    return QStringLiteral("SELECT coalesce(sum(n), 0) - coalesce(nullif(current_setting('tarnwell.own_changes', true), "
                          "'')::bigint, 0) FROM tw_changes");
}

}  // namespace ServerChanges
