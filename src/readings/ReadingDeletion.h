#pragma once
#include <QDate>
#include <QString>
#include <functional>

class Database;

// Deleting a sensor's readings by the day they were taken.
namespace ReadingDeletion {

// Deletes from the data table id every reading whose ReadingDate, taken as a date, is on
// or between start and end, as one transaction, and returns how many were deleted. A
// start after the end deletes nothing. A row whose ReadingDate cannot be read as a date
// is kept. progress (optional) is told the share done, 0 to 100, as the work goes on.
// Throws TwError on a database failure; nothing is deleted then.
qint64 deleteBetween(Database& db, const QString& id, const QDate& start, const QDate& end,
                     const std::function<void(int percent)>& progress = {});

// How many readings deleteBetween would delete for the same dates.
qint64 countBetween(Database& db, const QString& id, const QDate& start, const QDate& end);

// What the deletion window tells about a sensor's readings: how many there are and the
// days of the first and the last (invalid dates when there are none).
struct Extent {
    qint64 count = 0;
    QDate first;
    QDate last;
};
Extent extentOf(Database& db, const QString& id);

}  // namespace ReadingDeletion
