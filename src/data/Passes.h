#pragma once
#include "data/GraphData.h"
#include "data/PassRecord.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>
#include <vector>

class Recordset;
struct Shared;

// The calculation passes the chart tabs run before drawing. Each pass:
//   1. opens the graph data (s.rsGraph) on its selection of the sensor's data table
//      (OpenGraphData);
//   2. takes the baseline, the selection's first reading, into s.offsets (GetOffsets);
//   3. for every reading of the selection, in date order: zeroes the channels against
//      the baseline (zero1..zero10, and NumTemp from ChannelT), computes the loads, then
//      the pass's own columns, and writes the row;
//   4. closes the graph data when it ran to the end (the drawing opens it again).
// Readings outside the selection are not touched, and a row keeps every column the pass
// does not write for the sensor's type and layout (see calc/Formulas.h).
//
// Zeroing: a channel the baseline lacks has zero 0 in every reading (no baseline), and the
// rest of the row is still computed; a channel the reading lacks where the baseline has a
// value has no zero (NaN), and every load, displacement and shear computed from it is no
// value too (stored as null, as is NumTemp for an empty ChannelT). A channel text that is
// not a number is logged (" G_SetZeros", Err #13) and counts as no value; a baseline text
// that is not a number is logged (" Module1_GetOffsets") and counts as no baseline.
//
// Rejected values (data/Rejections.h), read once per pass, count as empty texts: a
// rejected gauge or temperature, or every one of a reading rejected as a whole. The
// baseline is the selection's first reading not rejected as a whole.
//
// Failures, logged through the error trap:
//   - the loads of a row cannot be computed (an empty, non-numeric or zero k factor):
//     logged with " G_SetStackedLoad" for that row, which keeps its old Load columns;
//     the displacement passes then keep its old Disp columns too (they derive from
//     the loads), the rest of the row is written and the pass goes on;
//   - a displacement that cannot be computed (an empty or non-numeric gauge length,
//     staggered "75") or a failure to write a row: the pass ends at that row, logged once
//     with " G_GetTemporalData"; earlier rows keep their new values, that row and the
//     later ones keep their old values, and the graph data is left open;
//   - an empty selection: nothing is written; one line each for " G_SetZeros",
//     " G_SetStackedLoad" and " G_GetTemporalData" (no current record).
// A pass is one transaction; when it ends early, the rows written before the failure
// are committed.
//
// What a pass computed from is recorded per sensor (data/PassRecord.h): when the inputs
// (baseline reading, type, layout, k factor, gauge length) are those recorded, a pass
// computes only the readings marked as changed since (store/ReadingMarks.h) and stores
// exactly what a full pass would. The selection is read in one forward query and written
// through prepared statements (data/PassEngine.h). Passes of several kinds asked for at
// once (runPassesOf) share that read: each reading is zeroed and its loads computed once
// for the kinds that share a baseline and inputs, and written in one statement.
namespace Calc {

// The current sensor as the passes need it, taken from the pages as the user left them.
struct SensorInputs {
    QString id;               // InstrumentID: the name of the sensor's data table
    QString sensorType;       // the two-digit type code ("75", "55", "35", ...)
    bool stacked = true;      // optStacked selected
    QString kFactorText;      // txtBoltkfactor as typed on the Identification page
    QString gaugeLengthText;  // txtLengthofGauge as typed
    // Called now and then with the rows done and the rows selected; answering false
    // cancels the pass, which then writes nothing at all (its transaction is rolled back).
    std::function<bool(qint64 done, qint64 total)> progress;
    // Called once inside the pass's transaction, before it reads anything: for a caller
    // that wants to know which state of the database the pass computes from.
    std::function<void()> snapshotTaken = {};
};

// The inputs for the current sensor: InstrumentID and SensorType from the current row of
// s.rsSensors (empty when there is none), with the layout and the two box texts as the
// Installation page shows them.
SensorInputs currentSensorInputs(const Shared& s, bool stacked, const QString& kFactorText,
                                 const QString& gaugeLengthText);

struct PassResult {
    GraphOpenStatus open = GraphOpenStatus::Failed;  // TableCreated: the caller shows graphTableCreatedText
    qint64 rowsWritten = 0;                          // rows updated and committed
    bool completed = false;                          // ran to the end of the selection
    bool cancelled = false;                          // stopped by the user; nothing written
    bool fullPass = true;                            // false: only the changed readings were computed
    qint64 selected = 0;                             // readings it set out to compute
};

// Reads the baseline's Channel1..Channel10 (the current row of rs) into offsets[1..10],
// NaN where the baseline has no value. With no current row it logs
// " Module1_GetOffsets" (Err #3021) and leaves the offsets of the previous pass.
void GetOffsets(Recordset& rs, std::array<double, 11>& offsets);

// Load passes over the Plottable selection: zero1..zero10, NumTemp, Load1..Load6.
// Both do the same work (the Load v Time and Load v Length tabs each run their own).
PassResult GetTemporalData(Shared& s, const SensorInputs& in);
PassResult GetSpatialData(Shared& s, const SensorInputs& in);

// Displacement passes: zeros and loads as above, then Disp1..Disp6; GetDispData over
// the Temporal selection, GetSDispData over the Spatial selection.
PassResult GetDispData(Shared& s, const SensorInputs& in);
PassResult GetSDispData(Shared& s, const SensorInputs& in);

// Shear pass over the Spatial selection: zeros and loads as above, then
// Stretch1..Stretch4.
PassResult GetShearData(Shared& s, const SensorInputs& in);

// The pass of a kind (the load pass as GetTemporalData).
PassResult runPassOf(Shared& s, const SensorInputs& in, PassKind kind);

// One kind of a request for several passes over one sensor's readings.
struct KindRequest {
    PassKind kind = PassKind::Load;
    SensorInputs in;              // the same sensor for every kind; its own inputs
    bool onlyIfRecorded = false;  // run only when a record of the kind is kept at its turn
};

// The passes of several kinds in one read of the readings: each reading is read once, its
// zeros and loads computed once per baseline and inputs, and written in one statement with
// the columns of every kind that computes it. It stores what running runPassOf for each
// kind in turn stores (each kind over its own selection, from its own baseline, the later
// kind's value where two write the same column), keeps the same records, and logs the same
// lines, kind by kind. One transaction for all; progress is the first kind's. One result
// per kind (a kind skipped for want of a record: nothing done, not completed).
std::vector<PassResult> runPassesOf(Shared& s, const std::vector<KindRequest>& request);

// A pass of the given kind by the recordset road alone, whatever the quick road could do
// (it stores what the quick road stores; the two are compared by the tests).
PassResult runOnRecordsetOnly(Shared& s, const SensorInputs& in, PassKind kind);

}  // namespace Calc
