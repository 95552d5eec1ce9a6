#pragma once
#include <QDialog>

class PageHost;
struct Shared;
class ToolsController;
class DatasheetModel;
class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;
namespace GridWidgets {
class GridView;
}

// The datasheet: every reading of the sub-window sensor in a grid, with gauge values that
// can be corrected as in a spreadsheet (typing replaces a cell, F2 or a double click edits
// inside it, Escape drops the cell's edit), plot flags that can be switched, and export to
// a spreadsheet. Modal; closing ("Close", the close box or Escape) with changes asks Save,
// Discard or Cancel (Cancel and Escape keep the window and its edits); "Discard changes"
// closes without writing them, after asking. Either way the main window shows again the
// reading it showed before.
class DatasheetWindow : public QDialog {
    Q_OBJECT
public:
    DatasheetWindow(PageHost& win, ToolsController& tools, QWidget* parent = nullptr);
    ~DatasheetWindow() override;

    QLabel* lblHeader = nullptr;
    GridWidgets::GridView* grid = nullptr;
    QToolButton* cmdExport = nullptr;
    QCheckBox* chkExportComputed = nullptr;  // the export adds computed loads and displacements
    QPushButton* cmdClose = nullptr;         // closes, asking whether to save any changes
    QPushButton* cmdDiscard = nullptr;       // closes without saving the changes (asks first)
    QPushButton* cmdReject = nullptr;        // rejects (or restores) the value of the current cell
    QLabel* img_x_on = nullptr;
    QLabel* img_x_off = nullptr;

    DatasheetModel* model() const { return m_model; }

    void loadReadings();
    bool PopulateFlexGrid();
    void onGridClicked(const QModelIndex& index);
    // A key typed on the grid with no editor open; false lets the view open the cell's
    // editor with it.
    bool onGridKeyPress(QChar ch);
    QString Read_Values_From_Grid();
    void onExportClicked();
    void onDiscardClicked();
    // The current cell's value (a key, date or time cell: the whole reading) is rejected
    // with a reason, or restored when it is rejected; stored at once.
    void onRejectClicked();
    // Enters the open editor's text, asks about any changes (Save / Discard / Cancel) and
    // writes them back when saved; false when the window stays open (Cancel, a refused
    // text, or corrections that could not be saved and that the user keeps on screen).
    bool readyToClose();

    // Writes the grid to a workbook at path and opens it; false when it was not written.
    bool FlexGridToExcel(const QString& path, const QString& sheetName);

    void done(int r) override;

private:
    // Shows why a typed value was refused (nothing when refusal is empty); true when shown.
    bool tellRefusal(const QString& refusal);
    // Save / Discard / Cancel: true to go on closing (m_discard set on Discard).
    bool askToSave();

    PageHost& m_win;
    Shared& m_s;
    ToolsController& m_tools;
    DatasheetModel* m_model = nullptr;
    bool m_unloaded = false;
    bool m_keepOpen = false;  // the last write-back failed and the user kept the corrections
    bool m_discard = false;
    bool m_refusalShown = false;
    bool m_sizeRemembered = false;
};
