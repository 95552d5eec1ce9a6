// Reading a server table's selection again when rows were only added to it: the added
// rows are fetched and joined to the end of the list, instead of the whole list read again.
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <algorithm>
#include <limits>

bool Recordset::appendAddedRows()
{
    // The list must be exactly as last read, of the whole table (a condition would need
    // every added row tested against it), outside a transaction (whose changes may yet be
    // undone).
    if (!m_db.isServer() || !m_appendMark.known || !m_where.isEmpty() || !m_filter.isEmpty()) return false;
    const Database::Stamp others = m_db.othersStamp();
    const Database::AppendMark before = m_db.appendMark(m_table);
    if (!m_appendMark.onlyAddedBefore(before)) return false;

    // Every row of the list has an identity no higher than the list's highest, and no row
    // was deleted or changed since: the rows not in the list are among those above it. In
    // the selection's order (which ends with the row identity, so it is total) they must all
    // come after the list's last row: asked for together with that row, it must come first.
    const qint64 highest = m_ids.empty() ? std::numeric_limits<qint64>::min() : *std::ranges::max_element(m_ids);
    const qint64 last = m_ids.empty() ? std::numeric_limits<qint64>::min() : m_ids.back();
    QString sql = QStringLiteral("SELECT rowid FROM ") + SqlDialect::quoteName(m_table) +
                  QStringLiteral(" WHERE rowid > ? OR rowid = ? ORDER BY ") +
                  (m_orderBy.isEmpty() ? QStringLiteral("rowid") : m_orderBy + QStringLiteral(", rowid"));
    Statement q(m_db, sql);
    q.bind(1, highest);
    q.bind(2, last);
    std::vector<qint64> added;
    bool lastFirst = m_ids.empty();
    bool first = true;
    while (q.next()) {
        const qint64 id = q.integer(0);
        if (first && !m_ids.empty()) lastFirst = id == last;
        else if (id != last) added.push_back(id);
        first = false;
    }
    // The counters read after the rows: had anything been committed before them that the
    // rows do not show (an added row with an identity below the highest, from a transaction
    // that took its identity earlier and committed later), the rows found would fall short
    // of the rows counted.
    const Database::AppendMark after = m_db.appendMark(m_table);
    if (!lastFirst || !m_appendMark.onlyAddedBefore(after) || after.added - m_appendMark.added != qint64(added.size()))
        return false;
    m_ids.insert(m_ids.end(), added.begin(), added.end());
    m_appendMark = after;
    m_loadedMark = others;
    // No row changed: what was read of the rows so far holds.
    m_deletedPending = false;
    m_seenRow = -1;
    return true;
}
