#pragma once
#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

#include "store/Database.h"

class Statement;

// An updatable cursor over one table, opened on the program's SQL text ("SELECT * FROM t
// WHERE ... ORDER BY ..."). It keeps the row identities of the selection in order and
// fetches column values on demand, a block of rows at a time, so that it stays fast at
// 100,000 rows. Updates go to the base table by row identity.
//
// Positions are 1-based. Before the first row the cursor is at BOF, after the last at
// EOF; an empty selection is at both. Values are those SQLite holds: text as QString,
// numbers as double or qlonglong, yes/no as 0/1, null as a null QVariant.
//
// Failures throw TwError (3021 no current record, 3265 unknown field, 13 a text that
// is not a number for a numeric column, the engine's own code for database failures).
//
// On a table with the bookkeeping columns of store/RowVersions.h the cursor sets them with
// every row it adds or changes, and an update stores nothing when the row changed since the
// cursor first read it on the current visit (3197, conflict() says who changed it and when)
// or was deleted meanwhile (3167); the row's current values are read again on the next use.
class Recordset {
public:
    static constexpr qint64 PosBOF = -2;
    static constexpr qint64 PosEOF = -3;

    explicit Recordset(Database& db);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void open(const QString& sql);
    // Opens on the SQL text with the identities of its rows already read by the caller, in
    // the selection's order ("ORDER BY ..., rowid"), so that a large selection is not
    // queried twice. Positioned on the first row, as open() is.
    void openWithRows(const QString& sql, std::vector<qint64> ids);
    void close();
    bool isOpen() const { return m_open; }
    const QString& sql() const { return m_sql; }
    const QString& table() const { return m_table; }
    Database& database() const { return m_db; }

    bool bof() const;
    bool eof() const;
    bool hasCurrentRow() const { return !bof() && !eof(); }
    qint64 recordCount() const { return qint64(m_ids.size()); }
    qint64 absolutePosition() const;            // 1..count, or PosBOF / PosEOF
    void setAbsolutePosition(qint64 position);  // throws 3021 when out of range

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    QStringList fieldNames() const { return m_columns; }
    int fieldIndex(const QString& name) const;  // -1 when unknown (names match without case)
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    QVariant value(const QString& field) const;
    QVariant value(int ordinal) const;
    QString text(const QString& field) const;  // null shows as empty text
    bool isNull(const QString& field) const { return value(field).isNull(); }

    // Editing. setValue starts an edit of the current row; update() writes it. Moving to
    // another row while editing writes the edit first, as the program expects.
    void setValue(const QString& field, const QVariant& v);
    void setValue(int ordinal, const QVariant& v);
    void addNew();
    void update();
    void cancelUpdate();
    bool isEditing() const { return m_mode != Mode::None; }
    void deleteCurrent();  // the row stays current until the next move; count drops at once
    // Deletes the current row only when it is as it was first read on this visit: on a
    // versioned table another user's change since then refuses it (3197, nothing deleted);
    // a row another user deleted already counts as deleted.
    void deleteCurrentIfUnchanged();

    // Re-runs the selection; the cursor goes to the first row (or BOF/EOF when empty). On a
    // server, when the only change since the rows were read is rows added to the table after
    // the last one in the selection's order, only those are fetched and joined to the end.
    void requery();

    // Finds "Column = 'value'" forward from the current row (from the first row when at
    // BOF). Returns true when found; otherwise the cursor is at EOF.
    bool find(const QString& criterion);

    // Lays a condition over the open selection (SQL with ? placeholders and their values);
    // the cursor goes to the first row. clearFilter() shows the whole selection again.
    void setFilter(const QString& where, const QVariantList& binds = {});
    void clearFilter();
    bool isFiltered() const { return !m_filter.isEmpty(); }

    // A bookmark is the row's identity: valid across moves and requeries while the row exists.
    qint64 bookmark() const;
    bool setBookmark(qint64 bookmark);  // false (and position unchanged) when not in the set

    // Identities of the selection's rows in order (for bulk work on the same table).
    const std::vector<qint64>& rowIds() const { return m_ids; }

    // Whether the table carries versions (store/RowVersions.h).
    bool versioned() const { return m_versionColumn >= 0; }
    // Marks the cursor's writes as values computed from each row's own columns (the
    // calculation passes): they neither check nor raise the row's version, and leave who
    // changed it and when alone, so a pass never makes a user's edit look stale. Holds
    // until the cursor is closed.
    void setComputedWrites(bool computed);
    // The change that made the last update fail (3197: its version, who and when; 3167:
    // deleted true).
    struct Conflict {
        qint64 version = 0;
        QString by;
        QString at;
        bool deleted = false;
    };
    const Conflict& conflict() const { return m_conflict; }

    // Forgets what was read of the current row, so its values are read again (and its
    // version taken afresh) on the next use.
    void rereadCurrent();

    // Whether another connection committed anything since the selection was last read
    // (open, requery, filter): the cue to read it again. Cheap. A selection opened on rows
    // the caller read (openWithRows) counts as changed until it is read again.
    bool othersMayHaveChanged() const;

private:
    enum class Mode { None, Edit, AddNew };
    enum class Affinity { Text, Numeric, Boolean };

    // Closes, reads the query's table, filter and order, and the table's columns.
    void openQuery(const QString& sql);
    void loadColumns();
    void loadIds();
    // The added rows joined to the end of the list read before (server, whole table). false
    // when that would not give what reading it all again gives: the list is then unchanged.
    bool appendAddedRows();
    void flushEdit();
    const QVector<QVariant>& currentRow() const;
    int slotFor(int column) const;
    void fetchBlockAround(qint64 index) const;
    QVariant toStorage(int column, const QVariant& v) const;
    void requireCurrent() const;
    void leaveRow();

    Database& m_db;
    bool m_open = false;
    QString m_sql;
    QString m_table;
    QString m_where;
    QString m_orderBy;
    QString m_filter;
    QVariantList m_filterBinds;

    QStringList m_columns;
    QHash<QString, int> m_columnIndex;  // lower-case name -> ordinal
    QVector<Affinity> m_affinity;

    std::vector<qint64> m_ids;
    qint64 m_pos = -1;  // index into m_ids; -1 BOF, size EOF
    bool m_deletedPending = false;

    Mode m_mode = Mode::None;
    QHash<int, QVariant> m_edits;

    // The bookkeeping columns (-1: the table has none), and the version of the current row
    // as first read on this visit (m_seenRow -1: not read yet).
    bool m_computedWrites = false;
    int m_versionColumn = -1;
    int m_byColumn = -1;
    int m_atColumn = -1;
    mutable qint64 m_seenRow = -1;
    mutable qint64 m_seenVersion = 0;
    Conflict m_conflict;
    Database::Stamp m_loadedMark;
    // The table's counters when the list was last read whole or extended, while the list
    // is exactly as read (no row added or deleted through the cursor since).
    Database::AppendMark m_appendMark;
    [[noreturn]] void refuseStale(qint64 id);

    // Values are fetched only for the columns asked for so far (m_wanted); a cached row
    // holds them in that order, m_slot maps a column to its place (-1: not fetched).
    mutable QVector<int> m_wanted;
    mutable QVector<int> m_slot;
    mutable QHash<qint64, QVector<QVariant>> m_cache;
    mutable std::unique_ptr<QSqlQuery> m_blockQuery;      // the file's
    mutable std::unique_ptr<Statement> m_blockStatement;  // a server's: rows by list
    mutable std::unique_ptr<Statement> m_rangeStatement;  // and by a run of identities
    mutable quint64 m_blockGeneration = 0;

    // The UPDATE / INSERT statement for each set of edited columns (one flag byte per
    // column), prepared once per connection.
    struct WriteStatement {
        QString sql;
        std::shared_ptr<Statement> st;
        quint64 generation = 0;
    };
    QHash<QByteArray, WriteStatement> m_writeStatements;
};
