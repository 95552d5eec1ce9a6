#pragma once
#include "support/TestEnv.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>

class MainWindow;
class Database;
class ChartControl;

// A sensor with readings whose computed columns (Load, Disp, Stretch, NumTemp) are
// written straight into its data table, and the main window showing it.
namespace ChartFixture {

struct Row {
    QDateTime when;
    QList<double> load;     // Load1.. (missing entries and NaN stay null)
    QList<double> disp;     // Disp1..
    QList<double> stretch;  // Stretch1..
    double temp = 15.0;
    bool temporal = true;
    bool spatial = true;
    bool doNotPlot = false;
};

// Adds a sensor of the given number (characters 5-6: the type code) with the rows.
void addSensor(const QString& id, bool stacked, const QList<Row>& rows);

// Adds sensor id (stacked) with count readings an hour apart from 2 April 2025
// 08:00 (every seventh marked for the time charts), then runs update, when given, on its
// table (written `%1`).
void addHourlySensor(const QString& id, int count, const QString& update = QString());

// Positions the window's Configuration recordset on the current sensor's type and
// fills the gauge boxes of the sensor pages (created when the pages lack them).
void showSensor(MainWindow& w, const QStringList& nodes, const QStringList& centres, const QString& cable);

// Sets one box of the sensor pages by its control name.
void setBox(MainWindow& w, const QString& name, const QString& text);

// A chart of the window by its object name.
ChartControl* chartOf(MainWindow& w, const char* name);

// The program's log as written so far.
QByteArray readLog();

// Rows a given number of minutes apart from a start.
QList<Row> hourly(const QDateTime& start, int count, int minutesApart = 60);

}  // namespace ChartFixture
