#include "store/Query.h"
#include "store/Database.h"

#include <QSqlError>

QSqlQuery runQuery(Database& db, const QString& sql, const QVariantList& binds)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throwSqlError(q.lastError());
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
    return q;
}
