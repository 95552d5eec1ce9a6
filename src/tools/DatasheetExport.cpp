#include "tools/DatasheetExport.h"
#include "core/TwError.h"
#include "data/Rejections.h"
#include "store/Database.h"
#include "store/Statement.h"
#include "tools/RejectedNotes.h"

#include <QLocale>
#include <cmath>

namespace DatasheetExport {

namespace {

// The stored numbers as the boxes show them, so the formulas read them as they read a box.
QString boxText(const Statement& q, int column)
{
    if (q.isNull(column)) return QString();
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(q.number(column), 'g', 15);
}

QByteArray numberText(double v, int decimals)
{
    if (std::isnan(v) || std::isinf(v)) return QByteArray();
    return QByteArray::number(v, 'f', decimals);
}

}  // namespace

std::optional<SensorLayout> sensorLayout(Database& db, const QString& sensorId)
{
    Statement q(db, QStringLiteral("SELECT SensorType, Stacked, boltkfactor, lengthofgauge FROM Sensors "
                                   "WHERE InstrumentID = ?"));
    q.bind(1, sensorId);
    if (!q.next()) return std::nullopt;
    SensorLayout s;
    s.type = q.text(0).trimmed();
    s.stacked = q.isNull(1) || q.integer(1) != 0;
    s.kFactor = boxText(q, 2);
    s.gaugeLength = boxText(q, 3);
    q.reset();
    return s;
}

Sheet::Sheet(int gauges, const std::optional<SensorLayout>& computed, const QHash<QString, quint16>& rejected)
    : m_gauges(gauges),
      m_rejected(rejected)
{
    m_heading << QStringLiteral("Date and time") << QStringLiteral("Temperature (\u00B0C)");
    for (int g = 1; g <= gauges; ++g) m_heading << QStringLiteral("Gauge %1 (\u00B5strain)").arg(g);
    if (computed) {
        m_formulas.emplace(computed->type, computed->stacked, computed->kFactor, computed->gaugeLength);
        m_loads = m_formulas->loadCount();
        for (int i = 1; i <= m_loads; ++i) m_heading << QStringLiteral("Load %1 (t)").arg(i);
        for (int i = 1; i <= m_loads; ++i) m_heading << QStringLiteral("Displacement %1 (microns)").arg(i);
    }
    m_heading << QStringLiteral("PlotTemporal") << QStringLiteral("PlotSpatial") << RejectedNotes::Heading;
    m_numbers.resize(2 * size_t(m_loads));
    m_cells.resize(size_t(m_heading.size()));
}

void Sheet::compute(const QByteArrayView* grid, quint16 mask)
{
    const QByteArrayView* gauges = grid + 4;
    if (!m_offsets) {
        // The baseline: the first reading not rejected as a whole.
        if (Rejections::rejected(mask, Rejections::WholeReading)) return;
        std::array<double, Calc::ChannelCount + 1> offsets;
        offsets.fill(std::nan(""));
        for (int g = 1; g <= std::min(m_gauges, Calc::ChannelCount); ++g) {
            if (Rejections::rejected(mask, g)) continue;
            try {
                offsets[size_t(g)] = Calc::offsetFromText(QString::fromUtf8(gauges[g - 1]));
            } catch (const TwError&) {
                // Not a number: no baseline in that gauge, as the passes take it.
            }
        }
        m_offsets = offsets;
    }
    Calc::ChannelValues z;
    z.fill(0);
    for (int g = 1; g <= Calc::ChannelCount; ++g) {
        const double offset = (*m_offsets)[size_t(g)];
        if (g > m_gauges || Rejections::rejected(mask, g)) {
            z[size_t(g)] = Calc::noValueZero(offset);
            continue;
        }
        try {
            z[size_t(g)] = Calc::zeroFromUtf8(gauges[g - 1], offset);
        } catch (const TwError&) {
            z[size_t(g)] = Calc::noValueZero(offset);
        }
    }
    try {
        const Calc::Columns loads = m_formulas->loads(z);
        for (int i = 1; i <= m_loads; ++i) m_numbers[size_t(i - 1)] = numberText(loads[i], 2);
        const Calc::Columns disps = m_formulas->displacements(loads);
        for (int i = 1; i <= m_loads; ++i) m_numbers[size_t(m_loads + i - 1)] = numberText(disps[i], 1);
    } catch (const TwError&) {
        // A k factor or gauge length the formulas cannot take: what is missing stays empty.
    }
}

const QByteArrayView* Sheet::row(const QByteArrayView* grid, QByteArrayView note)
{
    // The key is the sensor's number, the date and the time: the date and time say it.
    m_moment.clear();
    m_moment.append(grid[1].data(), grid[1].size()).append(' ').append(grid[2].data(), grid[2].size());
    size_t c = 0;
    m_cells[c++] = m_moment;
    m_cells[c++] = grid[3];
    for (int g = 0; g < m_gauges; ++g) m_cells[c++] = grid[4 + g];
    if (m_loads > 0) {
        for (QByteArray& n : m_numbers) n.clear();
        compute(grid, m_rejected.isEmpty() ? quint16(0) : m_rejected.value(QString::fromUtf8(grid[0])));
        for (const QByteArray& n : m_numbers) m_cells[c++] = n;
    }
    m_cells[c++] = grid[4 + m_gauges];
    m_cells[c++] = grid[5 + m_gauges];
    m_cells[c++] = note;
    return m_cells.data();
}

}  // namespace DatasheetExport
