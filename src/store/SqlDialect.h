#pragma once
#include <QString>
#include <QStringList>
#include <vector>

// The program writes its statements in its established (Jet) SQL. This is the one place
// where they are turned into SQLite's dialect, and from there into the database server's
// (PostgreSQL's).
namespace SqlDialect {

// "DELETE * FROM t" -> "DELETE FROM t"; trailing ";" removed. Grave-accent quoted names,
// True/False and the rest are understood by SQLite as they stand.
QString translate(const QString& jetSql);

// A single-table SELECT split into its parts: "SELECT <columns> FROM <table> <where> <order>".
struct Select {
    QString columns;
    QString table;    // unquoted name
    QString where;    // condition without the word WHERE; empty when none
    QString orderBy;  // without the words ORDER BY; empty when none
    bool valid = false;
};
Select parseSelect(const QString& jetSql);

// Quotes a table or column name for SQLite ("`" doubled inside).
QString quoteName(const QString& name);

// "rowid IN (1,2,3)": the condition of the rows with these identities, written out (row ids
// are numbers, so nothing needs binding). Not for an empty list.
QString rowIdsIn(const std::vector<qint64>& ids);

// Parses a find criterion "Column = 'value'" / "Column='value'" (value may hold '' for a
// quote). Returns false when the text has another shape.
bool parseCriterion(const QString& criterion, QString* column, QString* value);

// ---- the server's dialect ----
//
// On the server every name is kept in lower case (quoted names are lowered, bare ones the
// server folds itself), so the program's names match however a statement spells them;
// the spelling the program uses is remembered and given back where the server reports
// names (spelling()). Every table on the server has a row identity of its own,
// RowIdColumn, standing in for SQLite's rowid; it is not one of the table's data columns.
inline constexpr const char* RowIdColumn = "tw_rowid";

// The statement (as SQLite takes it, or in the established SQL) in the server's dialect:
// quoted names lowered and in double quotes, rowid -> the row identity, True/False -> 1/0,
// LIKE -> ILIKE (SQLite compares without case), group_concat -> string_agg, INSERT OR
// IGNORE / OR REPLACE -> ON CONFLICT clauses (replace by primary key). In CREATE and ALTER
// statements column types become the server's (REAL -> DOUBLE PRECISION, INTEGER ->
// BIGINT, BOOLEAN -> SMALLINT, TEXT -> byte-ordered text, INTEGER PRIMARY KEY -> an
// identity), a new table gets its row identity, and an index that need not be unique ends
// with it. A statement it cannot translate exactly (rows written without naming their
// columns, a column type it does not know, an unclosed quote, several statements, ...)
// it refuses: TwError, naming the statement.
QString toServer(const QString& sql);

// The program's spelling of a name the server reports in lower case (the name itself when
// the spelling is not known). Names are learnt from every statement translated.
QString spelling(const QString& serverName);
void learnSpelling(const QString& name);
// The mixed-case names a CREATE or ALTER statement defines (to be remembered on the server).
QStringList definedNames(const QString& sql);

}  // namespace SqlDialect
