#include "readings/ReadingDeletion.h"
#include "readings/ReadingFormats.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <vector>

namespace ReadingDeletion {

namespace {
// The shape every reading written by the program has; such texts compare as dates.
const QString CanonicalShape = QStringLiteral("'[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9]'");
// Rows looked at per step: few enough that the engine still holds their pages when the
// same step deletes them.
constexpr qint64 ChunkRows = 2048;
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
    QSqlQuery bounds(db.handle());
    if (!bounds.exec(QStringLiteral("SELECT MIN(rowid), MAX(rowid) FROM ") + table)) throwSqlError(bounds.lastError());
    bounds.next();
    const QVariant lowId = bounds.value(0);
    const qint64 first = lowId.toLongLong();
    const qint64 last = bounds.value(1).toLongLong();
    bounds.finish();
    if (!lowId.isNull()) {
        // Step by step through the row identities: the rows whose date was written in
        // another shape (edited by hand) are read as dates, those in the program's own
        // shape are compared as text by the engine.
        Statement odd(db, QStringLiteral("SELECT rowid, ReadingDate FROM ") + table +
                              QStringLiteral(" WHERE rowid BETWEEN ? AND ? AND ReadingDate IS NOT NULL AND NOT "
                                             "(ReadingDate GLOB ") + CanonicalShape + ')');
        Statement inShape(db, QStringLiteral("DELETE FROM ") + table +
                                  QStringLiteral(" WHERE rowid BETWEEN ? AND ? AND ReadingDate GLOB ") + CanonicalShape +
                                  QStringLiteral(" AND ReadingDate BETWEEN ? AND ?"));
        Statement one(db, QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE rowid = ?"));
        inShape.bind(3, from);
        inShape.bind(4, to);
        std::vector<qint64> oddIds;
        const qint64 span = last - first + 1;
        for (qint64 lo = first; lo <= last; lo += ChunkRows) {
            const qint64 hi = std::min(last, lo + ChunkRows - 1);
            odd.bind(1, lo);
            odd.bind(2, hi);
            oddIds.clear();
            while (odd.next()) {
                const QDate d = ReadingFormats::parseStoredDate(odd.text(1));
                if (d.isValid() && d >= start && d <= end) oddIds.push_back(odd.integer(0));
            }
            inShape.bind(1, lo);
            inShape.bind(2, hi);
            deleted += inShape.run();
            for (qint64 rowid : oddIds) {
                one.bind(1, rowid);
                deleted += one.run();
            }
            if (progress && ((lo - first) / ChunkRows) % 16 == 15) progress(int(99 * (hi - first + 1) / span));
        }
    }

    tx.commit();
    if (progress) progress(100);
    return deleted;
}

}  // namespace ReadingDeletion
