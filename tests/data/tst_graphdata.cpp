// The graph data selections on a real database: which readings each selection takes and in
// which order, and what opening one does when the sensor's table is missing.
#include "PassFixture.h"
#include "store/DataTables.h"
#include "store/Recordset.h"

using namespace Calc;
using namespace PassFixture;

class TestGraphData : public Base {
    Q_OBJECT

private slots:
    void selectionsTakeTheirReadingsInDateOrder()
    {
        addSensor(S75);
        QList<NewReading> list;
        // Entered out of date order; flags: temporal, spatial, do-not-plot.
        auto add = [&](int d, bool t, bool sp, bool dnp) {
            NewReading r = reading(day(d), {QString::number(d) + ".00"});
            r.temporal = t;
            r.spatial = sp;
            r.doNotPlot = dnp;
            list << r;
        };
        add(9, true, false, false);
        add(3, false, true, false);
        add(7, true, true, true);
        add(1, false, false, false);
        add(5, true, false, false);
        TestData::addReadings(s->db, S75, list);

        auto days = [&](GraphSelection sel) {
            const GraphOpenStatus st = OpenGraphData(s->db, s->databasePath, S75, sel, s->rsGraph);
            QStringList out;
            if (st != GraphOpenStatus::Opened) return QStringList{"not opened"};
            if (s->rsGraph->recordCount() > 0 && s->rsGraph->absolutePosition() != 1) return QStringList{"not first"};
            for (; !s->rsGraph->eof(); s->rsGraph->moveNext()) out << s->rsGraph->text("Channel1");
            return out;
        };
        QCOMPARE(days(GraphSelection::Plottable), QStringList({"1.00", "3.00", "5.00", "9.00"}));
        QCOMPARE(days(GraphSelection::Temporal), QStringList({"5.00", "7.00", "9.00"}));
        QCOMPARE(days(GraphSelection::Spatial), QStringList({"3.00", "7.00"}));
        QCOMPARE(graphQuery(S75, GraphSelection::Spatial),
                 QString("SELECT * FROM `250475001` WHERE PlotSpatial = True ORDER BY FullDate"));

        // Every reading left out of the plot: an empty selection, opened without a word.
        s->db.execute(QStringLiteral("UPDATE `%1` SET DoNotPlot = 1").arg(S75));
        ScriptedMessages messages;
        QCOMPARE(days(GraphSelection::Plottable), QStringList());
        QVERIFY(s->rsGraph->bof() && s->rsGraph->eof());
        QVERIFY(messages.script.shown.empty());
    }

    void missingTableIsCreatedAndTheGraphDataLeftEmpty()
    {
        addSensor(S75);
        TestData::addReadings(s->db, S75, {reading(day(1), {"1.00"}), reading(day(2), {"2.00"})});
        QCOMPARE(OpenGraphData(s->db, s->databasePath, S75, GraphSelection::Plottable, s->rsGraph),
                 GraphOpenStatus::Opened);
        QCOMPARE(s->rsGraph->recordCount(), 2);

        // Another sensor whose table is missing: created, and the graph data no longer
        // holds the first sensor's rows.
        const QString other = QStringLiteral("250475002");
        QVERIFY(!DataTables::TableExists(s->databasePath, other));
        QCOMPARE(OpenGraphData(s->db, s->databasePath, other, GraphSelection::Plottable, s->rsGraph),
                 GraphOpenStatus::TableCreated);
        QVERIFY(DataTables::TableExists(s->databasePath, other));
        QCOMPARE(s->rsGraph->recordCount(), 0);
        QVERIFY(s->rsGraph->eof());
        QCOMPARE(graphTableCreatedText(other),
                 QString("The data table for Sensor 250475002 could not be found\r\nA new table will be created"));

        // The other selections do not create it: the open fails, is logged, and the
        // graph data is empty too.
        const QString third = QStringLiteral("250475003");
        QCOMPARE(OpenGraphData(s->db, s->databasePath, S75, GraphSelection::Temporal, s->rsGraph),
                 GraphOpenStatus::Opened);
        QCOMPARE(OpenGraphData(s->db, s->databasePath, third, GraphSelection::Temporal, s->rsGraph),
                 GraphOpenStatus::Failed);
        QVERIFY(!DataTables::TableExists(s->databasePath, third));
        QCOMPARE(s->rsGraph->recordCount(), 0);
        QCOMPARE(logCount(" Module1_OpenGraphData"), 1);
    }

    void tableNamesAreQuoted()
    {
        const QString spaced = QStringLiteral("2504 75-01");
        DataTables::createDataTable(s->db, spaced);
        TestData::addReadings(s->db, spaced, {reading(day(1), {"1.00"})});
        QCOMPARE(OpenGraphData(s->db, s->databasePath, spaced, GraphSelection::Temporal, s->rsGraph),
                 GraphOpenStatus::Opened);
        QCOMPARE(s->rsGraph->recordCount(), 1);
        QCOMPARE(OpenGraphData(s->db, s->databasePath, "2504`75", GraphSelection::Spatial, s->rsGraph),
                 GraphOpenStatus::Failed);
        QCOMPARE(logCount(" Module1_OpenGraphData"), 1);
    }
};

QTEST_GUILESS_MAIN(TestGraphData)
#include "tst_graphdata.moc"
