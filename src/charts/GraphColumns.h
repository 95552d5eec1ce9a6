#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

class Recordset;

// The values of some columns for every row of an open recordset, in the recordset's
// order, read in one query (a time chart binds a series to a column of the graph data).
// Numbers come back as doubles, a null or a text that is not a number as NaN; the date
// column is read as chart keys (ChartRules::dateTimeKey).
class GraphColumns {
public:
    // Reads the named columns that the recordset has; the others are remembered as missing.
    GraphColumns(const Recordset& rs, const QStringList& numberColumns, const QString& dateColumn);

    qsizetype rowCount() const { return m_rows; }
    // The keys of the date column. Throws TwError 3265 when the column is missing.
    const std::vector<double>& dates() const;
    // A number column. Throws TwError 3265 when the recordset has no such column.
    const std::vector<double>& numbers(const QString& column) const;

private:
    qsizetype m_rows = 0;
    bool m_hasDates = false;
    std::vector<double> m_dates;
    QHash<QString, std::vector<double>> m_numbers;   // lower-case name -> values
};
