#pragma once
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemView;
class QAbstractSpinBox;
class QTabWidget;
class QWidget;

// Keyboard use of the program's windows: the Tab order of a page, keys for the image
// actions of a page, keys that switch tabs, and Enter kept inside a grid. The main
// window's own wiring of them is app/KeyboardWiring.h.
namespace Keyboard {

// Tab walks through the named controls under root in the order given; names that are not
// found are left out. Controls not named keep their place in the chain.
void setTabOrder(QWidget* root, const QStringList& names);

// The named controls under root take the focus from a click only (boxes that show a value
// rather than take one): Tab passes them by, the mouse can still select and copy.
void clickFocusOnly(QWidget* root, const QStringList& names);

// Tab and Shift+Tab leave a date or time picker at once, as they leave any other box,
// instead of stepping through its sections first (Left and Right still do that).
void tabLeavesPicker(QAbstractSpinBox* picker);

// While page shows in an active window, wherever the focus is in that window, each of
// keys runs click() of the image button imageName under page: exactly what a click on the
// image or its caption does. The image's tooltip becomes its caption followed by the keys.
void addActionKeys(QWidget* page, const QString& imageName, const QList<QKeySequence>& keys);

// Ctrl+1 to Ctrl+9 choose a tab of tabs, Ctrl+Tab and Ctrl+Shift+Tab the next and the
// previous one (also from inside a date picker), anywhere in window.
void addTabKeys(QWidget* window, QTabWidget* tabs);

// Selects a tab as a click on it does (the tab change runs) and, when the focus is not on
// the page shown, puts it on the page's last focused control or its first one.
void showTab(QTabWidget* tabs, int index);

// Whenever window becomes active with its focus lost (on nothing, or on a control hidden
// or disabled meanwhile), the focus goes onto the page tabs shows, as showTab puts it.
void keepFocusOnShownPage(QWidget* window, QTabWidget* tabs);

// Enter and Return pressed in the grid do what they do in the grid and never reach the
// window's default button.
void keepEnterIn(QAbstractItemView* grid);

// "Next (Alt+Right, Ctrl+PgDown)": a caption followed by its keys as the user types them.
QString withKeys(const QString& caption, const QList<QKeySequence>& keys);

}  // namespace Keyboard
