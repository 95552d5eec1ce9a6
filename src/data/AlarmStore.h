#pragma once
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Database;

// The alarm tables of the database: each sensor's levels (AlarmLevels), the events raised
// when a reading passes one (AlarmEvents) and the sensor's last evaluated state
// (AlarmState). Every page that shows alarms reads them here; the evaluation that fills
// them lives in src/alarms. Failures throw TwError.
namespace AlarmStore {

// A sensor's status, in rising order of concern. NoLevels: no level is set for it.
enum class Severity { NoLevels = -1, Ok = 0, Stale = 1, Alert = 2, Action = 3 };

// The word shown with the status ("OK", "Stale", "Alert", "Action", "No levels"), and its
// colour as a "#rrggbb" name (green, grey, amber, red; empty for NoLevels).
QString word(Severity s);
QString colourName(Severity s);
Severity severityFromWord(const QString& word);

// The levels of one sensor. An unset level is off. Loads in tons, displacements in the
// units of the displacement chart, the rate in tons per day over rateWindowDays.
struct Levels {
    std::optional<double> loadAlertUpper, loadActionUpper, loadAlertLower, loadActionLower;
    std::optional<double> dispAlertUpper, dispActionUpper, dispAlertLower, dispActionLower;
    std::optional<double> rateAlert, rateAction;
    double rateWindowDays = 1.0;
    double marginPercent = 5.0;       // how far a value falls back before a level clears
    std::optional<double> staleDays;  // no reading for longer than this: Stale

    bool any() const;  // any level or the stale check set
    bool anyLoad() const;
    bool anyDisp() const;
    bool anyRate() const { return rateAlert || rateAction; }
    // A text that changes whenever a level changes (part of the evaluation's signature).
    QString signature() const;
};

std::optional<Levels> levels(Database& db, const QString& sensorId);
// Stores the levels (replacing those stored); levels with nothing set remove the row.
void saveLevels(Database& db, const QString& sensorId, const Levels& levels);

// One crossing of a level by a reading.
struct Event {
    qint64 id = 0;
    QString sensorId;
    QString quantity;       // "Load", "Disp", "Rate" or "Stale"
    int position = 0;       // gauge position (1..6); 0 for the sensor as a whole (Stale)
    QString level;          // "Alert", "Action" or "Stale"
    QString direction;      // "upper" / "lower" (loads, displacements), "rising" / "falling" (rate)
    double threshold = 0;   // the level passed (the stale days for Stale)
    double value = 0;       // the value that passed it (days without a reading for Stale)
    QString readingKey;     // the reading that raised it (the last reading for Stale)
    QString readingDate;    // its FullDate, "yyyy-MM-dd HH:mm:ss"
    QString raisedAt;       // when the evaluation raised it
    bool notified = false;  // counted in a summary message already
    QString ackBy, ackAt, ackNote;
    bool acknowledged() const { return !ackAt.isEmpty(); }
};

// Adds an event and returns its id.
qint64 addEvent(Database& db, const Event& e);

enum class EventFilter { All, Open, Acknowledged };
// Events of every sensor (sensorId empty) or one, newest reading first.
std::vector<Event> events(Database& db, EventFilter filter = EventFilter::All, const QString& sensorId = QString());

// Acknowledges open events with a note (who and when recorded). Returns how many changed.
// Throws TwError 5 (invalid argument) for an empty note.
int acknowledge(Database& db, const QList<qint64>& ids, const QString& note, const QString& who, const QDateTime& when);

// The events not yet counted in a summary message; marking them counted.
std::vector<Event> unnotified(Database& db);
void markNotified(Database& db);

// The last evaluated state of a sensor.
struct State {
    Severity status = Severity::Ok;
    QString since;      // "yyyy-MM-dd HH:mm:ss": when the sensor reached this status
    QString headline;   // what stands highest, e.g. "Load #2 12.40 t (Action 12.00 t)"
    QString positions;  // the level each gauge position stands at (the evaluation's own text)
    QString lastKey;    // the last reading evaluated
    QString lastFullDate;
    QString lastValues;  // its channel texts, to see an edit of it
    QString signature;   // levels, sensor set-up and baselines the state was made with
    QString evaluatedAt;
};

std::optional<State> state(Database& db, const QString& sensorId);
void saveState(Database& db, const QString& sensorId, const State& st);
void removeState(Database& db, const QString& sensorId);
// Every sensor's stored status.
QHash<QString, State> states(Database& db);

// A sensor removed from the database: its levels and state go; its events stay as the
// record of what happened.
void forgetSensor(Database& db, const QString& sensorId);

// The status line of a sensor for the Identification page ("Status: Action - Load #2
// 12.40 t (Action 12.00 t) since 2026/12/01 08:00"), and the short tooltip of its mark.
QString statusLine(const std::optional<State>& st, bool hasLevels);

// How a value is shown: "12.40 t", "350.0 microns", "0.80 t/day", "9.5 days".
QString valueText(const QString& quantity, double value);
// "Load #2" / "Disp #3" / "Rate #1"; "No reading" for Stale.
QString positionText(const QString& quantity, int position);
// The levels in words, one line per kind ("Load above: Alert 8 t, Action 12 t").
QStringList levelsText(const Levels& levels);

// What the spreadsheet export gives of a sensor's alarms: the status line, the levels and
// the open events, as rows of cells.
QList<QStringList> sheetRows(Database& db, const QString& sensorId);

// The login name recorded with an acknowledgement.
QString loginName();

// The stored date-time text of a moment, and back.
QString stamp(const QDateTime& when);
QDateTime fromStamp(const QString& text);
// "yyyy/MM/dd HH:mm" for people.
QString shownDate(const QString& stampText);

}  // namespace AlarmStore
