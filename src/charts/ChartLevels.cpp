// The chart control's alarm drawings: level lines with their labels, and rings around the
// readings that raised an event. Kept apart from the series: they are not in the legend and
// do not count in the data's limits.
#include "charts/ChartControl.h"
#include "charts/ChartParts.h"

#include <QApplication>
#include <algorithm>
#include <cmath>

void ChartControl::setLevelLines(const std::vector<LevelLine>& lines)
{
    // The same lines again: those drawn stay as they are.
    const auto same = [](const LevelLine& a, const LevelLine& b) {
        return a.value == b.value && a.label == b.label && a.colour == b.colour;
    };
    if (m_levelItems.size() == 2 * lines.size() &&
        std::equal(lines.begin(), lines.end(), m_levelLines.begin(), m_levelLines.end(), same))
        return;
    for (QCPAbstractItem* item : m_levelItems) m_plot->removeItem(item);
    m_levelItems.clear();
    m_levelLines = lines;
    QFont font = QApplication::font();
    font.setBold(true);
    for (const LevelLine& l : lines) {
        auto* line = new QCPItemStraightLine(m_plot);
        line->point1->setCoords(0, l.value);
        line->point2->setCoords(1, l.value);
        line->setPen(QPen(l.colour, 2, Qt::DashLine));
        line->setSelectable(false);
        m_levelItems.push_back(line);
        auto* text = new QCPItemText(m_plot);
        text->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
        text->position->setTypeY(QCPItemPosition::ptPlotCoords);
        text->position->setAxisRect(m_plot->axisRect());
        // At the left end, where a time chart's lines usually start low.
        text->position->setCoords(0.01, l.value);
        text->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
        text->setText(l.label);
        text->setColor(l.colour);
        text->setFont(font);
        text->setSelectable(false);
        m_levelItems.push_back(text);
    }
    schedule();
}

void ChartControl::setMarks(const std::vector<Mark>& marks)
{
    for (QCPGraph* g : m_markGraphs) g->data()->clear();
    m_markCount = 0;
    for (const Mark& m : marks) {
        if (m.series < 0 || m.series >= seriesCount()) continue;
        // The reading itself, from the whole line when the library holds only a sample of it.
        const Series& series = m_series[size_t(m.series)];
        double key = 0, value = 0;
        if (series.whole()) {
            const std::vector<double>& keys = *series.keys;
            const auto k = std::lower_bound(keys.begin(), keys.end(), m.x - 0.5);
            if (k == keys.end() || std::fabs(*k - m.x) > 0.5) continue;  // within half a second
            key = *k;
            value = (*series.values)[size_t(k - keys.begin())];
        } else {
            const auto data = series.graph->data();
            const auto it = data->findBegin(m.x, false);
            if (it == data->constEnd() || std::fabs(it->key - m.x) > 0.5) continue;
            key = it->key;
            value = it->value;
        }
        QCPGraph* ring = nullptr;
        for (QCPGraph* g : m_markGraphs)
            if (g->pen().color() == m.colour) ring = g;
        if (!ring) {
            ring = new EdgeGraph(m_plot->xAxis, m_plot->yAxis);
            ring->setLineStyle(QCPGraph::lsNone);
            ring->setPen(QPen(m.colour, 2));
            ring->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(m.colour, 2.5), Qt::NoBrush, 15));
            ring->setSelectable(QCP::stNone);
            m_markGraphs.push_back(ring);
        }
        ring->addData(key, value);
        ++m_markCount;
    }
    schedule();
}
