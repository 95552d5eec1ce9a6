#include "store/ServerChanges.h"

#include <QSqlQuery>
#include <QStringList>

namespace ServerChanges {

namespace {

QString quoted(const QString& name) { return '"' + QString(name).replace('"', QStringLiteral("\"\"")) + '"'; }
QString literal(const QString& text) { return '\'' + QString(text).replace('\'', QStringLiteral("''")) + '\''; }

bool run(const QSqlDatabase& inner, const QString& sql, QSqlError* error)
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
    if (t.size() > 1 && (t.front() == '"' || t.front() == '`' || t.front() == '[')) t = t.mid(1, t.size() - 2);
    return t.toLower();
}

bool ensureSetUp(const QSqlDatabase& inner, QSqlError* error)
{
    {
        QSqlQuery q(inner);
        if (q.exec(QStringLiteral(
                "SELECT to_regclass('tw_changes') IS NOT NULL AND to_regproc('tw_note_rows') IS NOT NULL")) &&
            q.next() && q.value(0).toBool())
            return true;
    }
    // tw_note_rows runs with its owner's rights, so a user who may write a table need not be
    // given rights on the bookkeeping table too. Its counter row is written once per
    // transaction and table for each of its two counters (a transaction of many single-row
    // statements would otherwise stack up one row version per statement); every write
    // statement still moves this session's own tally of writes to the table, so its stamp
    // changes with each of them. edit: the change is not only added rows (an update, a
    // deletion, emptied, made or dropped).
    return run(inner,
               QStringLiteral(
                   "CREATE TABLE IF NOT EXISTS tw_changes (tbl TEXT PRIMARY KEY, n BIGINT NOT NULL DEFAULT 0, "
                   "xact BIGINT NOT NULL DEFAULT 0)"),
               error) &&
           run(inner, QStringLiteral("ALTER TABLE tw_changes ADD COLUMN IF NOT EXISTS edits BIGINT NOT NULL DEFAULT 0"),
               error) &&
           run(inner,
               QStringLiteral(
                   "CREATE OR REPLACE FUNCTION tw_note_rows(t TEXT, edit BOOLEAN) RETURNS void LANGUAGE plpgsql "
                   "SECURITY DEFINER SET search_path FROM CURRENT AS $tw$\n"
                   "DECLARE\n"
                   "  own TEXT := 'tarnwell.writes_' || md5(t);\n"
                   "  done TEXT := coalesce(current_setting('tarnwell.changed_tables', true), '');\n"
                   "  edited TEXT := coalesce(current_setting('tarnwell.edited_tables', true), '');\n"
                   "  is_first BOOLEAN := strpos(done, '/' || t || '/') = 0;\n"
                   "  is_edit BOOLEAN := edit AND strpos(edited, '/' || t || '/') = 0;\n"
                   "BEGIN\n"
                   "  PERFORM set_config(own, (coalesce(nullif(current_setting(own, true), '')::bigint, 0) + 1)::text, "
                   "false);\n"
                   "  IF NOT is_first AND NOT is_edit THEN RETURN; END IF;\n"
                   "  IF is_first THEN PERFORM set_config('tarnwell.changed_tables', done || '/' || t || '/', true); "
                   "END "
                   "IF;\n"
                   "  IF is_edit THEN PERFORM set_config('tarnwell.edited_tables', edited || '/' || t || '/', true); "
                   "END "
                   "IF;\n"
                   "  INSERT INTO tw_changes AS c (tbl, n, xact, edits)\n"
                   "    VALUES (t, 1, txid_current(), CASE WHEN is_edit THEN 1 ELSE 0 END)\n"
                   "    ON CONFLICT (tbl) DO UPDATE SET n = c.n + CASE WHEN is_first THEN 1 ELSE 0 END, xact = "
                   "txid_current(),\n"
                   "      edits = c.edits + CASE WHEN is_edit THEN 1 ELSE 0 END;\n"
                   "  IF is_first THEN\n"
                   "    PERFORM set_config('tarnwell.own_changes', (coalesce(nullif(current_setting("
                   "'tarnwell.own_changes', true), '')::bigint, 0) + 1)::text, false);\n"
                   "  END IF;\n"
                   "END\n$tw$"),
               error) &&
           // Any change a trigger does not see (a table made or dropped) counts as an edit.
           run(inner,
               QStringLiteral("CREATE OR REPLACE FUNCTION tw_note_change(t TEXT) RETURNS void LANGUAGE plpgsql "
                              "SECURITY DEFINER SET search_path FROM CURRENT AS $tw$\n"
                              "BEGIN\n"
                              "  PERFORM tw_note_rows(t, true);\n"
                              "END\n$tw$"),
               error) &&
           // A statement that changed no row (an UPDATE matching nothing) is no change. A write
           // whose transaction has counted what it is already moves only the session's own
           // tally (without the cost of calling the owner's function).
           run(inner,
               QStringLiteral(
                   "CREATE OR REPLACE FUNCTION tw_changes_written() RETURNS trigger LANGUAGE plpgsql AS $tw$\n"
                   "DECLARE\n"
                   "  own TEXT;\n"
                   "  mark TEXT := '/' || TG_TABLE_NAME || '/';\n"
                   "BEGIN\n"
                   "  IF NOT EXISTS (SELECT 1 FROM changed) THEN RETURN NULL; END IF;\n"
                   "  IF strpos(coalesce(current_setting('tarnwell.changed_tables', true), ''), mark) = 0 OR\n"
                   "     (TG_OP <> 'INSERT' AND strpos(coalesce(current_setting('tarnwell.edited_tables', true), ''), "
                   "mark) = 0) THEN\n"
                   "    PERFORM tw_note_rows(TG_TABLE_NAME, TG_OP <> 'INSERT');\n"
                   "  ELSE\n"
                   "    own := 'tarnwell.writes_' || md5(TG_TABLE_NAME);\n"
                   "    PERFORM set_config(own, (coalesce(nullif(current_setting(own, true), '')::bigint, 0) + "
                   "1)::text, false);\n"
                   "  END IF;\n"
                   "  RETURN NULL;\n"
                   "END\n$tw$"),
               error) &&
           run(inner,
               QStringLiteral(
                   "CREATE OR REPLACE FUNCTION tw_changes_emptied() RETURNS trigger LANGUAGE plpgsql AS $tw$\n"
                   "BEGIN\n"
                   "  PERFORM tw_note_change(TG_TABLE_NAME);\n"
                   "  RETURN NULL;\n"
                   "END\n$tw$"),
               error);
}

namespace {
struct TriggerKind {
    const char* name;
    const char* definition;
};
const TriggerKind triggers[] = {
    {"tw_changes_i",
     "AFTER INSERT ON %1 REFERENCING NEW TABLE AS changed FOR EACH STATEMENT EXECUTE FUNCTION tw_changes_written()"},
    {"tw_changes_u",
     "AFTER UPDATE ON %1 REFERENCING NEW TABLE AS changed FOR EACH STATEMENT EXECUTE FUNCTION tw_changes_written()"},
    {"tw_changes_d",
     "AFTER DELETE ON %1 REFERENCING OLD TABLE AS changed FOR EACH STATEMENT EXECUTE FUNCTION tw_changes_written()"},
    {"tw_changes_t", "AFTER TRUNCATE ON %1 FOR EACH STATEMENT EXECUTE FUNCTION tw_changes_emptied()"},
};
}  // namespace

bool track(const QSqlDatabase& inner, const QString& table, QSqlError* error)
{
    const QString t = quoted(serverName(table));
    for (const TriggerKind& k : triggers) {
        const QString name = QLatin1String(k.name);
        if (!run(inner, QStringLiteral("DROP TRIGGER IF EXISTS ") + name + QStringLiteral(" ON ") + t, error) ||
            !run(inner, QStringLiteral("CREATE TRIGGER ") + name + ' ' + QString::fromLatin1(k.definition).arg(t),
                 error))
            return false;
    }
    return true;
}

bool note(const QSqlDatabase& inner, const QString& table, QSqlError* error)
{
    return run(inner, QStringLiteral("SELECT tw_note_change(") + literal(serverName(table)) + ')', error);
}

namespace {
// The program's tables of the connection's schema without the trigger.
const char* const untracked =
    "FROM pg_class c WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind = 'r' "
    "AND c.relname NOT LIKE 'tw\\_%' AND (SELECT count(*) FROM pg_trigger g WHERE g.tgrelid = c.oid "
    "AND g.tgname IN ('tw_changes_i', 'tw_changes_u', 'tw_changes_d', 'tw_changes_t')) < 4";
}  // namespace

bool everyTableTracked(const QSqlDatabase& inner)
{
    QSqlQuery q(inner);
    return q.exec(QStringLiteral(
                      "SELECT CASE WHEN to_regclass('tw_changes') IS NULL OR to_regproc('tw_changes_written') IS NULL "
                      "THEN false ELSE has_table_privilege('tw_changes', 'SELECT') AND NOT EXISTS (SELECT 1 ") +
                  QLatin1String(untracked) + QStringLiteral(") END")) &&
           q.next() && q.value(0).toBool();
}

bool trackAll(const QSqlDatabase& inner, int* added, QSqlError* error)
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
    const QString t = literal(serverName(table));
    return QStringLiteral("SELECT c.n, c.xact, coalesce(nullif(current_setting('tarnwell.writes_' || md5(") + t +
           QStringLiteral("), true), '')::bigint, 0) FROM (SELECT 1) AS one LEFT JOIN tw_changes c ON c.tbl = ") + t;
}

QString appendsQuery(const QString& table)
{
    // A row of a table never written since it was tracked has no columns to tell: read
    // through to_jsonb, the question is answered on a layout without the edit counter too.
    return QStringLiteral(
               "SELECT to_regproc('tw_note_rows') IS NOT NULL, coalesce(c.n, 0), "
               "coalesce((to_jsonb(c) ->> 'edits')::bigint, 0) FROM (SELECT 1) AS one LEFT JOIN tw_changes c ON "
               "c.tbl = ") +
           literal(serverName(table));
}

QString othersQuery()
{
    return QStringLiteral(
        "SELECT coalesce(sum(n), 0) - coalesce(nullif(current_setting('tarnwell.own_changes', true), "
        "'')::bigint, 0) FROM tw_changes");
}

}  // namespace ServerChanges
