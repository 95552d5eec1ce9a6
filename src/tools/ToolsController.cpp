#include "tools/ToolsController.h"
#include "app/frmTarnwell.h"

ToolsController::ToolsController(frmTarnwell& win) : QObject(&win), m_win(win), m_s(win.shared()) {}

void ToolsController::imgDatasheet_Click() {}

void ToolsController::imgAddWrenData_Click() {}
