#pragma once
// Keys for a modal window: once the window the command opens is up, act presses keys in
// it as the user would. A window act leaves open is closed afterwards and reported, so a
// key that fails to close it fails the test instead of hanging it.
#include "KeyWindow.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace Keys {

struct ModalRun {
    QString seen;           // object name of the modal window that opened
    bool leftOpen = false;  // act did not close it
};

inline void whenModal(ModalRun* run, std::function<void(QDialog*)> act, int tries = 50)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (tries > 0) whenModal(run, act, tries - 1);
            return;
        }
        run->seen = dialog->objectName();
        dialog->activateWindow();
        if (!QTest::qWaitFor([dialog] { return dialog->isActiveWindow(); }))
            qWarning("the modal window did not become active");
        QPointer<QDialog> guard(dialog);
        act(dialog);
        QTimer::singleShot(0, [=] {
            if (guard && guard->isVisible()) {
                run->leftOpen = true;
                guard->done(QDialog::Rejected);
            }
        });
    });
}

}  // namespace Keys
