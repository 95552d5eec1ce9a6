#pragma once
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

// Long work on the user's behalf: a busy cursor for its whole length and a progress
// window with a Cancel button once it takes more than a moment. Cancelling stops the work
// at a point where nothing has been changed.
class BusyProgress {
public:
    BusyProgress(QWidget* parent, const QString& label, int steps = 1000);
    ~BusyProgress();
    BusyProgress(const BusyProgress&) = delete;
    BusyProgress& operator=(const BusyProgress&) = delete;

    // Shows the step reached; false once the user has cancelled.
    bool advance(int step);
    bool cancelled() const;
    void setLabel(const QString& label);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};
