#include "tools/LoggerGridModel.h"

#include <QColor>
#include <algorithm>

LoggerGridModel::LoggerGridModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList LoggerGridModel::headers()
{
    return {QStringLiteral("Reading Date & Time"),
            QStringLiteral("WREN ID"),
            QStringLiteral("Type ID"),
            QStringLiteral("SensorNo"),
            QStringLiteral("ChannelT"),
            QStringLiteral("Channel1"),
            QStringLiteral("Channel2"),
            QStringLiteral("Channel3"),
            QStringLiteral("Channel4"),
            QStringLiteral("Channel5"),
            QStringLiteral("Channel6"),
            QStringLiteral("Append")};
}

std::vector<LoggerGridModel::Column> LoggerGridModel::commaSeparatedColumns()
{
    std::vector<Column> out;
    const QStringList h = headers();
    out.reserve(AppendColumn);
    for (int i = 0; i < AppendColumn; ++i) out.push_back({h[i], i, false});
    return out;
}

void LoggerGridModel::setTable(LoggerTable table, std::vector<Column> columns, const LoggerReadings::Mapping& m,
                               int interval)
{
    beginResetModel();
    m_table = std::move(table);
    m_columns = std::move(columns);
    m_mapping = m;
    m_moments = LoggerReadings::moments(m_table, m_mapping);
    m_selected = LoggerReadings::preselect(m_moments, interval);
    m_stored.clear();
    endResetModel();
}

void LoggerGridModel::setMapping(const LoggerReadings::Mapping& m, int interval, std::vector<Column> columns)
{
    const bool newColumns = !columns.empty();
    if (newColumns) beginResetModel();
    if (newColumns) m_columns = std::move(columns);
    m_mapping = m;
    m_moments = LoggerReadings::moments(m_table, m_mapping);
    m_selected = LoggerReadings::preselect(m_moments, interval);
    m_stored.clear();
    if (newColumns) endResetModel();
    else if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, appendColumn()));
}

void LoggerGridModel::clear()
{
    beginResetModel();
    m_table = LoggerTable();
    m_moments.clear();
    m_selected.clear();
    m_stored.clear();
    endResetModel();
}

void LoggerGridModel::setStored(std::vector<bool> stored)
{
    m_stored = std::move(stored);
    m_stored.resize(m_selected.size(), false);
    for (size_t i = 0; i < m_stored.size(); ++i)
        if (m_stored[i]) m_selected[i] = false;
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, appendColumn()));
}

int LoggerGridModel::storedCount() const { return int(std::count(m_stored.begin(), m_stored.end(), true)); }

int LoggerGridModel::selectedCount() const { return int(std::count(m_selected.begin(), m_selected.end(), true)); }

void LoggerGridModel::setAllSelected(bool on)
{
    for (size_t i = 0; i < m_selected.size(); ++i) m_selected[i] = on && !isStored(int(i));
    if (rowCount() > 0) emit dataChanged(index(0, appendColumn()), index(rowCount() - 1, appendColumn()), {MarkRole});
}

bool LoggerGridModel::toggle(const QModelIndex& index)
{
    if (!index.isValid() || index.column() != appendColumn() || size_t(index.row()) >= m_selected.size()) return false;
    if (isStored(index.row())) return false;  // the sensor has this reading already
    m_selected[size_t(index.row())] = !m_selected[size_t(index.row())];
    emit dataChanged(index, index, {MarkRole});
    return true;
}

int LoggerGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_table.rowCount());
}

int LoggerGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid()) return 0;
    return m_table.isEmpty() ? 1 : appendColumn() + 1;
}

QVariant LoggerGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_table.rowCount()) return {};
    const int c = index.column();
    const qsizetype r = index.row();
    const bool stored = isStored(int(r));
    if (stored && role == Qt::ForegroundRole) return QColor(150, 150, 150);
    if (c == appendColumn()) {
        const bool on = m_selected[size_t(r)];
        if (role == MarkRole) return stored ? QVariant() : QVariant(on);
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return stored ? QStringLiteral("already stored")
                   : on   ? QStringLiteral("to be appended")
                          : QStringLiteral("not to be appended");
        if (role == Qt::DisplayRole && stored) return QStringLiteral("stored");
        return {};
    }
    if (stored && role == Qt::ToolTipRole) return QStringLiteral("The sensor has this reading already");
    if (c < 0 || c >= int(m_columns.size())) return {};
    const Column& col = m_columns[size_t(c)];
    if (role == Qt::DisplayRole) {
        if (col.moment && m_moments[size_t(r)] != LoggerReadings::NoMoment)
            return LoggerClock::display(m_moments[size_t(r)]);
        return col.field >= 0 ? m_table.field(r, col.field) : QString();
    }
    if (role == Qt::ToolTipRole && c == 0) {
        if (m_table.broken(r)) return QStringLiteral("This line has an unclosed quote and cannot be appended");
        if (m_mapping.expectedFields > 0 && m_table.fieldCount(r) != m_mapping.expectedFields)
            return QStringLiteral("This line has %1 fields, the header names %2")
                .arg(m_table.fieldCount(r))
                .arg(m_mapping.expectedFields);
    }
    return {};
}

QVariant LoggerGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (m_table.isEmpty()) return section == 0 ? QVariant(QStringLiteral("No Readings")) : QVariant();
    if (section == appendColumn()) return QStringLiteral("Append");
    return section >= 0 && section < int(m_columns.size()) ? QVariant(m_columns[size_t(section)].header) : QVariant();
}

Qt::ItemFlags LoggerGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
