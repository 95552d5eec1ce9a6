#pragma once
#include "tools/LoggerFile.h"

#include <QHeaderView>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressDialog;

// What the datasheet and import windows share: the two mark pictures, a delegate that
// draws a mark centred in its cell (and may edit numbers), a grid view that hands typed
// keys to its window, and a progress window for long work.
namespace GridWidgets {

// The picture of a set mark (a box with a check mark) or of a clear one (an empty box).
QPixmap markPicture(bool on);

// Adds the hidden pictures img_x_on and img_x_off to a window (their pixmaps are the marks).
void addMarkPictures(QWidget* window, QLabel** on, QLabel** off);

// Twips (1/1440 inch) as pixels of a widget's screen.
int twips(const QWidget* w, int twips);

// The bold header line at the top of the datasheet and import windows.
QLabel* makeHeaderLabel(QWidget* window);

// Draws the mark of cells whose model answers markRole with a bool, centred.
class MarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    MarkDelegate(int markRole, QLabel* on, QLabel* off, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_role;
    QPointer<QLabel> m_on, m_off;
};

// A mark delegate whose editable cells are edited in a line that takes only the characters
// of a number (digits, separators, signs); whether the whole is one number is the model's
// rule when the text is entered.
class NumberDelegate : public MarkDelegate {
    Q_OBJECT
public:
    using MarkDelegate::MarkDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A column header whose model may give a second line under a column's name (the unit of
// its values) through unitRole; the section grows by a line for it.
class UnitHeader : public QHeaderView {
    Q_OBJECT
public:
    UnitHeader(int unitRole, QWidget* parent = nullptr);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    QString unitOf(int logicalIndex) const;
    int m_role;
};

// A grid whose typed characters go to a handler first (Tab included); a handler returning
// false lets the view treat the key as usual (arrows, paging; Tab then moves to the next
// control; with edit triggers set, a typed key opens the cell's editor and replaces its
// text). Read-only unless edit triggers are set. F2 and a double click (editInside) open
// the editor on the cell's text with the cursor at its end; Enter in the editor enters the
// text, Escape drops it, Tab enters it and goes to the handler.
class GridView : public QTableView {
    Q_OBJECT
public:
    using KeyHandler = std::function<bool(QChar ch)>;
    explicit GridView(QWidget* parent = nullptr);
    void setKeyHandler(KeyHandler h) { m_keys = std::move(h); }
    // Opens the editor of a cell on its text, the cursor at the end; false when the cell
    // cannot be edited.
    bool editInside(const QModelIndex& index);
    // The line editor open on the current cell, if any.
    QLineEdit* openEditor() const;
    // Enters what the open editor holds and closes it (nothing when none is open).
    void finishEditing();
signals:
    // An editor was closed, its text entered or dropped.
    void editorClosed();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    KeyHandler m_keys;
};

// A progress window for work that may take a while: it appears after half a second, can
// be cancelled, and reports as a LoggerFile::Progress.
class ProgressWindow {
public:
    ProgressWindow(QWidget* parent, const QString& label);
    ~ProgressWindow();
    LoggerFile::Progress progress();
    bool wasCanceled() const;

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

}  // namespace GridWidgets
