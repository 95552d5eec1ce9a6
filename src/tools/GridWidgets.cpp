#include "tools/GridWidgets.h"

#include <QPolygonF>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QPainter>
#include <QProgressDialog>

namespace GridWidgets {

QPixmap markPicture(bool on)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    if (on) {
        p.setPen(QPen(QColor(20, 120, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{QPointF(4, 8.5), QPointF(7, 11.5), QPointF(12.5, 4.5)});
    }
    return pm;
}

void addMarkPictures(QWidget* window, QLabel** on, QLabel** off)
{
    *on = new QLabel(window);
    (*on)->setObjectName(QStringLiteral("img_x_on"));
    (*on)->setPixmap(markPicture(true));
    (*on)->setVisible(false);
    *off = new QLabel(window);
    (*off)->setObjectName(QStringLiteral("img_x_off"));
    (*off)->setPixmap(markPicture(false));
    (*off)->setVisible(false);
}

int twips(const QWidget* w, int twips)
{
    const int dpi = w ? w->logicalDpiX() : 96;
    return (twips * dpi + 720) / 1440;
}

UnitHeader::UnitHeader(int unitRole, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), m_role(unitRole)
{
    setDefaultAlignment(Qt::AlignCenter);
}

QString UnitHeader::unitOf(int logicalIndex) const
{
    return model() ? model()->headerData(logicalIndex, orientation(), m_role).toString() : QString();
}

void UnitHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const QString unit = unitOf(logicalIndex);
    if (!unit.isEmpty()) option->text += u'\n' + unit;
}

QSize UnitHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    // Every section as tall as two lines, so the header's height does not depend on which
    // columns carry a unit.
    if (model() && model()->columnCount() > 1) size.setHeight(std::max(size.height(), 2 * fontMetrics().height() + 8));
    return size;
}

MarkDelegate::MarkDelegate(int markRole, QLabel* on, QLabel* off, QObject* parent)
    : QStyledItemDelegate(parent),
      m_role(markRole),
      m_on(on),
      m_off(off)
{}

void MarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QVariant mark = index.data(m_role);
    if (!mark.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background, selection and focus, without text.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    opt.icon = QIcon();
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
    const QLabel* label = mark.toBool() ? m_on.data() : m_off.data();
    const QPixmap pm = label ? label->pixmap() : markPicture(mark.toBool());
    const QPoint at(option.rect.center().x() - pm.width() / 2 + 1, option.rect.center().y() - pm.height() / 2 + 1);
    painter->drawPixmap(at, pm);
}

QSize MarkDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QSize s = QStyledItemDelegate::sizeHint(option, index);
    return s.expandedTo(QSize(20, 20));
}

QWidget* NumberDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QStringLiteral("cellEditor"));
    line->setFrame(false);
    static const QRegularExpression numberCharacters(QStringLiteral("[0-9.,+\\-\\s]*"));
    line->setValidator(new QRegularExpressionValidator(numberCharacters, line));
    return line;
}

GridView::GridView(QWidget* parent) : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setWordWrap(false);
}

bool GridView::event(QEvent* e)
{
    // Tab goes to the handler first: the datasheet moves between cells with it.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab && k->modifiers() == Qt::NoModifier && m_keys && m_keys(u'\t'))
            return true;  // a handler that does not take Tab lets it move to the next control
    }
    return QTableView::event(e);
}

void GridView::keyPressEvent(QKeyEvent* e)
{
    if (m_keys) {
        QChar ch;
        if (e->key() == Qt::Key_Backspace) ch = u'\b';
        else if (!e->text().isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            ch = e->text().at(0);
        if (!ch.isNull() && (ch == u'\b' || ch.isPrint()) && m_keys(ch)) {
            e->accept();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool opened = QTableView::edit(index, trigger, event);
    // A typed key replaces the text (the view selects it all and hands the key on); F2 and
    // a double click edit inside it, the cursor at the end.
    if (opened && (trigger == EditKeyPressed || trigger == DoubleClicked))
        if (QLineEdit* line = qobject_cast<QLineEdit*>(indexWidget(index))) line->end(false);
    return opened;
}

bool GridView::editInside(const QModelIndex& index)
{
    if (!index.isValid()) return false;
    setCurrentIndex(index);
    return edit(index, EditKeyPressed, nullptr);
}

QLineEdit* GridView::openEditor() const
{
    return state() == EditingState ? qobject_cast<QLineEdit*>(indexWidget(currentIndex())) : nullptr;
}

void GridView::finishEditing()
{
    if (QLineEdit* line = openEditor()) {
        commitData(line);
        closeEditor(line, QAbstractItemDelegate::NoHint);
    }
}

void GridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Tab and Shift+Tab in the editor leave the cell as Tab outside it does (the handler's
    // walk), not into the next cell's editor.
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    if (next || hint == QAbstractItemDelegate::EditPreviousItem) hint = QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
    emit editorClosed();
    if (next && m_keys) m_keys(u'\t');
}

ProgressWindow::ProgressWindow(QWidget* parent, const QString& label)
    : m_dialog(std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 1000, parent))
{
    m_dialog->setObjectName(QStringLiteral("progress"));
    m_dialog->setWindowTitle(QStringLiteral("Tarnwell"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

ProgressWindow::~ProgressWindow() = default;

LoggerFile::Progress ProgressWindow::progress()
{
    QProgressDialog* d = m_dialog.get();
    return [d](qint64 done, qint64 total) {
        const int v = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
        d->setValue(v);  // a modal progress window handles its events here
        return !d->wasCanceled();
    };
}

bool ProgressWindow::wasCanceled() const { return m_dialog->wasCanceled(); }

}  // namespace GridWidgets

QLabel* GridWidgets::makeHeaderLabel(QWidget* window)
{
    auto* label = new QLabel(window);
    label->setObjectName(QStringLiteral("lblHeader"));
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    label->setFont(f);
    return label;
}
