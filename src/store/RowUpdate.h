#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class Database;
class Statement;

// Writes numbers into many rows of one table by row identity: the write of a calculation
// pass. On the file each row is one run of a prepared UPDATE; on a server the rows are
// sent many at a time (one UPDATE ... FROM VALUES per batch), since a round trip to the
// server per row would cost more than all the work (a batch goes in the server's bulk copy
// to a temporary table, and from there into the table in one UPDATE). A value that is not a number (NaN)
// is written as null, as the file engine stores it.
//
// write() may keep rows back until flush(); call flush() before committing. Failures
// throw TwError (on a server possibly at the flush of a later row's batch).
class RowUpdate {
public:
    // columns: the columns given for each row, in order; fixedSets: assignments made to
    // every row written (e.g. "IsDirty = 0"), in SQLite's dialect.
    RowUpdate(Database& db, const QString& table, const QStringList& columns, const QString& fixedSets);
    ~RowUpdate();
    RowUpdate(const RowUpdate&) = delete;
    RowUpdate& operator=(const RowUpdate&) = delete;

    // values: columns.size() numbers.
    void write(qint64 rowId, const double* values);
    void flush();

    static constexpr int ServerBatchRows = 50000;
    // On a server a batch of up to this many rows is written row by row.
    static constexpr int SmallBatchRows = 16;

private:
    Database& m_db;
    QString m_table;
    QStringList m_columns;
    QString m_fixedSets;
    std::unique_ptr<Statement> rowStatement() const;
    void writeRow(Statement& st, qint64 rowId, const double* values);

    std::unique_ptr<Statement> m_statement;  // the file's
    std::unique_ptr<Statement> m_small;      // a server's, for a small batch
    std::vector<qint64> m_smallIds;
    std::vector<double> m_smallValues;
    QByteArray m_pending;  // the server's rows not yet sent (copy text)
    int m_pendingRows = 0;
};
