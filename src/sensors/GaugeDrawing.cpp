#include "sensors/GaugeDrawing.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <vector>

namespace GaugeDrawing {

namespace {

const QColor Steel(150, 156, 166);
const QColor SteelDark(90, 96, 106);
const QColor GaugeFill(235, 150, 40);
const QColor GaugeEdge(150, 80, 10);
const QColor Leader(70, 110, 170);
const QColor RockFill(232, 226, 214);

int levelOf(const QRect& r) { return r.center().y(); }

void drawLeader(QPainter& p, const QRect& box, int toX, int y)
{
    p.setPen(QPen(Leader, 1, Qt::DashLine));
    const int fromX = box.left() > toX ? box.left() - 2 : box.right() + 2;
    p.drawLine(QPoint(fromX, levelOf(box)), QPoint(toX, y));
}

void drawGauge(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(GaugeEdge, 1));
    p.setBrush(GaugeFill);
    p.drawRoundedRect(r, 2, 2);
    // The grid of a foil gauge.
    p.setPen(QPen(GaugeEdge, 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

}  // namespace

BoltPlan planOf(const BoltScene& s)
{
    BoltPlan plan;
    if (s.nodeBoxes.isEmpty()) return plan;
    for (auto it = s.nodeBoxes.cbegin(); it != s.nodeBoxes.cend(); ++it)
        if (s.nodeCount < 0 || it.key() <= s.nodeCount) plan.nodes.insert(it.key(), *it);
    for (auto it = s.centreBoxes.cbegin(); it != s.centreBoxes.cend(); ++it)
        if (s.centreCount < 0 || it.key() <= s.centreCount) plan.centres.insert(it.key(), *it);
    if (plan.nodes.isEmpty()) plan.nodes.insert(s.nodeBoxes.firstKey(), s.nodeBoxes.first());
    for (auto it = plan.centres.cbegin(); it != plan.centres.cend(); ++it) {
        const int k = it.key();
        const auto low = s.nodeBoxes.constFind(k);
        if (low == s.nodeBoxes.cend()) continue;
        const auto high = s.nodeBoxes.constFind(s.stacked ? k + 1 : k + 2);
        const int to = high != s.nodeBoxes.cend() ? levelOf(*high) : 2 * levelOf(*it) - levelOf(*low);
        plan.gauges.push_back({levelOf(*low), to, k});
    }
    return plan;
}

QPixmap bolt(const BoltScene& s)
{
    QPixmap pm(s.size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    if (s.nodeBoxes.isEmpty()) return pm;
    const BoltPlan plan = planOf(s);
    const QMap<int, QRect>& nodes = plan.nodes;
    const QMap<int, QRect>& centres = plan.centres;
    const std::vector<BoltPlan::Gauge>& gauges = plan.gauges;

    int topLevel = s.size.height(), bottomLevel = 0;
    for (const QRect& r : nodes) {
        topLevel = std::min(topLevel, levelOf(r));
        bottomLevel = std::max(bottomLevel, levelOf(r));
    }
    for (const QRect& r : centres) topLevel = std::min(topLevel, levelOf(r));
    for (const auto& span : gauges) topLevel = std::min({topLevel, span.from, span.to});

    const int rodHalf = 6;
    // The bolt's far end a little beyond its last node, clear of the headings above.
    const int rodTop = std::max(0, topLevel - 16);
    const int rodBottom = std::min(s.size.height() - 40, bottomLevel + 36);

    // The borehole around the bolt.
    const QRect hole(s.rodX - 26, rodTop - 6, 52, rodBottom - rodTop + 10);
    p.setPen(Qt::NoPen);
    p.setBrush(RockFill);
    p.drawRect(hole);
    p.setPen(QPen(QColor(170, 160, 140), 1, Qt::DotLine));
    p.drawLine(hole.topLeft(), hole.bottomLeft());
    p.drawLine(hole.topRight(), hole.bottomRight());

    // The rod.
    QLinearGradient g(s.rodX - rodHalf, 0, s.rodX + rodHalf, 0);
    g.setColorAt(0, SteelDark);
    g.setColorAt(0.45, QColor(210, 214, 220));
    g.setColorAt(1, SteelDark);
    p.setPen(QPen(SteelDark, 1));
    p.setBrush(g);
    p.drawRect(QRect(s.rodX - rodHalf, rodTop, 2 * rodHalf, rodBottom - rodTop));

    // Head at the borehole collar: the face plate and the nut.
    const int plateY = rodBottom;
    p.setBrush(Steel);
    p.drawRect(QRect(s.rodX - 40, plateY, 80, 7));
    QPolygonF nut;
    nut << QPointF(s.rodX - 14, plateY + 7) << QPointF(s.rodX + 14, plateY + 7) << QPointF(s.rodX + 11, plateY + 20)
        << QPointF(s.rodX - 11, plateY + 20);
    p.setBrush(SteelDark);
    p.drawPolygon(nut);
    if (s.headCaption) {
        p.setPen(QColor(60, 60, 60));
        QFont small = p.font();
        small.setPointSizeF(8);
        p.setFont(small);
        p.drawText(QRect(s.rodX - 90, plateY + 22, 180, 16), Qt::AlignCenter,
                   QStringLiteral("Head at borehole collar"));
    }

    // Node levels: a tick across the rod.
    for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
        const int y = levelOf(*it);
        p.setPen(QPen(QColor(30, 30, 30), 2));
        p.drawLine(QPoint(s.rodX - rodHalf - 3, y), QPoint(s.rodX + rodHalf + 3, y));
    }

    // Gauges.
    const qreal gw = 7;
    auto gaugeRect = [&](int fromLevel, int toLevel, bool left) {
        const qreal top = std::min(fromLevel, toLevel) + 3;
        const qreal bottom = std::max(fromLevel, toLevel) - 3;
        const qreal x = left ? s.rodX - rodHalf - gw : s.rodX + rodHalf;
        return QRectF(x, top, gw, bottom - top);
    };
    for (const auto& span : gauges) {
        if (s.stacked) {
            drawGauge(p, gaugeRect(span.from, span.to, true));
            drawGauge(p, gaugeRect(span.from, span.to, false));
        } else {
            // Odd gauges on the right, even ones on the left.
            const bool left = span.centre % 2 == 0;
            drawGauge(p, gaugeRect(span.from, span.to, left).translated(left ? -2 : 2, 0));
        }
    }

    // Leader lines: nodes to the rod, centres to the gauge side.
    for (auto it = nodes.cbegin(); it != nodes.cend(); ++it) {
        const bool fromLeft = it->left() < s.rodX;
        drawLeader(p, *it, fromLeft ? s.rodX - rodHalf - 10 : s.rodX + rodHalf + 10, levelOf(*it));
    }
    for (auto it = centres.cbegin(); it != centres.cend(); ++it) {
        const int y = levelOf(*it);
        drawLeader(p, *it, s.rodX + rodHalf + 12, y);
        p.setPen(Qt::NoPen);
        p.setBrush(Leader);
        p.drawEllipse(QPointF(s.rodX + rodHalf + 12, y), 2.5, 2.5);
    }

    if (!s.title.isEmpty()) {
        QFont f = p.font();
        f.setPointSizeF(9.5);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(40, 40, 40));
        p.drawText(QRect(0, 0, s.size.width(), 20), Qt::AlignLeft | Qt::AlignVCenter, s.title);
    }
    return pm;
}

QPixmap heart(bool alive, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size, h = size;
    QPainterPath path;
    path.moveTo(w / 2, h * 0.88);
    path.cubicTo(w * 0.05, h * 0.58, w * 0.02, h * 0.18, w * 0.28, h * 0.14);
    path.cubicTo(w * 0.40, h * 0.12, w * 0.48, h * 0.22, w / 2, h * 0.30);
    path.cubicTo(w * 0.52, h * 0.22, w * 0.60, h * 0.12, w * 0.72, h * 0.14);
    path.cubicTo(w * 0.98, h * 0.18, w * 0.95, h * 0.58, w / 2, h * 0.88);
    if (alive) {
        QLinearGradient g(0, 0, w, h);
        g.setColorAt(0, QColor(240, 70, 70));
        g.setColorAt(1, QColor(170, 10, 20));
        p.setPen(QPen(QColor(120, 0, 10), 1.5));
        p.setBrush(g);
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawEllipse(QRectF(w * 0.22, h * 0.22, w * 0.16, h * 0.12));
    } else {
        p.setPen(QPen(QColor(40, 40, 40), 1.5));
        p.setBrush(QColor(120, 120, 120));
        p.drawPath(path);
        // The break through the middle.
        QPolygonF crack;
        crack << QPointF(w / 2, h * 0.30) << QPointF(w * 0.42, h * 0.45) << QPointF(w * 0.56, h * 0.58)
              << QPointF(w * 0.46, h * 0.72) << QPointF(w / 2, h * 0.88);
        p.setPen(QPen(QColor(245, 245, 245), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(crack);
    }
    return pm;
}

// A filled circle with a darker edge, leaving a thick white pen for the sign on it.
static void roundBadge(QPainter& p, const QColor& edge, const QColor& fill)
{
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
}

QIcon actionIcon(Action a)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (a) {
        case Action::AddNew: {
            roundBadge(p, QColor(30, 110, 40), QColor(60, 170, 70));
            p.drawLine(QPointF(16, 9), QPointF(16, 23));
            p.drawLine(QPointF(9, 16), QPointF(23, 16));
            break;
        }
        case Action::Next:
        case Action::Previous: {
            const bool next = a == Action::Next;
            QPolygonF arrow;
            if (next)
                arrow << QPointF(5, 11) << QPointF(17, 11) << QPointF(17, 4) << QPointF(29, 16) << QPointF(17, 28)
                      << QPointF(17, 21) << QPointF(5, 21);
            else
                arrow << QPointF(27, 11) << QPointF(15, 11) << QPointF(15, 4) << QPointF(3, 16) << QPointF(15, 28)
                      << QPointF(15, 21) << QPointF(27, 21);
            p.setPen(QPen(QColor(30, 70, 140), 1.5));
            p.setBrush(QColor(70, 130, 210));
            p.drawPolygon(arrow);
            break;
        }
        case Action::Delete: {
            roundBadge(p, QColor(130, 20, 20), QColor(200, 45, 45));
            p.drawLine(QPointF(10, 10), QPointF(22, 22));
            p.drawLine(QPointF(22, 10), QPointF(10, 22));
            break;
        }
    }
    return QIcon(pm);
}

}  // namespace GaugeDrawing
