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
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>

namespace {
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A number column's value: a null or a text that is not a number as NaN.
double numberAt(const Statement& q, int c)
{
    if (q.isNumber(c)) return q.number(c);
    if (q.isNull(c)) return NaN;
    bool ok = false;
    const double t = QByteArray(q.utf8(c).data(), q.utf8(c).size()).toDouble(&ok);
    return ok ? t : NaN;
}

double dateAt(const Statement& q, int c) { return q.isNull(c) ? NaN : ChartRules::dateTimeKeyUtf8(q.utf8(c)); }

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

quint64 GraphColumns::nextRevision()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

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
    const int first = hasDates ? 2 : 1;
    while (q.next()) {
        m_ids.push_back(q.integer(0));
        if (hasDates) m_dates->push_back(dateAt(q, 1));
        for (size_t i = 0; i < size_t(names.size()); ++i) values.push(i, numberAt(q, first + int(i)));
    }
    std::vector<std::shared_ptr<std::vector<double>>> read = values.finish(m_ids.size(), false);
    for (qsizetype i = 0; i < names.size(); ++i) m_numbers.insert(names[i].toLower(), read[size_t(i)]);
    m_names = names;
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
    m_names = computed.names;
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

namespace {
// Takes the elements at the sorted positions gone out of values, keeping the others' order.
template <typename T>
void removeAt(std::vector<T>& values, const std::vector<size_t>& gone)
{
    if (gone.empty()) return;
    size_t to = gone.front();
    for (size_t g = 0; g < gone.size(); ++g) {
        const size_t end = g + 1 < gone.size() ? gone[g + 1] : values.size();
        for (size_t from = gone[g] + 1; from < end; ++from) values[to++] = values[from];
    }
    values.resize(to);
}

// Puts added[j] before the element at places[j] (places in ascending order, each counted
// in values as they were before any was put in).
template <typename T>
void insertAt(std::vector<T>& values, const std::vector<size_t>& places, const std::vector<T>& added)
{
    if (added.empty()) return;
    size_t from = values.size();
    values.resize(values.size() + added.size());
    size_t to = values.size();
    for (size_t j = added.size(); j-- > 0;) {
        while (from > places[j]) values[--to] = values[--from];
        values[--to] = added[j];
    }
}

bool sameNumber(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<quint64>(a) == std::bit_cast<quint64>(b);
}
}  // namespace

bool GraphColumns::update(Database& db, const QString& selectionSql, std::vector<qint64>& rowIds,
                          std::vector<qint64> changed, const QString& textColumn)
{
    const SqlDialect::Select sel = SqlDialect::parseSelect(selectionSql);
    if (!sel.valid || sel.orderBy.isEmpty() || size_t(m_rows) != rowIds.size()) return false;
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    if (changed.empty()) return true;
    const QString table = SqlDialect::quoteName(sel.table);
    const QString order = QStringLiteral(" ORDER BY ") + sel.orderBy + QStringLiteral(", rowid");

    // Each distinct array once, with the columns that share it.
    std::vector<std::shared_ptr<std::vector<double>>> arrays;
    std::vector<std::vector<int>> sharedBy;
    for (int i = 0; i < m_names.size(); ++i) {
        const std::shared_ptr<std::vector<double>>& a = m_numbers.value(m_names[i].toLower());
        if (!a || a->size() != rowIds.size()) return false;
        const auto at = std::find(arrays.begin(), arrays.end(), a);
        if (at == arrays.end()) {
            arrays.push_back(a);
            sharedBy.push_back({i});
        } else {
            sharedBy[size_t(at - arrays.begin())].push_back(i);
        }
    }
    if (m_dates && m_dates->size() != rowIds.size()) return false;

    std::vector<qint64> ids;
    std::vector<double> dates;
    std::vector<std::vector<double>> values(arrays.size());
    std::vector<size_t> gone;
    std::vector<size_t> places;
    try {
        // The changed rows the selection has now, in its order.
        QString cols = QStringLiteral("rowid, ") + (m_dates ? QStringLiteral("FullDate") : QStringLiteral("NULL"));
        for (const QString& n : m_names) cols += ',' + SqlDialect::quoteName(n);
        QString sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ");
        if (!sel.where.isEmpty()) sql += '(' + sel.where + QStringLiteral(") AND ");
        sql += SqlDialect::rowIdsIn(changed) + order;
        Statement q(db, SqlDialect::translate(sql));
        while (q.next()) {
            ids.push_back(q.integer(0));
            dates.push_back(dateAt(q, 1));
            for (size_t a = 0; a < arrays.size(); ++a) {
                const double v = numberAt(q, 2 + sharedBy[a].front());
                // An array shared by columns holds one value for all of them.
                for (int other : sharedBy[a])
                    if (!sameNumber(numberAt(q, 2 + other), v)) return false;
                values[a].push_back(v);
            }
        }
        for (size_t i = 0; i < rowIds.size(); ++i)
            if (std::binary_search(changed.begin(), changed.end(), rowIds[i])) gone.push_back(i);

        // Where each read row goes among the rows that stay: found by asking the database
        // which of two rows its order puts first, so ties and odd dates sort as a full read.
        std::vector<qint64> staying = rowIds;
        removeAt(staying, gone);
        Statement first(
            db, SqlDialect::translate(QStringLiteral("SELECT rowid FROM ") + table +
                                      QStringLiteral(" WHERE rowid IN (?, ?)") + order + QStringLiteral(" LIMIT 1")));
        const auto before = [&](qint64 a, qint64 b) {
            first.bind(1, a);
            first.bind(2, b);
            const bool ok = first.next();
            const qint64 firstId = ok ? first.integer(0) : 0;
            first.reset();
            if (!ok) throw TwError(ErrNo::DatabaseError, QStringLiteral("The readings changed while they were read."));
            return firstId == a;
        };
        size_t low = 0;
        for (qint64 id : ids) {
            // Rows read later go after those read before; most go after every row kept.
            size_t high = staying.size();
            if (high > low && !before(id, staying[high - 1])) low = high;
            while (low < high) {
                const size_t mid = low + (high - low) / 2;
                if (before(id, staying[mid])) high = mid;
                else low = mid + 1;
            }
            places.push_back(low);
        }
    } catch (const TwError&) {
        return false;
    }

    // From here on nothing can fail: the arrays are changed in place.
    removeAt(rowIds, gone);
    insertAt(rowIds, places, ids);
    if (m_dates) {
        removeAt(*m_dates, gone);
        insertAt(*m_dates, places, dates);
    }
    for (size_t a = 0; a < arrays.size(); ++a) {
        removeAt(*arrays[a], gone);
        insertAt(*arrays[a], places, values[a]);
    }
    // The j-th row put in lands after the j rows put in before it.
    m_grownFrom = gone.empty() ? m_revision : 0;
    m_addedAt.clear();
    if (gone.empty())
        for (size_t j = 0; j < places.size(); ++j) m_addedAt.push_back(places[j] + j);
    m_revision = nextRevision();
    m_rows = qsizetype(rowIds.size());
    m_firstText.clear();
    m_lastText.clear();
    if (!textColumn.isEmpty()) {
        m_ids.swap(rowIds);
        try {
            if (columnsOf(db, sel.table).contains(textColumn.toLower())) readTexts(db, sel.table, textColumn);
        } catch (const TwError&) {
            // (the texts stay empty, as for a table without the column)
        }
        m_ids.swap(rowIds);
    }
    return true;
}
