#pragma once
#include <QIcon>
#include <QLabel>
#include <QString>
#include <functional>

class QToolButton;

// The window's actions are an image with a caption label beside it; clicking the label
// does exactly what clicking the image does. makeAction builds the pair: an image button
// named imageName (e.g. "imgNext") and a label named labelName (e.g. "Label59").
struct ActionPair {
    QToolButton* image = nullptr;
    QLabel* label = nullptr;
};

ActionPair makeAction(QWidget* parent, const QString& imageName, const QString& labelName, const QString& caption,
                      const QIcon& icon, const std::function<void()>& onClick);

// A label that reports clicks (used for captions acting as buttons).
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};
