#pragma once
#include "alarms/AlarmRules.h"
#include "data/AlarmEpisodes.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <vector>

class Database;
namespace Outbox {
class Queue;
}

// Turns the moves of a sensor's gauge positions into episodes: a position that passes a
// level opens one, a rise from Alert to Action raises it, a value back past the margin (or
// a reading after Stale) closes it, and a move to the other side closes one and opens
// another. The evaluation shows it the states before and after each reading; write() then
// stores the episodes and queues their notifications in the caller's transaction.
class EpisodeTracker {
public:
    // Reads the sensor's active episodes.
    EpisodeTracker(Database& db, const QString& sensorId, const AlarmStore::Levels& levels);

    // One reading (or the stale check) moved the states from before to after; date is the
    // reading's date ("yyyy-MM-dd HH:mm:ss").
    void observe(const AlarmRules::States& before, const AlarmRules::States& after, const QString& date);

    bool changed() const { return !m_touched.empty(); }

    // Stores what changed and queues the notifications of openings, rises and closings
    // through the run's queue. Returns the notifications queued.
    int write(const QDateTime& now, Outbox::Queue& queue);

    // Closes every active episode of a sensor whose levels were taken away (nothing sent).
    static void closeAll(Database& db, const QString& sensorId, const QDateTime& now);

private:
    struct Touched {
        AlarmEpisodes::Episode episode;
        bool isNew = false;
        QStringList changes;  // "opened", "raised", "cleared" in order
    };
    Touched& touch(const QString& key);
    void open(const QString& key, const QString& quantity, int position, int code, double value, const QString& date);
    double threshold(const QString& quantity, int code) const;

    Database& m_db;
    QString m_sensorId;
    AlarmStore::Levels m_levels;
    QHash<QString, AlarmEpisodes::Episode> m_active;  // by position key and side
    QHash<QString, size_t> m_touchedAt;               // active key -> index in m_touched
    std::vector<Touched> m_touched;
};
