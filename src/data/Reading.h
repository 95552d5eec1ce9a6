#pragma once
#include <QString>
#include <QVariant>
#include <array>

class Recordset;

// One reading of a sensor's data table as the pages read and write it: its key, its date
// columns, its temperature and channel texts and its two plot flags. The column names and
// the conversions live here only.
//
// Read from the current row of a recordset over a data table, the texts are as stored
// (a null column reads as an empty text, a number as its shortest text) and a plot flag
// is ticked by a null, True, any non-zero number or a text other than False/No/0.
// Written, each value is compared with the row first where a page avoids rewriting an
// unchanged reading (writeChanges): an empty text equals a null column, a flag equals
// any stored value that reads as the same tick, and a value stored as a number where a
// text belongs is written again as text.
struct Reading {
    static constexpr int Channels = 10;  // Channel1 .. Channel10

    QString key;                             // DateTimeKey: "<InstrumentID> yyyy/MM/dd HH:mm:ss"
    QString date;                            // ReadingDate text
    QString time;                            // ReadingTime text
    QVariant fullDate;                       // FullDate: as stored (a text or a date-time); a date-time to write
    QString temperature;                     // ChannelT
    std::array<QString, Channels> channels;  // Channel1 .. Channel10 (index 0 is Channel1)
    bool temporal = true;                    // Plottemporal: on the time charts
    bool spatial = false;                    // PlotSpatial: on the length charts

    const QString& channel(int i) const { return channels[size_t(i - 1)]; }  // i 1..10
    QString& channel(int i) { return channels[size_t(i - 1)]; }
    // "<ReadingDate> <ReadingTime>", as messages name the reading.
    QString when() const { return date + u' ' + time; }

    // The reading of the recordset's current row. A channel column the table lacks reads
    // as empty. FullDate is left unread (null): it is needed only when the date texts
    // cannot be read, and a column not read is not fetched (fullDateOf reads it).
    static Reading read(const Recordset& rs);
    static QVariant fullDateOf(const Recordset& rs);
    // Only the key, or the date and time texts ("<ReadingDate> <ReadingTime>"), of the
    // current row (the rest is not read).
    static QString keyOf(const Recordset& rs);
    static QString whenOf(const Recordset& rs);

    // Writes the key, the date columns, the temperature, the first channelCount channels
    // and the flags to the row being edited (or starts the edit), each only where it
    // differs from the row; returns whether anything was written.
    bool writeChanges(Recordset& rs, int channelCount) const;
    // Writes the key and the date columns as they are.
    void writeDates(Recordset& rs) const;
    // Writes the two plot flags as they are.
    void writeFlags(Recordset& rs) const;

    // The column names, for code that lists the columns of a reading (grids, mappings).
    static const QString KeyColumn;
    static const QString TemperatureColumn;
    static QString channelColumn(int i);  // "Channel<i>"
};
