#include "maintenance/UtilitiesController.h"
#include "app/frmTarnwell.h"

#include <QWidget>

UtilitiesController::UtilitiesController(frmTarnwell& win) : QObject(&win), m_win(win), m_s(win.shared())
{
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("pageUtilities"));
}

void UtilitiesController::ListBackups() {}

void UtilitiesController::showAbout() {}

void UtilitiesController::compactDatabase(const QString& folder, const QString& fileName)
{
    Q_UNUSED(folder);
    Q_UNUSED(fileName);
}
