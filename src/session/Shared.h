#pragma once
#include "store/Database.h"
#include "store/Recordset.h"

#include <QDate>
#include <QString>
#include <array>
#include <memory>

// Preference values read from the Prefs table, held as text exactly as stored.
struct Prefs {
    QString MineID;
    QString MaxY;
    QString MinY;
    QString MinX;
    QString MaxX;
};

// The main window's shared state: the connection, the long-lived recordsets and the
// values every part of the program reads. One instance, owned by MainWindow.
struct Shared {
    // Folders and the connection (made at start-up and again by a restore).
    QString makerFolder;
    QString dataFolder;
    QString databasePath;
    QString connectionString;
    Database db;

    // Long-lived recordsets.
    std::unique_ptr<Recordset> rsConfig;    // Configuration, positioned on the current sensor's type
    std::unique_ptr<Recordset> rsSensors;   // Sensors; its current row is the current sensor
    std::unique_ptr<Recordset> rsPrefs;     // Prefs, re-made by every GetPrefs
    std::unique_ptr<Recordset> rsReadings;  // the current sensor's readings, in date order
    std::unique_ptr<Recordset> rsGraph;     // the graph data of one selection

    Prefs prefs;

    // Channel offsets of the baseline reading (index 1..10; 0 unused; NaN where the
    // baseline has no value in that channel). Set by the calculation passes.
    std::array<double, 11> offsets{};

    // Position of the reading whose date or time is being changed (0: none).
    qint64 rememberedPosition = 0;
    // Bookmark of the reading shown when the Readings tab was last left (0: none).
    qint64 savedReadingBookmark = 0;
    // The sensor a sub-window (datasheet, logger import) works on.
    QString subWindowSensor;

    bool loading = false;       // true while the start-up sequence runs
    QString typedSensorNumber;  // set by the Add New prompt and Enter in cboSensors

    // The current sensor's InstrumentID, or empty when there is none.
    QString currentSensorId() const
    {
        if (!rsSensors || !rsSensors->isOpen() || !rsSensors->hasCurrentRow()) return QString();
        return rsSensors->text(QStringLiteral("InstrumentID"));
    }
};
