#include "data/SensorDetails.h"
#include "calc/Numbers.h"
#include "core/ErrorTrap.h"
#include "store/Recordset.h"

#include <QLocale>

namespace {
// Whether a stored value already equals what would be written (numbers compared as
// numbers, empty as null).
bool sameAsStored(const QVariant& stored, const QVariant& wanted)
{
    const bool wantedEmpty =
        wanted.isNull() || (wanted.typeId() == QMetaType::QString && wanted.toString().trimmed().isEmpty());
    if (stored.isNull()) return wantedEmpty;
    if (wantedEmpty) return false;
    if (wanted.typeId() == QMetaType::Bool) {
        bool ok = false;
        const qlonglong n = stored.toLongLong(&ok);
        return ok && (n != 0) == wanted.toBool();
    }
    switch (stored.typeId()) {
        case QMetaType::Double:
        case QMetaType::LongLong:
        case QMetaType::Int: {
            bool ok = false;
            const QString t = wanted.toString().trimmed();
            double v = QLocale::c().toDouble(t, &ok);
            if (!ok) v = QLocale::system().toDouble(t, &ok);
            return ok && v == stored.toDouble();
        }
        default:
            return stored.toString() == wanted.toString();
    }
}

// Only what differs from the row is written: showing and leaving a sensor without
// changing it writes nothing to the database file.
void put(Recordset& rs, const QString& column, const QVariant& wanted)
{
    if (!sameAsStored(rs.value(column), wanted)) rs.setValue(column, wanted);
}

// Trimmed text; an empty one leaves the column empty (null), as a new row has it.
QVariant trimmed(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() ? QVariant() : QVariant(t);
}
}  // namespace

QString SensorDetails::idOf(const Recordset& rs) { return rs.text(QStringLiteral("InstrumentID")); }

QString SensorDetails::typeOf(const Recordset& rs) { return rs.text(QStringLiteral("SensorType")); }

SensorDetails SensorDetails::fromRow(const Recordset& rs)
{
    SensorDetails s;
    auto read = [&](QString& to, const char* column) {
        if (!ignoringErrors([&] { to = rs.text(QLatin1String(column)); })) s.unread.insert(QLatin1String(column));
    };
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
    const bool layoutRead = ignoringErrors([&] {
        const QVariant v = rs.value(QStringLiteral("Stacked"));
        if (!v.isNull()) s.stacked = v.toBool();
    });
    if (!layoutRead) s.unread.insert(QStringLiteral("Stacked"));
    read(s.kFactor, "boltkfactor");
    read(s.gaugeLength, "lengthofgauge");
    read(s.numGauges, "numgauges");
    read(s.firstNode, "NodeLocation1");
    read(s.destroyed, "Destroyed");
    read(s.destructionDate, "DestructionDate");
    return s;
}

void SensorDetails::writeRecord(Recordset& rs) const
{
    put(rs, QStringLiteral("DateID"), trimmed(dateId));
    put(rs, QStringLiteral("TypeID"), trimmed(typeId));
    put(rs, QStringLiteral("SensorNo"), trimmed(sensorNo));
    put(rs, QStringLiteral("Family"), trimmed(family));
    put(rs, QStringLiteral("LengthofCable"), Numbers::formatText(lengthOfCable, QStringLiteral("##0.00")));
    put(rs, QStringLiteral("Level"), trimmed(level));
    put(rs, QStringLiteral("Location"), trimmed(location));
    put(rs, QStringLiteral("Borehole"), trimmed(borehole));
    put(rs, QStringLiteral("InstallDate"), trimmed(installDate));
    put(rs, QStringLiteral("InstallBy"), trimmed(installBy));
    put(rs, QStringLiteral("Purpose"), trimmed(purpose));
    put(rs, QStringLiteral("Notes"), trimmed(notes));
    put(rs, QStringLiteral("Stacked"), stacked.value_or(false));
    put(rs, QStringLiteral("boltkfactor"), kFactor);
    put(rs, QStringLiteral("lengthofgauge"), Numbers::formatText(gaugeLength, QStringLiteral("##0.0#")));
    put(rs, QStringLiteral("numgauges"), numGauges);
    put(rs, QStringLiteral("NodeLocation1"), Numbers::formatText(firstNode, QStringLiteral("##0.0#")));
}

void SensorDetails::writeStatus(Recordset& rs, const QString& storedDestructionDate) const
{
    put(rs, QStringLiteral("Destroyed"), destroyed.isEmpty() ? QVariant() : QVariant(destroyed));
    if (!storedDestructionDate.isEmpty()) put(rs, QStringLiteral("DestructionDate"), storedDestructionDate);
}
