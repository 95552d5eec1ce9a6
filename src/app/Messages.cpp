#include "app/Messages.h"
#include "app/AppInfo.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace Messages {

namespace {
Script* g_script = nullptr;

QMessageBox::Icon toQt(Icon i)
{
    switch (i) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
    }
}
}  // namespace

QStringList Script::texts() const
{
    QStringList out;
    for (const Shown& s : shown) out << s.text;
    return out;
}

void installScript(Script* script) { g_script = script; }
Script* installedScript() { return g_script; }

Answer show(const QString& text, const QString& title, Icon icon, Buttons buttons, std::optional<Answer> defaultButton)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        g_script->shown.push_back({false, text, shownTitle, icon, buttons, defaultButton, {}});
        if (!g_script->answers.empty()) {
            const Answer a = g_script->answers.front();
            g_script->answers.erase(g_script->answers.begin());
            return a;
        }
        return (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? Answer::Yes : Answer::Ok;
    }
    QMessageBox box(toQt(icon), shownTitle, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::NoButton, QApplication::activeWindow());
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (defaultButton) {
        switch (*defaultButton) {
        case Answer::Yes: box.setDefaultButton(QMessageBox::Yes); break;
        case Answer::No: box.setDefaultButton(QMessageBox::No); break;
        case Answer::Cancel: box.setDefaultButton(QMessageBox::Cancel); break;
        case Answer::Ok: box.setDefaultButton(QMessageBox::Ok); break;
        }
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}

int choose(const QString& text, const QString& title, Icon icon, const QStringList& choices, int defaultChoice)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        Shown shown{false, text, shownTitle, icon, Buttons::Ok, std::nullopt, {}};
        shown.choices = choices;
        g_script->shown.push_back(shown);
        if (!g_script->choices.empty()) {
            const int c = g_script->choices.front();
            g_script->choices.erase(g_script->choices.begin());
            return c;
        }
        return defaultChoice;
    }
    QMessageBox box(toQt(icon), shownTitle, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::NoButton, QApplication::activeWindow());
    std::vector<QPushButton*> buttons;
    for (const QString& c : choices) buttons.push_back(box.addButton(c, QMessageBox::AcceptRole));
    if (defaultChoice >= 0 && defaultChoice < int(buttons.size())) box.setDefaultButton(buttons[size_t(defaultChoice)]);
    box.exec();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return int(i);
    return -1;
}

std::optional<QString> prompt(const QString& question, const QString& title, const QString& defaultText)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        g_script->shown.push_back({true, question, shownTitle, Icon::None, Buttons::OkCancel, std::nullopt, {}});
        if (!g_script->promptAnswers.empty()) {
            const QString a = g_script->promptAnswers.takeFirst();
            if (a.isNull()) return std::nullopt;
            return a;
        }
        return defaultText;
    }
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), shownTitle, question,
                                               QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

}  // namespace Messages
