#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

class Database;

// What the stored computed columns of a sensor's readings were computed from, per pass,
// kept in the database (store/PassTables.h) so that a pass over unchanged inputs computes
// only the readings marked as changed since (store/ReadingMarks.h).
//
// The four passes write overlapping columns: every pass writes zero1..zero10, NumTemp and
// the loads of its selection, the displacement passes also Disp, the shear pass Stretch.
// A pass's record therefore says "every reading of my selection that is not marked (and
// not pending for me) holds exactly what my full pass over these inputs would store", and
// stays true only while every other pass that writes the same rows uses the same inputs.
// The rules that keep it true:
//   - a pass records its inputs only when it ran to the end without a logged failure,
//     and forgets them otherwise (the next pass is then a full one);
//   - after a pass wrote rows, every other pass whose recorded inputs give other zeros or
//     loads (another baseline, type, layout or k factor), or other displacements (another
//     gauge length, both being displacement passes), is forgotten;
//   - a pass clears the marks of the readings of its selection, which it computed; before
//     it does, those readings are remembered as pending for every other recorded pass (or,
//     when there are very many, those passes are forgotten instead). Marks outside its
//     selection stay: a pass over a few readings does not touch every other one.
namespace Calc {

enum class PassKind { Load, DispTime, DispLength, Shear };

// The inputs a pass computed from.
struct PassBasis {
    QString baselineKey;                 // DateTimeKey of the selection's first reading
    std::array<QString, 11> baseline{};  // its Channel1..Channel10 texts ([1..10]; null as empty)
    QString sensorType;
    bool stacked = true;
    QString kFactor;      // the k factor box's text as used
    QString gaugeLength;  // the gauge length box's text as used

    // Same zeros and loads for every reading.
    bool sameLoads(const PassBasis& o) const;
    // Same zeros, loads and displacements.
    bool sameAll(const PassBasis& o) const { return sameLoads(o) && gaugeLength == o.gaugeLength; }
};

bool writesDisplacements(PassKind kind);
// Whether the rows a pass of kind writes from basis hold what a pass of other computes from
// otherBasis in every column both write (the same zeros and loads; the same displacements
// too when both write them).
bool storesAlike(PassKind kind, const PassBasis& basis, PassKind other, const PassBasis& otherBasis);
// The name a pass is recorded under ("load", "disp-time", "disp-length", "shear").
QString passName(PassKind kind);

class PassRecord {
public:
    // Pending readings above this number are not remembered for a pass: the pass is
    // forgotten instead (its next run is a full one, which then costs about the same).
    static constexpr qint64 PendingLimit = 50000;

    PassRecord(Database& db, const QString& sensorId);

    // False on a database without the record's tables (nothing is then kept; every pass
    // is a full one).
    bool available() const { return m_available; }

    std::optional<PassBasis> recorded(PassKind kind) const;
    // Whether a pass over these inputs may compute only the changed readings.
    bool upToDate(PassKind kind, const PassBasis& now) const;

    // Before a pass looks at the marked readings of its selection (selection: its
    // condition, "PlotSpatial = True"): remembers them as pending for every other recorded
    // pass. Returns how many readings of the selection are marked.
    // recordedSoon: passes taken as recorded though their record is made later in the same
    // transaction; forgotten (when given) gets the passes forgotten for having too many.
    qint64 keepMarksForOthers(PassKind current, const QString& selection,
                              const std::vector<PassKind>& recordedSoon = {},
                              std::vector<PassKind>* forgotten = nullptr);
    // Clears the marks of the selection's readings (after a pass that computed them all).
    // Marks outside the selection stay for the passes whose selection has them.
    void clearMarks(const QString& selection);
    // The pending readings of this pass are done.
    void clearPending(PassKind kind);

    void record(PassKind kind, const PassBasis& basis, qint64 readings);
    void forget(PassKind kind);
    // After kind wrote rows computed from basis: forgets the other passes whose stored
    // values those rows no longer match.
    void forgetOthersUnlike(PassKind kind, const PassBasis& basis);

    // "IsDirty <> 0": the condition of a marked reading (the one the mark index covers).
    static QString markedCondition();

private:
    Database& m_db;
    QString m_id;
    bool m_available = false;
};

}  // namespace Calc
