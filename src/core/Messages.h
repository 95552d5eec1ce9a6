#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Every message box and input prompt of the program goes through here. In production a
// real modal box is shown (the widgets floor installs the boxes when the main window is
// made: widgets/MessageBoxes.h); tests install a script that answers and records each box.
namespace Messages {

enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Shows a modal message box. Lines are joined with CR LF in text; a box given no title
// shows the application's title. defaultButton names the button Enter presses (the
// first one when not given).
Answer show(const QString& text, const QString& title = QString(), Icon icon = Icon::None,
            Buttons buttons = Buttons::Ok, std::optional<Answer> defaultButton = std::nullopt);

// Asks the user to pick one of several buttons labelled with choices (in that order);
// returns the index picked, or -1 when the box is closed without a choice (Escape).
// defaultChoice names the button Enter presses.
int choose(const QString& text, const QString& title, Icon icon, const QStringList& choices, int defaultChoice = 0);

// Asks for a line of text; nullopt when cancelled.
std::optional<QString> prompt(const QString& question, const QString& title, const QString& defaultText = QString());

// Asks for a password: what is typed is not shown, and nothing of it is kept by the box
// (nor written to the log or the script's record). nullopt when cancelled.
std::optional<QString> promptPassword(const QString& question, const QString& title);

// One box as the script saw it.
struct Shown {
    bool isPrompt = false;
    QString text;
    QString title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    std::optional<Answer> defaultButton;
    QString defaultText;      // a prompt's text as it opens (selected)
    QStringList choices;      // the buttons of a choose() box
    bool isPassword = false;  // a password prompt (what was answered is not kept)
};

// A test script: answers boxes in order from its queues; when a queue is empty, a box is
// answered with its first button (Ok or Yes), a choice with its default and a prompt with
// its default text.
struct Script {
    std::vector<Answer> answers;
    std::vector<int> choices;   // indexes answered to choose() boxes
    QStringList promptAnswers;  // a null QString() answers Cancel
    std::vector<Shown> shown;
    QStringList texts() const;
};

void installScript(Script* script);  // nullptr removes it
Script* installedScript();

// The real boxes, shown when no script is installed. The title given is never empty. With
// neither a script nor boxes (a program without windows) a box is answered as an empty
// script answers it, and its text is written to the log.
class Boxes {
public:
    virtual ~Boxes() = default;
    virtual Answer show(const QString& text, const QString& title, Icon icon, Buttons buttons,
                        std::optional<Answer> defaultButton) = 0;
    virtual std::optional<QString> prompt(const QString& question, const QString& title,
                                          const QString& defaultText) = 0;
    virtual int choose(const QString& text, const QString& title, Icon icon, const QStringList& choices,
                       int defaultChoice) = 0;
    // Boxes that cannot hide what is typed ask as a plain prompt.
    virtual std::optional<QString> promptPassword(const QString& question, const QString& title)
    {
        return prompt(question, title, QString());
    }
};

void installBoxes(Boxes* boxes);  // nullptr removes them
Boxes* installedBoxes();

}  // namespace Messages
