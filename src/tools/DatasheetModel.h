#pragma once
#include "calc/ReadingValues.h"
#include "data/Rejections.h"
#include "tools/LoggerFile.h"

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>
#include <vector>

class Database;

// The datasheet's grid: every reading of one sensor in date order, one row each. Columns:
// "DateTime Key", "ReadingDate", "R. Time", "ChannelT", "Channel1" .. "Channel<gauges>",
// "PlotTemporal", "PlotSpatial". The two flag columns show only a mark (MarkRole). Values
// are fetched a block of rows at a time as the view asks for them, so the grid opens at
// once on 100,000 readings. The temperature and gauge cells are edited through the view's
// editor (setData); edits are kept here until written back.
class DatasheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles { MarkRole = Qt::UserRole + 1, UnitRole };  // UnitRole: a column's unit (header)

    // What a key typed on a cell (no editor open) does: the window shows message A or B,
    // moves to the next cell, lets the view open its editor with the key as the new text
    // (StartEdit), or opens the editor on the cell's text and removes its last character
    // (EditInside).
    enum class KeyResult { Ignored, MessageA, MessageB, Toggled, MoveNext, StartEdit, EditInside };

    static const QString MessageA;
    static const QString MessageB;

    DatasheetModel(Database& db, const QString& sensorId, int gauges, QObject* parent = nullptr);

    // Reads the readings' identities in date order. Throws TwError on a database failure.
    void load();

    int gauges() const { return m_gauges; }
    int temporalColumn() const { return m_gauges + 4; }
    int spatialColumn() const { return m_gauges + 5; }
    bool isFlagColumn(int c) const { return c == temporalColumn() || c == spatialColumn(); }
    int readingCount() const { return int(m_ids.size()); }
    qint64 rowId(int row) const { return m_ids[size_t(row)]; }
    int rowOfId(qint64 id) const;

    // The table column each grid column shows.
    QStringList fieldNames() const { return m_fields; }
    static QStringList headersFor(int gauges);

    // The changed flag: set by any edit or flag switch, never cleared while open.
    bool changed() const { return m_changed; }
    // How many readings an edit or a flag switch touched (what writeBack would write).
    int editedCount() const { return int(m_edited.size()); }

    // A key typed on a cell with no editor open ('\b' backspace, '\t' tab): a value cell
    // (temperature, gauges) takes the characters of a number (they start its editor, the
    // key replacing the text) and backspace (edits inside, removing the last character);
    // other keys are refused (message B); the key, date and time columns take no typing
    // (message A). In a flag column a blank switches the flag.
    KeyResult typeKey(const QModelIndex& index, QChar ch);
    // Digits, the decimal and group separators and the signs.
    static bool isNumberCharacter(QChar ch);
    // A text entered into a value cell: it must be one number as a whole, within the sensor
    // type's limits (Configuration lowval/highval, templow/temphigh for ChannelT when the
    // type has that channel), or empty (no value). It is kept as it will be stored (rounded
    // as the Readings tab rounds) and the cell shows that text. A refused text leaves the
    // cell as it was; the returned text says why, naming the column as its header does;
    // empty when the text was taken. The text the cell already shows changes nothing.
    QString enter(const QModelIndex& index, const QString& typed);
    // The editor's way in: enter(); false when refused (takeRefusal then says why).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QString takeRefusal();
    // A click: a flag cell switches its mark. Returns true when it did.
    bool toggle(const QModelIndex& index);
    // The cell after this one: one to the right, then the next row's first, then (0, 0).
    QModelIndex nextCell(const QModelIndex& index) const;

    // Writes the touched readings back in one transaction: the shown channel values and the
    // two flags, by column name, and marks them changed for the calculations
    // (store/ReadingMarks.h) and by this user (store/RowVersions.h); nothing else in the
    // row changes. Returns the number of
    // readings written. Throws TwError on failure (nothing written). When another user
    // changed or deleted some of the touched readings since they were read, nothing is
    // written either (3197): those readings lose their corrections and show their current
    // values, the other corrections are kept for another try.
    int writeBack(const LoggerFile::Progress& progress = {});

    // Rejected values: read at load and again after a mark changed (loadRejections). Their
    // cells show greyed, with who rejected them, when and why as the tooltip; a whole
    // reading's mark covers every cell of it.
    void loadRejections();
    // The value a column stands for, as the marks number it: the key, date and time
    // columns the whole reading (0), the temperature 11, gauge i; -1 for a flag column.
    int gaugeOfColumn(int column) const;
    // The mark on exactly that value of a reading (nullptr when there is none).
    const Rejections::Mark* markOf(int row, int gauge) const;
    static QString markText(const Rejections::Mark& mark);

    // The text of a cell as exported (flags as "True"/"False").
    QString cellText(int row, int column) const;
    // Every row as exported, in the grid's order, read in one query (typed edits not yet
    // written back included): `row` gets columnCount() cells of UTF-8 text, valid during
    // the call, and answers false to stop. Throws TwError on a database failure.
    void exportRows(const std::function<bool(const QByteArrayView* cells)>& row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const QStringList& rowValues(int row) const;
    QStringList& editableRow(int row);
    void fetchBlock(int block) const;

    Database& m_db;
    QString m_sensorId;
    int m_gauges;
    QStringList m_fields;
    std::vector<qint64> m_ids;
    bool m_changed = false;

    // Rows touched by an edit or a flag switch, whole, as they will be stored.
    QHash<int, QStringList> m_edited;
    std::optional<ReadingValues::Limits> m_limits;  // none when the sensor's type is unknown
    void readLimits();
    QString m_refusal;  // why the editor's last text was refused

    mutable QHash<int, QVector<QStringList>> m_blocks;      // block index -> rows
    QHash<QString, std::vector<Rejections::Mark>> m_marks;  // reading key -> its marks
    const Rejections::Mark* markCovering(int row, int column) const;
    // With versioned readings: each fetched row's version (block index -> rows), and the
    // version each touched row had when it was first touched.
    bool m_versioned = false;
    mutable QHash<int, QVector<qint64>> m_blockVersions;
    QHash<int, qint64> m_editedVersion;
    QString staleMessage(const QList<int>& rows, qint64 total);
};
