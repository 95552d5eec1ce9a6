#pragma once
#include "calc/Formulas.h"
#include "data/AlarmStore.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// The alarm rules on plain values: which level a value stands at (with the margin a value
// must fall back by before a level clears), the rate of change, staleness, the events a
// reading raises and the status they add up to; and the checks of levels typed by a user.
// No store and no widgets: the evaluation (AlarmEvaluation.h) feeds it.
namespace AlarmRules {

using AlarmStore::Levels;
using AlarmStore::Severity;

// Where one gauge position stands: 0 within the levels, 1 / 2 past the upper Alert /
// Action level, -1 / -2 past the lower ones (for the rate: past the level either way).
struct PositionState {
    int code = 0;
    QString since;     // stamp of the reading that brought it to this code
    double value = 0;  // the last value evaluated
    bool known = false;
};

// Every position of a sensor, keyed "L1".."L6" (loads), "D1".."D6" (displacements),
// "R1".."R6" (rates), and the stale flag.
struct States {
    QMap<QString, PositionState> positions;
    bool stale = false;
    QString staleSince;
    QString encode() const;
    static States decode(const QString& text);
};

// The values of one reading, computed against the baseline.
struct Sample {
    QString key;     // DateTimeKey
    QDateTime when;  // FullDate
    std::optional<Calc::Columns> loads;
    std::optional<Calc::Columns> disps;
    std::optional<Calc::Columns> rates;  // tons per day, per load position (NaN: none there)
};

// An event a sample raised.
struct Raised {
    QString quantity;  // "Load", "Disp", "Rate", "Stale"
    int position = 0;
    QString level;  // "Alert", "Action", "Stale"
    QString direction;
    double threshold = 0;
    double value = 0;
    QString readingKey;
    QString readingDate;
};

// The band code of a value against upper and lower Alert/Action levels, given the code it
// stood at before: a level is entered when the value reaches it, and left only when the
// value has fallen back past it by marginPercent of the level (at least a tiny amount, so a
// level of 0 also has a margin).
int classify(double value, const std::optional<double>& alertUpper, const std::optional<double>& actionUpper,
             const std::optional<double>& alertLower, const std::optional<double>& actionLower, double marginPercent,
             int previous);

// The change per day from (t0, v0) to (t1, v1); nullopt when t1 is not after t0.
std::optional<double> ratePerDay(const QDateTime& t0, double v0, const QDateTime& t1, double v1);

// Evaluates one reading: updates the states and returns the events raised (a position
// that moves further out: within -> Alert -> Action, or to the other side).
// A position whose value is NaN (no value there) is left as it stood.
std::vector<Raised> step(const Levels& levels, States& states, const Sample& sample);

// The stale check at a moment: stale when the last reading is older than the levels'
// stale days. Returns the event when the sensor has just become stale.
std::optional<Raised> checkStale(const Levels& levels, States& states, const QDateTime& lastReading,
                                 const QString& lastKey, const QDateTime& now);

struct Summary {
    Severity status = Severity::Ok;
    QString headline;
    QString since;
};
// The status the states add up to: Action or Alert when any position stands there, then
// Stale, otherwise OK; the headline names the position that stands highest.
Summary summarize(const States& states);

// How a value is shown: "12.40 t", "350.0 microns", "0.80 t/day".
QString valueText(const QString& quantity, double value);
// "Load #2" / "Disp #3" / "Rate #1" / "No reading".
QString positionText(const QString& quantity, int position);

// ---- Levels typed by the user ---------------------------------------------------------

enum Field {
    LoadAlertUpper,
    LoadActionUpper,
    LoadAlertLower,
    LoadActionLower,
    DispAlertUpper,
    DispActionUpper,
    DispAlertLower,
    DispActionLower,
    RateAlert,
    RateAction,
    RateWindowDays,
    MarginPercent,
    StaleDays,
    FieldCount
};
using Texts = std::array<QString, FieldCount>;

// The caption of a field in messages ("Load Alert (upper)").
QString fieldCaption(Field f);

// Reads and checks the texts: numbers only; on each side the Action level beyond the
// Alert level; the lower levels below the upper ones; positive rate levels, window and
// stale days; a margin from 0 to 50 per cent. An empty text is a level not set (or the
// default window 1 day, margin 5 %). Returns the message to show (empty when all is well)
// and the field at fault.
struct Checked {
    Levels levels;
    QString message;
    int field = -1;
    bool ok() const { return message.isEmpty(); }
};
Checked check(const Texts& texts);

// The texts that show stored levels.
Texts textsOf(const Levels& levels);

}  // namespace AlarmRules
