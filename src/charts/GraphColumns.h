#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class Database;
class Recordset;
namespace Calc {
struct ComputedColumns;
}

// The values of some columns for every row of a selection, in the selection's order, read
// in one query straight into arrays a chart series takes as they are (a time chart binds a
// series to a column of the graph data). Numbers come back as doubles, a null or a text
// that is not a number as NaN; the date column is read as chart keys
// (ChartRules::dateTimeKey). The rows' identities come from the same query, and the first
// and last texts of one more column (the reading date) from their rows.
class GraphColumns {
public:
    // Reads the named columns of the selection "SELECT * FROM <table> [WHERE ...] [ORDER
    // BY ...]" (the program's SQL text of a graph data selection); columns the table lacks
    // are remembered as missing. Throws TwError when the selection cannot be read.
    // expectedRows (optional) sizes the arrays ahead.
    GraphColumns(Database& db, const QString& selectionSql, const QStringList& numberColumns, const QString& dateColumn,
                 const QString& textColumn = QString(), qsizetype expectedRows = 0);
    // The same over the selection of an open recordset; throws TwError when the rows read
    // are not the recordset's own (they changed underneath).
    GraphColumns(const Recordset& rs, const QStringList& numberColumns, const QString& dateColumn,
                 const QString& textColumn = QString());

    // Columns computed while reading (data/PassValues.h) of the sensor's data table, with
    // the text column of the first and last row read from the table.
    GraphColumns(Database& db, const QString& table, Calc::ComputedColumns&& computed,
                 const QString& textColumn = QString());

    qsizetype rowCount() const { return m_rows; }
    const std::vector<qint64>& rowIds() const { return m_ids; }
    std::vector<qint64> takeRowIds() { return std::move(m_ids); }
    // The keys of the date column. Throws TwError 3265 when the column is missing.
    const std::vector<double>& dates() const { return *sharedDates(); }
    std::shared_ptr<const std::vector<double>> sharedDates() const;
    // A number column. Throws TwError 3265 when the selection has no such column.
    const std::vector<double>& numbers(const QString& column) const { return *sharedNumbers(column); }
    std::shared_ptr<const std::vector<double>> sharedNumbers(const QString& column) const;
    // The text column of the first and the last row (null when missing or no rows).
    QString firstText() const { return m_firstText; }
    QString lastText() const { return m_lastText; }

    // Brings columns read from the selection "SELECT * FROM <table> [WHERE ...] ORDER BY
    // ..." up to date after the rows changed (row ids, in any order, repeats allowed) were
    // added, edited or deleted: those rows are taken out and read again where the selection
    // still has them, each at its place in the selection's order. rowIds are the columns'
    // row identities (as takeRowIds gave them), brought up to date too. False, with nothing
    // changed, when it cannot be done in place (a column sharing its array with another
    // would get a value; the selection cannot be read): the caller reads the whole
    // selection again.
    bool update(Database& db, const QString& selectionSql, std::vector<qint64>& rowIds, std::vector<qint64> changed,
                const QString& textColumn = QString());

    // What the arrays hold, as a number no other columns' arrays ever held: new after each
    // update that changed them, so that a chart can tell arrays it drew unchanged.
    quint64 revision() const { return m_revision; }
    // After an update that only put rows in: the revision before it and the rows' places in
    // the arrays now (ascending). grownFrom is 0 when the last update took rows out or
    // there was none.
    quint64 grownFrom() const { return m_grownFrom; }
    const std::vector<size_t>& addedAt() const { return m_addedAt; }

private:
    void readTexts(Database& db, const QString& table, const QString& textColumn);
    void read(Database& db, const QString& selectionSql, const QStringList& numberColumns, const QString& dateColumn,
              const QString& textColumn, qsizetype expectedRows);

    qsizetype m_rows = 0;
    QStringList m_names;  // the number columns read, in the order read
    std::vector<qint64> m_ids;
    std::shared_ptr<std::vector<double>> m_dates;
    QHash<QString, std::shared_ptr<std::vector<double>>> m_numbers;  // lower-case name -> values
    QString m_firstText;
    QString m_lastText;
    quint64 m_revision = nextRevision();
    quint64 m_grownFrom = 0;
    std::vector<size_t> m_addedAt;

    static quint64 nextRevision();
};
