#pragma once
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

class Database;

// Alarm episodes: one per stretch of time a gauge position (or the sensor, for Stale)
// stands past a level on one side. An episode opens at a crossing, is raised from Alert to
// Action within itself, and closes when the value falls back past the margin (Stale: when
// a reading arrives). The events raised meanwhile are its history. Written by the alarm
// evaluation; read by the Alarms window, the report and the notifications. Failures
// throw TwError.
namespace AlarmEpisodes {

struct Episode {
    qint64 id = 0;
    QString sensorId;
    QString quantity;      // "Load", "Disp", "Rate", "Stale"
    int position = 0;      // 0 for Stale
    QString direction;     // "upper"/"lower", "rising"/"falling"; empty for Stale
    QString level;         // where it stands now: "Alert", "Action", "Stale"
    QString peakLevel;     // the highest it reached
    double threshold = 0;  // the level passed at the peak
    QString openedAt;      // reading dates ("yyyy-MM-dd HH:mm:ss")
    QString levelSince;
    QString closedAt;    // empty while active
    QString recordedAt;  // clock times of recording
    QString actionRecordedAt;
    double worstValue = 0;
    double lastValue = 0;
    QString ackBy, ackAt, ackNote, ackLevel;
    QString remindedAt;
    bool notified = false;  // a notification of its opening or rise was queued

    bool active() const { return closedAt.isEmpty(); }
    // Acknowledged at the level it reached (a rise to Action needs a new acknowledgement).
    bool acknowledged() const { return !ackAt.isEmpty() && ackLevel == peakLevel; }
    // The position shown: "Load #2", "No reading" for Stale.
    QString where() const;
};

// The active episodes of one sensor (sensorId empty: of every sensor), Action first, then
// by sensor and position.
std::vector<Episode> active(Database& db, const QString& sensorId = QString());
// Every episode that overlaps the period [from, to] (reading dates), newest first.
std::vector<Episode> history(Database& db, const QDateTime& from, const QDateTime& to,
                             const QString& sensorId = QString());
std::optional<Episode> byId(Database& db, qint64 id);

// Inserts a new episode (returns its id) or writes a known one back.
qint64 insert(Database& db, const Episode& e);
void update(Database& db, const Episode& e);
// Links the sensor's events not yet in an episode on that position and side to it.
void linkEvents(Database& db, const Episode& e);

// Acknowledges active episodes at the level they stand at, with a note (TwError 5 when
// empty). Returns how many changed.
int acknowledge(Database& db, const QList<qint64>& ids, const QString& note, const QString& who, const QDateTime& when);
// Every active episode of a sensor.
int acknowledgeSensor(Database& db, const QString& sensorId, const QString& note, const QString& who,
                      const QDateTime& when);

}  // namespace AlarmEpisodes
