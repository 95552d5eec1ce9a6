#pragma once
#include <QDateTime>
#include <QString>
#include <vector>

struct SensorDetails;  // data/SensorDetails.h: a page that asks for one includes it
struct Shared;
class QImage;
class QSize;
class QWidget;

// What a page may ask of the window that holds it. The main window (app/MainWindow)
// implements it and routes each request to the page that answers it, so a page never
// includes another page nor the window: it works on the session and on this interface.
class PageHost {
public:
    // The tabs of the main window's tab control SSTab1, in order.
    enum Tab {
        TabIdentification = 0,
        TabInstallation,
        TabReadings,
        TabLoadVTime,
        TabDispVTime,
        TabLoadVLength,
        TabDispVLength,
        TabShearVLength,
        TabUtilities
    };

    // Size of SSTab1 in pixels at the window's default size, the size its pages are laid
    // out for; it grows and shrinks with the window.
    static constexpr int TabWidth = 1100;
    static constexpr int TabHeight = 680;

    // The session: the connection, the long-lived recordsets, the preferences.
    virtual Shared& shared() = 0;
    // The window itself: the owner of the pages' objects and the parent of their dialogs.
    virtual QWidget* widget() = 0;
    // The tabs.
    virtual int currentTab() const = 0;
    // Moves SSTab1 to a tab as if the user had clicked it (the tab change runs).
    virtual void selectTab(int index) = 0;
    virtual void setTabEnabled(int index, bool enabled) = 0;
    virtual QString tabText(int index) const = 0;

    // The sensor pages.
    // The current sensor as the two sensor pages show it, edits not saved yet included
    // (the charts and the report compute with what is typed): the boxes' texts, the layout
    // option shown and the positions shown. The type, which no box shows, is the current
    // row's (empty without one).
    virtual SensorDetails shownSensor() const = 0;
    // The Readings page set up for a sensor type: the node boxes shown white again, and
    // the gauge-centre boxes of the type's channels (the first `channels`) enabled.
    virtual void whitenSensorNodeBoxes() = 0;
    virtual void enableSensorCentreBoxes(int channels) = 0;
    // Shows the current sensor's record (fillfields).
    virtual void fillSensorFields() = 0;
    // The sensor box (cboSensors) shows this sensor number.
    virtual void showSensorNumber(const QString& id) = 0;
    // The sensor list made again from the Sensors recordset (a filter changed): its first
    // sensor shown, or an empty sensor box when there is none, and the count.
    virtual void refreshSensorList() = 0;
    // The sensor list after the connection was opened again (backup, restore): as at
    // start-up, the first sensor shown; with none the list is emptied and the user told.
    virtual void showSensorsAfterReopen() = 0;
    // The sensor list read again from the database when another user committed a change
    // since it was read: the sensor shown is kept; false when it is gone (the user was told
    // and the first sensor is shown).
    virtual bool rereadSensors() = 0;

    // The Readings page.
    // Sets up the reading boxes for the current Configuration row (ConfigureForm).
    virtual void configureReadings() = 0;
    // Leaves the reading on screen as moving away does (saved when changed; refused values
    // kept or discarded by the user). False when the user keeps it on screen: the caller
    // then stops.
    virtual bool saveReading() = 0;
    // Shows the current reading of the readings recordset and its position.
    virtual void showReading() = 0;

    // The data tools: the datasheet window and the logger import, for the current sensor.
    virtual void openDatasheet() = 0;
    virtual void importLoggerData() = 0;

    // Alarms.
    // The current sensor's readings changed (a reading saved, readings deleted, imported or
    // edited in the datasheet): its alarm levels are evaluated again.
    virtual void readingsChanged() = 0;
    // The levels dialog for the current sensor.
    virtual void editAlarmLevels() = 0;
    // The Alarms window: the events of every sensor.
    virtual void showAlarms() = 0;
    // Shows a sensor on the Identification page; false (the user told why) when it is not
    // in the sensor list.
    virtual bool goToSensor(const QString& id) = 0;

    // The chart of a chart tab computed and drawn for the current sensor from its data, off
    // the screen and without switching tabs, as a picture of the given size; a time chart
    // spans the days from `from` to `to`. A null picture when there is nothing to draw.
    virtual QImage chartPicture(int tab, const QSize& size, const QDate& from, const QDate& to) = 0;
    // The lines of a time chart as last drawn for the report: each gauge line's
    // legend title, its last point and its point of largest size (the temperature left out),
    // points without a value skipped (both NaN when the line has none).
    struct ChartLine {
        QString title;
        QDateTime lastAt;
        double last = 0;
        QDateTime peakAt;
        double peak = 0;
    };
    virtual std::vector<ChartLine> timeChartLines(int tab) = 0;

    // The database file.
    // Checks the structure of the open database in the background (after the connection
    // was opened again on another file: a restore); damage found is told.
    virtual void checkDatabaseStructure() = 0;
    // Stops the passes storing computed columns in the background, before the connection
    // is closed for a restore or another database: their readings keep their marks, so
    // the next pass computes them; none writes on into a file being replaced.
    virtual void stopBackgroundPasses() = 0;

    // The report on the current sensor (its options window, then the document).
    virtual void makeReport() = 0;
    // The About window, modal.
    virtual void showAbout() = 0;

protected:
    ~PageHost() = default;
};
