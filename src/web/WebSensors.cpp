#include "web/WebSensors.h"
#include "charts/ChartRules.h"
#include "data/Passes.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <algorithm>

namespace WebSensors {

std::vector<SensorDetails> all(Database& db)
{
    Recordset rs(db);
    rs.open(QStringLiteral("SELECT * FROM Sensors ORDER BY InstrumentID"));
    std::vector<SensorDetails> out;
    while (!rs.eof()) {
        out.push_back(SensorDetails::fromRow(rs));
        rs.moveNext();
    }
    return out;
}

std::optional<SensorDetails> find(Database& db, const QString& id)
{
    if (id.isEmpty() || id.contains(u'`')) return std::nullopt;
    for (SensorDetails& s : all(db))
        if (s.instrumentId == id) return std::move(s);
    return std::nullopt;
}

TypeSetup typeSetup(Database& db, const QString& sensorType)
{
    TypeSetup t;
    Statement q(db,
                QStringLiteral("SELECT NumChannels, NumNodes, TemporalYaxis FROM Configuration WHERE SensorType = ?"));
    q.bind(1, sensorType);
    if (q.next()) {
        t.channels = q.isNull(0) ? 0 : int(q.integer(0));
        t.nodes = q.isNull(1) ? 0 : int(q.integer(1));
        t.loadAxisTitle = q.text(2);
        q.reset();
    }
    return t;
}

Calc::SensorInputs passInputs(const SensorDetails& s)
{
    Calc::SensorInputs in;
    in.id = s.instrumentId;
    in.sensorType = s.sensorType;
    in.stacked = s.stacked.value_or(false);
    in.kFactorText = s.kFactor;
    in.gaugeLengthText = s.gaugeLength;
    return in;
}

int timeGauges(const SensorDetails& s, const TypeSetup& type, bool displacement)
{
    constexpr int MostGauges = 10;
    const bool stacked = s.stacked.value_or(false);
    int shown = std::min(ChartRules::timeGaugeCount(stacked, type.channels), MostGauges);
    // The displacement chart of a stacked sensor with more than three channels hides the
    // lines from the last node but one.
    if (displacement && stacked && type.channels > 3) shown = std::min(shown, type.nodes - 2);
    return std::max(shown, 0);
}

QString quotedName(const QString& id) { return SqlDialect::quoteName(id); }

}  // namespace WebSensors
