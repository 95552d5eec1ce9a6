#include "core/Messages.h"
#include "core/AppInfo.h"
#include "core/ErrorLog.h"

namespace Messages {

namespace {
Script* g_script = nullptr;
Boxes* g_boxes = nullptr;
}  // namespace

QStringList Script::texts() const
{
    QStringList out;
    for (const Shown& s : shown) out << s.text;
    return out;
}

void installScript(Script* script) { g_script = script; }
Script* installedScript() { return g_script; }

void installBoxes(Boxes* boxes) { g_boxes = boxes; }
Boxes* installedBoxes() { return g_boxes; }

Answer show(const QString& text, const QString& title, Icon icon, Buttons buttons, std::optional<Answer> defaultButton)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        g_script->shown.push_back({false, text, shownTitle, icon, buttons, defaultButton, QString(), {}});
        if (!g_script->answers.empty()) {
            const Answer a = g_script->answers.front();
            g_script->answers.erase(g_script->answers.begin());
            return a;
        }
        return (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? Answer::Yes : Answer::Ok;
    }
    if (g_boxes) return g_boxes->show(text, shownTitle, icon, buttons, defaultButton);
    WriteLog(QStringLiteral("Message not shown (no window): ") + text);
    return (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) ? Answer::Yes : Answer::Ok;
}

int choose(const QString& text, const QString& title, Icon icon, const QStringList& choices, int defaultChoice)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        Shown shown{false, text, shownTitle, icon, Buttons::Ok, std::nullopt, QString(), {}};
        shown.choices = choices;
        g_script->shown.push_back(shown);
        if (!g_script->choices.empty()) {
            const int c = g_script->choices.front();
            g_script->choices.erase(g_script->choices.begin());
            return c;
        }
        return defaultChoice;
    }
    if (g_boxes) return g_boxes->choose(text, shownTitle, icon, choices, defaultChoice);
    WriteLog(QStringLiteral("Message not shown (no window): ") + text);
    return defaultChoice;
}

std::optional<QString> prompt(const QString& question, const QString& title, const QString& defaultText)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        g_script->shown.push_back(
            {true, question, shownTitle, Icon::None, Buttons::OkCancel, std::nullopt, defaultText, {}});
        if (!g_script->promptAnswers.empty()) {
            const QString a = g_script->promptAnswers.takeFirst();
            if (a.isNull()) return std::nullopt;
            return a;
        }
        return defaultText;
    }
    if (g_boxes) return g_boxes->prompt(question, shownTitle, defaultText);
    WriteLog(QStringLiteral("Prompt not shown (no window): ") + question);
    return defaultText;
}

std::optional<QString> promptPassword(const QString& question, const QString& title)
{
    const QString shownTitle = title.isEmpty() ? AppInfo::Title : title;
    if (g_script) {
        Shown shown{true, question, shownTitle, Icon::None, Buttons::OkCancel, std::nullopt, QString(), {}};
        shown.isPassword = true;
        g_script->shown.push_back(shown);
        if (!g_script->promptAnswers.empty()) {
            const QString a = g_script->promptAnswers.takeFirst();
            if (a.isNull()) return std::nullopt;
            return a;
        }
        return std::nullopt;
    }
    if (g_boxes) return g_boxes->promptPassword(question, shownTitle);
    WriteLog(QStringLiteral("Password prompt not shown (no window): ") + question);
    return std::nullopt;
}

}  // namespace Messages
