#pragma once
#include "tools/LoggerDates.h"

#include <QDialog>

class PageHost;
struct Shared;
class ToolsController;
class WrenGridModel;
class QLabel;
class QPushButton;
class QRadioButton;
namespace GridWidgets { class GridView; }

// The logger import window: the data file's rows in a grid with the rows to import
// marked, the file's date layout, and the append command. Modal; used once: appending or
// declining closes it, and closing shows the saved reading again.
class frmWrenData : public QDialog {
    Q_OBJECT
public:
    // sourcePath is the user's chosen file (kept as an archive copy after an append).
    frmWrenData(PageHost& win, ToolsController& tools, const QString& sourcePath, QWidget* parent = nullptr);
    ~frmWrenData() override;

    QLabel* lblHeader = nullptr;
    QRadioButton* optDateFormat[3] = {nullptr, nullptr, nullptr};
    GridWidgets::GridView* MSFlexGrid1 = nullptr;
    QPushButton* cmdAppend = nullptr;
    QLabel* img_x_on = nullptr;
    QLabel* img_x_off = nullptr;

    WrenGridModel* model() const { return m_model; }
    WrenDates::Layout layout() const;

    void Form_Load();
    bool PopulateSFlexGrid();
    void MSFlexGrid1_Click(const QModelIndex& index);
    void cmdAppend_Click();
    void Form_Unload();

    void done(int r) override;

private:
    int interval() const;
    void layoutChanged();

    PageHost& m_win;
    Shared& m_s;
    ToolsController& m_tools;
    QString m_sourcePath;
    WrenGridModel* m_model = nullptr;
    bool m_unloaded = false;
};
