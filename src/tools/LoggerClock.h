#pragma once
#include <QByteArrayView>
#include <QString>
#include <optional>

// Dates and times of logger rows read straight from the file's bytes, as seconds of clock
// time (no time zone) from 0001-01-01 00:00:00, and the texts a reading stores.
namespace LoggerClock {

// The date layouts a file may use. The first three are the import window's options for
// the comma-separated layout (their rules are those of LoggerDates::read); Iso8601 is
// "YYYY-MM-DD", a blank or "T", then "HH:MM", ":SS" and a fraction of a second optional
// (the fraction is dropped: readings are kept to the second), as the four-header-line
// logger format and most spreadsheets write it.
enum class Layout { YearFirst = 0, DayFirst = 1, MonthFirst = 2, Iso8601 = 3 };
constexpr int LayoutCount = 4;

QString caption(Layout layout);  // "YYYY/MM/DD", "DD/MM/YYYY", "MM/DD/YYYY", "ISO 8601 (YYYY-MM-DD HH:MM:SS)"

std::optional<qint64> read(QByteArrayView text, Layout layout);

// Texts of a moment, written into the caller's buffers (no allocation).
struct Texts {
    char date[11];    // "yyyy/MM/dd"
    char time[9];     // "HH:mm:ss"
    char stored[20];  // "yyyy-MM-dd HH:mm:ss" (FullDate)
};
// False when the moment is outside the years 1 to 9999.
bool texts(qint64 seconds, Texts& out);

// The moment as "yyyy/MM/dd HH:mm:ss" (empty outside the years 1 to 9999).
QString display(qint64 seconds);

}  // namespace LoggerClock
