#include "tools/SpatialPerDay.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "tools/LoggerImport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <unordered_map>

namespace SpatialPerDay {

using LoggerReadings::NoMoment;

std::vector<bool> choose(const std::vector<qint64>& moments, const std::vector<qint64>& spatialDays)
{
    std::vector<bool> out(moments.size(), false);
    // The earliest new moment of each day that has no Plot Spatial reading yet.
    std::unordered_map<qint64, qint64> earliest;
    for (qint64 m : moments) {
        if (m == NoMoment) continue;
        const qint64 day = dayOf(m);
        if (std::binary_search(spatialDays.begin(), spatialDays.end(), day)) continue;
        auto [it, added] = earliest.try_emplace(day, m);
        if (!added && m < it->second) it->second = m;
    }
    for (size_t i = 0; i < moments.size(); ++i) {
        if (moments[i] == NoMoment) continue;
        const auto it = earliest.find(dayOf(moments[i]));
        out[i] = it != earliest.end() && it->second == moments[i];
    }
    return out;
}

std::vector<qint64> spatialDays(Database& db, const QString& sensorId, qint64 from, qint64 to)
{
    std::vector<qint64> days;
    const QString first = LoggerClock::display(dayOf(from) * SecondsPerDay);
    const QString last = LoggerClock::display(dayOf(to) * SecondsPerDay + SecondsPerDay - 1);
    if (first.isEmpty() || last.isEmpty()) return days;
    // Keys are "<sensor> yyyy/MM/dd HH:mm:ss", which sort in time order.
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT DateTimeKey FROM ") + SqlDialect::quoteName(sensorId) +
                   QStringLiteral(" WHERE DateTimeKey BETWEEN ? AND ? AND PlotSpatial = 1")))
        throwSqlError(q.lastError());
    q.addBindValue(sensorId + u' ' + first);
    q.addBindValue(sensorId + u' ' + last);
    if (!q.exec()) throwSqlError(q.lastError());
    const qsizetype skip = sensorId.size() + 1;
    while (q.next()) {
        const QByteArray key = q.value(0).toString().toLatin1();
        const QByteArrayView when = QByteArrayView(key).sliced(std::min<qsizetype>(skip, key.size()));
        if (const auto m = LoggerClock::read(when, LoggerClock::Layout::YearFirst)) days.push_back(dayOf(*m));
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

std::vector<bool> forAppend(Database& db, const QString& sensorId, const std::vector<qint64>& moments,
                            const std::vector<bool>& storable)
{
    std::vector<qint64> candidates(moments.size(), NoMoment);
    qint64 lo = 0, hi = 0;
    bool any = false;
    for (size_t i = 0; i < moments.size(); ++i) {
        if (i >= storable.size() || !storable[i] || moments[i] == NoMoment) continue;
        candidates[i] = moments[i];
        lo = any ? std::min(lo, moments[i]) : moments[i];
        hi = any ? std::max(hi, moments[i]) : moments[i];
        any = true;
    }
    if (!any) return std::vector<bool>(moments.size(), false);
    const std::vector<qint64> days = spatialDays(db, sensorId, lo, hi);
    // Only the days still without one need to know which readings are there already (a
    // reading stored before keeps its own tick; the next new one of its day is chosen).
    for (qint64& c : candidates)
        if (c != NoMoment && std::binary_search(days.begin(), days.end(), dayOf(c))) c = NoMoment;
    const std::vector<bool> stored = LoggerImport::storedRows(db, sensorId, candidates);
    for (size_t i = 0; i < candidates.size(); ++i)
        if (stored[i]) candidates[i] = NoMoment;
    return choose(candidates, days);
}

qint64 mark(Database& db, const QString& sensorId, const std::vector<qint64>& moments, const std::vector<bool>& chosen)
{
    std::vector<qint64> marked;
    for (size_t i = 0; i < moments.size() && i < chosen.size(); ++i)
        if (chosen[i] && moments[i] != NoMoment) marked.push_back(moments[i]);
    std::sort(marked.begin(), marked.end());
    marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    if (marked.empty()) return 0;
    // A few hundred keys per statement: one round trip per day would cost a server more
    // than the append itself.
    constexpr size_t Batch = 256;
    qint64 ticked = 0;
    for (size_t from = 0; from < marked.size(); from += Batch) {
        const size_t n = std::min(Batch, marked.size() - from);
        QString sql = QStringLiteral("UPDATE ") + SqlDialect::quoteName(sensorId) +
                      QStringLiteral(" SET PlotSpatial = 1 WHERE DateTimeKey IN (");
        for (size_t i = 0; i < n; ++i) sql += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
        sql += u')';
        QSqlQuery q(db.handle());
        if (!q.prepare(sql)) throwSqlError(q.lastError());
        for (size_t i = 0; i < n; ++i) q.addBindValue(sensorId + u' ' + LoggerClock::display(marked[from + i]));
        if (!q.exec()) throwSqlError(q.lastError());
        ticked += q.numRowsAffected();
    }
    return ticked;
}

}  // namespace SpatialPerDay
