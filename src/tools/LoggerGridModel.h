#pragma once
#include "tools/LoggerReadings.h"
#include "tools/LoggerTable.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

// The import window's grid: one row per logger-file row and an Append column that shows
// only a mark, selected or not (MarkRole). For the comma-separated layout the columns are
// "Reading Date & Time", "WREN ID", "Type ID", "SensorNo", "ChannelT", "Channel1" ..
// "Channel6", "Append", showing the row's fields 1 to 11; for a file with named columns,
// the date and time (the site's, after the clock offset) and the mapped channels. With no
// rows the grid has one column headed "No Readings". The rows stay in the file's compact
// form (LoggerTable); a cell's text is cut out when it is drawn. Rows already stored are
// greyed and cannot be selected.
class LoggerGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 12;
    static constexpr int AppendColumn = 11;      // of the comma-separated layout
    enum Roles { MarkRole = Qt::UserRole + 1 };  // bool: selected; invalid for other columns

    // A shown column: the row's field, or its moment as read by the mapping.
    struct Column {
        QString header;
        int field = -1;       // -1: nothing (an unmapped channel)
        bool moment = false;  // shows the reading's date and time (the field's text when unreadable)
    };

    explicit LoggerGridModel(QObject* parent = nullptr);

    static QStringList headers();  // the comma-separated layout's 12
    static std::vector<Column> commaSeparatedColumns();

    // Takes a file's rows, the columns to show, and pre-selects by mapping and interval.
    void setTable(LoggerTable table, std::vector<Column> columns, const LoggerReadings::Mapping& m, int interval);
    // Pre-selects again (for another layout, map or interval); hand-made choices are replaced.
    void setMapping(const LoggerReadings::Mapping& m, int interval, std::vector<Column> columns = {});
    // Rows whose reading the sensor has already (per row, as the moments give them): they
    // are shown greyed, never selected, and a click does not mark them.
    void setStored(std::vector<bool> stored);
    bool isStored(int row) const { return row >= 0 && size_t(row) < m_stored.size() && m_stored[size_t(row)]; }
    int storedCount() const;
    const std::vector<qint64>& moments() const { return m_moments; }
    void clear();

    const LoggerTable& table() const { return m_table; }
    const LoggerReadings::Mapping& mapping() const { return m_mapping; }
    const std::vector<bool>& selection() const { return m_selected; }
    bool isSelected(int row) const { return row >= 0 && size_t(row) < m_selected.size() && m_selected[size_t(row)]; }
    int selectedCount() const;
    int appendColumn() const { return int(m_columns.size()); }

    // Select all / Select none: every row the sensor does not hold yet ticked, or none.
    void setAllSelected(bool on);

    // A click on a cell: an Append cell switches its mark; other cells are left alone.
    // Returns true when a mark was switched.
    bool toggle(const QModelIndex& index);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    LoggerTable m_table;
    std::vector<Column> m_columns;
    LoggerReadings::Mapping m_mapping;
    std::vector<qint64> m_moments;
    std::vector<bool> m_selected;
    std::vector<bool> m_stored;
};
