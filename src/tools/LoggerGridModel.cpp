#include "tools/LoggerGridModel.h"

#include <algorithm>

WrenGridModel::WrenGridModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList WrenGridModel::headers()
{
    return {QStringLiteral("Reading Date & Time"), QStringLiteral("WREN ID"), QStringLiteral("Type ID"),
            QStringLiteral("SensorNo"), QStringLiteral("ChannelT"), QStringLiteral("Channel1"),
            QStringLiteral("Channel2"), QStringLiteral("Channel3"), QStringLiteral("Channel4"),
            QStringLiteral("Channel5"), QStringLiteral("Channel6"), QStringLiteral("Append")};
}

void WrenGridModel::setRows(std::vector<LoggerFile::Row> rows, WrenDates::Layout layout, int interval)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_selected = WrenDates::preselect(m_rows, layout, interval);
    endResetModel();
}

void WrenGridModel::preselect(WrenDates::Layout layout, int interval)
{
    m_selected = WrenDates::preselect(m_rows, layout, interval);
    if (!m_rows.empty())
        emit dataChanged(index(0, AppendColumn), index(rowCount() - 1, AppendColumn), {MarkRole});
}

void WrenGridModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_selected.clear();
    endResetModel();
}

int WrenGridModel::selectedCount() const
{
    return int(std::count(m_selected.begin(), m_selected.end(), true));
}

bool WrenGridModel::toggle(const QModelIndex& index)
{
    if (!index.isValid() || index.column() != AppendColumn || size_t(index.row()) >= m_selected.size()) return false;
    m_selected[size_t(index.row())] = !m_selected[size_t(index.row())];
    emit dataChanged(index, index, {MarkRole});
    return true;
}

int WrenGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int WrenGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid()) return 0;
    return m_rows.empty() ? 1 : Columns;
}

QVariant WrenGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size()) return {};
    const int c = index.column();
    if (c == AppendColumn) {
        const bool on = m_selected[size_t(index.row())];
        if (role == MarkRole) return on;
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return on ? QStringLiteral("to be appended") : QStringLiteral("not to be appended");
        return {};
    }
    if (role == Qt::DisplayRole) return m_rows[size_t(index.row())].fieldText(c);
    if (role == Qt::ToolTipRole && c == 0 && m_rows[size_t(index.row())].broken)
        return QStringLiteral("This line has an unclosed quote and cannot be appended");
    return {};
}

QVariant WrenGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (m_rows.empty()) return section == 0 ? QVariant(QStringLiteral("No Readings")) : QVariant();
    const QStringList h = headers();
    return section >= 0 && section < h.size() ? QVariant(h[section]) : QVariant();
}

Qt::ItemFlags WrenGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
