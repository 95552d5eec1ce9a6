#pragma once
#include <QString>
#include <memory>

class Database;
class Recordset;
struct Shared;

// The graph data: the readings of one selection of a sensor's data table, in date
// order, which the calculation passes and the chart drawings work on.
namespace Calc {

enum class GraphSelection {
    Plottable,  // rows whose DoNotPlot is False (the load passes)
    Temporal,   // rows whose Plottemporal is True (the time charts, GetDispData)
    Spatial,    // rows whose PlotSpatial is True (the length charts, GetSDispData, GetShearData)
};

enum class GraphOpenStatus {
    // The selection is open, positioned on its first row (or at BOF/EOF when empty).
    Opened,
    // Plottable only: the sensor's data table was missing and has been created. The
    // graph data is an open, empty selection of the new table. The caller tells the
    // user with Messages::show(graphTableCreatedText(id)) (OK button, no icon, the
    // application's title).
    TableCreated,
    // The selection could not be opened (a missing table for Temporal or Spatial, a name
    // holding a grave accent, a database failure). The failure is already logged with
    // the tag " Module1_OpenGraphData"; the graph data is an empty, closed recordset.
    Failed,
};

// The SQL text of a selection: "SELECT * FROM `<id>` WHERE ... ORDER BY FullDate".
QString graphQuery(const QString& id, GraphSelection selection);

// "The data table for Sensor <id> could not be found" CR LF "A new table will be created".
QString graphTableCreatedText(const QString& id);

// Replaces rsGraph with a new recordset over the selection of the data table id (the
// previous one is released). Whatever happens, rsGraph never holds another sensor's
// rows afterwards: it is the new selection, an empty selection of a just-created table,
// or an empty closed recordset. dbPath is the database file, for the table test.
GraphOpenStatus OpenGraphData(Database& db, const QString& dbPath, const QString& id, GraphSelection selection,
                              std::unique_ptr<Recordset>& rsGraph);

// The same on the main window's shared state: s.db, s.databasePath and s.rsGraph, for the
// current sensor (s.currentSensorId()).
GraphOpenStatus OpenGraphData(Shared& s, GraphSelection selection);

}  // namespace Calc
