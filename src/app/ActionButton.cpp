#include "app/ActionButton.h"

#include <QMouseEvent>
#include <QToolButton>

void ClickableLabel::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

ActionPair makeAction(QWidget* parent, const QString& imageName, const QString& labelName,
                      const QString& caption, const QIcon& icon, std::function<void()> onClick)
{
    ActionPair p;
    p.image = new QToolButton(parent);
    p.image->setObjectName(imageName);
    p.image->setIcon(icon);
    p.image->setIconSize(QSize(32, 32));
    p.image->setAutoRaise(true);
    p.image->setToolTip(caption);
    auto* label = new ClickableLabel(caption, parent);
    label->setObjectName(labelName);
    label->setCursor(Qt::PointingHandCursor);
    p.label = label;
    QObject::connect(p.image, &QToolButton::clicked, parent, [onClick] { onClick(); });
    QObject::connect(label, &ClickableLabel::clicked, parent, [onClick] { onClick(); });
    return p;
}
