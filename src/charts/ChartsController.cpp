#include "charts/ChartsController.h"
#include "app/frmTarnwell.h"

#include <QWidget>

ChartsController::ChartsController(frmTarnwell& win) : QObject(&win), m_win(win), m_s(win.shared())
{
    static const char* names[] = {"pageLoadVTime", "pageDispVTime", "pageLoadVLength", "pageDispVLength",
                                  "pageShearVLength"};
    for (size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i] = new QWidget;
        m_pages[i]->setObjectName(QLatin1String(names[i]));
    }
}

void ChartsController::SSTab1_Click(int previousTab)
{
    Q_UNUSED(previousTab);
}

bool ChartsController::prepareChart(int) { return false; }

QImage ChartsController::renderChart(int, const QSize&) { return QImage(); }
