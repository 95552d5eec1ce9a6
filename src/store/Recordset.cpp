#include "store/Recordset.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/RowVersions.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlRecord>
#include <QVarLengthArray>
#include <algorithm>
#include <limits>
#include <unordered_set>

namespace {
constexpr int BlockSize = 128;
// On a server each block is a round trip: many more rows per block.
constexpr int ServerBlockSize = 1000;

[[noreturn]] void recordDeleted() { throw TwError(ErrNo::RecordDeleted, QStringLiteral("Record is deleted.")); }

[[noreturn]] void noCurrentRecord()
{
    throw TwError(ErrNo::NoCurrentRecord,
                  QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                 "Requested operation requires a current record."));
}
}  // namespace

Recordset::Recordset(Database& db) : m_db(db) {}
Recordset::~Recordset() = default;

void Recordset::openQuery(const QString& sql)
{
    close();
    const SqlDialect::Select sel = SqlDialect::parseSelect(sql);
    if (!sel.valid) throw TwError(ErrNo::DatabaseError, QStringLiteral("Unsupported query: ") + sql);
    if (!m_db.isOpen()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The connection is not open"));
    m_sql = sql;
    m_table = sel.table;
    m_where = sel.where;
    m_orderBy = sel.orderBy;
    loadColumns();
}

void Recordset::open(const QString& sql)
{
    openQuery(sql);
    loadIds();
    m_open = true;
    m_pos = 0;  // on the first row (or at BOF and EOF when empty)
}

void Recordset::openWithRows(const QString& sql, std::vector<qint64> ids)
{
    openQuery(sql);
    m_ids = std::move(ids);
    m_appendMark = Database::AppendMark();
    m_open = true;
    m_pos = 0;
}

void Recordset::close()
{
    m_open = false;
    m_ids.clear();
    m_pos = -1;
    m_cache.clear();
    m_blockQuery.reset();
    m_blockStatement.reset();
    m_rangeStatement.reset();
    m_wanted.clear();
    m_slot.clear();
    m_writeStatements.clear();
    m_edits.clear();
    m_mode = Mode::None;
    m_deletedPending = false;
    m_filter.clear();
    m_filterBinds.clear();
    m_versionColumn = m_byColumn = m_atColumn = -1;
    m_computedWrites = false;
    m_seenRow = -1;
    m_conflict = Conflict();
    m_appendMark = Database::AppendMark();
}

void Recordset::loadColumns()
{
    m_columns.clear();
    m_columnIndex.clear();
    m_affinity.clear();
    for (const Database::Column& col : m_db.columns(m_table)) {
        const QString type = col.type.toUpper();
        Affinity a = Affinity::Numeric;
        if (type.contains("BOOL")) a = Affinity::Boolean;
        else if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT") || type.isEmpty())
            a = Affinity::Text;
        m_columnIndex.insert(col.name.toLower(), int(m_columns.size()));
        m_columns << col.name;
        m_affinity << a;
    }
    m_slot = QVector<int>(m_columns.size(), -1);
    if (m_columns.isEmpty())
        throw TwError(-1,
                      QStringLiteral("The database has no table or query named '") + m_table + QStringLiteral("'."));
    const int version = fieldIndex(QLatin1String(RowVersions::VersionColumn));
    const int by = fieldIndex(QLatin1String(RowVersions::ByColumn));
    const int at = fieldIndex(QLatin1String(RowVersions::AtColumn));
    if (version >= 0 && by >= 0 && at >= 0) {
        m_versionColumn = version;
        m_byColumn = by;
        m_atColumn = at;
        slotFor(version);  // read with every row, so a row's version matches its values
    }
}

void Recordset::loadIds()
{
    QString sql = QStringLiteral("SELECT rowid FROM ") + SqlDialect::quoteName(m_table);
    QStringList conds;
    if (!m_where.isEmpty()) conds << '(' + m_where + ')';
    if (!m_filter.isEmpty()) conds << '(' + m_filter + ')';
    if (!conds.isEmpty()) sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") +
           (m_orderBy.isEmpty() ? QStringLiteral("rowid") : m_orderBy + QStringLiteral(", rowid"));
    // Read through the engine's own interface: this runs again whenever another user
    // committed a change, so it is to cost little even at 100,000 rows.
    Statement q(m_db, sql);
    int p = 1;
    for (const QVariant& b : m_filterBinds) q.bind(p++, b);
    // Taken before the rows are read: a change committed while they are read is seen next time.
    m_loadedMark = m_db.othersStamp();
    m_appendMark = m_where.isEmpty() && m_filter.isEmpty() ? m_db.appendMark(m_table) : Database::AppendMark();
    m_ids.clear();
    while (q.next()) m_ids.push_back(q.integer(0));
    m_cache.clear();
    m_deletedPending = false;
    m_seenRow = -1;
}

bool Recordset::othersMayHaveChanged() const { return m_open && !(m_db.othersStamp() == m_loadedMark); }

void Recordset::setComputedWrites(bool computed)
{
    if (computed == m_computedWrites) return;
    if (m_mode != Mode::None) flushEdit();
    m_computedWrites = computed;
    m_writeStatements.clear();
}

void Recordset::rereadCurrent()
{
    m_seenRow = -1;
    if (m_pos >= 0 && m_pos < qint64(m_ids.size())) m_cache.remove(m_ids[size_t(m_pos)]);
}

bool Recordset::bof() const
{
    if (m_mode == Mode::AddNew) return false;
    return m_ids.empty() || m_pos < 0;
}

bool Recordset::eof() const
{
    if (m_mode == Mode::AddNew) return false;
    return m_ids.empty() || m_pos >= qint64(m_ids.size());
}

qint64 Recordset::absolutePosition() const
{
    if (m_ids.empty() || m_pos < 0) return PosBOF;
    if (m_pos >= qint64(m_ids.size())) return PosEOF;
    return m_pos + 1;
}

void Recordset::leaveRow()
{
    if (m_mode != Mode::None) flushEdit();
    m_deletedPending = false;
    m_seenRow = -1;
}

void Recordset::setAbsolutePosition(qint64 position)
{
    if (position < 1 || position > qint64(m_ids.size())) noCurrentRecord();
    leaveRow();
    m_pos = position - 1;
}

void Recordset::moveFirst()
{
    leaveRow();
    m_pos = 0;
}

void Recordset::moveLast()
{
    leaveRow();
    m_pos = m_ids.empty() ? 0 : qint64(m_ids.size()) - 1;
}

void Recordset::moveNext()
{
    if (m_mode == Mode::None && !m_deletedPending && eof()) noCurrentRecord();
    const bool stay = m_deletedPending;  // the deleted row's place is taken by its successor
    leaveRow();
    if (!stay) ++m_pos;
    if (m_pos > qint64(m_ids.size())) m_pos = qint64(m_ids.size());
}

void Recordset::movePrevious()
{
    if (m_mode == Mode::None && !m_deletedPending && bof()) noCurrentRecord();
    leaveRow();
    --m_pos;
    if (m_pos < -1) m_pos = -1;
}

int Recordset::fieldIndex(const QString& name) const { return m_columnIndex.value(name.toLower(), -1); }

void Recordset::requireCurrent() const
{
    if (!m_open || m_deletedPending || m_ids.empty() || m_pos < 0 || m_pos >= qint64(m_ids.size())) noCurrentRecord();
}

void Recordset::fetchBlockAround(qint64 index) const
{
    const bool server = m_db.isServer();
    const int blockSize = server ? ServerBlockSize : BlockSize;
    if (m_cache.size() > 4 * blockSize) m_cache.clear();
    QString sql;
    if ((server && (!m_blockStatement || m_blockGeneration != m_db.generation())) || (!server && !m_blockQuery)) {
        QString marks;
        for (int i = 0; i < blockSize; ++i) marks += (i ? QStringLiteral(",?") : QStringLiteral("?"));
        QString cols = QStringLiteral("rowid");
        for (int c : m_wanted) cols += ',' + SqlDialect::quoteName(m_columns[c]);
        sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + SqlDialect::quoteName(m_table) +
              QStringLiteral(" WHERE rowid IN (") + marks + ')';
    }
    // Fetch the block in the direction of travel: rows from index onwards, and a few before.
    const qint64 start = std::max<qint64>(0, index - 8);
    const qint64 end = std::min<qint64>(qint64(m_ids.size()), start + blockSize);
    const int n = int(m_wanted.size());
    if (server) {
        // Read directly on the server's connection: one round trip, no conversion of the
        // values but into the row's own. A block whose rows are one unbroken run of row
        // identities (readings stored in date order, the usual case) is asked for as that
        // run, which the server finds faster than a long list.
        if (!sql.isEmpty()) {
            m_blockStatement.reset();
            m_rangeStatement.reset();
            m_blockStatement = std::make_unique<Statement>(m_db, sql);
            m_rangeStatement =
                std::make_unique<Statement>(m_db, sql.left(sql.indexOf(QStringLiteral(" WHERE rowid IN ("))) +
                                                      QStringLiteral(" WHERE rowid BETWEEN ? AND ?"));
            m_blockGeneration = m_db.generation();
        }
        qint64 low = std::numeric_limits<qint64>::max(), high = std::numeric_limits<qint64>::min();
        for (qint64 k = start; k < end; ++k) {
            low = std::min(low, m_ids[size_t(k)]);
            high = std::max(high, m_ids[size_t(k)]);
        }
        const bool run = end > start && high - low == end - start - 1;  // the identities are distinct
        Statement& q = run ? *m_rangeStatement : *m_blockStatement;
        if (run) {
            q.bind(1, low);
            q.bind(2, high);
        } else {
            for (int i = 0; i < blockSize; ++i) {
                const qint64 k = start + i;
                q.bind(i + 1, k < end ? m_ids[size_t(k)] : qint64(-1));
            }
        }
        while (q.next()) {
            QVector<QVariant> row(n);
            for (int c = 0; c < n; ++c) row[c] = q.value(c + 1);
            m_cache.insert(q.integer(0), row);
        }
        return;
    }
    if (!sql.isEmpty()) {
        m_blockQuery = std::make_unique<QSqlQuery>(m_db.handle());
        m_blockQuery->setForwardOnly(true);
        if (!m_blockQuery->prepare(sql)) throwSqlError(m_blockQuery->lastError());
    }
    for (int i = 0; i < blockSize; ++i) {
        const qint64 k = start + i;
        m_blockQuery->bindValue(i, k < end ? QVariant(m_ids[size_t(k)]) : QVariant(qint64(-1)));
    }
    if (!m_blockQuery->exec()) throwSqlError(m_blockQuery->lastError());
    while (m_blockQuery->next()) {
        QVector<QVariant> row(n);
        for (int c = 0; c < n; ++c) row[c] = m_blockQuery->value(c + 1);
        m_cache.insert(m_blockQuery->value(0).toLongLong(), row);
    }
    m_blockQuery->finish();
}

int Recordset::slotFor(int column) const
{
    if (m_slot[column] < 0) {
        // A column asked for the first time: fetch it from now on.
        m_slot[column] = int(m_wanted.size());
        m_wanted << column;
        m_cache.clear();
        m_blockQuery.reset();
        m_blockStatement.reset();
        m_rangeStatement.reset();
    }
    return m_slot[column];
}

const QVector<QVariant>& Recordset::currentRow() const
{
    requireCurrent();
    const qint64 id = m_ids[size_t(m_pos)];
    auto it = m_cache.constFind(id);
    if (it == m_cache.constEnd()) {
        fetchBlockAround(m_pos);
        it = m_cache.constFind(id);
        if (it == m_cache.constEnd()) {
            // Deleted behind our back (by another connection, or by a statement of this one).
            if (m_versionColumn >= 0) recordDeleted();
            noCurrentRecord();
        }
    }
    if (m_versionColumn >= 0 && m_seenRow != id) {
        m_seenRow = id;
        m_seenVersion = it->at(m_slot[m_versionColumn]).toLongLong();
    }
    return *it;
}

QVariant Recordset::value(int ordinal) const
{
    if (ordinal < 0 || ordinal >= m_columns.size())
        throw TwError(
            ErrNo::ItemNotFound,
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    if (m_mode != Mode::None) {
        auto e = m_edits.constFind(ordinal);
        if (e != m_edits.constEnd()) return *e;
        if (m_mode == Mode::AddNew) return QVariant();
    }
    requireCurrent();
    const int slot = slotFor(ordinal);
    return currentRow().at(slot);
}

QVariant Recordset::value(const QString& field) const
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw TwError(
            ErrNo::ItemNotFound,
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return value(i);
}

QString Recordset::text(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull()) return QString();
    switch (v.typeId()) {
        case QMetaType::Double: {
            const double d = v.toDouble();
            return d == 0 ? QStringLiteral("0") : QString::number(d, 'g', QLocale::FloatingPointShortest);
        }
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        default:
            return v.toString();
    }
}

QVariant Recordset::toStorage(int column, const QVariant& v) const
{
    if (v.isNull() || !v.isValid()) return QVariant();
    const Affinity a = m_affinity[column];
    if (a == Affinity::Text) {
        switch (v.typeId()) {
            case QMetaType::QDateTime:
                return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            case QMetaType::QDate:
                return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
            case QMetaType::Bool:
                return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
            case QMetaType::Double:
                return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
            default:
                return v.toString();
        }
    }
    switch (v.typeId()) {
        case QMetaType::Bool:
            return qlonglong(v.toBool() ? 1 : 0);
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return a == Affinity::Boolean ? qlonglong(v.toLongLong() != 0) : v.toLongLong();
        case QMetaType::Double:
        case QMetaType::Float:
            return v.toDouble();
        default:
            break;
    }
    const QString t = v.toString().trimmed();
    if (t.isEmpty()) return QVariant();
    if (a == Affinity::Boolean) {
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return qlonglong(1);
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return qlonglong(0);
    }
    bool ok = false;
    double d = QLocale::c().toDouble(t, &ok);
    if (!ok) d = QLocale::system().toDouble(t, &ok);
    if (!ok) throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    if (a == Affinity::Boolean) return qlonglong(d != 0);
    return d;
}

void Recordset::setValue(int ordinal, const QVariant& v)
{
    if (ordinal < 0 || ordinal >= m_columns.size())
        throw TwError(
            ErrNo::ItemNotFound,
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    if (m_mode == Mode::None) {
        requireCurrent();
        m_mode = Mode::Edit;
    }
    m_edits.insert(ordinal, toStorage(ordinal, v));
}

void Recordset::setValue(const QString& field, const QVariant& v)
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw TwError(
            ErrNo::ItemNotFound,
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    setValue(i, v);
}

void Recordset::addNew()
{
    if (!m_open) noCurrentRecord();
    if (m_mode != Mode::None) flushEdit();
    m_deletedPending = false;
    m_mode = Mode::AddNew;
    m_edits.clear();
}

void Recordset::cancelUpdate()
{
    m_mode = Mode::None;
    m_edits.clear();
}

void Recordset::update()
{
    if (m_mode == Mode::None) {
        requireCurrent();
        return;
    }
    flushEdit();
}

void Recordset::flushEdit()
{
    const Mode mode = m_mode;
    const bool versioned = m_versionColumn >= 0 && !m_computedWrites;
    if (versioned)
        for (int c : {m_versionColumn, m_byColumn, m_atColumn}) m_edits.remove(c);  // the cursor's own business
    QList<int> cols = m_edits.keys();
    std::sort(cols.begin(), cols.end());
    if (mode == Mode::Edit && cols.isEmpty()) {
        m_mode = Mode::None;
        return;
    }
    // The version this edit was made on: the one first read on this visit to the row.
    qint64 expected = 0;
    if (versioned && mode == Mode::Edit) {
        try {
            if (m_seenRow != m_ids[size_t(m_pos)]) (void)currentRow();
        } catch (const TwError& e) {
            if (e.number != ErrNo::RecordDeleted) throw;
            m_mode = Mode::None;
            m_edits.clear();
            refuseStale(m_ids[size_t(m_pos)]);
        }
        expected = m_seenVersion;
    }
    QByteArray key(m_columns.size() + 1, '\0');
    key[0] = mode == Mode::AddNew ? 'I' : 'U';
    for (int c : cols) key[c + 1] = 1;
    WriteStatement& w = m_writeStatements[key];
    if (w.sql.isEmpty()) {
        const QString t = SqlDialect::quoteName(m_table);
        QStringList names, marks;
        for (int c : cols) {
            names << SqlDialect::quoteName(m_columns[c]) + (mode == Mode::AddNew ? QString() : QStringLiteral(" = ?"));
            marks << QStringLiteral("?");
        }
        if (versioned) {
            if (mode == Mode::AddNew) {
                names << RowVersions::insertColumns();
                marks << RowVersions::insertValues();
            } else {
                names << RowVersions::setNext();
            }
        }
        if (mode == Mode::AddNew) {
            w.sql = names.isEmpty() ? QStringLiteral("INSERT INTO ") + t + QStringLiteral(" DEFAULT VALUES")
                                    : QStringLiteral("INSERT INTO ") + t + " (" + names.join(',') + ") VALUES (" +
                                          marks.join(',') + ')';
            // The server says which row identity it gave the new row.
            if (m_db.isServer()) w.sql += QStringLiteral(" RETURNING rowid");
        } else
            w.sql = QStringLiteral("UPDATE ") + t + QStringLiteral(" SET ") + names.join(',') +
                    QStringLiteral(" WHERE rowid = ?") +
                    (versioned ? QStringLiteral(" AND coalesce(RowVersion, 0) = ?") : QString());
    }
    const QString who = m_db.userName();
    const QString when = versioned ? RowVersions::now() : QString();
    QVarLengthArray<QVariant, 64> values;
    for (int c : cols) values.append(m_edits.value(c));
    if (versioned) {
        values.append(who);
        values.append(when);
    }
    if (mode == Mode::Edit) values.append(QVariant(m_ids[size_t(m_pos)]));
    if (mode == Mode::Edit && versioned) values.append(QVariant(expected));
    const QHash<int, QVariant> edits = m_edits;
    m_mode = Mode::None;
    m_edits.clear();
    if (!w.st || w.generation != m_db.generation()) {
        w.st.reset();
        w.st = std::make_unique<Statement>(m_db, w.sql);  // throws when it does not prepare
        w.generation = m_db.generation();
    }
    for (int i = 0; i < values.size(); ++i) w.st->bind(i + 1, values[i]);
    qint64 newId = -1;
    qint64 changed = 0;
    if (mode == Mode::AddNew && m_db.isServer()) {
        if (w.st->next()) newId = w.st->integer(0);
        w.st->reset();
    } else {
        changed = w.st->run();
        if (mode == Mode::AddNew) newId = m_db.lastInsertRowId();
    }
    if (mode == Mode::AddNew) {
        // A new row joins the end of the set until the next requery, as in ADO.
        m_ids.push_back(newId);
        m_appendMark = Database::AppendMark();
        m_pos = qint64(m_ids.size()) - 1;
        m_seenRow = -1;
    } else {
        const qint64 id = m_ids[size_t(m_pos)];
        if (versioned && changed == 0) refuseStale(id);
        auto it = m_cache.find(id);
        if (it != m_cache.end()) {
            for (auto e = edits.constBegin(); e != edits.constEnd(); ++e)
                if (m_slot[e.key()] >= 0) (*it)[m_slot[e.key()]] = e.value();
            if (versioned) {
                (*it)[m_slot[m_versionColumn]] = expected + 1;
                if (m_slot[m_byColumn] >= 0) (*it)[m_slot[m_byColumn]] = who;
                if (m_slot[m_atColumn] >= 0) (*it)[m_slot[m_atColumn]] = when;
            }
        }
        // The user's own change is one they have seen.
        if (versioned && m_seenRow == id) m_seenVersion = expected + 1;
    }
}

void Recordset::refuseStale(qint64 id)
{
    // Nothing was stored. Say who changed the row and when; the next read shows its values now.
    m_conflict = Conflict();
    m_cache.remove(id);
    m_seenRow = -1;
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT RowVersion, ChangedBy, ChangedAt FROM ") + SqlDialect::quoteName(m_table) +
                   QStringLiteral(" WHERE rowid = ?")))
        throwSqlError(q.lastError());
    q.addBindValue(id);
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) {
        m_conflict.deleted = true;
        recordDeleted();
    }
    m_conflict.version = q.value(0).toLongLong();
    m_conflict.by = q.value(1).toString();
    m_conflict.at = q.value(2).toString();
    throw TwError(ErrNo::ChangedByOther,
                  QStringLiteral("The row was changed by %1 at %2 since it was read; the change was not saved.")
                      .arg(m_conflict.by.isEmpty() ? QStringLiteral("another user") : m_conflict.by, m_conflict.at));
}

void Recordset::deleteCurrent()
{
    if (m_mode == Mode::AddNew) {
        cancelUpdate();
        return;
    }
    cancelUpdate();
    requireCurrent();
    const qint64 id = m_ids[size_t(m_pos)];
    m_db.execute(QStringLiteral("DELETE FROM ") + SqlDialect::quoteName(m_table) + QStringLiteral(" WHERE rowid = ?"),
                 {id});
    m_ids.erase(m_ids.begin() + m_pos);
    m_cache.remove(id);
    m_deletedPending = true;
    m_appendMark = Database::AppendMark();
}

void Recordset::deleteCurrentIfUnchanged()
{
    if (m_versionColumn < 0 || m_mode == Mode::AddNew) {
        deleteCurrent();
        return;
    }
    cancelUpdate();
    requireCurrent();
    const qint64 id = m_ids[size_t(m_pos)];
    qint64 expected = 0;
    bool gone = false;
    try {
        if (m_seenRow != id) (void)currentRow();
        expected = m_seenVersion;
    } catch (const TwError& e) {
        if (e.number != ErrNo::RecordDeleted) throw;
        gone = true;
    }
    if (!gone) {
        const qint64 deleted = m_db.execute(QStringLiteral("DELETE FROM ") + SqlDialect::quoteName(m_table) +
                                                QStringLiteral(" WHERE rowid = ? AND coalesce(RowVersion, 0) = ?"),
                                            {id, expected});
        if (deleted == 0) {
            try {
                refuseStale(id);
            } catch (const TwError& e) {
                if (e.number != ErrNo::RecordDeleted) throw;  // changed: refused, nothing deleted
            }
        }
    }
    m_ids.erase(m_ids.begin() + m_pos);
    m_cache.remove(id);
    m_deletedPending = true;
    m_seenRow = -1;
    m_appendMark = Database::AppendMark();
}

void Recordset::requery()
{
    if (!m_open) noCurrentRecord();
    if (m_mode != Mode::None) flushEdit();
    if (!appendAddedRows()) loadIds();
    m_pos = 0;
}

bool Recordset::find(const QString& criterion)
{
    QString column, value;
    if (!SqlDialect::parseCriterion(criterion, &column, &value) || fieldIndex(column) < 0)
        throw TwError(
            ErrNo::DatabaseError,
            QStringLiteral(
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."));
    if (m_mode != Mode::None) flushEdit();
    QString sql = QStringLiteral("SELECT rowid FROM ") + SqlDialect::quoteName(m_table) + QStringLiteral(" WHERE ") +
                  SqlDialect::quoteName(m_columns[fieldIndex(column)]) + QStringLiteral(" = ?");
    if (!m_where.isEmpty()) sql += QStringLiteral(" AND (") + m_where + ')';
    if (!m_filter.isEmpty()) sql += QStringLiteral(" AND (") + m_filter + ')';
    QSqlQuery q(m_db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) throwSqlError(q.lastError());
    q.addBindValue(value);
    for (const QVariant& b : m_filterBinds) q.addBindValue(b);
    if (!q.exec()) throwSqlError(q.lastError());
    std::unordered_set<qint64> hits;
    while (q.next()) hits.insert(q.value(0).toLongLong());
    qint64 start = m_pos < 0 ? 0 : m_pos;
    m_deletedPending = false;
    m_seenRow = -1;
    for (qint64 i = start; i < qint64(m_ids.size()); ++i) {
        if (hits.count(m_ids[size_t(i)])) {
            m_pos = i;
            return true;
        }
    }
    m_pos = qint64(m_ids.size());
    return false;
}

void Recordset::setFilter(const QString& where, const QVariantList& binds)
{
    if (!m_open) noCurrentRecord();
    if (m_mode != Mode::None) flushEdit();
    m_filter = where;
    m_filterBinds = binds;
    loadIds();
    m_pos = 0;
}

void Recordset::clearFilter() { setFilter(QString(), {}); }

qint64 Recordset::bookmark() const
{
    requireCurrent();
    return m_ids[size_t(m_pos)];
}

bool Recordset::setBookmark(qint64 bookmark)
{
    auto it = std::find(m_ids.begin(), m_ids.end(), bookmark);
    if (it == m_ids.end()) return false;
    leaveRow();
    m_pos = it - m_ids.begin();
    return true;
}
