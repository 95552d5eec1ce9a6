#include "widgets/CentredPage.h"

#include <QScrollArea>

QWidget* centredPage(QWidget* page, const QSize& size)
{
    auto* holder = new QScrollArea;
    holder->setObjectName(page->objectName() + QStringLiteral("Holder"));
    holder->setFrameShape(QFrame::NoFrame);
    holder->setFocusPolicy(Qt::NoFocus);   // Tab goes straight to the page's boxes
    holder->setAlignment(Qt::AlignCenter);
    holder->setWidgetResizable(false);
    holder->viewport()->setAutoFillBackground(false);
    page->setFixedSize(size);
    page->setAutoFillBackground(false);
    holder->setWidget(page);
    return holder;
}
