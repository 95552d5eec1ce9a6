#include "store/RowUpdate.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <charconv>
#include <cmath>

RowUpdate::RowUpdate(Database& db, const QString& table, const QStringList& columns, const QString& fixedSets)
    : m_db(db), m_table(table), m_columns(columns), m_fixedSets(fixedSets)
{
    if (db.isServer()) return;
    QStringList sets;
    for (const QString& c : columns) sets << SqlDialect::quoteName(c) + QStringLiteral(" = ?");
    if (!fixedSets.isEmpty()) sets << fixedSets;
    m_statement = std::make_unique<Statement>(db, QStringLiteral("UPDATE ") + SqlDialect::quoteName(table) +
                                                      QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                                                      QStringLiteral(" WHERE rowid = ?"));
}

RowUpdate::~RowUpdate() = default;

void RowUpdate::write(qint64 rowId, const double* values)
{
    const int n = int(m_columns.size());
    if (m_statement) {
        for (int i = 0; i < n; ++i) {
            if (std::isnan(values[i])) m_statement->bindNull(i + 1);
            else m_statement->bind(i + 1, values[i]);
        }
        m_statement->bind(n + 1, rowId);
        m_statement->run();
        return;
    }
    // One line of the server's copy format: tab-separated, \\N for null.
    m_pending += QByteArray::number(rowId);
    for (int i = 0; i < n; ++i) {
        m_pending += '\t';
        // Infinite values are stored as the server spells them; the file keeps them too.
        if (std::isnan(values[i])) m_pending += "\\N";
        else if (std::isinf(values[i])) m_pending += values[i] > 0 ? "Infinity" : "-Infinity";
        else {
            // The shortest text that reads back as the same double.
            char text[32];
            const auto r = std::to_chars(text, text + sizeof text, values[i]);
            m_pending.append(text, r.ptr - text);
        }
    }
    m_pending += '\n';
    if (++m_pendingRows >= ServerBatchRows) flush();
}

void RowUpdate::flush()
{
    if (m_statement || m_pendingRows == 0) return;
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
    m_db.copyToServer(rows, m_pending);
    m_pending.clear();
    m_pendingRows = 0;
    const QString table = QStringLiteral("\"") + m_table.toLower().replace(u'"', QStringLiteral("\"\"")) + u'"';
    m_db.executeOnServer(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                         QStringLiteral(" FROM ") + rows + QStringLiteral(" AS v WHERE ") + table + u'.' +
                         QLatin1String(SqlDialect::RowIdColumn) + QStringLiteral(" = v.id"));
}
