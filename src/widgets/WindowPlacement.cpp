#include "widgets/WindowPlacement.h"

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

QRect chooseGeometry(const QRect& remembered, const QList<QRect>& screens, const QSize& defaultSize)
{
    if (screens.isEmpty()) return QRect(QPoint(0, 0), remembered.isValid() ? remembered.size() : defaultSize);
    if (remembered.isValid()) {
        // The title strip: a point a little inside the top edge, at its middle.
        const QPoint grip(remembered.center().x(), remembered.top() + 8);
        for (const QRect& area : screens) {
            if (!area.contains(grip)) continue;
            QRect r(remembered.topLeft(), shrunkTo(remembered.size(), area));
            if (r.right() > area.right()) r.moveRight(area.right());
            if (r.bottom() > area.bottom()) r.moveBottom(area.bottom());
            if (r.left() < area.left()) r.moveLeft(area.left());
            if (r.top() < area.top()) r.moveTop(area.top());
            return r;
        }
    }
    const QRect& primary = screens.first();
    QRect r(QPoint(0, 0), shrunkTo(remembered.isValid() ? remembered.size() : defaultSize, primary));
    r.moveCenter(primary.center());
    return r;
}

void restore(QWidget* window, const QString& key, const QSize& defaultSize)
{
    QSettings s = settings();
    s.beginGroup(key);
    const QRect remembered = s.value(QStringLiteral("geometry")).toRect();
    const bool maximized = s.value(QStringLiteral("maximized"), false).toBool();
    s.endGroup();
    window->setGeometry(chooseGeometry(remembered, screenAreas(), defaultSize));
    if (maximized) window->setWindowState(window->windowState() | Qt::WindowMaximized);
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
