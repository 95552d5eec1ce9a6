#include "widgets/ActionButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>

namespace {
// Enter or Return on a focused image runs its action, as Space does.
class EnterClicks : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if (key->modifiers() & ~Qt::KeypadModifier) return false;
        if (!key->isAutoRepeat()) static_cast<QToolButton*>(watched)->click();
        return true;
    }
};
}  // namespace

void ClickableLabel::mouseReleaseEvent(QMouseEvent* e)
{
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

ActionPair makeAction(QWidget* parent, const QString& imageName, const QString& labelName, const QString& caption,
                      const QIcon& icon, const std::function<void()>& onClick)
{
    ActionPair p;
    p.image = new QToolButton(parent);
    p.image->setObjectName(imageName);
    p.image->setIcon(icon);
    p.image->setIconSize(QSize(32, 32));
    p.image->setAutoRaise(true);
    p.image->setToolTip(caption);
    p.image->installEventFilter(new EnterClicks(p.image));
    auto* label = new ClickableLabel(caption, parent);
    label->setObjectName(labelName);
    label->setCursor(Qt::PointingHandCursor);
    p.label = label;
    QObject::connect(p.image, &QToolButton::clicked, parent, [onClick] { onClick(); });
    QObject::connect(label, &ClickableLabel::clicked, parent, [onClick] { onClick(); });
    return p;
}
