#pragma once
#include <QDate>
#include <QString>
#include <QVariantList>
#include <optional>

// The sensor filter's criteria, built from what the user typed on the Utilities tab.
// Widget-free: the page reads its boxes into FilterInput and lays the result over the
// Sensors recordset.
namespace FilterCriteria {

// The type code a type text stands for: "25: d1HALYX" or "25" -> "25" (likewise 45, 55,
// 65), after trimming. Empty text -> empty code. Any other text -> nullopt.
std::optional<QString> typeCode(const QString& text);

// A date typed in a filter box: "yyyy/mm/dd" (one- or two-digit month and day, "/" or
// "-" between), or the locale's short date format. nullopt when it is not a date.
std::optional<QDate> parseDate(const QString& text);

struct Input {
    bool dontShowDestroyed = false;
    QString type;       // as typed or chosen
    QString level;
    QString location;
    QString startDate;  // as typed
    QString endDate;
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
// range. A start without an end ends today; an end without a start starts 1999/01/01.
// The range compares days: InstallDate holds "yyyy/MM/dd", whose text order is day order,
// and both ends are bound in that form whatever the user typed.
Result build(const Input& in, const QDate& today);

// The stored form of a day for comparing with InstallDate.
QString storedDate(const QDate& d);

}  // namespace FilterCriteria
