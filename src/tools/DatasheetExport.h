#pragma once
#include "calc/Formulas.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Database;

// The datasheet as a spreadsheet: the rows the datasheet exports (key, date, time,
// temperature, gauges 1..n, the two plot flags) turned into the sheet's rows. One
// date-time column stands for the key, date and time; headings carry their units
// ("Temperature (°C)", "Gauge 1 (µstrain)"); the rejected-value notes go last. On request
// the loads and displacements are computed beside the gauges, as the chart passes compute
// them: zeroed against the first reading not rejected as a whole, a rejected value
// counting as no value, and no value giving an empty cell. Widget-free.
namespace DatasheetExport {

// What the formulas need of a sensor, as stored in its Sensors row.
struct SensorLayout {
    QString type;
    bool stacked = true;
    QString kFactor;  // as the locale writes the stored number
    QString gaugeLength;
};

// The stored layout of a sensor; nullopt when it has no Sensors row. Throws TwError on a
// database failure.
std::optional<SensorLayout> sensorLayout(Database& db, const QString& sensorId);

class Sheet {
public:
    // gauges: the datasheet's gauge columns. computed: the sensor's layout when the loads
    // and displacements are wanted (a type without loads adds no column); rejected: the
    // rejected values of the sensor by reading key (Rejections::masks).
    Sheet(int gauges, const std::optional<SensorLayout>& computed = std::nullopt,
          const QHash<QString, quint16>& rejected = {});

    QStringList heading() const { return m_heading; }
    // The computed loads (as many displacements follow them).
    int computedCount() const { return m_loads; }

    // The sheet's row for one datasheet row (gauges + 6 cells) and its rejected-value note;
    // heading().size() cells, valid until the next call.
    const QByteArrayView* row(const QByteArrayView* grid, QByteArrayView note);

private:
    void compute(const QByteArrayView* grid, quint16 mask);

    int m_gauges;
    int m_loads = 0;
    QStringList m_heading;
    std::optional<Calc::PassFormulas> m_formulas;
    QHash<QString, quint16> m_rejected;
    std::optional<std::array<double, Calc::ChannelCount + 1>> m_offsets;  // from the baseline
    QByteArray m_moment;
    std::vector<QByteArray> m_numbers;  // the computed cells' texts
    std::vector<QByteArrayView> m_cells;
};

}  // namespace DatasheetExport
