#include "data/GraphData.h"
#include "core/ErrorTrap.h"
#include "session/Shared.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/Recordset.h"

namespace Calc {

QString graphQuery(const QString& id, GraphSelection selection)
{
    QString where;
    switch (selection) {
        case GraphSelection::Plottable:
            where = QStringLiteral(" WHERE DoNotPlot = False ORDER BY FullDate");
            break;
        case GraphSelection::Temporal:
            where = QStringLiteral(" WHERE Plottemporal = True ORDER BY FullDate");
            break;
        case GraphSelection::Spatial:
            where = QStringLiteral(" WHERE PlotSpatial = True ORDER BY FullDate");
            break;
    }
    // The name goes in as it stands; the grave accents delimit it as an identifier.
    return QStringLiteral("SELECT * FROM `") + id + QStringLiteral("`") + where;
}

QString graphTableCreatedText(const QString& id)
{
    return QStringLiteral("The data table for Sensor ") + id + QStringLiteral(" could not be found\r\n") +
           QStringLiteral("A new table will be created");
}

GraphOpenStatus OpenGraphData(Database& db, const QString& dbPath, const QString& id, GraphSelection selection,
                              std::unique_ptr<Recordset>& rsGraph)
{
    // Drop the previous selection first: from here on the graph data is either the new
    // selection or empty.
    rsGraph = std::make_unique<Recordset>(db);
    GraphOpenStatus status = GraphOpenStatus::Failed;
    runTrapped(QStringLiteral(" Module1_OpenGraphData"), [&] {
        if (selection == GraphSelection::Plottable) {
            bool exists = false;
            // A check that cannot be made is a failure, not a missing table.
            if (!runTrapped(QStringLiteral(" Module1_TableExists"),
                            [&] { exists = DataTables::TableExists(dbPath, id); }))
                return;
            if (!exists) {
                runTrapped(QStringLiteral(" Module1_AddDataTable"), [&] { DataTables::createDataTable(db, id); });
                // The new table is empty: open it so that the graph data holds no rows.
                rsGraph->open(graphQuery(id, selection));
                status = GraphOpenStatus::TableCreated;
                return;
            }
        }
        rsGraph->open(graphQuery(id, selection));
        if (!rsGraph->bof() && !rsGraph->eof()) rsGraph->moveFirst();
        status = GraphOpenStatus::Opened;
    });
    if (status == GraphOpenStatus::Failed) rsGraph = std::make_unique<Recordset>(db);
    return status;
}

GraphOpenStatus OpenGraphData(Shared& s, GraphSelection selection)
{
    return OpenGraphData(s.db, s.databasePath, s.currentSensorId(), selection, s.rsGraph);
}

}  // namespace Calc
