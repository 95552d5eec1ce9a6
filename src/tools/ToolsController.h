#pragma once
#include "tools/ColumnMap.h"
#include "tools/LoggerFormats.h"

#include <QObject>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

class PageHost;
struct Shared;
class QWidget;

// The data tools: the datasheet window and the logger data-file import window.
class ToolsController : public QObject {
    Q_OBJECT
public:
    explicit ToolsController(PageHost& win);

    // The Readings tab's "Datasheet" action: the datasheet window for the current sensor.
    void onDatasheetClicked();
    // The Readings tab's logger import action: choose a file, show it, append readings.
    void onImportLoggerDataClicked();

    // Writes "Schema.ini", copies the chosen file to "datafile.txt" in the data folder,
    // reads it as the data file (in whichever logger format it is) and sets the
    // no-data-file flag. fileTitle is the name without folder (not used); fileName the
    // full path.
    void OpenDataFile(const QString& fileTitle, const QString& fileName);

    // The import's shared state: the no-data-file flag and the data file (its format,
    // column names and rows), and the column map chosen for a file with named columns.
    bool noDataFile() const { return m_noDataFile; }
    const LoggerFormats::Opened& dataFile() const { return m_dataFile; }
    LoggerTable takeDataFileRows() { return std::exchange(m_dataFile.table, LoggerTable()); }
    void closeDataFile() { m_dataFile = LoggerFormats::Opened(); }
    const ColumnMap& columnMap() const { return m_map; }

    // Asks for the column map of the data file for the sub-window sensor (the preview
    // window), starting from start; saves it when the user accepts. False when cancelled.
    bool chooseColumnMap(QWidget* parent, const ColumnMap& start);

    // Re-opens the readings, returns to the saved reading (the last one when there is
    // none) and shows it with its position. Used when a tool window closes.
    void returnToSavedReading();

    // The file-open dialog; tests replace it so that no dialog opens (an empty result is a
    // cancel). Pass an empty function to restore the real dialog.
    using FileChooser = std::function<QString(QWidget* parent)>;
    static void setFileChooser(FileChooser chooser);

    // Where exports are written (the data folder's "exports" folder unless set; tests point
    // it elsewhere to make writing fail).
    static void setExportFolder(const QString& folder);
    static QString exportFolder(const QString& dataFolder);

    // Finds the saved column map of the data file for the sub-window sensor, or asks for
    // one (starting from guesses). False when the user cancelled.
    bool haveColumnMap();

private:
    QString chooseFile();

    PageHost& m_win;
    Shared& m_s;
    bool m_noDataFile = true;
    bool m_readCancelled = false;
    LoggerFormats::Opened m_dataFile;
    ColumnMap m_map;
};
