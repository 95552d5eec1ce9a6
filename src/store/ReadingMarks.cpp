#include "store/ReadingMarks.h"
#include "store/Recordset.h"

namespace ReadingMarks {

QString setChanged() { return QStringLiteral("IsDirty = 1"); }

void markChanged(Recordset& rs) { rs.setValue(QLatin1String(Column), Changed); }

bool isInputColumn(const QString& column)
{
    static const char* const inputs[] = {"DateTimeKey",  "FullDate",    "ReadingDate", "ReadingTime", "ChannelT",
                                         "Channel1",     "Channel2",    "Channel3",    "Channel4",    "Channel5",
                                         "Channel6",     "Channel7",    "Channel8",    "Channel9",    "Channel10",
                                         "Plottemporal", "PlotSpatial", "DoNotPlot"};
    for (const char* c : inputs)
        if (column.compare(QLatin1String(c), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace ReadingMarks
