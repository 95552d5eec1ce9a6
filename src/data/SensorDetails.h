#pragma once
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
    // cannot be read (a column an older file lacks) stays empty and the others are read.
    static SensorDetails fromRow(const Recordset& rs);
};
