// The sensor registry with 2,000 sensors: start-up (list and first sensor), stepping with
// Next (save, move, show), choosing the last sensor from the list, adding and deleting.
// Run with QT_QPA_PLATFORM=offscreen.
#include "support/BenchSupport.h"
#include "app/MainWindow.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "sensors/SensorRegistry.h"
#include "store/DataTables.h"
#include "store/Database.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Bench::Home home;
    const int count = 2000;
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Transaction tx(db);
        for (int i = 1; i <= count; ++i) {
            const QString id =
                QStringLiteral("%1%2").arg(2000 + i / 999, 4, 10, QChar('0')).arg(i % 999 + 1, 3, 10, QChar('0'));
            const QString full = id.left(4) + QStringLiteral("75") + id.mid(4);
            db.execute(
                QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, "
                               "Model, numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, "
                               "boltkfactor, lengthofgauge, NodeLocation1) VALUES (?,?,?,?,'75','HALYX','d6HALYX',"
                               "6,0,'2025/04/01','No',1,?,100,0.5,0.25)"),
                {full, full.left(4), QStringLiteral("75"), full.mid(6), i % 2});
            db.execute(QStringLiteral("INSERT INTO NetworkConfig VALUES (?, 'NA', 'NA', 'NA', 24)"), {full});
        }
        tx.commit();
    }
    Messages::Script script;
    Messages::installScript(&script);
    std::printf("Sensor registry, %d sensors\n", count);

    QElapsedTimer t;
    t.start();
    MainWindow w;
    w.show();
    Bench::report("start-up (window, list, first sensor)", t.nsecsElapsed() / 1e6, "ms", "<= 1000 ms");
    SensorRegistry& reg = *w.sensors();

    const int steps = 200;
    t.restart();
    for (int i = 0; i < steps; ++i) reg.onNextSensorClicked();
    Bench::report("Next (save, move, show), per sensor", t.nsecsElapsed() / 1e6 / steps, "ms", "<= 50 ms");

    t.restart();
    reg.cboSensors->setCurrentIndex(reg.cboSensors->count() - 1);
    reg.onSensorChosen();
    Bench::report("choose the last sensor from the list", t.nsecsElapsed() / 1e6, "ms", "<= 100 ms");

    t.restart();
    w.shared().typedSensorNumber = QStringLiteral("300175001");
    reg.AddTypedSensor();
    Bench::report("add a sensor (rows, data table, list)", t.nsecsElapsed() / 1e6, "ms", "<= 500 ms");

    t.restart();
    reg.onDeleteSensorClicked();
    Bench::report("delete the shown sensor (table, rows, list)", t.nsecsElapsed() / 1e6, "ms", "<= 500 ms");

    // One confirmation for the add, one for the delete, nothing else.
    if (w.shared().rsSensors->recordCount() != count || script.texts().size() != 2)
        std::printf("CHECK: %lld sensors, %lld boxes\n", w.shared().rsSensors->recordCount(),
                    qint64(script.texts().size()));
    Messages::installScript(nullptr);
    return 0;
}
