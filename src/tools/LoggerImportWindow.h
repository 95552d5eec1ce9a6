#pragma once
#include "tools/LoggerDates.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerGridModel.h"

#include <QDialog>

class PageHost;
struct Shared;
class ToolsController;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
namespace GridWidgets {
class GridView;
}

// The logger import window: the data file's rows in a grid with the rows to import
// ticked (every new reading at first, or one per interval), the file's date layout, Select
// all / Select none, and the append command. Modal; used once: appending or declining
// closes it, and closing shows the saved reading again. With nothing ticked it stays open
// and says why.
class LoggerImportWindow : public QDialog {
    Q_OBJECT
public:
    // sourcePath is the user's chosen file (kept as an archive copy after an append).
    LoggerImportWindow(PageHost& win, ToolsController& tools, const QString& sourcePath, QWidget* parent = nullptr);
    ~LoggerImportWindow() override;

    QLabel* lblHeader = nullptr;
    QRadioButton* optDateFormat[3] = {nullptr, nullptr, nullptr};
    GridWidgets::GridView* grid = nullptr;
    QPushButton* cmdAppend = nullptr;
    QPushButton* cmdCancel = nullptr;        // closes the window; nothing is appended
    QComboBox* cboLoggerInterval = nullptr;  // pre-selection interval in hours ("0": every reading)
    QPushButton* cmdSelectAll = nullptr;     // ticks every row the sensor does not hold yet
    QPushButton* cmdSelectNone = nullptr;    // unticks every row
    QLabel* lblCounts = nullptr;             // rows selected, already stored, the interval used
    QLabel* lblColumnMap = nullptr;          // files with named columns: what feeds what
    QPushButton* cmdColumnMap = nullptr;     // changes that map
    QLabel* img_x_on = nullptr;
    QLabel* img_x_off = nullptr;

    LoggerGridModel* model() const { return m_model; }
    LoggerDates::Layout layout() const;

    void loadFile();
    bool PopulateSFlexGrid();
    void onGridClicked(const QModelIndex& index);
    void onAppendClicked();
    void onColumnMapClicked();
    void readyToClose();

    void done(int r) override;

    // The interval the window starts with: every new reading, as tarnwell-import takes them.
    static constexpr int DefaultInterval = 0;

    // The reason nothing can be appended when no row is ticked (shown; the window stays open).
    QString nothingTickedReason() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int interval() const;
    void layoutChanged();
    void intervalChanged();
    // How the rows give readings, and the grid's columns, for the file's format.
    LoggerReadings::Mapping mapping() const;
    std::vector<LoggerGridModel::Column> columns() const;
    void showMap();
    // Greys the rows the sensor has already, then shows the counts.
    void markStored();
    void showCounts();

    PageHost& m_win;
    Shared& m_s;
    ToolsController& m_tools;
    QString m_sourcePath;
    LoggerGridModel* m_model = nullptr;
    QWidget* m_dateFrame = nullptr;
    LoggerFormats::Format m_format = LoggerFormats::Format::CommaSeparated;
    LoggerReadings::Target m_target;
    bool m_unloaded = false;
    int m_appliedInterval = DefaultInterval;
};
