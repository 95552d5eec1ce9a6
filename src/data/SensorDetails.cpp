#include "data/SensorDetails.h"
#include "core/ErrorTrap.h"
#include "store/Recordset.h"

SensorDetails SensorDetails::fromRow(const Recordset& rs)
{
    SensorDetails s;
    auto read = [&rs](QString& to, const char* field) { ignoringErrors([&] { to = rs.text(QLatin1String(field)); }); };
    read(s.instrumentId, "InstrumentID");
    read(s.sensorType, "SensorType");
    read(s.dateId, "DateID");
    read(s.typeId, "TypeID");
    read(s.sensorNo, "SensorNo");
    read(s.family, "Family");
    read(s.lengthOfCable, "LengthofCable");
    read(s.level, "Level");
    read(s.location, "Location");
    read(s.borehole, "Borehole");
    read(s.installDate, "InstallDate");
    read(s.installBy, "InstallBy");
    read(s.purpose, "Purpose");
    read(s.notes, "Notes");
    ignoringErrors([&] {
        const QVariant v = rs.value(QStringLiteral("Stacked"));
        if (!v.isNull()) s.stacked = v.toBool();
    });
    read(s.kFactor, "boltkfactor");
    read(s.gaugeLength, "lengthofgauge");
    read(s.numGauges, "numgauges");
    read(s.firstNode, "NodeLocation1");
    read(s.destroyed, "Destroyed");
    read(s.destructionDate, "DestructionDate");
    return s;
}
