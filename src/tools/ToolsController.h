#pragma once
#include "tools/LoggerFile.h"

#include <QObject>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

class PageHost;
struct Shared;
class QComboBox;
class QWidget;

// The data tools: the datasheet window and the logger data-file import window.
class ToolsController : public QObject {
    Q_OBJECT
public:
    explicit ToolsController(PageHost& win);

    // The Readings tab's "Datasheet" action: the datasheet window for the current sensor.
    void imgDatasheet_Click();
    // The Readings tab's logger import action: choose a file, show it, append readings.
    void imgAddWrenData_Click();

    // Writes "Schema.ini", copies the chosen file to "datafile.txt" in the data folder,
    // reads it as the data file and sets the no-data-file flag. fileTitle is the name
    // without folder (not used); fileName the full path.
    void OpenDataFile(const QString& fileTitle, const QString& fileName);

    // The interval box of the logger import (hours: "1", "8", "24"; "24" at first). The
    // Readings page places it beside its import button; until then it lives hidden here.
    QComboBox* cboWrenInt = nullptr;

    // The import's shared state: the no-data-file flag and the data file's rows.
    bool noDataFile() const { return m_noDataFile; }
    const std::vector<LoggerFile::Row>& dataFileRows() const { return m_dataFile; }
    std::vector<LoggerFile::Row> takeDataFileRows() { return std::exchange(m_dataFile, {}); }
    void closeDataFile() { m_dataFile.clear(); m_dataFile.shrink_to_fit(); }

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

private:
    QString chooseFile();

    PageHost& m_win;
    Shared& m_s;
    bool m_noDataFile = true;
    bool m_readCancelled = false;
    std::vector<LoggerFile::Row> m_dataFile;
};
