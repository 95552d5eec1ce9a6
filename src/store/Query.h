#pragma once
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class Database;

// Prepares and runs one statement of the program's SQL on the connection, binding the
// values in order; a forward-only query positioned before its first row. Throws TwError
// (through throwSqlError) when the statement is refused.
QSqlQuery runQuery(Database& db, const QString& sql, const QVariantList& binds = {});
