#include "widgets/WindowPlacement.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace WindowPlacement {

namespace {

QSettings settings() { return QSettings(QStringLiteral("Orrisford"), QStringLiteral("Tarnwell")); }

QSize shrunkTo(const QSize& size, const QRect& area)
{
    return QSize(std::min(size.width(), area.width()), std::min(size.height(), area.height()));
}

QList<QRect> screenAreas()
{
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
    for (QScreen* s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen()) areas << s->availableGeometry();
    return areas;
}

}  // namespace

QRect chooseGeometry(const QRect& remembered, const QList<QRect>& screens, const QSize& defaultSize,
                     const QMargins& frame)
{
    if (screens.isEmpty()) return QRect(QPoint(0, 0), remembered.isValid() ? remembered.size() : defaultSize);
    if (remembered.isValid()) {
        // The title strip: a point a little inside the top edge, at its middle.
        const QPoint grip(remembered.center().x(), remembered.top() + 8);
        for (const QRect& area : screens) {
            if (!area.contains(grip)) continue;
            // The room inside the frame.
            const QRect room = area.marginsRemoved(frame);
            QRect r(remembered.topLeft(), shrunkTo(remembered.size(), room));
            if (r.right() > room.right()) r.moveRight(room.right());
            if (r.bottom() > room.bottom()) r.moveBottom(room.bottom());
            if (r.left() < room.left()) r.moveLeft(room.left());
            if (r.top() < room.top()) r.moveTop(room.top());
            return r;
        }
    }
    const QRect room = screens.first().marginsRemoved(frame);
    QRect r(QPoint(0, 0), shrunkTo(remembered.isValid() ? remembered.size() : defaultSize, room));
    r.moveCenter(room.center());
    return r;
}

namespace {

// For a few seconds after the window is shown (while the window manager puts its frame on
// and places it), a frame reaching past the available area of the window's screen brings
// the window back inside. Later moves are the user's own.
class KeepOnScreen : public QObject {
public:
    explicit KeepOnScreen(QWidget* window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
            case QEvent::Show:
                m_shown.start();
                [[fallthrough]];
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::WindowActivate:
                if (m_shown.isValid() && m_shown.elapsed() < WatchMs)
                    QMetaObject::invokeMethod(
                        this, [this] { fit(); }, Qt::QueuedConnection);
                break;
            default:
                break;
        }
        return false;
    }

private:
    static constexpr qint64 WatchMs = 3000;

    void fit()
    {
        QWidget* w = m_window;
        if (!w->isVisible() || (w->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
        QScreen* screen = w->screen();
        if (!screen) return;
        const QRect area = screen->availableGeometry();
        const QRect outer = w->frameGeometry();
        if (area.contains(outer)) return;
        const QRect inner = w->geometry();
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                             outer.bottom() - inner.bottom());
        // Placed as a remembered place on this screen: moved and shrunk as little as needed.
        QRect placed = inner;
        if (!area.contains(QPoint(inner.center().x(), inner.top() + 8))) placed.moveTop(area.top() + frame.top());
        placed = chooseGeometry(placed, {area}, inner.size(), frame);
        if (placed != inner) w->setGeometry(placed);
    }

    QWidget* m_window;
    QElapsedTimer m_shown;
};

}  // namespace

void restore(QWidget* window, const QString& key, const QSize& defaultSize)
{
    QSettings s = settings();
    s.beginGroup(key);
    const QRect remembered = s.value(QStringLiteral("geometry")).toRect();
    const bool maximized = s.value(QStringLiteral("maximized"), false).toBool();
    s.endGroup();
    window->setGeometry(chooseGeometry(remembered, screenAreas(), defaultSize, AssumedFrame));
    if (maximized) window->setWindowState(window->windowState() | Qt::WindowMaximized);
    window->installEventFilter(new KeepOnScreen(window));
}

void save(const QWidget* window, const QString& key)
{
    QSettings s = settings();
    s.beginGroup(key);
    const bool maximized = window->isMaximized();
    s.setValue(QStringLiteral("geometry"), maximized ? window->normalGeometry() : window->geometry());
    s.setValue(QStringLiteral("maximized"), maximized);
    s.endGroup();
}

bool restoreSize(QWidget* dialog, const QString& key)
{
    const QSize size = settings().value(key + QStringLiteral("/size")).toSize();
    if (!size.isValid() || size.isEmpty()) return false;
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    dialog->resize(screen ? shrunkTo(size, screen->availableGeometry()) : size);
    return true;
}

void saveSize(const QWidget* dialog, const QString& key)
{
    settings().setValue(key + QStringLiteral("/size"), dialog->size());
}

}  // namespace WindowPlacement
