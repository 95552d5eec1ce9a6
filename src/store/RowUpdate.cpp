#include "store/RowUpdate.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <bit>
#include <cmath>

RowUpdate::RowUpdate(Database& db, const QString& table, const QStringList& columns, const QString& fixedSets)
    : m_db(db),
      m_table(table),
      m_columns(columns),
      m_fixedSets(fixedSets)
{
    if (!db.isServer()) m_statement = rowStatement();
}

RowUpdate::~RowUpdate() = default;

std::unique_ptr<Statement> RowUpdate::rowStatement() const
{
    QStringList sets;
    for (const QString& c : m_columns) sets << SqlDialect::quoteName(c) + QStringLiteral(" = ?");
    if (!m_fixedSets.isEmpty()) sets << m_fixedSets;
    return std::make_unique<Statement>(m_db, QStringLiteral("UPDATE ") + SqlDialect::quoteName(m_table) +
                                                 QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                                 QStringLiteral(" WHERE rowid = ?"));
}

void RowUpdate::writeRow(Statement& st, qint64 rowId, const double* values)
{
    const int n = int(m_columns.size());
    for (int i = 0; i < n; ++i) {
        if (std::isnan(values[i])) st.bindNull(i + 1);
        else st.bind(i + 1, values[i]);
    }
    st.bind(n + 1, rowId);
    st.run();
}

void RowUpdate::write(qint64 rowId, const double* values)
{
    const int n = int(m_columns.size());
    if (m_statement) {
        writeRow(*m_statement, rowId, values);
        return;
    }
    // The first rows of a batch are kept as numbers too: a batch of a few rows (a reading
    // typed in) is written row by row, which costs less than the bulk copy's statements.
    if (m_pendingRows < SmallBatchRows) {
        m_smallIds.push_back(rowId);
        m_smallValues.insert(m_smallValues.end(), values, values + n);
    }
    // One row of the server's binary copy format: the field count, then each field's
    // length and its bytes (big-endian); a null (NaN) has length -1. Numbers go as their
    // own bits, so nothing is lost and the server parses no text.
    auto put16 = [this](quint16 v) {
        const uchar b[2] = {uchar(v >> 8), uchar(v)};
        m_pending.append(reinterpret_cast<const char*>(b), 2);
    };
    auto put32 = [this](quint32 v) {
        const uchar b[4] = {uchar(v >> 24), uchar(v >> 16), uchar(v >> 8), uchar(v)};
        m_pending.append(reinterpret_cast<const char*>(b), 4);
    };
    auto put64 = [&](quint64 v) {
        put32(quint32(v >> 32));
        put32(quint32(v));
    };
    put16(quint16(n + 1));
    put32(8);
    put64(quint64(rowId));
    for (int i = 0; i < n; ++i) {
        if (std::isnan(values[i])) {
            put32(0xffffffffu);
            continue;
        }
        put32(8);
        put64(std::bit_cast<quint64>(values[i]));
    }
    if (++m_pendingRows >= ServerBatchRows) flush();
}

void RowUpdate::flush()
{
    if (m_statement || m_pendingRows == 0) return;
    if (m_pendingRows <= SmallBatchRows) {
        if (!m_small) m_small = rowStatement();
        const size_t n = size_t(m_columns.size());
        for (size_t r = 0; r < m_smallIds.size(); ++r) writeRow(*m_small, m_smallIds[r], m_smallValues.data() + r * n);
        m_smallIds.clear();
        m_smallValues.clear();
        m_pending.clear();
        m_pendingRows = 0;
        return;
    }
    m_smallIds.clear();
    m_smallValues.clear();
    // The rows go to a temporary table of the connection in the server's bulk copy, then
    // into the table in one UPDATE.
    const int n = int(m_columns.size());
    const QString rows = QStringLiteral("tw_rows_%1").arg(n);
    QStringList defs{QStringLiteral("id BIGINT")};
    QStringList sets;
    for (int i = 0; i < n; ++i) {
        defs << QStringLiteral("c%1 DOUBLE PRECISION").arg(i);
        sets << QStringLiteral("\"") + m_columns[i].toLower() + QStringLiteral("\" = v.c%1").arg(i);
    }
    if (!m_fixedSets.isEmpty()) sets << SqlDialect::toServer(m_fixedSets);
    m_db.executeOnServer(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ") + rows + QStringLiteral(" (") +
                         defs.join(QStringLiteral(", ")) + u')');
    m_db.executeOnServer(QStringLiteral("TRUNCATE ") + rows);
    static const char header[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";  // signature, flags, no extension
    m_pending.prepend(header, sizeof header - 1);
    m_pending.append("\xff\xff", 2);  // the end of the rows
    m_db.copyToServer(rows, m_pending, true);
    m_pending.clear();
    m_pendingRows = 0;
    const QString table = QStringLiteral("\"") + m_table.toLower().replace(u'"', QStringLiteral("\"\"")) + u'"';
    m_db.executeOnServer(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                         QStringLiteral(" FROM ") + rows + QStringLiteral(" AS v WHERE ") + table + u'.' +
                         QLatin1String(SqlDialect::RowIdColumn) + QStringLiteral(" = v.id"));
}
