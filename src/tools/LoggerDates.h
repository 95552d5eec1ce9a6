#pragma once
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace LoggerFile {
struct Row;
}

// The date of a logger row (its first field, WrenDate) in the three layouts a logger may
// write, and the pre-selection of rows by a minimum interval in clock hours.
namespace LoggerDates {

// The layouts, in the order of the import window's options.
enum class Layout { YearFirst = 0, DayFirst = 1, MonthFirst = 2 };

QString layoutCaption(Layout layout);  // "YYYY/MM/DD", "DD/MM/YYYY", "MM/DD/YYYY"

// The marker date a logger writes for a reading it could not time: never pre-selected.
inline const QString MarkerDate = QStringLiteral("2000/01/01 00:00:80");

struct Stamp {
    QString dateText;    // "yyyy/MM/dd"
    QString timeText;    // "HH:mm:ss"
    qint64 seconds = 0;  // seconds from 0001-01-01 00:00:00, clock time (no time zone)

    QString fullText() const { return dateText + u' ' + timeText; }  // key form
    QString storedText() const;                                      // "yyyy-MM-dd HH:mm:ss"
};

// Reads a WrenDate text by a layout; nullopt when it is empty or cannot be read.
//  - YearFirst: the whole text is a date and time, "YYYY/MM/DD HH:NN:SS" (also "-" or "."
//    between the date's parts, one-digit month, day and hour, no seconds, or no time at all).
//  - DayFirst / MonthFirst: fixed places: day (month) at characters 1-2, month (day) at
//    4-5, year at 7-10, the time "HH:NN:SS" at 12-19; characters 3, 6 and 11 are not read.
std::optional<Stamp> read(QStringView text, Layout layout);

// Clock-hour boundaries crossed from one time to the next: both are cut to the hour before
// subtracting, so 10:59 to 11:01 counts 1.
qint64 hourBoundaries(qint64 fromSeconds, qint64 toSeconds);

// The interval box's text as whole hours (the leading number, rounded half to even).
int intervalHours(const QString& text);

// Pre-selects rows: the first readable row, then each next readable row at least interval
// hour boundaries after the last selected one. Rows that are broken, whose date is empty,
// unreadable or the marker date are never selected and do not move the reference time.
std::vector<bool> preselect(const std::vector<LoggerFile::Row>& rows, Layout layout, int interval);

}  // namespace LoggerDates
