#pragma once
#include <QObject>

class frmTarnwell;
struct Shared;

// The data tools: the datasheet window and the logger data-file import window.
class ToolsController : public QObject {
    Q_OBJECT
public:
    explicit ToolsController(frmTarnwell& win);

private:
    frmTarnwell& m_win;
    Shared& m_s;
};
