#pragma once
#include "data/AlarmStore.h"

#include <QDateTime>
#include <QString>
#include <vector>

class Database;

// Evaluates a sensor's alarm levels from its readings: the loads (and displacements where
// levels are set for them) are computed with the formulas from the raw channels against the
// baseline the time charts use - the first plottable reading for loads, the first reading
// marked for the time charts for displacements - never taken from the stored Load columns,
// which hold whatever the last pass computed.
//
// Only what is needed is read, through the data table's FullDate index: the baselines, the
// latest reading, the readings since the last evaluation and those within the rate window
// before them. When the baseline, the sensor's set-up or the levels changed since the last
// evaluation (a reading deleted, a flag changed, a k factor edited), the latest reading is
// evaluated afresh against the state the positions stood at; otherwise every new reading
// is evaluated in date order, so a level crossed and left between two evaluations (an
// import of a month of readings) still raises its event. Levels set on a sensor with no
// readings yet take every reading that comes after them; levels set on a sensor with a
// history start from its latest reading (the past is not replayed as new events).
//
// A gauge without a value (an empty text, or a rejected one) gives no load or displacement
// at the positions that use it: such a position neither raises nor clears, and its rate is
// taken between the nearest readings that have a value there. A reading rejected as a whole
// is left out, and is never a baseline.
//
// The new state and events are written in one transaction, and nothing is written when
// nothing changed. Events never refer to rows that may go: they keep the reading's key,
// date and value.
namespace AlarmEvaluation {

struct Outcome {
    bool evaluated = false;  // the sensor has levels and was evaluated
    AlarmStore::Severity status = AlarmStore::Severity::NoLevels;
    std::vector<AlarmStore::Event> newEvents;  // raised by this evaluation (stored)
    bool written = false;                      // state or events written
};

// One sensor at the moment now. Throws TwError when the database fails; a sensor whose
// data table is missing is evaluated as having no readings.
Outcome evaluateSensor(Database& db, const QString& sensorId, const QDateTime& now);

struct AllOutcome {
    int sensors = 0;  // sensors with levels evaluated
    std::vector<AlarmStore::Event> newEvents;
};

// Every sensor that has levels (each under the error trap, " Alarms_Evaluate <id>": one
// that fails is logged and the others go on). States of sensors without levels go.
AllOutcome evaluateAll(Database& db, const QDateTime& now);

// The summary message for new events (empty when there are none): "2 sensors passed
// Action and 1 sensor passed Alert since 2026/12/01 08:00." and, when asked, the question
// whether to open the Alarms window.
QString summaryText(const std::vector<AlarmStore::Event>& events, bool askToOpen);

}  // namespace AlarmEvaluation
