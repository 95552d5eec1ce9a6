#pragma once
#include <QDate>
#include <QString>
#include <QStringList>

class Database;

// Demonstration data for a new installation: three sensors with two years of readings
// (weekly readings by hand, and hourly logger data on one of them), readings marked for
// every chart, and a sample logger file in the data folder, so that every tab shows
// something at once.
namespace DemoData {

struct Result {
    bool ok = true;
    QStringList lines;
};

// Adds the demo sensors when the database holds no sensor yet; otherwise leaves it alone.
// endDate is the day of the last reading (today when invalid).
Result install(Database& db, const QString& dataFolder, const QDate& endDate);

}  // namespace DemoData
