#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Database;
class Statement;

// Appends many rows of texts to one table whose first column is a unique key, skipping a
// row whose key is there already (a duplicate): the write of a logger import. On the file
// each row is one run of a prepared INSERT OR IGNORE; on a server the rows go many at a
// time (the server's bulk copy into a temporary table, then one INSERT ... ON CONFLICT DO
// NOTHING), since a round trip per row would cost more than all the work.
//
// Duplicates are told through onDuplicate (with the key), in the order the rows were
// added; on a server only at flush(). Call flush() before committing. Throws TwError.
class BulkInsert {
public:
    // columns: the text columns given per row, the key first; fixed: more columns with the
    // same SQL value in every row ("IsDirty" -> "1"); numberColumns: columns given a number
    // per row (NaN: null), written bit for bit.
    BulkInsert(Database& db, const QString& table, const QStringList& columns, const QStringList& fixedColumns,
               const QStringList& fixedValues, std::function<void(QByteArrayView key)> onDuplicate,
               const QStringList& numberColumns = {});
    ~BulkInsert();
    BulkInsert(const BulkInsert&) = delete;
    BulkInsert& operator=(const BulkInsert&) = delete;

    // values: columns.size() texts (a null view: null); numbers: numberColumns.size()
    // numbers (none when there are no number columns).
    void add(const QByteArrayView* values, const double* numbers = nullptr);
    void flush();
    qint64 appended() const { return m_appended; }

    static constexpr int ServerBatchRows = 20000;
    // On a server a batch of up to this many rows is written row by row.
    static constexpr int SmallBatchRows = 16;

private:
    Database& m_db;
    QString m_table;
    QStringList m_columns, m_fixedColumns, m_fixedValues, m_numberColumns;
    std::function<void(QByteArrayView)> m_onDuplicate;
    std::unique_ptr<Statement> rowStatement() const;
    bool insertRow(Statement& st, const QByteArrayView* values, const double* numbers);
    void clearBatch();

    std::unique_ptr<Statement> m_statement;       // the file's: every row
    std::unique_ptr<Statement> m_smallStatement;  // a server's: a small batch
    std::vector<std::vector<QByteArray>> m_small;
    std::vector<std::vector<char>> m_smallGiven;
    std::vector<double> m_smallNumbers;
    QByteArray m_pending;
    std::vector<QByteArray> m_keys;
    qint64 m_appended = 0;
};
