#include "readings/ReadingsController.h"
#include "app/frmTarnwell.h"

#include <QLabel>
#include <QVBoxLayout>

ReadingsController::ReadingsController(frmTarnwell& win) : QObject(&win), m_win(win), m_s(win.shared())
{
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("pageReadings"));
    auto* layout = new QVBoxLayout(m_page);
    lblError = new QLabel(QStringLiteral("Error:"));
    lblError->setObjectName(QStringLiteral("lblError"));
    layout->addWidget(lblError);
    layout->addStretch();
}

void ReadingsController::ConfigureForm() {}
void ReadingsController::fillreadings() {}
void ReadingsController::CheckFutureDate() {}
bool ReadingsController::ReadingValid() { return true; }
void ReadingsController::SaveReadings() {}
bool ReadingsController::DupID(const QString&) { return false; }
void ReadingsController::CheckDateTime() {}
void ReadingsController::enterReadingsTab() {}
void ReadingsController::leaveReadingsTab() {}
void ReadingsController::showCount() {}
