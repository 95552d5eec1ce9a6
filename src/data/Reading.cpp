#include "data/Reading.h"
#include "calc/ReadingValues.h"
#include "store/Recordset.h"

#include <QDateTime>

const QString Reading::KeyColumn = QStringLiteral("DateTimeKey");
const QString Reading::TemperatureColumn = QStringLiteral("ChannelT");

namespace {

const QString FullDateColumn = QStringLiteral("FullDate");
const QString DateColumn = QStringLiteral("ReadingDate");
const QString TimeColumn = QStringLiteral("ReadingTime");
const QString TemporalColumn = QStringLiteral("Plottemporal");
const QString SpatialColumn = QStringLiteral("PlotSpatial");

// Whether a stored value already equals the value to be written, so that a reading only
// looked at is never written. A null column equals an empty text (rows from before empty
// texts were stored keep their null) and a ticked plot flag (null ticks it).
bool sameAsStored(const QVariant& stored, const QVariant& wanted)
{
    switch (wanted.typeId()) {
        case QMetaType::Bool:
            return ReadingValues::flagTicked(stored) == wanted.toBool();
        case QMetaType::QDateTime: {
            if (stored.isNull()) return false;
            if (stored.typeId() == QMetaType::QDateTime) return stored.toDateTime() == wanted.toDateTime();
            return stored.typeId() == QMetaType::QString &&
                   stored.toString() == wanted.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        default:
            if (stored.isNull()) return wanted.toString().isEmpty();
            return stored.typeId() == QMetaType::QString && stored.toString() == wanted.toString();
    }
}

}  // namespace

QString Reading::channelColumn(int i) { return QStringLiteral("Channel%1").arg(i); }

Reading Reading::read(const Recordset& rs)
{
    Reading r;
    r.key = rs.text(KeyColumn);
    r.date = rs.text(DateColumn);
    r.time = rs.text(TimeColumn);
    r.temperature = rs.text(TemperatureColumn);
    for (int i = 1; i <= Channels; ++i) {
        const QString column = channelColumn(i);
        if (rs.hasField(column)) r.channel(i) = rs.text(column);
    }
    r.temporal = ReadingValues::flagTicked(rs.value(TemporalColumn));
    r.spatial = ReadingValues::flagTicked(rs.value(SpatialColumn));
    return r;
}

QVariant Reading::fullDateOf(const Recordset& rs) { return rs.value(FullDateColumn); }

QString Reading::keyOf(const Recordset& rs) { return rs.text(KeyColumn); }

QString Reading::whenOf(const Recordset& rs) { return rs.text(DateColumn) + u' ' + rs.text(TimeColumn); }

bool Reading::writeChanges(Recordset& rs, int channelCount) const
{
    bool changed = false;
    auto put = [&](const QString& column, const QVariant& wanted) {
        if (sameAsStored(rs.value(column), wanted)) return;
        rs.setValue(column, wanted);
        changed = true;
    };
    put(KeyColumn, key);
    put(FullDateColumn, fullDate);
    put(DateColumn, date);
    put(TimeColumn, time);
    put(TemperatureColumn, temperature);
    for (int i = 1; i <= channelCount; ++i) put(channelColumn(i), channel(i));
    put(TemporalColumn, temporal);
    put(SpatialColumn, spatial);
    return changed;
}

void Reading::writeDates(Recordset& rs) const
{
    rs.setValue(KeyColumn, key);
    rs.setValue(FullDateColumn, fullDate);
    rs.setValue(DateColumn, date);
    rs.setValue(TimeColumn, time);
}

void Reading::writeFlags(Recordset& rs) const
{
    rs.setValue(TemporalColumn, temporal);
    rs.setValue(SpatialColumn, spatial);
}
