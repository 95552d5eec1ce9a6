#pragma once
#include "tools/LoggerDates.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerGridModel.h"

#include <QDialog>

class PageHost;
struct Shared;
class ToolsController;
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
    QPushButton* cmdCancel = nullptr;        // closes the window; nothing is appended
    QLabel* lblCounts = nullptr;             // rows selected, already stored, the interval used
    QLabel* lblColumnMap = nullptr;          // files with named columns: what feeds what
    QPushButton* cmdColumnMap = nullptr;     // changes that map
    QLabel* img_x_on = nullptr;
    QLabel* img_x_off = nullptr;

    WrenGridModel* model() const { return m_model; }
    WrenDates::Layout layout() const;

    void Form_Load();
    bool PopulateSFlexGrid();
    void MSFlexGrid1_Click(const QModelIndex& index);
    void cmdAppend_Click();
    void cmdColumnMap_Click();
    void Form_Unload();

    void done(int r) override;

private:
    int interval() const;
    void layoutChanged();
    // How the rows give readings, and the grid's columns, for the file's format.
    LoggerReadings::Mapping mapping() const;
    std::vector<WrenGridModel::Column> columns() const;
    void showMap();
    // Greys the rows the sensor has already, then shows the counts.
    void markStored();
    void showCounts();

    PageHost& m_win;
    Shared& m_s;
    ToolsController& m_tools;
    QString m_sourcePath;
    WrenGridModel* m_model = nullptr;
    QWidget* m_dateFrame = nullptr;
    LoggerFormats::Format m_format = LoggerFormats::Format::CommaSeparated;
    LoggerReadings::Target m_target;
    bool m_unloaded = false;
};
