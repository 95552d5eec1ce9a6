#pragma once
#include "calc/ReadingValues.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The texts a reading is stored and shown with. Key and column formats are fixed whatever
// the locale: a key is "<InstrumentID> yyyy/MM/dd HH:mm:ss", ReadingDate "yyyy/MM/dd",
// ReadingTime "HH:mm:ss", gauge values "##0.00", the temperature "##0.0".
namespace ReadingFormats {

inline const QString DateFormat = QStringLiteral("yyyy/MM/dd");
inline const QString TimeFormat = QStringLiteral("HH:mm:ss");
inline const QString ChannelPattern = ReadingValues::GaugePattern;
inline const QString TemperaturePattern = ReadingValues::TemperaturePattern;

QString dateText(const QDate& date);
QString timeText(const QTime& time);

// The reading key of a sensor at a date and time (seconds kept, milliseconds dropped).
QString readingKey(const QString& instrumentId, const QDate& date, const QTime& time);

// The instant stored in FullDate for a picked date and time, to the second.
QDateTime fullDate(const QDate& date, const QTime& time);

// The find criterion for a key: "DateTimeKey = '<key>'" (a quote in the key is doubled).
QString keyCriterion(const QString& key);

// The empty text a gauge or temperature without a value is stored as (not null).
inline const QString EmptyText = QString::fromLatin1("");

// Gauge and temperature box texts as stored: trimmed, formatted by their pattern; an
// empty box gives EmptyText; a text that is not a number is kept as typed (trimmed).
QString storedChannelText(const QString& boxText);
QString storedTemperatureText(const QString& boxText);

// Reads a stored ReadingDate / ReadingTime text back. Besides the program's own formats
// it accepts the shapes a hand-edited row may hold ("2024/5/7", "2024-05-07", a date
// followed by a time). An unreadable text gives an invalid QDate / QTime.
QDate parseStoredDate(const QString& text);
QTime parseStoredTime(const QString& text);
// A FullDate value (text "yyyy-MM-dd HH:mm:ss", or a date-time) as a date-time.
QDateTime parseFullDate(const QVariant& value);

// "<position> of <count>", as the reading counter shows it.
QString countText(qint64 position, qint64 count);

// Messages of the readings tab.
QString duplicateOnMessage(const QDate& date, const QTime& time);
QString rangeDeletedMessage(qint64 count, const QDate& start, const QDate& end);
// The deletion window's questions and refusals, naming the sensor and the count.
QString deleteOneQuestion(const QString& sensor, const QString& reading);
QString deleteRangeQuestion(const QString& sensor, qint64 count, const QDate& start, const QDate& end);
QString nothingInRangeMessage(const QString& sensor, const QDate& start, const QDate& end);
QString deleteAllQuestion(const QString& sensor, qint64 count);
QString noReadingsMessage(const QString& sensor);

}  // namespace ReadingFormats
