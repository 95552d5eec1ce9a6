#include "data/PassRows.h"
#include "core/TwError.h"
#include "data/Passes.h"
#include "data/Rejections.h"
#include "store/Statement.h"

#include <limits>

namespace Calc {

namespace {
const QString ZerosTag = QStringLiteral(" G_SetZeros");
const QString LoadTag = QStringLiteral(" G_SetStackedLoad");
const QString OffsetsTag = QStringLiteral(" Module1_GetOffsets");

// Of the baseline query: rowid, Channel1..Channel10, DateTimeKey.
constexpr int BaselineKeyColumn = 11;

QString channelList()
{
    QString cols;
    for (int i = 1; i <= ChannelCount; ++i) cols += QStringLiteral(", Channel%1").arg(i);
    return cols;
}
}  // namespace

PassExtra passExtra(PassKind kind)
{
    return kind == PassKind::Load ? PassExtra::None : kind == PassKind::Shear ? PassExtra::Shear : PassExtra::Disp;
}

GraphSelection passSelection(PassKind kind)
{
    return kind == PassKind::Load       ? GraphSelection::Plottable
           : kind == PassKind::DispTime ? GraphSelection::Temporal
                                        : GraphSelection::Spatial;
}

QStringList passColumns(const PassFormulas& f, PassExtra extra, bool withLoads)
{
    QStringList cols;
    for (int i = 1; i <= ChannelCount; ++i) cols << QStringLiteral("zero%1").arg(i);
    cols << QStringLiteral("NumTemp");
    if (withLoads)
        for (int i = 1; i <= f.loadCount(); ++i) cols << QStringLiteral("Load%1").arg(i);
    if (extra == PassExtra::Disp && withLoads)
        for (int i = 1; i <= f.dispCount(); ++i) cols << QStringLiteral("Disp%1").arg(i);
    if (extra == PassExtra::Shear)
        for (int i = 1; i <= f.shearCount(); ++i) cols << QStringLiteral("Stretch%1").arg(i);
    return cols;
}

RejectedValues::RejectedValues(Database& db, const QString& id)
{
    const QHash<QString, quint16> masks = Rejections::masks(db, id);
    for (auto it = masks.cbegin(); it != masks.cend(); ++it) {
        m_masks.insert(it.key().toUtf8(), it.value());
        if (it.value() & 1u) m_anyWhole = true;
    }
}

std::optional<Baseline> readBaseline(Database& db, const QString& table, const QString& condition,
                                     const SensorInputs& in, const RejectedValues& rejected, const RowFailure& failed)
{
    Statement first(db, QStringLiteral("SELECT rowid") + channelList() + QStringLiteral(", DateTimeKey FROM ") + table +
                            QStringLiteral(" WHERE ") + condition + QStringLiteral(" ORDER BY FullDate, rowid") +
                            (rejected.anyWhole() ? QString() : QStringLiteral(" LIMIT 1")));
    if (!first.next()) return std::nullopt;
    Baseline b;
    b.basis.sensorType = in.sensorType;
    b.basis.stacked = in.stacked;
    b.basis.kFactor = in.kFactorText;
    b.basis.gaugeLength = in.gaugeLengthText;
    quint16 mask = rejected.of(first.utf8(BaselineKeyColumn));
    while (mask & 1u) {
        if (!first.next()) {
            b.offsets.fill(0.0);
            return b;
        }
        mask = rejected.of(first.utf8(BaselineKeyColumn));
    }
    b.basis.baselineKey = first.text(BaselineKeyColumn);
    for (int i = 1; i <= ChannelCount; ++i) {
        const QString text = Rejections::rejected(mask, i) ? QStringLiteral("") : first.text(i);
        b.basis.baseline[size_t(i)] = text;
        try {
            b.offsets[size_t(i)] = offsetFromText(text);
        } catch (const TwError& e) {
            failed(e, OffsetsTag);
            b.offsets[size_t(i)] = std::numeric_limits<double>::quiet_NaN();
            ++b.failures;
        }
    }
    first.reset();
    return b;
}

int RowValues::flatten(int loadCount, int extraCount, bool extraNeedsLoads, double* out) const
{
    int p = 0;
    for (int i = 1; i <= ChannelCount; ++i) out[p++] = zero[size_t(i)];
    out[p++] = numTemp;
    if (loads)
        for (int i = 1; i <= loadCount; ++i) out[p++] = (*loads)[i];
    if (loads || !extraNeedsLoads)
        for (int i = 1; i <= extraCount; ++i) out[p++] = more[i];
    return p;
}

namespace {
// The zeros of one reading whose channel texts come from text(column), columns numbered as
// in a row query (Channel1..Channel10 at 1..10, ChannelT at ChannelTColumn).
template <class TextOf>
void zerosFrom(const TextOf& text, const std::array<double, 11>& offsets, quint16 mask, const RowFailure& failed,
               RowValues& row)
{
    for (int i = 1; i <= ChannelCount; ++i) {
        const double offset = offsets[size_t(i)];
        if (mask && Rejections::rejected(mask, i)) {
            row.zero[size_t(i)] = noValueZero(offset);
            continue;
        }
        try {
            row.zero[size_t(i)] = zeroFromUtf8(text(i), offset);
        } catch (const TwError& e) {
            failed(e, ZerosTag);
            row.zero[size_t(i)] = noValueZero(offset);
        }
    }
    row.numTemp = mask && Rejections::rejected(mask, Rejections::Temperature) ? std::numeric_limits<double>::quiet_NaN()
                                                                              : tempFromUtf8(text(ChannelTColumn));
}
}  // namespace

void computeZeros(const Statement& read, const std::array<double, 11>& offsets, quint16 mask, const RowFailure& failed,
                  RowValues& row)
{
    zerosFrom([&read](int column) { return read.utf8(column); }, offsets, mask, failed, row);
}

void computeZeros(const QByteArrayView* texts, const std::array<double, 11>& offsets, quint16 mask,
                  const RowFailure& failed, RowValues& row)
{
    zerosFrom([texts](int column) { return texts[column]; }, offsets, mask, failed, row);
}

std::optional<Columns> loadsOrNone(const PassFormulas& f, const ChannelValues& zero, const RowFailure& failed)
{
    try {
        return f.loads(zero);
    } catch (const TwError& e) {
        failed(e, LoadTag);
    }
    return std::nullopt;
}

void computeRow(const Statement& read, const PassFormulas& f, const std::array<double, 11>& offsets, quint16 mask,
                PassExtra extra, const RowFailure& failed, RowValues& row)
{
    computeZeros(read, offsets, mask, failed, row);
    row.loads = loadsOrNone(f, row.zero, failed);
    row.more = Columns();
    if (extra == PassExtra::Disp && row.loads) row.more = f.displacements(*row.loads);  // a failure ends the pass
    else if (extra == PassExtra::Shear) row.more = f.shears(row.zero);
}

}  // namespace Calc
