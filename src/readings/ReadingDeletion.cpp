#include "readings/ReadingDeletion.h"
#include "readings/ReadingFormats.h"
#include "data/Rejections.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/ReadingEdits.h"
#include "store/Statement.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ReadingDeletion {

namespace {
constexpr qint64 ChunkRows = 8192;
const QByteArray InRange = QByteArrayLiteral("tw_reading_date_in_range");

bool digits(QByteArrayView t, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    return true;
}

// The shape every reading written by the program has ("yyyy/MM/dd"); such texts compare
// as dates.
bool inProgramShape(QByteArrayView t)
{
    return t.size() == 10 && t[4] == '/' && t[7] == '/' && digits(t, 0, 4) && digits(t, 5, 2) && digits(t, 8, 2);
}

// Whether a reading's date falls in the range, as the engine's SQL asks it
// (tw_reading_date_in_range(ReadingDate)): a date in the program's own shape is compared
// as text, one written in another shape (edited by hand) is read as a date; no date, no.
class DateRangeTest {
public:
    DateRangeTest(Database& db, const QDate& start, const QDate& end)
        : m_from(ReadingFormats::dateText(start).toUtf8()),
          m_to(ReadingFormats::dateText(end).toUtf8()),
          m_test(db, InRange, [this, start, end](QByteArrayView d) {
              if (inProgramShape(d)) return d.compare(m_from) >= 0 && d.compare(m_to) <= 0;
              const QDate date = ReadingFormats::parseStoredDate(QString::fromUtf8(d.data(), d.size()));
              return date.isValid() && date >= start && date <= end;
          })
    {}

private:
    QByteArray m_from;
    QByteArray m_to;
    TextTest m_test;
};
}  // namespace

qint64 countBetween(Database& db, const QString& id, const QDate& start, const QDate& end)
{
    if (!start.isValid() || !end.isValid() || start > end) return 0;
    const DateRangeTest inRange(db, start, end);
    Statement q(db, QStringLiteral("SELECT COUNT(*) FROM ") + SqlDialect::quoteName(id) +
                        QStringLiteral(" WHERE tw_reading_date_in_range(ReadingDate)"));
    return q.next() ? q.integer(0) : 0;
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
    qint64 deleted = 0;
    const DateRangeTest inRange(db, start, end);

    Transaction tx(db);
    QSqlQuery bounds(db.handle());
    if (!bounds.exec(QStringLiteral("SELECT MIN(rowid), MAX(rowid) FROM ") + table)) throwSqlError(bounds.lastError());
    bounds.next();
    const QVariant lowId = bounds.value(0);
    const qint64 first = lowId.toLongLong();
    const qint64 last = bounds.value(1).toLongLong();
    bounds.finish();
    if (!lowId.isNull()) {
        ReadingEdits::deleteInBulk(db, id, [&] {
            // Step by step through the row identities, so that progress can be told.
            Statement del(db,
                          QStringLiteral("DELETE FROM ") + table +
                              QStringLiteral(" WHERE rowid BETWEEN ? AND ? AND tw_reading_date_in_range(ReadingDate)"));
            const qint64 span = last - first + 1;
            for (qint64 lo = first; lo <= last; lo += ChunkRows) {
                const qint64 hi = std::min(last, lo + ChunkRows - 1);
                del.bind(1, lo);
                del.bind(2, hi);
                deleted += del.run();
                if (progress) progress(int(99 * (hi - first + 1) / span));
            }
        });
    }
    if (deleted > 0) Rejections::forgetDeletedReadings(db, id);

    tx.commit();
    if (progress) progress(100);
    return deleted;
}

}  // namespace ReadingDeletion
