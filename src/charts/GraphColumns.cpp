#include "charts/GraphColumns.h"
#include "charts/ChartRules.h"
#include "core/TwError.h"
#include "data/NumberColumns.h"
#include "data/PassValues.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QByteArray>
#include <QSqlError>
#include <QSqlQuery>
#include <limits>

namespace {
[[noreturn]] void missingColumn()
{
    throw TwError(
        ErrNo::ItemNotFound,
        QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

// The table's column names as it spells them, by lower-case name.
QHash<QString, QString> columnsOf(Database& db, const QString& table)
{
    QHash<QString, QString> out;
    for (const Database::Column& c : db.columns(table)) out.insert(c.name.toLower(), c.name);
    if (out.isEmpty())
        throw TwError(-1, QStringLiteral("The Microsoft Jet database engine cannot find the input table or query '") +
                              table + QStringLiteral("'."));
    return out;
}
}  // namespace

GraphColumns::GraphColumns(Database& db, const QString& selectionSql, const QStringList& numberColumns,
                           const QString& dateColumn, const QString& textColumn, qsizetype expectedRows)
{
    read(db, selectionSql, numberColumns, dateColumn, textColumn, expectedRows);
}

GraphColumns::GraphColumns(const Recordset& rs, const QStringList& numberColumns, const QString& dateColumn,
                           const QString& textColumn)
{
    if (!rs.isOpen())
        throw TwError(ErrNo::NoCurrentRecord, QStringLiteral("Operation is not allowed when the object is closed."));
    read(rs.database(), rs.sql(), numberColumns, dateColumn, textColumn, rs.recordCount());
    // The query repeats the recordset's own selection; it can only differ if rows changed
    // underneath, and then the recordset's rows are the ones to show.
    if (m_ids != rs.rowIds())
        throw TwError(ErrNo::DatabaseError, QStringLiteral("The readings changed while they were read."));
}

void GraphColumns::read(Database& db, const QString& selectionSql, const QStringList& numberColumns,
                        const QString& dateColumn, const QString& textColumn, qsizetype expectedRows)
{
    const SqlDialect::Select sel = SqlDialect::parseSelect(selectionSql);
    if (!sel.valid) throw TwError(ErrNo::DatabaseError, QStringLiteral("The selection cannot be read as columns."));
    const QHash<QString, QString> has = columnsOf(db, sel.table);

    // Only the columns the table has are asked for.
    const bool hasDates = has.contains(dateColumn.toLower());
    const bool hasText = !textColumn.isEmpty() && has.contains(textColumn.toLower());
    QString cols = QStringLiteral("rowid");
    if (hasDates) cols += ',' + SqlDialect::quoteName(dateColumn);
    QStringList names;
    for (const QString& c : numberColumns)
        if (has.contains(c.toLower()) && !names.contains(c, Qt::CaseInsensitive)) {
            names << c;
            cols += ',' + SqlDialect::quoteName(c);
        }
    QString sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + SqlDialect::quoteName(sel.table);
    if (!sel.where.isEmpty()) sql += QStringLiteral(" WHERE ") + sel.where;
    // Ties in the date order are broken by the row's identity, as the recordset does.
    if (!sel.orderBy.isEmpty()) sql += QStringLiteral(" ORDER BY ") + sel.orderBy + QStringLiteral(", rowid");

    Statement q(db, SqlDialect::translate(sql));
    NumberColumns values(size_t(names.size()), size_t(expectedRows));
    if (hasDates) {
        m_dates = std::make_shared<std::vector<double>>();
        m_dates->reserve(size_t(expectedRows));
    }
    m_ids.reserve(size_t(expectedRows));
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    const int first = hasDates ? 2 : 1;
    while (q.next()) {
        m_ids.push_back(q.integer(0));
        if (hasDates) m_dates->push_back(q.isNull(1) ? NaN : ChartRules::dateTimeKeyUtf8(q.utf8(1)));
        for (size_t i = 0; i < size_t(names.size()); ++i) {
            const int c = first + int(i);
            double d = NaN;
            if (q.isNumber(c)) {
                d = q.number(c);
            } else if (!q.isNull(c)) {
                bool ok = false;
                const double t = QByteArray(q.utf8(c).data(), q.utf8(c).size()).toDouble(&ok);
                if (ok) d = t;
            }
            values.push(i, d);
        }
    }
    std::vector<std::shared_ptr<std::vector<double>>> read = values.finish(m_ids.size(), false);
    for (qsizetype i = 0; i < names.size(); ++i) m_numbers.insert(names[i].toLower(), std::move(read[size_t(i)]));
    m_rows = qsizetype(m_ids.size());
    // The text column of the first and the last row only.
    if (hasText) readTexts(db, sel.table, textColumn);
}

GraphColumns::GraphColumns(Database& db, const QString& table, Calc::ComputedColumns&& computed,
                           const QString& textColumn)
{
    m_ids = std::move(computed.rowIds);
    m_rows = qsizetype(m_ids.size());
    m_dates = std::move(computed.dates);
    for (qsizetype i = 0; i < computed.names.size(); ++i)
        m_numbers[computed.names[i].toLower()] = std::move(computed.values[size_t(i)]);
    if (!textColumn.isEmpty() && columnsOf(db, table).contains(textColumn.toLower())) readTexts(db, table, textColumn);
}

void GraphColumns::readTexts(Database& db, const QString& table, const QString& textColumn)
{
    if (m_ids.empty()) return;
    Statement t(db, QStringLiteral("SELECT ") + SqlDialect::quoteName(textColumn) + QStringLiteral(" FROM ") +
                        SqlDialect::quoteName(table) + QStringLiteral(" WHERE rowid = ?"));
    t.bind(1, m_ids.front());
    if (t.next()) m_firstText = t.text(0);
    t.reset();
    t.bind(1, m_ids.back());
    if (t.next()) m_lastText = t.text(0);
    t.reset();
}

std::shared_ptr<const std::vector<double>> GraphColumns::sharedDates() const
{
    if (!m_dates) missingColumn();
    return m_dates;
}

std::shared_ptr<const std::vector<double>> GraphColumns::sharedNumbers(const QString& column) const
{
    auto it = m_numbers.constFind(column.toLower());
    if (it == m_numbers.constEnd()) missingColumn();
    return *it;
}
