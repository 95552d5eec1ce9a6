#pragma once
#include <QIcon>
#include <QImage>

// Tarnwell's icon, drawn to any size (the same design as packaging/tarnwell.svg).
QImage drawAppIcon(int size);
QIcon appIcon();
