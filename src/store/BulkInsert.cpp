#include "store/BulkInsert.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <charconv>
#include <cmath>

BulkInsert::BulkInsert(Database& db, const QString& table, const QStringList& columns, const QStringList& fixedColumns,
                       const QStringList& fixedValues, std::function<void(QByteArrayView)> onDuplicate,
                       const QStringList& numberColumns)
    : m_db(db),
      m_table(table),
      m_columns(columns),
      m_fixedColumns(fixedColumns),
      m_fixedValues(fixedValues),
      m_numberColumns(numberColumns),
      m_onDuplicate(std::move(onDuplicate))
{
    if (!db.isServer()) m_statement = rowStatement();
}

std::unique_ptr<Statement> BulkInsert::rowStatement() const
{
    QStringList names, marks;
    for (const QString& c : m_columns) {
        names << SqlDialect::quoteName(c);
        marks << QStringLiteral("?");
    }
    for (const QString& c : m_numberColumns) {
        names << SqlDialect::quoteName(c);
        marks << QStringLiteral("?");
    }
    for (int i = 0; i < m_fixedColumns.size(); ++i) {
        names << SqlDialect::quoteName(m_fixedColumns[i]);
        marks << m_fixedValues.value(i);
    }
    return std::make_unique<Statement>(m_db, QStringLiteral("INSERT OR IGNORE INTO ") + SqlDialect::quoteName(m_table) +
                                                 QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
                                                 QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + ')');
}

bool BulkInsert::insertRow(Statement& st, const QByteArrayView* values, const double* numbers)
{
    st.bindRow(1, values, int(m_columns.size()), numbers, int(m_numberColumns.size()));
    if (st.run() == 0) {
        if (m_onDuplicate) m_onDuplicate(values[0]);
        return false;
    }
    ++m_appended;
    return true;
}

BulkInsert::~BulkInsert() = default;

void BulkInsert::add(const QByteArrayView* values, const double* numbers)
{
    const int n = int(m_columns.size());
    const int numbered = int(m_numberColumns.size());
    if (m_statement) {
        insertRow(*m_statement, values, numbers);
        return;
    }
    // A few rows (a reading typed in) are kept as they are too: for them the bulk copy's
    // own statements would cost more than a round trip per row.
    if (m_keys.size() < size_t(SmallBatchRows)) {
        std::vector<QByteArray> row(static_cast<size_t>(n));
        std::vector<char> given(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            given[size_t(i)] = values[i].data() != nullptr;
            if (given[size_t(i)]) row[size_t(i)] = values[i].toByteArray();
        }
        m_small.push_back(std::move(row));
        m_smallGiven.push_back(std::move(given));
        m_smallNumbers.insert(m_smallNumbers.end(), numbers, numbers + numbered);
    }
    m_pending += QByteArray::number(qint64(m_keys.size()));
    for (int i = 0; i < n; ++i) {
        m_pending += '\t';
        if (!values[i].data()) {
            m_pending += "\\N";
            continue;
        }
        for (char c : values[i]) {
            switch (c) {
                case '\\':
                    m_pending += "\\\\";
                    break;
                case '\t':
                    m_pending += "\\t";
                    break;
                case '\n':
                    m_pending += "\\n";
                    break;
                case '\r':
                    m_pending += "\\r";
                    break;
                default:
                    m_pending += c;
            }
        }
    }
    // Numbers as the shortest text that reads back as the same bits.
    for (int i = 0; i < numbered; ++i) {
        if (std::isnan(numbers[i])) {
            m_pending += "\t\\N";
            continue;
        }
        char text[40];
        text[0] = '\t';
        const std::to_chars_result r = std::to_chars(text + 1, text + sizeof text, numbers[i]);
        m_pending.append(text, r.ptr - text);
    }
    m_pending += '\n';
    m_keys.emplace_back(values[0].data(), values[0].size());
    if (int(m_keys.size()) >= ServerBatchRows) flush();
}

void BulkInsert::flush()
{
    if (m_statement || m_keys.empty()) return;
    const int n = int(m_columns.size());
    if (m_keys.size() <= m_small.size()) {
        if (!m_smallStatement) m_smallStatement = rowStatement();
        std::vector<QByteArrayView> row(static_cast<size_t>(n));
        for (size_t r = 0; r < m_small.size(); ++r) {
            for (int i = 0; i < n; ++i)
                row[size_t(i)] =
                    m_smallGiven[r][size_t(i)]
                        ? QByteArrayView(m_small[r][size_t(i)].isNull() ? "" : m_small[r][size_t(i)].constData(),
                                         m_small[r][size_t(i)].size())
                        : QByteArrayView();
            insertRow(*m_smallStatement, row.data(), m_smallNumbers.data() + r * m_numberColumns.size());
        }
        clearBatch();
        return;
    }
    const QString rows = QStringLiteral("tw_append");
    const QString table = '"' + m_table.toLower() + '"';
    QStringList like{QStringLiteral("0::bigint AS ord")}, temp, names;
    for (int i = 0; i < n; ++i) {
        names << '"' + m_columns[i].toLower() + '"';
        like << names.last() + QStringLiteral(" AS c%1").arg(i);
        temp << QStringLiteral("c%1").arg(i);
    }
    for (int i = 0; i < m_numberColumns.size(); ++i) {
        names << '"' + m_numberColumns[i].toLower() + '"';
        like << names.last() + QStringLiteral(" AS n%1").arg(i);
        temp << QStringLiteral("n%1").arg(i);
    }
    for (int i = 0; i < m_fixedColumns.size(); ++i) {
        names << '"' + m_fixedColumns[i].toLower() + '"';
        temp << m_fixedValues.value(i);
    }
    // The batch's columns have the table's own types, so the server reads each text as
    // the column takes it (numbers, yes/no) while copying.
    m_db.executeOnServer(QStringLiteral("DROP TABLE IF EXISTS pg_temp.") + rows);
    m_db.executeOnServer(QStringLiteral("CREATE TEMP TABLE ") + rows + QStringLiteral(" AS SELECT ") +
                         like.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table +
                         QStringLiteral(" WITH NO DATA"));
    m_db.copyToServer(rows, m_pending);
    m_pending.clear();
    // The rows in the order they came, each key once (a later row of a key already in the
    // batch is a duplicate, as it is on the file).
    QSqlQuery q(m_db.serverConnection());
    const QString sql =
        QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
        QStringLiteral(") SELECT ") + temp.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + rows +
        QStringLiteral(" ORDER BY ord ON CONFLICT DO NOTHING RETURNING \"") + m_columns[0].toLower() + '"';
    if (!q.exec(sql)) throwSqlError(q.lastError());
    QSet<QByteArray> stored;
    while (q.next()) stored.insert(q.value(0).toString().toUtf8());
    m_appended += stored.size();
    for (const QByteArray& key : m_keys) {
        if (stored.remove(key)) continue;  // the first row of its key
        if (m_onDuplicate) m_onDuplicate(QByteArrayView(key));
    }
    clearBatch();
}

void BulkInsert::clearBatch()
{
    m_pending.clear();
    m_keys.clear();
    m_small.clear();
    m_smallGiven.clear();
    m_smallNumbers.clear();
}
