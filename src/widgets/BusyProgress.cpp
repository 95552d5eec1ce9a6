#include "widgets/BusyProgress.h"

#include <QApplication>
#include <QProgressDialog>

BusyProgress::BusyProgress(QWidget* parent, const QString& label, int steps)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, steps, parent);
    m_dialog->setObjectName(QStringLiteral("dlgProgress"));
    m_dialog->setWindowTitle(QStringLiteral("Orrisford's Tarnwell"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

BusyProgress::~BusyProgress()
{
    m_dialog->close();
    QApplication::restoreOverrideCursor();
}

bool BusyProgress::advance(int step)
{
    m_dialog->setValue(step);
    return !m_dialog->wasCanceled();
}

bool BusyProgress::cancelled() const { return m_dialog->wasCanceled(); }

void BusyProgress::setLabel(const QString& label) { m_dialog->setLabelText(label); }
