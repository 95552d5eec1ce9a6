#include "data/AppendedValues.h"
#include "core/TwError.h"
#include "data/PassEngine.h"
#include "data/Passes.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QSqlQuery>
#include <algorithm>
#include <limits>

namespace Calc {

std::optional<SensorInputs> storedInputs(Database& db, const QString& id)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT SensorType, Stacked, boltkfactor, lengthofgauge FROM Sensors "
                                  "WHERE InstrumentID = ?")))
        return std::nullopt;
    q.addBindValue(id);
    if (!q.exec() || !q.next()) return std::nullopt;
    SensorInputs in;
    in.id = id;
    in.sensorType = q.value(0).toString();
    in.stacked = q.value(1).isNull() || q.value(1).toInt() != 0;
    in.kFactorText = q.value(2).isNull() ? QString() : q.value(2).toString();
    in.gaugeLengthText = q.value(3).isNull() ? QString() : q.value(3).toString();
    return in;
}

std::optional<SensorInputs> importInputs(Database& db, const SensorInputs& stored, PassKind kind)
{
    std::optional<PassBasis> was;
    try {
        was = PassRecord(db, stored.id).recorded(kind);
    } catch (const TwError&) {}
    if (!was && kind != PassKind::Load) return std::nullopt;
    SensorInputs in = stored;
    if (was) {
        in.sensorType = was->sensorType;
        in.stacked = was->stacked;
        in.kFactorText = was->kFactor;
        in.gaugeLengthText = was->gaugeLength;
    }
    return in;
}

AppendedValues::~AppendedValues() = default;

std::unique_ptr<AppendedValues> AppendedValues::prepare(Database& db, const QString& id,
                                                        QByteArrayView earliestFullDate)
{
    if (id.isEmpty() || id.contains(u'`') || earliestFullDate.isEmpty()) return nullptr;
    try {
        const PassRecord record(db, id);
        const std::optional<SensorInputs> stored = storedInputs(db, id);
        if (!record.available() || !stored) return nullptr;
        std::unique_ptr<AppendedValues> v(new AppendedValues);
        v->m_rejected = std::make_unique<RejectedValues>(db, id);
        const QString table = SqlDialect::quoteName(id);
        // The passes that compute a reading appended unticked for the length charts: the
        // load pass (every reading that is plotted) and the time displacement pass (every
        // reading on the time charts), in that order.
        for (PassKind kind : {PassKind::Load, PassKind::DispTime}) {
            const std::optional<SensorInputs> in = importInputs(db, *stored, kind);
            if (!in) continue;
            bool failed = false;
            const std::optional<Baseline> base =
                readBaseline(db, table, selectionCondition(passSelection(kind)), *in, *v->m_rejected,
                             [&failed](const TwError&, const QString&) { failed = true; });
            if (!base || failed || base->failures > 0 || base->basis.baselineKey.isEmpty() ||
                !record.upToDate(kind, base->basis))
                return nullptr;
            // The baseline stays the first reading: every new one is dated at or after it
            // (one at the same moment would be a duplicate, or sort after it by its row).
            const QVariant date =
                db.scalar(QStringLiteral("SELECT FullDate FROM ") + table + QStringLiteral(" WHERE DateTimeKey = ?"),
                          {base->basis.baselineKey});
            const QByteArray baselineDate = date.toString().toUtf8();
            if (date.isNull() || baselineDate.isEmpty() || QByteArrayView(baselineDate).compare(earliestFullDate) > 0)
                return nullptr;
            Kind k{PassFormulas(in->sensorType, in->stacked, in->kFactorText, in->gaugeLengthText), base->offsets,
                   kind == PassKind::DispTime};
            if (!v->m_kinds.empty() && v->m_kinds.front().f.loadCount() != k.f.loadCount()) return nullptr;
            v->m_kinds.push_back(std::move(k));
        }
        if (v->m_kinds.empty()) return nullptr;
        const Kind& last = v->m_kinds.back();
        v->m_loads = last.f.loadCount();
        v->m_disps = last.displacements ? last.f.dispCount() : 0;
        v->m_columns = passColumns(last.f, last.displacements ? PassExtra::Disp : PassExtra::None, true);
        return v;
    } catch (const TwError&) {
        return nullptr;
    }
}

bool AppendedValues::compute(QByteArrayView key, const QByteArrayView* texts, double* out) const
{
    const auto leave = [&] {
        std::fill(out, out + m_columns.size(), std::numeric_limits<double>::quiet_NaN());
        return false;
    };
    if (m_rejected->any() && m_rejected->of(key) != 0) return leave();
    bool failed = false;
    const RowFailure fail = [&failed](const TwError&, const QString&) { failed = true; };
    RowValues row;
    std::optional<Columns> loads;
    Columns disps;
    // Each pass's values in turn, as the pass writes them into one row: the later one's
    // zeros and loads are those stored.
    for (const Kind& k : m_kinds) {
        computeZeros(texts, k.offsets, 0, fail, row);
        loads = loadsOrNone(k.f, row.zero, fail);
        if (failed || !loads || loads->count != m_loads) return leave();
        if (!k.displacements) continue;
        try {
            disps = k.f.displacements(*loads);
        } catch (const TwError&) {
            return leave();
        }
        if (disps.count != m_disps) return leave();
    }
    int p = 0;
    for (int i = 1; i <= ChannelCount; ++i) out[p++] = row.zero[size_t(i)];
    out[p++] = row.numTemp;
    for (int i = 1; i <= m_loads; ++i) out[p++] = (*loads)[i];
    for (int i = 1; i <= m_disps; ++i) out[p++] = disps[i];
    return true;
}

}  // namespace Calc
