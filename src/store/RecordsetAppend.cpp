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
    if (before.writes == m_appendMark.writes) {
        // Nothing committed to the table since: the list stands.
        m_loadedMark = others;
        m_deletedPending = false;
        m_seenRow = -1;
        return true;
    }

    // No row was deleted or changed since the list was read: the rows not in it were added,
    // and those with an identity above the list's highest are among them. In the selection's
    // order (which ends with the row identity, so it is total) they must all come after the
    // list's last row: asked for together with that row, it must come first. And they must
    // be all the rows added: a transaction may have taken a lower identity and committed
    // after one with a higher one. The table's rows counted in the same statement tell.
    const qint64 highest = m_ids.empty() ? std::numeric_limits<qint64>::min() : *std::ranges::max_element(m_ids);
    const qint64 last = m_ids.empty() ? std::numeric_limits<qint64>::min() : m_ids.back();
    const QString table = SqlDialect::quoteName(m_table);
    QString sql = QStringLiteral("SELECT rowid, (SELECT count(*) FROM ") + table + QStringLiteral(") FROM ") + table +
                  QStringLiteral(" WHERE rowid > ? OR rowid = ? ORDER BY ") +
                  (m_orderBy.isEmpty() ? QStringLiteral("rowid") : m_orderBy + QStringLiteral(", rowid"));
    Statement q(m_db, sql);
    q.bind(1, highest);
    q.bind(2, last);
    std::vector<qint64> added;
    qint64 rows = 0;
    bool lastFirst = m_ids.empty();
    bool first = true;
    while (q.next()) {
        const qint64 id = q.integer(0);
        rows = q.integer(1);
        if (first && !m_ids.empty()) lastFirst = id == last;
        else if (id != last) added.push_back(id);
        first = false;
    }
    // The counters read after the rows: an edit committed meanwhile (before the rows were
    // read, or while the list was first read) shows in them.
    const Database::AppendMark after = m_db.appendMark(m_table);
    if (!lastFirst || !m_appendMark.onlyAddedBefore(after) || rows != qint64(m_ids.size()) + qint64(added.size()))
        return false;
    m_ids.insert(m_ids.end(), added.begin(), added.end());
    m_appendMark = after;
    m_loadedMark = others;
    // No row changed: what was read of the rows so far holds.
    m_deletedPending = false;
    m_seenRow = -1;
    return true;
}
