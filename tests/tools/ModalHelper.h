#pragma once
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Acts on a modal window once its event loop runs: finds the open window of type W
// (by object name) and hands it to act; act must close it. Records whether it was seen.
template <class W>
void whenOpen(const char* objectName, std::function<void(W*)> act, bool* seen = nullptr)
{
    if (seen) *seen = false;
    QTimer::singleShot(0, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String(objectName) && w->isVisible()) {
                if (auto* typed = qobject_cast<W*>(w)) {
                    if (seen) *seen = true;
                    act(typed);
                    return;
                }
            }
        }
    });
}
