#include "tools/DatasheetModel.h"
#include "calc/Numbers.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/ReadingMarks.h"
#include "store/RowVersions.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QColor>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <utility>

namespace {
// A value cell without a value is written as the empty text, never as a null column (a
// null QString is bound as NULL); a cell read as null stays null when written back
// untouched.
QString textOrEmpty(const QString& text) { return text.isEmpty() ? QString::fromLatin1("") : text; }
}  // namespace

namespace {
constexpr int BlockRows = 256;
constexpr int MaxBlocks = 64;
const QString FlagOn = QStringLiteral("1");
const QString FlagOff = QStringLiteral("0");
}  // namespace

const QString DatasheetModel::MessageA = QStringLiteral(
    "Only Channel Data is editable in this datasheet\r\nPlease use the main form to change dates and times");
const QString DatasheetModel::MessageB = QStringLiteral(
    "Channel Data must be a numeric value\r\nUse the backspace key to delete, field accepts numeric values only");

DatasheetModel::DatasheetModel(Database& db, const QString& sensorId, int gauges, QObject* parent)
    : QAbstractTableModel(parent),
      m_db(db),
      m_sensorId(sensorId),
      m_gauges(std::clamp(gauges, 0, 10))
{
    m_fields << QStringLiteral("DateTimeKey") << QStringLiteral("ReadingDate") << QStringLiteral("ReadingTime")
             << QStringLiteral("ChannelT");
    for (int k = 1; k <= m_gauges; ++k) m_fields << QStringLiteral("Channel%1").arg(k);
    m_fields << QStringLiteral("Plottemporal") << QStringLiteral("PlotSpatial");
}

QStringList DatasheetModel::headersFor(int gauges)
{
    QStringList h = {QStringLiteral("DateTime Key"), QStringLiteral("ReadingDate"), QStringLiteral("R. Time"),
                     QStringLiteral("ChannelT")};
    for (int k = 1; k <= gauges; ++k) h << QStringLiteral("Channel%1").arg(k);
    h << QStringLiteral("PlotTemporal") << QStringLiteral("PlotSpatial");
    return h;
}

void DatasheetModel::load()
{
    beginResetModel();
    m_ids.clear();
    m_blocks.clear();
    m_edited.clear();
    m_blockVersions.clear();
    m_editedVersion.clear();
    m_changed = false;
    try {
        m_versioned = RowVersions::present(m_db, m_sensorId);
    } catch (const TwError&) {
        endResetModel();
        throw;
    }
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    const bool ok = q.exec(QStringLiteral("SELECT rowid FROM ") + SqlDialect::quoteName(m_sensorId) +
                           QStringLiteral(" ORDER BY FullDate, rowid"));
    if (ok)
        while (q.next()) m_ids.push_back(q.value(0).toLongLong());
    endResetModel();
    if (!ok) throwSqlError(q.lastError());
    readLimits();
    loadRejections();
}

void DatasheetModel::readLimits()
{
    m_limits.reset();
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT c.NumChannels, c.TempChannel, c.lowval, c.highval, c.templow, c.temphigh "
                       "FROM Sensors s JOIN Configuration c ON c.SensorType = s.SensorType "
                       "WHERE s.InstrumentID = ?"));
    q.addBindValue(m_sensorId);
    if (!q.exec()) throwSqlError(q.lastError());
    if (q.next())
        m_limits = ReadingValues::limitsFrom(q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5));
}

QString DatasheetModel::enter(const QModelIndex& index, const QString& typed)
{
    if (!index.isValid() || !(flags(index) & Qt::ItemIsEditable)) return {};
    const int row = index.row(), column = index.column();
    const QString shown = rowValues(row)[column];
    const QString text = typed.trimmed();
    // Entering the text the cell already shows changes nothing (a value stored by an import
    // or an older release stands as it is).
    if (text == shown.trimmed()) return {};
    double low = -qInf(), high = qInf();
    if (m_limits && (column > 3 || m_limits->tempChannel)) {
        low = column == 3 ? m_limits->tempLow : m_limits->lowVal;
        high = column == 3 ? m_limits->tempHigh : m_limits->highVal;
    }
    const ReadingValues::Fault fault = ReadingValues::faultOf(text, low, high);
    if (fault != ReadingValues::Fault::None) {
        const QString where = headersFor(m_gauges).value(column) + QStringLiteral(" of reading ") +
                              rowValues(row).value(0) + QStringLiteral(": ");
        const QString what = fault == ReadingValues::Fault::NotANumber
                                 ? QStringLiteral("\"") + text + QStringLiteral("\" is not one number.")
                                 : text + QStringLiteral(" is outside the limits of this sensor type (") +
                                       Numbers::plain(low) + QStringLiteral(" to ") + Numbers::plain(high) +
                                       QStringLiteral(").");
        return where + what + QStringLiteral("\r\nThe cell keeps its value (") +
               (shown.trimmed().isEmpty() ? QStringLiteral("no value") : shown) + QStringLiteral(").");
    }
    // Stored as the Readings tab stores it: rounded to its pattern, no value as the empty
    // text (never null).
    editableRow(row)[column] = textOrEmpty(ReadingValues::storedText(text, column == 3));
    m_changed = true;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return {};
}

bool DatasheetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole) return false;
    m_refusal = enter(index, value.toString());
    return m_refusal.isEmpty();
}

QString DatasheetModel::takeRefusal() { return std::exchange(m_refusal, QString()); }

void DatasheetModel::loadRejections()
{
    m_marks.clear();
    for (Rejections::Mark& m : Rejections::marks(m_db, m_sensorId)) m_marks[m.dateTimeKey].push_back(std::move(m));
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int DatasheetModel::gaugeOfColumn(int column) const
{
    if (column < 3) return Rejections::WholeReading;
    if (column == 3) return Rejections::Temperature;
    if (column < 4 + m_gauges) return column - 3;
    return -1;
}

const Rejections::Mark* DatasheetModel::markOf(int row, int gauge) const
{
    if (m_marks.isEmpty() || row < 0 || size_t(row) >= m_ids.size()) return nullptr;
    const auto it = m_marks.constFind(rowValues(row).value(0));
    if (it == m_marks.constEnd()) return nullptr;
    for (const Rejections::Mark& m : *it)
        if (m.gauge == gauge) return &m;
    return nullptr;
}

const Rejections::Mark* DatasheetModel::markCovering(int row, int column) const
{
    const int gauge = gaugeOfColumn(column);
    if (gauge < 0 || m_marks.isEmpty()) return nullptr;
    if (const Rejections::Mark* own = markOf(row, gauge)) return own;
    return markOf(row, Rejections::WholeReading);
}

QString DatasheetModel::markText(const Rejections::Mark& m)
{
    const QString what = m.gauge == Rejections::WholeReading  ? QStringLiteral("The whole reading")
                         : m.gauge == Rejections::Temperature ? QStringLiteral("Temperature")
                                                              : QStringLiteral("Gauge %1").arg(m.gauge);
    return what + QStringLiteral(" rejected by ") + (m.by.isEmpty() ? QStringLiteral("?") : m.by) +
           QStringLiteral(" at ") + m.at + QStringLiteral(": ") + m.reason;
}

int DatasheetModel::rowOfId(qint64 id) const
{
    auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it == m_ids.end() ? -1 : int(it - m_ids.begin());
}

void DatasheetModel::fetchBlock(int block) const
{
    if (m_blocks.size() >= MaxBlocks) {
        m_blocks.clear();
        m_blockVersions.clear();
    }
    const int first = block * BlockRows;
    const int last = std::min<int>(int(m_ids.size()), first + BlockRows);
    QString cols = QStringLiteral("rowid");
    for (const QString& f : m_fields) cols += u',' + SqlDialect::quoteName(f);
    if (m_versioned) cols += QStringLiteral(", RowVersion");
    QVector<qint64> versions(last - first, 0);
    QHash<qint64, qint64> versionOf;
    QString marks;
    for (int i = first; i < last; ++i) marks += (i == first ? QStringLiteral("?") : QStringLiteral(",?"));
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    QVector<QStringList> rows(last - first);
    if (q.prepare(QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + SqlDialect::quoteName(m_sensorId) +
                  QStringLiteral(" WHERE rowid IN (") + marks + u')')) {
        for (int i = first; i < last; ++i) q.addBindValue(m_ids[size_t(i)]);
        if (q.exec()) {
            QHash<qint64, QStringList> byId;
            const int n = int(m_fields.size());
            while (q.next()) {
                QStringList values;
                values.reserve(n);
                for (int c = 0; c < n; ++c) {
                    const QVariant v = q.value(c + 1);
                    if (c >= n - 2) values << (v.isNull() || v.toLongLong() == 0 ? FlagOff : FlagOn);
                    else values << (v.isNull() ? QString() : textOrEmpty(v.toString()));
                }
                byId.insert(q.value(0).toLongLong(), values);
                if (m_versioned) versionOf.insert(q.value(0).toLongLong(), q.value(n + 1).toLongLong());
            }
            for (int i = first; i < last; ++i) {
                rows[i - first] = byId.value(m_ids[size_t(i)]);
                // A row that is gone reads as version -1, which no row has: saving it is refused.
                versions[i - first] = versionOf.value(m_ids[size_t(i)], -1);
            }
        }
    }
    // A row that could not be read shows empty cells with its flags clear.
    for (QStringList& r : rows)
        if (r.isEmpty())
            for (int c = 0; c < m_fields.size(); ++c) r << (c >= m_fields.size() - 2 ? FlagOff : QString());
    m_blocks.insert(block, rows);
    m_blockVersions.insert(block, versions);
}

const QStringList& DatasheetModel::rowValues(int row) const
{
    auto e = m_edited.constFind(row);
    if (e != m_edited.constEnd()) return *e;
    const int block = row / BlockRows;
    if (!m_blocks.contains(block)) fetchBlock(block);
    return m_blocks[block][row - block * BlockRows];
}

QStringList& DatasheetModel::editableRow(int row)
{
    auto e = m_edited.find(row);
    if (e == m_edited.end()) {
        const QStringList values = rowValues(row);
        if (m_versioned) {
            const int block = row / BlockRows;
            m_editedVersion.insert(row, m_blockVersions.value(block).value(row - block * BlockRows, -1));
        }
        e = m_edited.insert(row, values);
    }
    return *e;
}

DatasheetModel::KeyResult DatasheetModel::typeKey(const QModelIndex& index, QChar ch)
{
    if (!index.isValid() || m_ids.empty()) return KeyResult::Ignored;
    if (ch == u'\t') return KeyResult::MoveNext;
    const int c = index.column();
    if (c <= 2) return ch == u'\b' ? KeyResult::Ignored : KeyResult::MessageA;
    if (isFlagColumn(c)) {
        if (ch == u' ') return toggle(index) ? KeyResult::Toggled : KeyResult::Ignored;
        return KeyResult::Ignored;
    }
    if (ch == u'\b') return KeyResult::EditInside;
    return isNumberCharacter(ch) ? KeyResult::StartEdit : KeyResult::MessageB;
}

bool DatasheetModel::isNumberCharacter(QChar ch)
{
    return (ch >= u'0' && ch <= u'9') || ch == u'.' || ch == u',' || ch == u'-' || ch == u'+';
}

bool DatasheetModel::toggle(const QModelIndex& index)
{
    if (!index.isValid() || !isFlagColumn(index.column()) || size_t(index.row()) >= m_ids.size()) return false;
    QStringList& values = editableRow(index.row());
    QString& v = values[index.column()];
    v = (v == FlagOn) ? FlagOff : FlagOn;
    m_changed = true;
    emit dataChanged(index, index, {MarkRole});
    return true;
}

QModelIndex DatasheetModel::nextCell(const QModelIndex& index) const
{
    const int rows = rowCount(), cols = columnCount();
    if (rows == 0) return {};
    if (!index.isValid()) return this->index(0, 0);
    if (index.column() + 1 < cols) return this->index(index.row(), index.column() + 1);
    if (index.row() + 1 < rows) return this->index(index.row() + 1, 0);
    return this->index(0, 0);
}

int DatasheetModel::writeBack(const LoggerFile::Progress& progress)
{
    if (m_edited.isEmpty()) return 0;
    QStringList sets;
    for (int c = 3; c < m_fields.size(); ++c) sets << SqlDialect::quoteName(m_fields[c]) + QStringLiteral(" = ?");
    sets << ReadingMarks::setChanged();
    if (m_versioned) sets << RowVersions::setNext();
    const QString who = m_db.userName();
    const QString when = RowVersions::now();
    Transaction tx(m_db);
    QSqlQuery q(m_db.handle());
    if (!q.prepare(QStringLiteral("UPDATE ") + SqlDialect::quoteName(m_sensorId) + QStringLiteral(" SET ") +
                   sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE rowid = ?") +
                   (m_versioned ? QStringLiteral(" AND coalesce(RowVersion, 0) = ?") : QString())))
        throwSqlError(q.lastError());
    QList<int> rows = m_edited.keys();
    std::sort(rows.begin(), rows.end());
    const qint64 total = rows.size();
    qint64 done = 0;
    QList<int> stale;
    for (int row : rows) {
        if (progress && done % 2048 == 0) progress(done, total);
        // Entered values are already in their stored form; the others go back as read.
        const QStringList& values = m_edited[row];
        for (int c = 3; c < m_fields.size(); ++c) {
            if (isFlagColumn(c)) q.addBindValue(values[c] == FlagOn ? 1 : 0);
            else q.addBindValue(values[c]);
        }
        if (m_versioned) {
            q.addBindValue(who);
            q.addBindValue(when);
        }
        q.addBindValue(m_ids[size_t(row)]);
        if (m_versioned) q.addBindValue(m_editedVersion.value(row, -1));
        if (!q.exec()) throwSqlError(q.lastError());
        if (m_versioned && q.numRowsAffected() == 0) stale << row;
        ++done;
    }
    if (!stale.isEmpty()) {
        // Nothing is stored (the transaction rolls back); the readings changed by someone
        // else show what they hold now.
        q.finish();
        const QString message = staleMessage(stale, total);
        for (int row : std::as_const(stale)) {
            m_edited.remove(row);
            m_editedVersion.remove(row);
        }
        m_blocks.clear();
        m_blockVersions.clear();
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        throw TwError(ErrNo::ChangedByOther, message);
    }
    tx.commit();
    if (progress) progress(total, total);
    return int(total);
}

QString DatasheetModel::staleMessage(const QList<int>& rows, qint64 total)
{
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT DateTimeKey, ChangedBy, ChangedAt FROM ") + SqlDialect::quoteName(m_sensorId) +
              QStringLiteral(" WHERE rowid = ?"));
    constexpr int Shown = 5;
    QStringList lines;
    for (int i = 0; i < rows.size() && i < Shown; ++i) {
        q.addBindValue(m_ids[size_t(rows[i])]);
        if (q.exec() && q.next()) {
            const QString by = q.value(1).toString();
            lines << QStringLiteral("%1: changed by %2 at %3")
                         .arg(q.value(0).toString(), by.isEmpty() ? QStringLiteral("another user") : by,
                              q.value(2).toString());
        } else {
            lines << rowValues(rows[i]).value(0) + QStringLiteral(": deleted by another user");
        }
        q.finish();
    }
    if (rows.size() > Shown) lines << QStringLiteral("... and %1 more").arg(rows.size() - Shown);
    QString text = rows.size() == 1
                       ? QStringLiteral("A reading you corrected was changed by another user after you read it:")
                       : QStringLiteral("%1 readings you corrected were changed by other users after you read them:")
                             .arg(rows.size());
    text += QStringLiteral("\r\n") + lines.join(QStringLiteral("\r\n")) +
            QStringLiteral("\r\nNothing was saved. Those readings now show their current values");
    if (total > rows.size()) text += QStringLiteral("; your other corrections are kept: save again to store them");
    return text + u'.';
}

QString DatasheetModel::cellText(int row, int column) const
{
    const QString& v = rowValues(row)[column];
    if (isFlagColumn(column)) return v == FlagOn ? QStringLiteral("True") : QStringLiteral("False");
    return v;
}

void DatasheetModel::exportRows(const std::function<bool(const QByteArrayView*)>& row) const
{
    if (m_ids.empty()) return;
    const int n = int(m_fields.size());
    QString cols = QStringLiteral("rowid");
    for (const QString& f : m_fields) cols += u',' + SqlDialect::quoteName(f);
    Statement q(m_db, QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + SqlDialect::quoteName(m_sensorId) +
                          QStringLiteral(" ORDER BY FullDate, rowid"));
    static const QByteArray yes("True"), no("False");
    std::vector<QByteArrayView> cells(static_cast<size_t>(n));
    std::vector<QByteArray> held(static_cast<size_t>(n));
    auto fromGrid = [&](int r) {
        for (int c = 0; c < n; ++c) {
            held[size_t(c)] = cellText(r, c).toUtf8();
            cells[size_t(c)] = held[size_t(c)];
        }
        return row(cells.data());
    };
    // The query gives the grid's rows in the grid's order; should they ever differ, the
    // rest is taken from the grid row by row.
    size_t r = 0;
    while (r < m_ids.size() && q.next()) {
        if (q.integer(0) != m_ids[r]) break;
        if (m_edited.contains(int(r))) {
            if (!fromGrid(int(r))) return;
        } else {
            for (int c = 0; c < n; ++c) {
                if (c >= n - 2) cells[size_t(c)] = (q.isNull(c + 1) || q.integer(c + 1) == 0) ? no : yes;
                else cells[size_t(c)] = q.utf8(c + 1);
            }
            if (!row(cells.data())) return;
        }
        ++r;
    }
    q.reset();
    for (; r < m_ids.size(); ++r)
        if (!fromGrid(int(r))) return;
}

int DatasheetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_ids.size()); }

int DatasheetModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid()) return 0;
    return m_ids.empty() ? 1 : int(m_fields.size());
}

QVariant DatasheetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_ids.size() || index.column() >= m_fields.size()) return {};
    const int c = index.column();
    if (isFlagColumn(c)) {
        const bool on = rowValues(index.row())[c] == FlagOn;
        if (role == MarkRole) return on;
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
            return on ? QStringLiteral("plotted") : QStringLiteral("not plotted");
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return rowValues(index.row())[c];
    if (role == Qt::ForegroundRole || role == Qt::ToolTipRole) {
        // A rejected value: greyed, with its mark.
        if (const Rejections::Mark* m = markCovering(index.row(), c))
            return role == Qt::ToolTipRole ? QVariant(markText(*m)) : QVariant(QColor(0x90, 0x90, 0x90));
    }
    return {};
}

QVariant DatasheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && !m_ids.empty() && section >= 3 && section < m_fields.size()) {
        // The units of the values: the temperature in degrees Celsius, the gauges in
        // microstrain; the flag columns say what a mark means.
        const bool temp = section == 3, flag = isFlagColumn(section);
        if (role == UnitRole)
            return flag   ? QStringLiteral("\u2713 = plotted")
                   : temp ? QStringLiteral("\u00B0C")
                          : QStringLiteral("\u00B5strain");
        if (role == Qt::ToolTipRole)
            return section == temporalColumn() ? QStringLiteral("Plotted on the time charts (click or Space to switch)")
                   : section == spatialColumn()
                       ? QStringLiteral("Plotted on the length charts (click or Space to switch)")
                   : temp ? QStringLiteral("Temperature in degrees Celsius (\u00B0C)")
                          : QStringLiteral("Gauge reading in \u00B5strain; type digits to correct it");
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (m_ids.empty()) return section == 0 ? QVariant(QStringLiteral("No Readings")) : QVariant();
    const QStringList h = headersFor(m_gauges);
    return section >= 0 && section < h.size() ? QVariant(h[section]) : QVariant();
}

Qt::ItemFlags DatasheetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags cell = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // The temperature and the gauge values can be edited; keys, dates, times and flags not.
    const int c = index.column();
    const bool value = !m_ids.empty() && c >= 3 && c < 4 + m_gauges;
    return value ? cell | Qt::ItemIsEditable : cell;
}
