#pragma once
#include "calc/Formulas.h"
#include "data/GraphData.h"
#include "data/PassRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

class Database;
class Statement;
struct TwError;

// The arithmetic of one reading as a calculation pass does it, shared by the pass that
// stores the computed columns (PassEngine) and by the charts, which compute what they
// draw while they read (PassValues): both go through these functions, so a chart shows
// bit for bit what the pass stores.
namespace Calc {

struct SensorInputs;

enum class PassExtra { None, Disp, Shear };

PassExtra passExtra(PassKind kind);
// The selection a pass computes ("load" passes: Plottable; time displacements: Temporal;
// length displacements and shear: Spatial).
GraphSelection passSelection(PassKind kind);

// Called for a value the pass logs and goes on without (a text that is not a number, loads
// that cannot be computed), with the error and the log tag.
using RowFailure = std::function<void(const TwError&, const QString& tag)>;

// The columns a pass writes into a row, in the order of RowValues::flatten: zero1..zero10,
// NumTemp, then (withLoads) Load1.., then Disp1.. (displacement passes, withLoads) or
// Stretch1.. (shear). A row whose loads failed keeps its Load and Disp columns.
QStringList passColumns(const PassFormulas& f, PassExtra extra, bool withLoads);

// The rejected values of a sensor by the reading key's UTF-8 bytes, so that a row's key is
// looked up as the engine hands it over.
class RejectedValues {
public:
    RejectedValues(Database& db, const QString& id);
    bool any() const { return !m_masks.isEmpty(); }
    bool anyWhole() const { return m_anyWhole; }
    quint16 of(QByteArrayView key) const
    {
        if (m_masks.isEmpty()) return 0;
        return m_masks.value(QByteArray::fromRawData(key.data(), key.size()), 0);
    }

private:
    QHash<QByteArray, quint16> m_masks;
    bool m_anyWhole = false;
};

struct Baseline {
    PassBasis basis;
    std::array<double, 11> offsets{};
    int failures = 0;  // channels whose text is not a number
};

// The selection's first reading not rejected as a whole, as GetOffsets takes it (a
// rejected gauge counts as an empty text). With every reading rejected there is no
// baseline, and nothing computes to a value. nullopt when the selection is empty; throws
// when it cannot be read. A channel that is not a number is told to failed.
std::optional<Baseline> readBaseline(Database& db, const QString& table, const QString& condition,
                                     const SensorInputs& in, const RejectedValues& rejected, const RowFailure& failed);

// What one reading receives.
struct RowValues {
    ChannelValues zero{};
    double numTemp = 0;
    std::optional<Columns> loads;  // none: they could not be computed (the row keeps its old ones)
    Columns more;                  // displacements or shears

    // The values of passColumns(f, extra, loads.has_value()) in that order; returns how many.
    int flatten(int loadCount, int extraCount, bool extraNeedsLoads, double* out) const;
};

// The columns of a row query that computeRow reads: Channel1..Channel10 at 1..10,
// ChannelT at 11.
constexpr int ChannelTColumn = 11;

// The zeroed channels and the temperature of one reading read by `read` (its mask: the
// reading's rejected values); a channel text that is not a number is told to failed.
void computeZeros(const Statement& read, const std::array<double, 11>& offsets, quint16 mask, const RowFailure& failed,
                  RowValues& row);
// The same from a reading's texts before it is stored: texts[1..10] its Channel1..Channel10,
// texts[ChannelTColumn] its ChannelT (an empty view for null).
void computeZeros(const QByteArrayView* texts, const std::array<double, 11>& offsets, quint16 mask,
                  const RowFailure& failed, RowValues& row);

// The loads from a reading's zeroed channels; none when they cannot be computed (told to
// failed, the row then keeps its old Load columns).
std::optional<Columns> loadsOrNone(const PassFormulas& f, const ChannelValues& zero, const RowFailure& failed);

// Computes one reading read by `read` (its mask: the reading's rejected values). Values the
// pass goes on without are told to failed; a displacement that cannot be computed throws
// (it ends a pass).
void computeRow(const Statement& read, const PassFormulas& f, const std::array<double, 11>& offsets, quint16 mask,
                PassExtra extra, const RowFailure& failed, RowValues& row);

}  // namespace Calc
