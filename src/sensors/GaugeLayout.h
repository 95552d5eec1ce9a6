#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Positions of the gauge nodes and gauge centres along a bolt, and where their boxes sit
// on the Identification and Installation pages. No widgets: the registry's pages apply
// what is computed here.
namespace GaugeLayout {

constexpr int NodeBoxes = 8;    // txtNode(1..8), txtRelSGanchor(1..8)
constexpr int CentreBoxes = 6;  // txtSGCenter(1..6), txtRelSGCenter(1..6)

// The gauge length as the position arithmetic reads it: the locale-aware conversion,
// held as a single-precision number (taken at the decimal value it shows, so "0.3" stays
// 0.3). An empty text gives no length. Throws TwError 13 for a text that is not a
// number and TwError 6 for one beyond single precision.
std::optional<double> gaugeLength(const QString& text);

// A position text formatted with two decimals ("##0.00"); a text that is not a number is
// kept as it is.
QString twoDecimals(const QString& text);

// The computed boxes for a first node text, a gauge length, the type's channel count and
// the layout. nodes[0] is node 2, centres[0] is centre 1.
//  stacked:   node i   = node(i-1) + L          for i = 2 .. N-2
//             centre 1 = node 1 + L/2            (plain number)
//             centre i = centre(i-1) + L         for i = 2 .. N-3
//  staggered: node i   = node(i-1) + L/2        for i = 2 .. N+2
//             centre 1 = node 1 + L/2
//             centre i = centre(i-1) + L/2      for i = 2 .. N
// Each step starts from the leading number of the previous box's text, and every value
// but the stacked first centre is formatted "##0.00".
struct Positions {
    QStringList nodes;
    QStringList centres;
};
Positions compute(const QString& firstNodeText, double length, int numChannels, bool stacked);

// Boxes that carry a value (node 1 included) for a channel count and layout.
int nodesWithValue(int numChannels, bool stacked);
int centresWithValue(int numChannels, bool stacked);

// A box's place on a page, in twips from the page's top-left corner (15 twips = 1 pixel).
struct Place {
    int index;  // box index, from 1
    int left;
    int top;
};
constexpr int TwipsPerPixel = 15;
constexpr int OutOfSight = -1000;  // left edge of a box moved out of sight

// Identification page: the computed node boxes txtNode(2..8) and the centre boxes
// txtSGCenter(1..6) for a layout (the stacked layout names nodes 2-4 and centres 1-3).
const std::vector<Place>& identificationNodes(bool stacked);
const std::vector<Place>& identificationCentres(bool stacked);
// The fixed place of txtNode(1) on the Identification page.
Place identificationFirstNode();

// Installation page: txtRelSGanchor(1..8) and txtRelSGCenter for a layout (stacked: nodes
// 1-4 and centres 1-3; staggered: nodes 1-8 and centres 1-3).
const std::vector<Place>& installationNodes(bool stacked);
const std::vector<Place>& installationCentres(bool stacked);
// Where txtRelSGCenter(4..6) sit: the staggered column continued upwards.
const std::vector<Place>& installationExtraCentres();

}  // namespace GaugeLayout
