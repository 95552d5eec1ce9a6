#pragma once
#include <QSize>

class QWidget;

// A page laid out at one fixed size (its boxes placed to the scale of a drawing) inside a
// tab that may be larger or smaller: the page stays centred in the room the tab gives it,
// and scroll bars appear when the room is smaller than the page. Returns the holder to put
// on the tab; the page keeps its own object name and geometry.
QWidget* centredPage(QWidget* page, const QSize& size);
