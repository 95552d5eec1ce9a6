#pragma once
#include "data/PassRecord.h"
#include "data/PassRows.h"
#include "data/Passes.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class Database;

// The computed columns of readings about to be appended, worked out before they are
// stored so that the append writes them with the readings and the pass after it has
// nothing left to do for them. It applies only when the pass would compute exactly this:
// every pass that computes a plain new reading (the load pass, and the time displacement
// pass when it has run) is recorded with the inputs it would use now, its baseline is
// there, its offsets are numbers, and no appended reading sorts before it. A reading that
// would make the pass log something (a text that is not a number, loads that cannot be
// computed), one with rejected values, and one ticked for the length charts are stored
// marked, without values, for the pass to compute as before.
namespace Calc {

// The sensor's inputs as stored with it (what its pages show); none when it is not there.
std::optional<SensorInputs> storedInputs(Database& db, const QString& id);

// The inputs a kind of pass runs with after an import: those it was last computed from
// when it has a record, else the sensor's stored ones; none for a kind other than the load
// pass that has no record (it is not run).
std::optional<SensorInputs> importInputs(Database& db, const SensorInputs& stored, PassKind kind);

class AppendedValues {
public:
    // The values of the readings appended to sensor id, none of them dated before
    // earliestFullDate (the stored "yyyy-MM-dd HH:mm:ss" text); nullptr when they cannot be
    // known before the readings are stored (the pass then computes them all).
    static std::unique_ptr<AppendedValues> prepare(Database& db, const QString& id, QByteArrayView earliestFullDate);
    ~AppendedValues();

    // The computed columns written with each reading, in the order compute() fills them.
    const QStringList& columns() const { return m_columns; }

    // Fills out (columns().size() numbers) for the reading with this key and texts
    // (texts[1..10] Channel1..Channel10, texts[ChannelTColumn] ChannelT; an empty view for
    // null). False when it is left to the pass: out is then all NaN (stored as null).
    bool compute(QByteArrayView key, const QByteArrayView* texts, double* out) const;

private:
    struct Kind {
        PassFormulas f;
        std::array<double, 11> offsets{};
        bool displacements = false;
    };
    AppendedValues() = default;

    std::vector<Kind> m_kinds;  // in the order the pass computes them (a later one's values win)
    std::unique_ptr<RejectedValues> m_rejected;
    QStringList m_columns;
    int m_loads = 0;
    int m_disps = 0;
};

}  // namespace Calc
