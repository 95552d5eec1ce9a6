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

// The readings of the program's own date shape within the dates, counted by the engine,
// and the rowids of those whose date is written another way and falls within them.
qint64 countCanonical(Database& db, const QString& table, const QString& from, const QString& to)
{
    QSqlQuery q(db.handle());
    if (!q.prepare(QStringLiteral("SELECT COUNT(*) FROM ") + table + QStringLiteral(" WHERE ReadingDate GLOB ") +
                   CanonicalShape + QStringLiteral(" AND ReadingDate BETWEEN ? AND ?")))
        throwSqlError(q.lastError());
    q.addBindValue(from);
    q.addBindValue(to);
    if (!q.exec() || !q.next()) throwSqlError(q.lastError());
    return q.value(0).toLongLong();
}

std::vector<qint64> oddRowsBetween(Database& db, const QString& table, const QDate& start, const QDate& end)
{
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
    return ids;
}

}  // namespace

qint64 countBetween(Database& db, const QString& id, const QDate& start, const QDate& end)
{
    if (!start.isValid() || !end.isValid() || start > end) return 0;
    const QString table = SqlDialect::quoteName(id);
    return countCanonical(db, table, ReadingFormats::dateText(start), ReadingFormats::dateText(end)) +
           qint64(oddRowsBetween(db, table, start, end).size());
}

Extent extentOf(Database& db, const QString& id)
{
    Extent e;
    const QString table = SqlDialect::quoteName(id);
    QSqlQuery q(db.handle());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !q.next()) throwSqlError(q.lastError());
    e.count = q.value(0).toLongLong();
    q.finish();
    // FullDate is kept so that text order is time order.
    if (!q.exec(QStringLiteral("SELECT MIN(FullDate), MAX(FullDate) FROM ") + table) || !q.next())
        throwSqlError(q.lastError());
    if (!q.value(0).isNull()) e.first = ReadingFormats::parseFullDate(q.value(0)).date();
    if (!q.value(1).isNull()) e.last = ReadingFormats::parseFullDate(q.value(1)).date();
    return e;
}

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
    const std::vector<qint64> ids = oddRowsBetween(db, table, start, end);
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
