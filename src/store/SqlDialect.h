#pragma once
#include <QString>

// The program writes its statements in its established (Jet) SQL. This is the one place
// where they are turned into SQLite's dialect.
namespace SqlDialect {

// "DELETE * FROM t" -> "DELETE FROM t"; trailing ";" removed. Grave-accent quoted names,
// True/False and the rest are understood by SQLite as they stand.
QString translate(const QString& jetSql);

// A single-table SELECT split into its parts: "SELECT <columns> FROM <table> <where> <order>".
struct Select {
    QString columns;
    QString table;      // unquoted name
    QString where;      // condition without the word WHERE; empty when none
    QString orderBy;    // without the words ORDER BY; empty when none
    bool valid = false;
};
Select parseSelect(const QString& jetSql);

// Quotes a table or column name for SQLite ("`" doubled inside).
QString quoteName(const QString& name);

// Parses a find criterion "Column = 'value'" / "Column='value'" (value may hold '' for a
// quote). Returns false when the text has another shape.
bool parseCriterion(const QString& criterion, QString* column, QString* value);

}  // namespace SqlDialect
