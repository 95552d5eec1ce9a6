#include "store/Schema.h"
#include "store/Database.h"

#include <QStringList>

namespace Schema {

namespace {

QString sensordataDdl()
{
    QStringList cols;
    cols << "DateTimeKey TEXT NOT NULL"
         << "ReadingDate TEXT"
         << "ReadingTime TEXT"
         << "ChannelT TEXT";
    for (int i = 1; i <= 10; ++i) cols << QStringLiteral("Channel%1 TEXT").arg(i);
    cols << "FullDate TEXT"
         << "Plottemporal BOOLEAN DEFAULT 0"
         << "PlotSpatial BOOLEAN DEFAULT 0"
         << "DoNotPlot BOOLEAN NOT NULL DEFAULT 0"
         << "IsDirty BOOLEAN DEFAULT 0";
    for (int i = 1; i <= 10; ++i) cols << QStringLiteral("zero%1 REAL").arg(i);
    cols << "NumTemp REAL";
    for (int i = 1; i <= 6; ++i) cols << QStringLiteral("Load%1 REAL").arg(i);
    for (int i = 1; i <= 6; ++i) cols << QStringLiteral("Disp%1 REAL").arg(i);
    for (int i = 1; i <= 4; ++i) cols << QStringLiteral("Stretch%1 REAL").arg(i);
    return QStringLiteral("CREATE TABLE sensordata (\n  ") + cols.join(QStringLiteral(",\n  ")) + QStringLiteral("\n)");
}

struct TypeRow {
    const char* code;
    int channels;
};

}  // namespace

void createFixedTables(Database& db)
{
    db.execute(QStringLiteral(
        "CREATE TABLE Sensors (InstrumentID TEXT PRIMARY KEY NOT NULL, DateID TEXT, TypeID TEXT, SensorNo TEXT, "
        "SensorType TEXT, Family TEXT, Model TEXT, numgauges REAL, LengthofCable REAL, Level TEXT, Location TEXT, "
        "Borehole TEXT, InstallDate TEXT, InstallBy TEXT, Purpose TEXT, Notes TEXT, Stacked BOOLEAN, "
        "boltkfactor REAL, lengthofgauge REAL, NodeLocation1 REAL, HeadLocation BOOLEAN, Destroyed TEXT, "
        "DestructionDate TEXT)"));
    db.execute(QStringLiteral(
        "CREATE TABLE Configuration (SensorType TEXT PRIMARY KEY NOT NULL, Family TEXT, Model TEXT, "
        "NumChannels INTEGER, TempChannel BOOLEAN, Temp TEXT, lblNotes TEXT, NumNodes INTEGER, TemporalYaxis TEXT, "
        "lowval REAL, highval REAL, templow REAL, temphigh REAL)"));
    db.execute(QStringLiteral(
        "CREATE TABLE NetworkConfig (SensorID TEXT, MasterID TEXT, SlaveID TEXT, SlotID TEXT, TimeConfig INTEGER)"));
    db.execute(QStringLiteral("CREATE INDEX NetworkConfig_SensorID ON NetworkConfig (SensorID)"));
    db.execute(QStringLiteral("CREATE TABLE Prefs (MineID TEXT, MinX TEXT, MaxX TEXT, MinY TEXT, MaxY TEXT)"));

    db.execute(sensordataDdl());
    // The database itself keeps reading keys unique, and an index serves the date order.
    db.execute(QStringLiteral("CREATE UNIQUE INDEX sensordata_DateTimeKey ON sensordata (DateTimeKey)"));
    db.execute(QStringLiteral("CREATE INDEX sensordata_FullDate ON sensordata (FullDate)"));

    static const TypeRow types[] = {{"25", 1}, {"35", 2}, {"45", 3}, {"55", 4}, {"65", 5}, {"75", 6}};
    for (const TypeRow& t : types) {
        const QString model = QStringLiteral("d%1HALYX").arg(t.channels);
        const QString note = QStringLiteral(
                                 "%1: %2 gauge channel%3 and a temperature channel. "
                                 "Gauge readings in microstrain, temperature in deg C.")
                                 .arg(model)
                                 .arg(t.channels)
                                 .arg(t.channels == 1 ? "" : "s");
        db.execute(QStringLiteral("INSERT INTO Configuration (SensorType, Family, Model, NumChannels, TempChannel, "
                                  "Temp, lblNotes, NumNodes, TemporalYaxis, lowval, highval, templow, temphigh) "
                                  "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                   {QString::fromLatin1(t.code), QStringLiteral("HALYX"), model, t.channels, 1, QStringLiteral("deg C"),
                    note, t.channels + 2, QStringLiteral("Load (tons)"), -10000.0, 10000.0, -20.0, 60.0});
    }
    db.execute(
        QStringLiteral("INSERT INTO Prefs (MineID, MinX, MaxX, MinY, MaxY) VALUES (?,?,?,?,?)"),
        {QStringLiteral("N12-"), QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("10")});
}

}  // namespace Schema
