#pragma once
#include <QSet>
#include <QString>
#include <array>
#include <optional>

class Recordset;

// A sensor's record of the Sensors table as plain values, and where the sensor pages show
// it, the positions computed from it. Texts are the stored values as text (a null shows as
// empty text), so a number stored as text and one stored as a number read the same.
struct SensorDetails {
    static constexpr int NodeCount = 8;    // node position boxes 1..8
    static constexpr int CentreCount = 6;  // gauge-centre position boxes 1..6

    QString instrumentId;
    QString sensorType;
    QString dateId;
    QString typeId;
    QString sensorNo;
    QString family;
    QString lengthOfCable;
    QString level;
    QString location;
    QString borehole;
    QString installDate;
    QString installBy;
    QString purpose;
    QString notes;
    std::optional<bool> stacked;  // the layout; none when the column is null
    QString kFactor;
    QString gaugeLength;
    QString numGauges;
    QString firstNode;  // NodeLocation1: the first node's distance from the collar
    QString destroyed;
    QString destructionDate;

    // The node and gauge-centre positions from the roof with two decimals, as the
    // Installation page shows them (node k at nodes[k - 1]); computed from the first node,
    // the gauge length and the layout, never stored: empty in a record read from a row.
    std::array<QString, NodeCount> nodes;
    std::array<QString, CentreCount> centres;

    // The current row of the Sensors recordset. Each field is read on its own: one that
    // cannot be read (a column an older file lacks) stays empty, is listed in `unread`,
    // and the others are read. A null Stacked leaves `stacked` empty.
    static SensorDetails fromRow(const Recordset& rs);
    // The InstrumentID or the two-digit SensorType of the current row, alone; unlike
    // fromRow they throw (no current row, no such column) as a read of the row does.
    static QString idOf(const Recordset& rs);
    static QString typeOf(const Recordset& rs);
    QSet<QString> unread;  // the columns fromRow could not read
    bool wasRead(const QString& column) const { return !unread.contains(column); }

    // Writes the edited fields to the current row of rs, in two parts because the page
    // recomputes its positions between them. Only what differs from the row is written
    // (numbers compared as numbers, empty as null), so a record written back unchanged
    // writes nothing. Texts are trimmed and an empty one leaves the column null; the
    // k factor and number of gauges go as typed; the cable length, gauge length and first
    // node as their numbers formatted; the layout as a flag.
    void writeRecord(Recordset& rs) const;
    // The destroyed flag (null when empty) and, when given, the destruction date, which
    // the caller passes in its stored form.
    void writeStatus(Recordset& rs, const QString& storedDestructionDate) const;
};
