#include "readings/ReadingDeletion.h"
#include "readings/ReadingFormats.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <vector>

namespace ReadingDeletion {

namespace {
// The shape every reading written by the program has; such texts compare as dates.
const QString CanonicalShape = QStringLiteral("'[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9]'");
constexpr qint64 ChunkRows = 8192;
}  // namespace

qint64 deleteBetween(Database& db, const QString& id, const QDate& start, const QDate& end,
                     const std::function<void(int)>& progress)
{
    if (progress) progress(0);
    if (!start.isValid() || !end.isValid() || start > end) {
        if (progress) progress(100);
        return 0;
    }
    const QString table = SqlDialect::quoteName(id);
    const QString from = ReadingFormats::dateText(start);
    const QString to = ReadingFormats::dateText(end);
    qint64 deleted = 0;

    Transaction tx(db);

    // Rows in the program's own date shape: compared as text, in slices of the row
    // identities so that progress can be told.
    QSqlQuery bounds(db.handle());
    if (!bounds.exec(QStringLiteral("SELECT MIN(rowid), MAX(rowid) FROM ") + table)) throwSqlError(bounds.lastError());
    bounds.next();
    const QVariant lowId = bounds.value(0);
    const qint64 first = lowId.toLongLong();
    const qint64 last = bounds.value(1).toLongLong();
    bounds.finish();
    if (!lowId.isNull()) {
        QSqlQuery del(db.handle());
        if (!del.prepare(QStringLiteral("DELETE FROM ") + table +
                         QStringLiteral(" WHERE rowid BETWEEN ? AND ? AND ReadingDate GLOB ") + CanonicalShape +
                         QStringLiteral(" AND ReadingDate BETWEEN ? AND ?")))
            throwSqlError(del.lastError());
        const qint64 span = last - first + 1;
        for (qint64 lo = first; lo <= last; lo += ChunkRows) {
            del.bindValue(0, lo);
            del.bindValue(1, std::min(last, lo + ChunkRows - 1));
            del.bindValue(2, from);
            del.bindValue(3, to);
            if (!del.exec()) throwSqlError(del.lastError());
            deleted += del.numRowsAffected();
            if (progress) progress(int(95 * (std::min(last, lo + ChunkRows - 1) - first + 1) / span));
        }
        del.finish();
    }

    // Rows whose date was written in another shape (edited by hand): read each as a date.
    QSqlQuery odd(db.handle());
    odd.setForwardOnly(true);
    if (!odd.exec(QStringLiteral("SELECT rowid, ReadingDate FROM ") + table +
                  QStringLiteral(" WHERE ReadingDate IS NOT NULL AND NOT (ReadingDate GLOB ") + CanonicalShape + ')'))
        throwSqlError(odd.lastError());
    std::vector<qint64> ids;
    while (odd.next()) {
        const QDate d = ReadingFormats::parseStoredDate(odd.value(1).toString());
        if (d.isValid() && d >= start && d <= end) ids.push_back(odd.value(0).toLongLong());
    }
    odd.finish();
    if (!ids.empty()) {
        QSqlQuery del(db.handle());
        if (!del.prepare(QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE rowid = ?")))
            throwSqlError(del.lastError());
        for (qint64 rowid : ids) {
            del.bindValue(0, rowid);
            if (!del.exec()) throwSqlError(del.lastError());
            deleted += del.numRowsAffected();
        }
    }

    tx.commit();
    if (progress) progress(100);
    return deleted;
}

}  // namespace ReadingDeletion
