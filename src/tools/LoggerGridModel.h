#pragma once
#include "tools/LoggerDates.h"
#include "tools/LoggerFile.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

// The import window's grid: one row per logger-file row, 12 columns ("Reading Date & Time",
// "WREN ID", "Type ID", "SensorNo", "ChannelT", "Channel1" .. "Channel6", "Append"). The
// first 11 show the row's fields 1 to 11; the Append column shows only a mark, selected or
// not (MarkRole). With no rows the grid has one column headed "No Readings".
class WrenGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Columns = 12;
    static constexpr int AppendColumn = 11;
    enum Roles { MarkRole = Qt::UserRole + 1 };   // bool: selected; invalid for other columns

    explicit WrenGridModel(QObject* parent = nullptr);

    static QStringList headers();

    // Takes the rows of a data file and pre-selects them by layout and interval.
    void setRows(std::vector<LoggerFile::Row> rows, WrenDates::Layout layout, int interval);
    // Pre-selects again (for another layout or interval); hand-made choices are replaced.
    void preselect(WrenDates::Layout layout, int interval);
    void clear();

    const std::vector<LoggerFile::Row>& rows() const { return m_rows; }
    const std::vector<bool>& selection() const { return m_selected; }
    bool isSelected(int row) const { return row >= 0 && size_t(row) < m_selected.size() && m_selected[size_t(row)]; }
    int selectedCount() const;

    // A click on a cell: an Append cell switches its mark; other cells are left alone.
    // Returns true when a mark was switched.
    bool toggle(const QModelIndex& index);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<LoggerFile::Row> m_rows;
    std::vector<bool> m_selected;
};
