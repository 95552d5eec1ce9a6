#pragma once
#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <vector>

class Database;
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
    qint64 absolutePosition() const;           // 1..count, or PosBOF / PosEOF
    void setAbsolutePosition(qint64 position); // throws 3021 when out of range

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    QStringList fieldNames() const { return m_columns; }
    int fieldIndex(const QString& name) const;   // -1 when unknown (names match without case)
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }
    QVariant value(const QString& field) const;
    QVariant value(int ordinal) const;
    QString text(const QString& field) const;    // null shows as empty text
    bool isNull(const QString& field) const { return value(field).isNull(); }

    // Editing. setValue starts an edit of the current row; update() writes it. Moving to
    // another row while editing writes the edit first, as the program expects.
    void setValue(const QString& field, const QVariant& v);
    void setValue(int ordinal, const QVariant& v);
    void addNew();
    void update();
    void cancelUpdate();
    bool isEditing() const { return m_mode != Mode::None; }
    void deleteCurrent();   // the row stays current until the next move; count drops at once

    // Re-runs the selection; the cursor goes to the first row (or BOF/EOF when empty).
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
    bool setBookmark(qint64 bookmark);   // false (and position unchanged) when not in the set

    // Identities of the selection's rows in order (for bulk work on the same table).
    const std::vector<qint64>& rowIds() const { return m_ids; }

private:
    enum class Mode { None, Edit, AddNew };
    enum class Affinity { Text, Numeric, Boolean };

    void loadColumns();
    void loadIds();
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
    QHash<QString, int> m_columnIndex;       // lower-case name -> ordinal
    QVector<Affinity> m_affinity;

    std::vector<qint64> m_ids;
    qint64 m_pos = -1;                        // index into m_ids; -1 BOF, size EOF
    bool m_deletedPending = false;

    Mode m_mode = Mode::None;
    QHash<int, QVariant> m_edits;

    // Values are fetched only for the columns asked for so far (m_wanted); a cached row
    // holds them in that order, m_slot maps a column to its place (-1: not fetched).
    mutable QVector<int> m_wanted;
    mutable QVector<int> m_slot;
    mutable QHash<qint64, QVector<QVariant>> m_cache;
    mutable std::unique_ptr<QSqlQuery> m_blockQuery;

    // The UPDATE / INSERT statement for each set of edited columns (one flag byte per
    // column), prepared once per connection.
    struct WriteStatement {
        QString sql;
        std::shared_ptr<Statement> st;
        quint64 generation = 0;
    };
    QHash<QByteArray, WriteStatement> m_writeStatements;
};
