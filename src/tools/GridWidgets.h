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
class QProgressDialog;

// What the datasheet and import windows share: the two mark pictures, a delegate that
// draws a mark centred in its cell, a grid view that hands typed keys to its window, and a
// progress window for long work.
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

// A read-only grid whose typed characters go to a handler first (Tab included); a handler
// returning false lets the view treat the key as usual (arrows, paging; Tab then moves
// to the next control).
class GridView : public QTableView {
    Q_OBJECT
public:
    using KeyHandler = std::function<bool(QChar ch)>;
    explicit GridView(QWidget* parent = nullptr);
    void setKeyHandler(KeyHandler h) { m_keys = std::move(h); }
protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
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
