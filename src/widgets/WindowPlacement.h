#pragma once
#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// Where a window opens: the size, position and maximised state it had when it was last
// closed, remembered per user (QSettings), as long as the screen it stood on is still there.
namespace WindowPlacement {

// The geometry a window opens with (its inside, without the window manager's frame).
// `remembered` is its last normal (not maximised) geometry, `screens` the available areas
// of the screens there are now, the first being the primary one, `frame` what the window
// manager's frame adds around the window (its title bar on top). A remembered place is
// used when its title strip (the top edge, where the window is grabbed) lies on one of the
// screens; the window is then moved and shrunk as little as needed to stay on that screen,
// frame and all. Otherwise (no remembered place, or its screen was detached) the window
// gets its remembered size, or `defaultSize` when there is none, shrunk to the primary
// screen and centred on it, frame and all.
QRect chooseGeometry(const QRect& remembered, const QList<QRect>& screens, const QSize& defaultSize,
                     const QMargins& frame = QMargins());

// The frame assumed around a window not shown yet (the window manager tells its real one
// only once the window is on screen): a title bar and thin borders.
inline constexpr QMargins AssumedFrame(4, 32, 4, 4);

// The main window: restores its geometry and maximised state (before it is shown) and
// remembers them (when it closes), under `key`. Once it is shown and its real frame is
// known, a window whose frame reaches past the screen's available area (its title bar
// under a panel or above the screen) is moved and shrunk inside it.
void restore(QWidget* window, const QString& key, const QSize& defaultSize);
void save(const QWidget* window, const QString& key);

// A dialog keeps only its size: it opens over the window that opened it, at the size the
// user last gave it (shrunk to the screen); false when there is none remembered.
bool restoreSize(QWidget* dialog, const QString& key);
void saveSize(const QWidget* dialog, const QString& key);

}  // namespace WindowPlacement
