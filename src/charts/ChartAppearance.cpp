#include "charts/ChartAppearance.h"
#include "charts/ChartControl.h"
#include "charts/ChartRules.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace ChartAppearance {

namespace {
const QColor GaugeColours[] = {QColor(0x0000FF), QColor(0xFF0000), QColor(0x008000), QColor(0x8000FF),
                               QColor(0xFF00FF), QColor(0xFF8000), QColor(0x8080FF), QColor(0xFFFF00),
                               QColor(0x804000), QColor(0x80FF80), QColor(0x0080FF), QColor(0x800040),
                               QColor(0x808000), QColor(0x400080), QColor(0x008080)};
using Axis = ChartControl::Axis;
}  // namespace

void setUpTimeChart(ChartControl& c, const char* leftTitle)
{
    c.setSeriesCount(11);
    c.setSeriesColour(0, Qt::black);
    c.setSeriesMarkerSize(0, 5);  // the temperature line's points are small
    c.setSeriesTitle(0, QStringLiteral("Temp (C)"));
    for (int i = 1; i <= 10; ++i) {
        c.setSeriesColour(i, GaugeColours[i - 1]);
        c.setSeriesTitle(i, QStringLiteral("Node 1"));
    }
    c.setOwnAxisSeries(0, QStringLiteral("Temperature (\u00B0C)"));  // in reports, on an axis of its own
    c.setDateTimeAxis(true);
    c.setDateTimeFormat(Axis::Bottom, QStringLiteral("yyyy/MM/dd"));
    c.setLabelAngle(Axis::Bottom, 345);
    c.setLegendTitle(QStringLiteral("Node Locations:"));
    c.setPrintMargins(QMarginsF(5, 5, 5, 5));
    c.setAxisTitle(Axis::Left, QString::fromLatin1(leftTitle));
}

void setUpLengthChart(ChartControl& c, const char* leftTitle)
{
    c.setSeriesCount(16);
    c.setSeriesColour(0, Qt::black);
    c.setSeriesTitle(0, QStringLiteral("T (C)"));
    for (int i = 1; i <= 15; ++i) {
        c.setSeriesColour(i, GaugeColours[i - 1]);
        c.setSeriesTitle(i, QStringLiteral("Node 1"));
    }
    c.setMinimum(Axis::Bottom, 0);
    c.setMaximum(Axis::Bottom, 10);
    c.setIncrement(Axis::Bottom, 1);
    c.setAxisTitle(Axis::Bottom, QStringLiteral("Distance from Roof (m)"));
    c.setLegendTitle(QStringLiteral("Reading  Dates: "));
    c.setPrintMargins(QMarginsF(15, 22, 15, 22));
    c.setAxisTitle(Axis::Left, QString::fromLatin1(leftTitle));
}

QIcon printerIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));  // paper going in
    p.setBrush(QColor(120, 120, 130));
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);  // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 19, 16, 10));  // printed sheet
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(19, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 60));
    p.drawEllipse(QPointF(25, 15), 1.5, 1.5);
    return QIcon(pm);
}

void applyTimeAxisPlan(ChartControl& chart, const ChartRules::TimeAxisPlan& plan)
{
    using Axis = ChartControl::Axis;
    chart.setDateTimeStep(Axis::Bottom, plan.step == ChartRules::TimeStep::TwoHours ? ChartControl::TimeStep::TwoHours
                                        : plan.step == ChartRules::TimeStep::SixHours
                                            ? ChartControl::TimeStep::SixHours
                                            : ChartControl::TimeStep::Automatic);
    chart.setDateTimeFormat(Axis::Bottom, plan.labelFormat);
    chart.setAxisTitle(Axis::Bottom, plan.title);
}

}  // namespace ChartAppearance
