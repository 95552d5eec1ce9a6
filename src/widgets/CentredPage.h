#pragma once
#include <QSize>

class QWidget;

// A page laid out at one fixed size (its boxes placed to the scale of a drawing) on a tab
// that may be larger or smaller than the one it was laid out for. At the tab's default
// size (defaultTab, the tab control's size it was laid out in) the page stands exactly
// where it always stood; in a larger tab it is centred in the room, with the extra room
// shared out on both sides; in a smaller one it keeps its size and scrolls. Returns the
// holder to put on the tab; the page keeps its own object name and geometry.
QWidget* centredPage(QWidget* page, const QSize& pageSize, const QSize& defaultTab);
