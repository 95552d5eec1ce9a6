#include "data/Passes.h"
#include "calc/Formulas.h"
#include "core/ErrorTrap.h"
#include "data/PassEngine.h"
#include "data/PassRows.h"
#include "data/PassRecord.h"
#include "data/Rejections.h"
#include "data/SensorDetails.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <cmath>
#include <limits>
#include <optional>

namespace Calc {

namespace {

const QString PassTag = QStringLiteral(" G_GetTemporalData");
const QString ZerosTag = QStringLiteral(" G_SetZeros");
const QString LoadTag = QStringLiteral(" G_SetStackedLoad");
const QString OffsetsTag = QStringLiteral(" Module1_GetOffsets");

enum class Extra { None, Disp, Shear };

// Column ordinals of the graph data, looked up once per pass.
struct Ordinals {
    std::array<int, 11> channel{};
    int channelT = -1;
    std::array<int, 11> zero{};
    int numTemp = -1;
    std::array<int, 7> load{};
    std::array<int, 7> disp{};
    std::array<int, 5> stretch{};

    explicit Ordinals(const Recordset& rs)
    {
        for (int i = 1; i <= ChannelCount; ++i) {
            channel[size_t(i)] = rs.fieldIndex(QStringLiteral("Channel%1").arg(i));
            zero[size_t(i)] = rs.fieldIndex(QStringLiteral("zero%1").arg(i));
        }
        channelT = rs.fieldIndex(QStringLiteral("ChannelT"));
        numTemp = rs.fieldIndex(QStringLiteral("NumTemp"));
        for (int i = 1; i <= 6; ++i) {
            load[size_t(i)] = rs.fieldIndex(QStringLiteral("Load%1").arg(i));
            disp[size_t(i)] = rs.fieldIndex(QStringLiteral("Disp%1").arg(i));
        }
        for (int i = 1; i <= 4; ++i) stretch[size_t(i)] = rs.fieldIndex(QStringLiteral("Stretch%1").arg(i));
    }
};

// A column's value as text; null (and a column the table lacks) reads as empty.
QString textAt(const Recordset& rs, int ordinal)
{
    const QVariant v = rs.value(ordinal);
    return v.isNull() ? QString() : v.toString();
}

// Throws "no current record" when the recordset has no current row, as any read would.
void requireRow(const Recordset& rs)
{
    if (!rs.hasCurrentRow()) (void)rs.bookmark();
}

void logTrapped(const TwError& e, const QString& tag) { WriteLog(trapMessage(e.number, e.description, tag)); }

// What one row receives.
struct RowValues {
    ChannelValues zero{};
    double numTemp = 0;
    std::optional<Columns> loads;
    Columns extra;
};

// The offsets from the current row, its rejected gauges counting as empty texts.
void offsetsOfRow(Recordset& rs, quint16 mask, std::array<double, 11>& offsets)
{
    runTrapped(OffsetsTag, [&] {
        std::array<QString, 11> texts;
        for (int i = 1; i <= ChannelCount; ++i)
            if (!Rejections::rejected(mask, i)) texts[size_t(i)] = rs.text(QStringLiteral("Channel%1").arg(i));
        for (int i = 1; i <= ChannelCount; ++i) {
            try {
                offsets[size_t(i)] = offsetFromText(texts[size_t(i)]);
            } catch (const TwError& e) {
                logTrapped(e, OffsetsTag);
                offsets[size_t(i)] = std::numeric_limits<double>::quiet_NaN();
            }
        }
    });
}

// The rejection mask of the current row (0 when it has none).
quint16 maskOf(const Recordset& rs, const QHash<QString, quint16>& masks)
{
    if (masks.isEmpty() || !rs.hasCurrentRow()) return 0;
    return masks.value(rs.text(QStringLiteral("DateTimeKey")), 0);
}

// SetZeros: the zeroed channels and the temperature of the current row. A channel that
// cannot be converted is logged and counts as no value, as does a rejected one.
bool setZeros(const Recordset& rs, const Ordinals& ord, const std::array<double, 11>& offsets, quint16 mask,
              RowValues& row)
{
    return runTrapped(ZerosTag, [&] {
        requireRow(rs);
        for (int i = 1; i <= ChannelCount; ++i) {
            const double offset = offsets[size_t(i)];
            if (Rejections::rejected(mask, i)) {
                row.zero[size_t(i)] = noValueZero(offset);
                continue;
            }
            const QString text = textAt(rs, ord.channel[size_t(i)]);
            try {
                row.zero[size_t(i)] = zeroFromText(text, offset);
            } catch (const TwError& e) {
                logTrapped(e, ZerosTag);
                row.zero[size_t(i)] = noValueZero(offset);
            }
        }
        row.numTemp = Rejections::rejected(mask, Rejections::Temperature) ? std::numeric_limits<double>::quiet_NaN()
                                                                          : tempFromText(textAt(rs, ord.channelT));
    });
}

// GetOffsets on the selection's first reading not rejected as a whole (a rejected gauge
// counts as an empty text); the graph data is left on its first row. With every reading
// rejected there is no baseline, and nothing computes to a value.
void baselineOffsets(Recordset& rs, const QHash<QString, quint16>& masks, std::array<double, 11>& offsets)
{
    if (masks.isEmpty()) {
        offsetsOfRow(rs, 0, offsets);
        return;
    }
    quint16 mask = 0;
    runTrapped(OffsetsTag, [&] {
        while (rs.hasCurrentRow() && ((mask = maskOf(rs, masks)) & 1u)) rs.moveNext();
    });
    if (!rs.hasCurrentRow() && rs.recordCount() > 0) offsets.fill(0.0);
    else offsetsOfRow(rs, mask, offsets);
    ignoringErrors([&] {
        if (rs.recordCount() > 0) rs.moveFirst();
    });
}

// SetLoad: the loads of the current row; none when they cannot be computed (logged).
void setLoad(const Recordset& rs, const SensorInputs& in, RowValues& row)
{
    runTrapped(LoadTag, [&] {
        requireRow(rs);
        row.loads = loads(in.sensorType, in.stacked, row.zero, in.kFactorText);
    });
}

// A computed value as stored: no value (NaN) is null on both engines.
QVariant stored(double value) { return std::isnan(value) ? QVariant() : QVariant(value); }

void writeRow(Recordset& rs, const Ordinals& ord, const RowValues& row, Extra extra)
{
    for (int i = 1; i <= ChannelCount; ++i) rs.setValue(ord.zero[size_t(i)], stored(row.zero[size_t(i)]));
    rs.setValue(ord.numTemp, stored(row.numTemp));
    if (row.loads)
        for (int i = 1; i <= row.loads->count; ++i) rs.setValue(ord.load[size_t(i)], stored((*row.loads)[i]));
    if (extra == Extra::Disp)
        for (int i = 1; i <= row.extra.count; ++i) rs.setValue(ord.disp[size_t(i)], stored(row.extra[i]));
    if (extra == Extra::Shear)
        for (int i = 1; i <= row.extra.count; ++i) rs.setValue(ord.stretch[size_t(i)], stored(row.extra[i]));
    rs.update();
}

// The road through the graph data recordset, row by row: taken when the selection cannot
// be read directly (a missing table, an empty selection), where its messages and log lines
// are what the user is to see.
PassResult runOnRecordset(Shared& s, const SensorInputs& in, GraphSelection selection, Extra extra)
{
    PassResult result;
    result.open = OpenGraphData(s.db, s.databasePath, in.id, selection, s.rsGraph);
    Recordset& rs = *s.rsGraph;
    // The pass writes computed columns only: a reading's version stays as its user left it.
    rs.setComputedWrites(true);
    // A pass is one unit of the log: a failure met on every reading (an empty k factor)
    // is written once, then how often it happened and for which readings.
    const LogBulkScope logScope(QStringLiteral("calculation pass"), [&rs] {
        return rs.hasCurrentRow() ? rs.text(QStringLiteral("DateTimeKey")) : QString();
    });
    QHash<QString, quint16> masks;
    runTrapped(PassTag, [&] { masks = Rejections::masks(s.db, in.id); });
    baselineOffsets(rs, masks, s.offsets);

    std::optional<Transaction> tx;
    qint64 written = 0;
    bool cancelled = false;
    const qint64 total = rs.recordCount();
    const bool ran = runTrapped(PassTag, [&] {
        if (s.db.isOpen()) tx.emplace(s.db);
        const Ordinals ord(rs);
        do {
            RowValues row;
            setZeros(rs, ord, s.offsets, maskOf(rs, masks), row);
            setLoad(rs, in, row);
            requireRow(rs);
            if (extra == Extra::Disp && row.loads)
                row.extra = displacements(in.sensorType, in.stacked, *row.loads, in.kFactorText, in.gaugeLengthText);
            else if (extra == Extra::Shear) row.extra = shears(in.sensorType, in.stacked, row.zero);
            writeRow(rs, ord, row, extra);
            ++written;
            if (in.progress && written % 2048 == 0 && !in.progress(written, total)) {
                cancelled = true;
                return;
            }
            rs.moveNext();
        } while (!rs.eof());
    });
    if (cancelled) {
        // Rolled back as a whole: the stored values stay as the last full pass left them.
        tx.reset();
        rs.close();
        result.cancelled = true;
        return result;
    }
    // A row that failed half-way is dropped; rows written before a failure stay written.
    if (!ran && rs.isEditing()) rs.cancelUpdate();
    if (tx) {
        if (!runTrapped(PassTag, [&] { tx->commit(); })) written = 0;
    }
    result.rowsWritten = written;
    result.selected = total;
    result.completed = ran && tx.has_value() && written > 0;
    if (result.completed) rs.close();
    return result;
}

Extra extraOf(PassKind kind)
{
    return kind == PassKind::Load ? Extra::None : kind == PassKind::Shear ? Extra::Shear : Extra::Disp;
}

void forgetEveryRecord(Shared& s, const QString& id)
{
    ignoringErrors([&] {
        PassRecord record(s.db, id);
        for (PassKind k : {PassKind::Load, PassKind::DispTime, PassKind::DispLength, PassKind::Shear}) record.forget(k);
    });
}

// The recordset road for a kind the quick road cannot take.
PassResult runOnRecordsetRoad(Shared& s, const KindRequest& r)
{
    PassResult result = runOnRecordset(s, r.in, passSelection(r.kind), extraOf(r.kind));
    // Written without the record: nothing recorded for the sensor can be trusted now.
    if (result.rowsWritten > 0) forgetEveryRecord(s, r.in.id);
    return result;
}

PassResult runPass(Shared& s, const SensorInputs& in, PassKind kind)
{
    const std::vector<KindRequest> one{{kind, in, false}};
    const auto road = [&s](const KindRequest& r) { return runOnRecordsetRoad(s, r); };
    if (std::optional<std::vector<PassResult>> quick = runQuickPasses(s, one, road)) return quick->front();
    return road(one.front());
}

}  // namespace

PassResult runOnRecordsetOnly(Shared& s, const SensorInputs& in, PassKind kind)
{
    return runOnRecordsetRoad(s, {kind, in, false});
}

std::vector<PassResult> runPassesOf(Shared& s, const std::vector<KindRequest>& request)
{
    const auto road = [&s](const KindRequest& r) { return runOnRecordsetRoad(s, r); };
    if (std::optional<std::vector<PassResult>> all = runQuickPasses(s, request, road)) return *all;
    // The table cannot be read directly: each kind in turn, as on its own.
    std::vector<PassResult> results;
    for (const KindRequest& r : request) {
        bool recorded = !r.onlyIfRecorded;
        if (!recorded) ignoringErrors([&] { recorded = PassRecord(s.db, r.in.id).recorded(r.kind).has_value(); });
        results.push_back(recorded ? runPass(s, r.in, r.kind) : PassResult());
    }
    return results;
}

SensorInputs currentSensorInputs(const Shared& s, bool stacked, const QString& kFactorText,
                                 const QString& gaugeLengthText)
{
    SensorInputs in;
    in.id = s.currentSensorId();
    if (!in.id.isEmpty()) in.sensorType = SensorDetails::typeOf(*s.rsSensors);
    in.stacked = stacked;
    in.kFactorText = kFactorText;
    in.gaugeLengthText = gaugeLengthText;
    return in;
}

void GetOffsets(Recordset& rs, std::array<double, 11>& offsets) { offsetsOfRow(rs, 0, offsets); }

PassResult GetTemporalData(Shared& s, const SensorInputs& in) { return runPass(s, in, PassKind::Load); }

PassResult GetSpatialData(Shared& s, const SensorInputs& in) { return runPass(s, in, PassKind::Load); }

PassResult GetDispData(Shared& s, const SensorInputs& in) { return runPass(s, in, PassKind::DispTime); }

PassResult GetSDispData(Shared& s, const SensorInputs& in) { return runPass(s, in, PassKind::DispLength); }

PassResult GetShearData(Shared& s, const SensorInputs& in) { return runPass(s, in, PassKind::Shear); }

PassResult runPassOf(Shared& s, const SensorInputs& in, PassKind kind)
{
    switch (kind) {
        case PassKind::Load:
            return GetTemporalData(s, in);
        case PassKind::DispTime:
            return GetDispData(s, in);
        case PassKind::DispLength:
            return GetSDispData(s, in);
        case PassKind::Shear:
            break;
    }
    return GetShearData(s, in);
}

}  // namespace Calc
