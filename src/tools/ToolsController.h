#pragma once
#include <QObject>

class frmTarnwell;
struct Shared;

// The data tools: the datasheet window and the logger data-file import window.
class ToolsController : public QObject {
    Q_OBJECT
public:
    explicit ToolsController(frmTarnwell& win);

    // The Readings tab's "Datasheet" action: the datasheet window for the current sensor.
    void imgDatasheet_Click();
    // The Readings tab's logger import action: choose a file, show it, append readings.
    void imgAddWrenData_Click();

private:
    frmTarnwell& m_win;
    Shared& m_s;
};
