#include "store/RowUpdate.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QLocale>
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
    m_pending += m_pendingRows ? QStringLiteral(",(") : QStringLiteral("(");
    m_pending += QString::number(rowId);
    for (int i = 0; i < n; ++i) {
        m_pending += u',';
        // Infinite values are stored as the server spells them; the file keeps them too.
        if (std::isnan(values[i])) m_pending += QStringLiteral("NULL");
        else if (std::isinf(values[i])) m_pending += values[i] > 0 ? QStringLiteral("'Infinity'") : QStringLiteral("'-Infinity'");
        else m_pending += QString::number(values[i], 'g', QLocale::FloatingPointShortest);
    }
    m_pending += u')';
    if (++m_pendingRows >= ServerBatchRows) flush();
}

void RowUpdate::flush()
{
    if (m_statement || m_pendingRows == 0) return;
    const QString table = QStringLiteral("\"") + m_table.toLower().replace(u'"', QStringLiteral("\"\"")) + u'"';
    QStringList names{QStringLiteral("id")};
    QStringList sets;
    for (int i = 0; i < m_columns.size(); ++i) {
        names << QStringLiteral("c%1").arg(i);
        sets << QStringLiteral("\"") + m_columns[i].toLower() + QStringLiteral("\" = v.c%1::double precision").arg(i);
    }
    if (!m_fixedSets.isEmpty()) sets << SqlDialect::toServer(m_fixedSets);
    const QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                        QStringLiteral(" FROM (VALUES ") + m_pending + QStringLiteral(") AS v(") + names.join(u',') +
                        QStringLiteral(") WHERE ") + table + u'.' + QLatin1String(SqlDialect::RowIdColumn) +
                        QStringLiteral(" = v.id");
    m_pending.clear();
    m_pendingRows = 0;
    m_db.executeOnServer(sql);
}
