#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

// The sensor filter's criteria, built from what the user typed on the Utilities tab.
// Widget-free: the page reads its boxes into FilterInput and lays the result over the
// Sensors recordset.
namespace FilterCriteria {

// The list entry offered for a sensor type of the Configuration table: its code, ": "
// and its model ("75: d6HALYX"); the bare code when the type has no model.
QString typeEntry(const QString& code, const QString& model);

// The entries of the sensor types a new database's Configuration table holds (25 to 75).
QStringList standardTypeEntries();

// The type code a type text stands for, after trimming: one of the entries given
// ("75: d6HALYX") or the code it starts with ("75") -> "75". Empty text -> empty code.
// Any other text -> nullopt.
std::optional<QString> typeCode(const QString& text, const QStringList& entries = standardTypeEntries());

// A text typed for a LIKE pattern, its wildcards % and _ (and the escape character \)
// escaped so they match themselves: used with ESCAPE '\'.
QString escapeLike(const QString& text);

// A date typed in a filter box: "yyyy/mm/dd" (one- or two-digit month and day, "/" or
// "-" between), or the locale's short date format. nullopt when it is not a date.
std::optional<QDate> parseDate(const QString& text);

struct Input {
    bool dontShowDestroyed = false;
    QString type;  // as typed or chosen
    QString level;
    QString location;
    QString startDate;  // as typed
    QString endDate;
    QStringList types = standardTypeEntries();  // the entries the type box offers
};

struct Criteria {
    // The condition in the recordset's SQL, values as "?" placeholders in binds.
    QString where;
    QVariantList binds;
    // The same criteria written out for people and the log, e.g.
    // Destroyed = 'No' AND SensorType ='25'
    QString text;
    bool isEmpty() const { return where.isEmpty(); }
};

enum class Problem { None, UnknownType, BadStartDate, BadEndDate, NoCriteria };

struct Result {
    Problem problem = Problem::None;
    Criteria criteria;
};

// Builds the criteria: destroyed flag, type, level, location, then the installation-date
// range. Level and location match any part of the stored text, case ignored (LIKE, which
// the server's dialect turns into ILIKE); what was typed is bound, its wildcards escaped.
// A start without an end ends today; an end without a start starts 1999/01/01.
// The range compares days: InstallDate holds "yyyy/MM/dd", whose text order is day order,
// and both ends are bound in that form whatever the user typed.
Result build(const Input& in, const QDate& today);

// The stored form of a day for comparing with InstallDate.
QString storedDate(const QDate& d);

}  // namespace FilterCriteria
