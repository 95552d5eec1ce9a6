#pragma once
#include <QIcon>
#include <QMap>
#include <QPixmap>
#include <QRect>
#include <QSize>

// The registry's pictures, drawn with QPainter: the bolt with its gauges in either layout
// (drawn to the scale of the position boxes laid over it), the heart of a sensor in
// service or destroyed, and the faces of the sensor actions.
namespace GaugeDrawing {

struct BoltScene {
    QSize size;                  // the picture's size (the area behind the boxes)
    bool stacked = true;
    int rodX = 0;                // centre line of the bolt, in picture coordinates
    QMap<int, QRect> nodeBoxes;  // node index -> its box, in picture coordinates
    QMap<int, QRect> centreBoxes;
    QString title;               // drawn at the top left, may be empty
    bool headCaption = true;     // the words "Head at borehole collar" under the head
};

// The bolt upright with node 1 lowest and the head at the borehole collar at the bottom.
// Stacked: gauges in opposite pairs between consecutive nodes. Staggered: gauges
// alternating sides, each spanning two node steps. A leader line joins every box to its
// level on the bolt.
QPixmap bolt(const BoltScene& scene);

QPixmap heart(bool alive, int size = 48);

enum class Action { AddNew, Next, Previous, Delete };
QIcon actionIcon(Action a);

}  // namespace GaugeDrawing
