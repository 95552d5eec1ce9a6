#pragma once
#include "tools/LoggerClock.h"
#include "tools/LoggerTable.h"

#include <QByteArray>
#include <QtNumeric>
#include <QString>
#include <QStringList>
#include <limits>
#include <vector>

class Database;

// From a logger file's rows to stored readings, the same for every file format: which
// fields feed a reading (a mapping), the moment of each row, the pre-selection by an
// interval, the check of every selected row before anything is stored, and the append in
// one transaction through one prepared statement.
namespace LoggerReadings {

struct Mapping {
    int dateField = 0;
    LoggerClock::Layout layout = LoggerClock::Layout::YearFirst;
    qint64 offsetSeconds = 0;      // added to the logger's time to give the site's time
    int tempField = -1;            // feeds ChannelT; -1: none
    std::vector<int> gaugeFields;  // feed Channel1, Channel2, ...; -1: none (stored empty)
    // Codes the logger writes for "no reading" besides the empty field, NAN, INF and -INF
    // ("-99999", "OVR"): a field equal to one (letters in any case, numbers by value) is no value.
    std::vector<QByteArray> missingCodes;
    int expectedFields = 0;       // a row with another number of fields is refused (0: any)
    bool requireLineEnd = false;  // a last line with no line end is refused (cut short)
    QByteArray markerDate;        // a date text never pre-selected
};

// The sensor the readings go to.
struct Target {
    QString sensorId;
    int gauges = 0;            // Channel1 .. Channel<gauges> are written (at most 10)
    bool tempChannel = false;  // ChannelT is written
    // The sensor type's reading limits (Configuration: lowval, highval, templow, temphigh),
    // for the value checks; NaN where the type gives none.
    double low = qQNaN(), high = qQNaN(), tempLow = qQNaN(), tempHigh = qQNaN();
};

constexpr qint64 NoMoment = std::numeric_limits<qint64>::min();

// The moment (site time, seconds as LoggerClock) of every row; NoMoment for a row that
// cannot be dated (broken, a wrong number of fields, an unreadable or marker date).
std::vector<qint64> moments(const LoggerTable& table, const Mapping& m);

// The dated rows taken in time order, whatever their order in the file (a logger clock
// set back, files joined): the first, then each next one at least interval clock-hour
// boundaries after the last one chosen. A row at the very moment of the last one chosen
// is chosen too, so that the append counts it as a duplicate instead of dropping it.
std::vector<bool> preselect(const std::vector<qint64>& moments, int interval);

// A reading built from a row: texts in fixed buffers, so building a million costs no
// allocation.
struct Built {
    qint64 moment = NoMoment;  // site time, as moments()
    LoggerClock::Texts when;
    char temp[32];
    int tempLen = -1;  // -1: ChannelT not written; 0: stored empty
    char gauge[10][32];
    int gaugeLen[10] = {};  // 0: stored empty
    // What the fields held before they became stored texts, for the value checks.
    int tempChars = 0;         // characters of the temperature field (blanks trimmed)
    int gaugeChars[10] = {};   // characters of each gauge field (blanks trimmed)
    bool gaugeGiven[10] = {};  // the gauge field held a value (not empty, nor a no-value word)
    // The numbers the stored texts hold, as read back from them, for the limit checks
    // (NaN: not known, the text is read).
    double tempValue = qQNaN();
    double gaugeValue[10] = {qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN(), qQNaN()};
};

// Builds the reading of a row; returns why it cannot be stored (empty when it can).
QString build(const LoggerTable& table, qsizetype row, const Mapping& m, const Target& t, Built& out);

// The reading's key, "<sensor> yyyy/MM/dd HH:mm:ss".
QString keyOf(const Target& t, const Built& b);

// A line that cannot be stored, and why.
struct Refusal {
    int line = 0;
    QString reason;
};

// Every selected row checked before anything is stored.
struct Survey {
    qint64 ready = 0;              // rows that will be offered to the database
    std::vector<Refusal> refused;  // in file order
    std::vector<bool> storable;    // per row: selected and ready
    std::vector<qint64> moments;   // per storable row, in row order: its moment (site time)
    // With keep: the value texts of every storable row, in row order, as the append stores
    // them (per written channel, ChannelT first, one length byte and the text), so that the
    // append stores them without building the rows again.
    QByteArray kept;
    bool cancelled = false;
};
Survey survey(const LoggerTable& table, const std::vector<bool>& selected, const Mapping& m, const Target& t,
              const LoggerTable::Progress& progress = {}, bool keep = false);

// One summary of refused lines (empty when none): what the user sees before deciding.
QString refusalSummary(const std::vector<Refusal>& refused, int shown = 5);

struct Outcome {
    qint64 appended = 0;
    qint64 duplicates = 0;
    QStringList duplicateKeys;  // the first keys refused as duplicates (at most 100)
    bool cancelled = false;     // stopped by the user: nothing stored
};

// Appends the storable rows of a survey as new readings (IsDirty and Plottemporal set,
// PlotSpatial on the first new reading of each day that has none: SpatialPerDay) in one
// transaction; a key that exists already is a duplicate and is
// left alone. immediate takes the write lock at once (for a second process working on
// the same file). Cancelling through progress stores nothing. Throws TwError on a database
// failure (nothing stored). withValues: the readings the calculation passes would compute
// from unchanged inputs are stored with their computed columns and unmarked
// (data/AppendedValues.h), so the pass after the import has only the others left.
Outcome append(Database& db, const Target& t, const LoggerTable& table, const Survey& survey, const Mapping& m,
               const LoggerTable::Progress& progress = {}, bool immediate = false, bool withValues = false);

// The message that reports duplicates (empty when none): one key, or the count and the
// first few keys.
QString duplicatesMessage(qint64 count, const QStringList& firstKeys);

// Number texts of a field (exposed for tests): the leading number with a fixed number of
// decimals, rounded half away from zero on its decimal digits (as LoggerImport::leadingFixed).
// value, when given, receives the number the text written holds (as a reader of that text
// gets it).
int leadingFixed(QByteArrayView text, int decimals, char* out, int capacity, double* value = nullptr);

// A strict number, the whole text one number (blanks around it aside): 1 and its text with
// a fixed number of decimals; 0 for no value (empty, NAN, INF, -INF in any case); NotANumber
// when the text is not a number; TooLarge for a number no reading can hold (1e308).
constexpr int NotANumber = -1;
constexpr int TooLarge = -2;
int strictFixed(QByteArrayView text, int decimals, char* out, int capacity, int* length, double* value = nullptr);

}  // namespace LoggerReadings
