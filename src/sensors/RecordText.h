#pragma once
#include <QDate>
#include <QString>

// How the sensor record's dates travel between the boxes and the Sensors table.
namespace RecordText {

// Stored form of dates: "yyyy/MM/dd" (reads the same on any machine and sorts as text).
inline const QString StoredDateFormat = QStringLiteral("yyyy/MM/dd");

// The locale's short date form with a four-digit year (so a date read back never lands in
// the wrong century).
QString shortDateFormat();

// A date typed or stored as "yyyy/MM/dd", "yyyy-MM-dd" (optionally with a time) or in the
// locale's short form; invalid when the text is none of these.
QDate parseDate(const QString& text);

// InstallDate as shown: a date formatted "yyyy/MM/dd"; other text as it is.
QString installDateForDisplay(const QString& stored);

// DestructionDate as shown: a date in the locale's short form; other text as it is.
QString destructionDateForDisplay(const QString& stored);

// Today's date as the destroyed flag writes it into the box.
QString todayForDestruction(const QDate& today = QDate::currentDate());

// The value stored for a typed destruction date: "yyyy/MM/dd". Throws TwError 13 for a
// text that is not a date (the column holds dates only).
QString destructionDateToStore(const QString& typed);

}  // namespace RecordText
