#include "charts/GraphColumns.h"
#include "charts/ChartRules.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <limits>

namespace {
[[noreturn]] void missingColumn()
{
    throw TwError(ErrNo::ItemNotFound,
                  QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
}
}  // namespace

GraphColumns::GraphColumns(const Recordset& rs, const QStringList& numberColumns, const QString& dateColumn)
{
    if (!rs.isOpen()) throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("Operation is not allowed when the object is closed."));
    const SqlDialect::Select sel = SqlDialect::parseSelect(rs.sql());
    if (!sel.valid) throw TwError(ErrNo::DatabaseError, QStringLiteral("The selection cannot be read as columns."));

    // Only the columns the recordset has are asked for.
    QStringList names;
    m_hasDates = rs.hasField(dateColumn);
    QString cols = QStringLiteral("rowid");
    if (m_hasDates) cols += ',' + SqlDialect::quoteName(dateColumn);
    for (const QString& c : numberColumns)
        if (rs.hasField(c) && !names.contains(c, Qt::CaseInsensitive)) {
            names << c;
            cols += ',' + SqlDialect::quoteName(c);
        }
    QString sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + SqlDialect::quoteName(sel.table);
    if (!sel.where.isEmpty()) sql += QStringLiteral(" WHERE ") + sel.where;
    if (!sel.orderBy.isEmpty()) sql += QStringLiteral(" ORDER BY ") + sel.orderBy;

    QSqlQuery q(rs.database().handle());
    q.setForwardOnly(true);
    if (!q.exec(SqlDialect::translate(sql))) throwSqlError(q.lastError());

    const auto& ids = rs.rowIds();
    const size_t expected = ids.size();
    std::vector<std::vector<double>*> targets;
    for (const QString& c : names) {
        auto& v = m_numbers[c.toLower()];
        v.reserve(expected);
        targets.push_back(&v);
    }
    m_dates.reserve(expected);
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    const int first = m_hasDates ? 2 : 1;
    size_t row = 0;
    bool sameRows = true;
    while (q.next()) {
        if (row >= expected || q.value(0).toLongLong() != ids[row]) sameRows = false;
        ++row;
        if (m_hasDates) m_dates.push_back(ChartRules::dateTimeKey(q.value(1).toString()));
        for (size_t i = 0; i < targets.size(); ++i) {
            const QVariant v = q.value(first + int(i));
            bool ok = false;
            const double d = v.isNull() ? NaN : v.toDouble(&ok);
            targets[i]->push_back(ok ? d : NaN);
        }
    }
    // The query repeats the recordset's own selection; it can only differ if rows changed
    // underneath, and then the recordset's rows are the ones to show.
    if (!sameRows || row != expected) throw TwError(ErrNo::DatabaseError, QStringLiteral("The readings changed while they were read."));
    m_rows = qsizetype(row);
}

const std::vector<double>& GraphColumns::dates() const
{
    if (!m_hasDates) missingColumn();
    return m_dates;
}

const std::vector<double>& GraphColumns::numbers(const QString& column) const
{
    auto it = m_numbers.constFind(column.toLower());
    if (it == m_numbers.constEnd()) missingColumn();
    return *it;
}
