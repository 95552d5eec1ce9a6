#include "data/PassRecord.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>

namespace Calc {

namespace {
constexpr PassKind AllKinds[] = {PassKind::Load, PassKind::DispTime, PassKind::DispLength, PassKind::Shear};
}

bool PassBasis::sameLoads(const PassBasis& o) const
{
    if (baselineKey != o.baselineKey || sensorType != o.sensorType || stacked != o.stacked || kFactor != o.kFactor)
        return false;
    for (size_t i = 1; i < baseline.size(); ++i)
        if (baseline[i] != o.baseline[i]) return false;
    return true;
}

bool writesDisplacements(PassKind kind) { return kind == PassKind::DispTime || kind == PassKind::DispLength; }

bool storesAlike(PassKind kind, const PassBasis& basis, PassKind other, const PassBasis& otherBasis)
{
    return writesDisplacements(kind) && writesDisplacements(other) ? otherBasis.sameAll(basis)
                                                                   : otherBasis.sameLoads(basis);
}

QString passName(PassKind kind)
{
    switch (kind) {
        case PassKind::Load:
            return QStringLiteral("load");
        case PassKind::DispTime:
            return QStringLiteral("disp-time");
        case PassKind::DispLength:
            return QStringLiteral("disp-length");
        case PassKind::Shear:
            break;
    }
    return QStringLiteral("shear");
}

QString PassRecord::markedCondition() { return QStringLiteral("IsDirty <> 0"); }

PassRecord::PassRecord(Database& db, const QString& sensorId) : m_db(db), m_id(sensorId)
{
    m_available = db.tableExists(QStringLiteral("PassInputs")) && db.tableExists(QStringLiteral("PassPending"));
}

std::optional<PassBasis> PassRecord::recorded(PassKind kind) const
{
    if (!m_available) return std::nullopt;
    QString cols = QStringLiteral("BaselineKey");
    for (int i = 1; i <= 10; ++i) cols += QStringLiteral(", Baseline%1").arg(i);
    cols += QStringLiteral(", SensorType, Stacked, KFactor, GaugeLength");
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT ") + cols +
                   QStringLiteral(" FROM PassInputs WHERE SensorID = ? AND Pass = ?")))
        throwSqlError(q.lastError());
    q.addBindValue(m_id);
    q.addBindValue(passName(kind));
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) return std::nullopt;
    PassBasis b;
    b.baselineKey = q.value(0).toString();
    for (int i = 1; i <= 10; ++i) b.baseline[size_t(i)] = q.value(i).toString();
    b.sensorType = q.value(11).toString();
    b.stacked = q.value(12).toLongLong() != 0;
    b.kFactor = q.value(13).toString();
    b.gaugeLength = q.value(14).toString();
    return b;
}

bool PassRecord::upToDate(PassKind kind, const PassBasis& now) const
{
    const std::optional<PassBasis> was = recorded(kind);
    if (!was) return false;
    return writesDisplacements(kind) ? was->sameAll(now) : was->sameLoads(now);
}

qint64 PassRecord::keepMarksForOthers(PassKind current, const QString& selection,
                                      const std::vector<PassKind>& recordedSoon, std::vector<PassKind>* forgotten)
{
    const QString table = SqlDialect::quoteName(m_id);
    const QString marks = markedCondition() + QStringLiteral(" AND ") + selection;
    const qint64 marked =
        m_db.scalar(QStringLiteral("SELECT count(*) FROM ") + table + QStringLiteral(" WHERE ") + marks).toLongLong();
    if (marked == 0 || !m_available) return marked;
    for (PassKind other : AllKinds) {
        if (other == current) continue;
        const bool soon = std::find(recordedSoon.begin(), recordedSoon.end(), other) != recordedSoon.end();
        if (!soon && !recorded(other)) continue;
        const qint64 waiting =
            m_db.scalar(QStringLiteral("SELECT count(*) FROM PassPending WHERE SensorID = ? AND Pass = ?"),
                        {m_id, passName(other)})
                .toLongLong();
        if (marked + waiting > PendingLimit) {
            forget(other);
            if (forgotten) forgotten->push_back(other);
            continue;
        }
        m_db.execute(QStringLiteral("INSERT OR IGNORE INTO PassPending (SensorID, Pass, DateTimeKey) SELECT ?, ?, "
                                    "DateTimeKey FROM ") +
                         table + QStringLiteral(" WHERE ") + marks,
                     {m_id, passName(other)});
    }
    return marked;
}

void PassRecord::clearMarks(const QString& selection)
{
    m_db.execute(QStringLiteral("UPDATE ") + SqlDialect::quoteName(m_id) + QStringLiteral(" SET IsDirty = 0 WHERE ") +
                 markedCondition() + QStringLiteral(" AND ") + selection);
}

void PassRecord::clearPending(PassKind kind)
{
    if (!m_available) return;
    m_db.execute(QStringLiteral("DELETE FROM PassPending WHERE SensorID = ? AND Pass = ?"), {m_id, passName(kind)});
}

void PassRecord::record(PassKind kind, const PassBasis& basis, qint64 readings)
{
    if (!m_available) return;
    QString cols = QStringLiteral("SensorID, Pass, BaselineKey");
    QString marks = QStringLiteral("?,?,?");
    QVariantList values{m_id, passName(kind), basis.baselineKey};
    for (int i = 1; i <= 10; ++i) {
        cols += QStringLiteral(", Baseline%1").arg(i);
        marks += QStringLiteral(",?");
        values << (basis.baseline[size_t(i)].isNull() ? QString(QLatin1String("")) : basis.baseline[size_t(i)]);
    }
    cols += QStringLiteral(", SensorType, Stacked, KFactor, GaugeLength, Readings, ComputedAt");
    marks += QStringLiteral(",?,?,?,?,?,?");
    values << basis.sensorType << (basis.stacked ? 1 : 0) << basis.kFactor << basis.gaugeLength << readings
           << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_db.execute(
        QStringLiteral("INSERT OR REPLACE INTO PassInputs (") + cols + QStringLiteral(") VALUES (") + marks + ')',
        values);
}

void PassRecord::forget(PassKind kind)
{
    if (!m_available) return;
    m_db.execute(QStringLiteral("DELETE FROM PassInputs WHERE SensorID = ? AND Pass = ?"), {m_id, passName(kind)});
    clearPending(kind);
}

void PassRecord::forgetOthersUnlike(PassKind kind, const PassBasis& basis)
{
    if (!m_available) return;
    for (PassKind other : AllKinds) {
        if (other == kind) continue;
        const std::optional<PassBasis> was = recorded(other);
        if (!was) continue;
        if (!storesAlike(kind, basis, other, *was)) forget(other);
    }
}

}  // namespace Calc
