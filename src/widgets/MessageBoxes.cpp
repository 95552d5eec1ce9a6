#include "widgets/MessageBoxes.h"
#include "core/Messages.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QMessageBox>
#include <QPushButton>

namespace MessageBoxes {

namespace {

using Messages::Answer;
using Messages::Buttons;
using Messages::Icon;

QMessageBox::Icon toQt(Icon i)
{
    switch (i) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Critical:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

// A box of choices has no button QMessageBox would take for Escape or the close box, and
// would ignore both: here they close it with no choice made.
class ClosesWithoutChoice : public QObject {
public:
    explicit ClosesWithoutChoice(QMessageBox* box) : QObject(box), m_box(box) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const bool escape =
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel);
        if (!escape && event->type() != QEvent::Close) return false;
        m_box->done(-1);
        return true;
    }

private:
    QMessageBox* m_box;
};

class ModalBoxes : public Messages::Boxes {
public:
    Answer show(const QString& text, const QString& shownTitle, Icon icon, Buttons buttons,
                std::optional<Answer> defaultButton) override
    {
        QMessageBox box(toQt(icon), shownTitle, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                        QMessageBox::NoButton, QApplication::activeWindow());
        switch (buttons) {
            case Buttons::Ok:
                box.setStandardButtons(QMessageBox::Ok);
                break;
            case Buttons::OkCancel:
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                break;
            case Buttons::YesNo:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                break;
            case Buttons::YesNoCancel:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                break;
        }
        if (defaultButton) {
            switch (*defaultButton) {
                case Answer::Yes:
                    box.setDefaultButton(QMessageBox::Yes);
                    break;
                case Answer::No:
                    box.setDefaultButton(QMessageBox::No);
                    break;
                case Answer::Cancel:
                    box.setDefaultButton(QMessageBox::Cancel);
                    break;
                case Answer::Ok:
                    box.setDefaultButton(QMessageBox::Ok);
                    break;
            }
        }
        switch (box.exec()) {
            case QMessageBox::Yes:
                return Answer::Yes;
            case QMessageBox::No:
                return Answer::No;
            case QMessageBox::Cancel:
                return Answer::Cancel;
            default:
                return Answer::Ok;
        }
    }

    int choose(const QString& text, const QString& shownTitle, Icon icon, const QStringList& choices,
               int defaultChoice) override
    {
        QMessageBox box(toQt(icon), shownTitle, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                        QMessageBox::NoButton, QApplication::activeWindow());
        std::vector<QPushButton*> buttons;
        // A choice named "Cancel" is the one Escape presses.
        for (const QString& c : choices)
            buttons.push_back(
                box.addButton(c, c == QLatin1String("Cancel") ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
        if (defaultChoice >= 0 && defaultChoice < int(buttons.size()))
            box.setDefaultButton(buttons[size_t(defaultChoice)]);
        box.installEventFilter(new ClosesWithoutChoice(&box));
        box.exec();
        for (size_t i = 0; i < buttons.size(); ++i)
            if (box.clickedButton() == buttons[i]) return int(i);
        return -1;  // closed without a choice (Escape)
    }

    std::optional<QString> prompt(const QString& question, const QString& shownTitle,
                                  const QString& defaultText) override
    {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(shownTitle);
        dialog.setLabelText(question);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(defaultText);
        // A text handed in (one typed before and refused) is selected, so typing replaces it.
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (auto* edit = dialog.findChild<QLineEdit*>()) edit->selectAll();
        });
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.textValue();
    }

    std::optional<QString> promptPassword(const QString& question, const QString& shownTitle) override
    {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(shownTitle);
        dialog.setLabelText(question);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextEchoMode(QLineEdit::Password);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.textValue();
    }
};

}  // namespace

void install()
{
    static ModalBoxes boxes;
    if (!Messages::installedBoxes()) Messages::installBoxes(&boxes);
}

}  // namespace MessageBoxes
