#pragma once
#include <QIcon>
#include <QMap>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <vector>

// The registry's pictures, drawn with QPainter: the bolt with its gauges in either layout
// (drawn to the scale of the position boxes laid over it), the heart of a sensor in
// service or destroyed, and the faces of the sensor actions.
namespace GaugeDrawing {

struct BoltScene {
    QSize size;  // the picture's size (the area behind the boxes)
    bool stacked = true;
    int rodX = 0;                // centre line of the bolt, in picture coordinates
    QMap<int, QRect> nodeBoxes;  // node index -> its box, in picture coordinates
    QMap<int, QRect> centreBoxes;
    // How many nodes and gauge centres the sensor has (the boxes that carry a value); -1
    // draws every box given. Only these are drawn and joined to their boxes; the other
    // boxes only give the drawing its scale.
    int nodeCount = -1;
    int centreCount = -1;
    QString title;            // drawn at the top left, may be empty
    bool headCaption = true;  // the words "Head at borehole collar" under the head
};

// What a scene draws: the nodes and centres joined to their boxes, and the gauges as spans
// of levels (picture rows): stacked, a pair around centre k from node k to node k+1 (or,
// where the layout has no box for that node, as far above the centre as node k is below
// it); staggered, gauge k from node k to node k+2.
struct BoltPlan {
    QMap<int, QRect> nodes;
    QMap<int, QRect> centres;
    struct Gauge {
        int from;
        int to;
        int centre;
    };
    std::vector<Gauge> gauges;  // stacked: one per pair
};
BoltPlan planOf(const BoltScene& scene);

// The bolt upright with node 1 lowest and the head at the borehole collar at the bottom.
// Stacked: a pair of opposite gauges around each gauge centre, from its node to the next.
// Staggered: one gauge per centre, alternating sides, each spanning two node steps. A
// leader line joins every drawn node and centre to its box.
QPixmap bolt(const BoltScene& scene);

QPixmap heart(bool alive, int size = 48);

enum class Action { AddNew, Next, Previous, Delete };
QIcon actionIcon(Action a);

}  // namespace GaugeDrawing
