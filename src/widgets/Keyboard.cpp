#include "widgets/Keyboard.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <functional>

namespace Keyboard {

namespace {

// Tab in a picker: the key goes to the picker's parent, whose Tab handling moves the
// focus to the next control of the window (from the focused picker).
class PickerTab : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        QWidget* parent = static_cast<QWidget*>(watched)->parentWidget();
        if (!parent) return false;
        QKeyEvent copy(QEvent::KeyPress, key->key(), key->modifiers());
        QCoreApplication::sendEvent(parent, &copy);
        return true;
    }
};

// Enter left over by the grid (item views pass it on) stops at the window.
class EnterStopsAtWindow : public QObject {
public:
    EnterStopsAtWindow(QAbstractItemView* grid) : QObject(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == m_grid || m_grid->isAncestorOf(focus));
    }

private:
    QAbstractItemView* m_grid;
};

bool takesTabFocus(const QWidget* w)
{
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isVisible() && w->isEnabled() && !w->focusProxy();
}

// The page's last focused control when it can still take the focus, else its first one.
void focusPage(QWidget* page)
{
    QWidget* target = page->focusWidget();
    if (!target || !takesTabFocus(target)) {
        target = nullptr;
        for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain())
            if (page->isAncestorOf(w) && takesTabFocus(w)) {
                target = w;
                break;
            }
    }
    if (target) target->setFocus(Qt::ShortcutFocusReason);
}

// When the window becomes active again (a modal window closed, the user came back) with
// the focus nowhere a key can reach (lost while the page's controls were refreshed or
// disabled under the modal window), the focus goes back onto the page shown.
class FocusBackOnPage : public QObject {
public:
    FocusBackOnPage(QWidget* window, QTabWidget* tabs) : QObject(window), m_window(window), m_tabs(tabs) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate)
            // After the activation has given the focus back to what the window remembers.
            QMetaObject::invokeMethod(
                this, [this] { restore(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void restore()
    {
        if (!m_window->isActiveWindow() || QApplication::activeModalWidget()) return;
        QWidget* focus = QApplication::focusWidget();
        const bool lost = !focus || focus == m_window || !focus->isVisible() || !focus->isEnabled();
        if (!lost) return;
        if (QWidget* page = m_tabs->currentWidget()) focusPage(page);
    }

    QWidget* m_window;
    QTabWidget* m_tabs;
};

}  // namespace

void setTabOrder(QWidget* root, const QStringList& names)
{
    QWidget* previous = nullptr;
    for (const QString& name : names) {
        QWidget* w = root->findChild<QWidget*>(name);
        if (!w) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void clickFocusOnly(QWidget* root, const QStringList& names)
{
    for (const QString& name : names)
        if (QWidget* w = root->findChild<QWidget*>(name)) w->setFocusPolicy(Qt::ClickFocus);
}

void tabLeavesPicker(QAbstractSpinBox* picker) { picker->installEventFilter(new PickerTab(picker)); }

QString withKeys(const QString& caption, const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& k : keys) texts << k.toString(QKeySequence::NativeText);
    return texts.isEmpty() ? caption : caption + QStringLiteral(" (") + texts.join(QStringLiteral(", ")) + u')';
}

void addActionKeys(QWidget* page, const QString& imageName, const QList<QKeySequence>& keys)
{
    auto* image = page->findChild<QToolButton*>(imageName);
    if (!image) return;
    for (const QKeySequence& k : keys) {
        // Window-wide while the page shows (a tab's hidden page takes no keys), wherever
        // the focus is: on the tab bar, or nowhere after a modal window closed.
        auto* shortcut = new QShortcut(k, page);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setObjectName(imageName + QStringLiteral("Key"));
        QObject::connect(shortcut, &QShortcut::activated, image, &QToolButton::click);
    }
    image->setToolTip(withKeys(image->toolTip(), keys));
}

void showTab(QTabWidget* tabs, int index)
{
    if (index < 0 || index >= tabs->count() || !tabs->isTabEnabled(index)) return;
    tabs->setCurrentIndex(index);
    QWidget* page = tabs->currentWidget();
    if (!page) return;
    QWidget* focus = QApplication::focusWidget();
    if (focus && page->isAncestorOf(focus)) return;
    focusPage(page);
}

void keepFocusOnShownPage(QWidget* window, QTabWidget* tabs)
{
    window->installEventFilter(new FocusBackOnPage(window, tabs));
}

void addTabKeys(QWidget* window, QTabWidget* tabs)
{
    auto add = [window](const QKeySequence& k, std::function<void()> fn) {
        auto* shortcut = new QShortcut(k, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, std::move(fn));
    };
    for (int i = 0; i < 9; ++i) add(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), [tabs, i] { showTab(tabs, i); });
    // The next or previous tab the user can choose, going round.
    auto step = [tabs](int by) {
        const int n = tabs->count();
        for (int i = 1; i < n; ++i) {
            const int index = ((tabs->currentIndex() + by * i) % n + n) % n;
            if (tabs->isTabEnabled(index)) {
                showTab(tabs, index);
                return;
            }
        }
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_Tab), [step] { step(1); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), [step] { step(-1); });
}

void keepEnterIn(QAbstractItemView* grid)
{
    if (QWidget* window = grid->window(); window && window != grid)
        window->installEventFilter(new EnterStopsAtWindow(grid));
}

}  // namespace Keyboard
