#include "widgets/CentredPage.h"

#include <QScrollArea>
#include <QTabWidget>

namespace {

// Fills the scroll area's view and places the page in it.
class Canvas : public QWidget {
public:
    Canvas(QWidget* page, const QSize& defaultTab, QScrollArea* holder)
        : m_page(page),
          m_defaultTab(defaultTab),
          m_holder(holder)
    {
        page->setParent(this);
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        place();
    }

private:
    void place()
    {
        // The room the page had at the default size: the default tab control less what the
        // tab control takes around its page (its tab strip and frame), which does not change.
        QSize room = size();
        for (QWidget* p = m_holder->parentWidget(); p; p = p->parentWidget())
            if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
                room = m_defaultTab - (tabs->size() - m_holder->size());
                break;
            }
        int x = std::max(0, (width() - room.width()) / 2);
        int y = std::max(0, (height() - room.height()) / 2);
        x = std::min(x, std::max(0, width() - m_page->width()));
        y = std::min(y, std::max(0, height() - m_page->height()));
        m_page->move(x, y);
    }

    QWidget* m_page;
    QSize m_defaultTab;
    QScrollArea* m_holder;
};

}  // namespace

QWidget* centredPage(QWidget* page, const QSize& pageSize, const QSize& defaultTab)
{
    auto* holder = new QScrollArea;
    holder->setObjectName(page->objectName() + QStringLiteral("Holder"));
    holder->setFrameShape(QFrame::NoFrame);
    holder->setFocusPolicy(Qt::NoFocus);  // Tab goes straight to the page's boxes
    holder->setWidgetResizable(true);
    page->setFixedSize(pageSize);
    auto* canvas = new Canvas(page, defaultTab, holder);
    canvas->setMinimumSize(pageSize);
    holder->setWidget(canvas);
    // The tab's own background shows through, as it did behind the page.
    holder->viewport()->setAutoFillBackground(false);
    canvas->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    return holder;
}
