#include "alarms/EpisodeTracker.h"
#include "notify/Outbox.h"
#include "store/Database.h"

#include <cmath>

namespace {

QString quantityOf(const QString& stateKey)
{
    switch (stateKey.isEmpty() ? u' ' : stateKey.at(0).unicode()) {
        case u'L':
            return QStringLiteral("Load");
        case u'D':
            return QStringLiteral("Disp");
        case u'R':
            return QStringLiteral("Rate");
        default:
            return QString();
    }
}

QString directionOf(const QString& quantity, int code)
{
    if (quantity == QLatin1String("Rate")) return code < 0 ? QStringLiteral("falling") : QStringLiteral("rising");
    return code < 0 ? QStringLiteral("lower") : QStringLiteral("upper");
}

QString levelOf(int code) { return std::abs(code) >= 2 ? QStringLiteral("Action") : QStringLiteral("Alert"); }

// The key of an episode: the position and the side it is on.
QString episodeKey(const QString& quantity, int position, const QString& direction)
{
    return quantity + QString::number(position) + u'|' + direction;
}

bool worse(const QString& direction, double value, double than)
{
    return direction == QLatin1String("lower") || direction == QLatin1String("falling") ? value < than : value > than;
}

}  // namespace

EpisodeTracker::EpisodeTracker(Database& db, const QString& sensorId, const AlarmStore::Levels& levels)
    : m_db(db),
      m_sensorId(sensorId),
      m_levels(levels)
{
    for (const AlarmEpisodes::Episode& e : AlarmEpisodes::active(db, sensorId))
        m_active.insert(episodeKey(e.quantity, e.position, e.direction), e);
}

EpisodeTracker::Touched& EpisodeTracker::touch(const QString& key)
{
    if (auto it = m_touchedAt.constFind(key); it != m_touchedAt.constEnd()) return m_touched[*it];
    m_touched.push_back({m_active.value(key), false, {}});
    m_touchedAt.insert(key, m_touched.size() - 1);
    return m_touched.back();
}

double EpisodeTracker::threshold(const QString& quantity, int code) const
{
    const AlarmStore::Levels& l = m_levels;
    const bool action = std::abs(code) >= 2;
    std::optional<double> t;
    if (quantity == QLatin1String("Load"))
        t = code > 0 ? (action ? l.loadActionUpper : l.loadAlertUpper)
                     : (action ? l.loadActionLower : l.loadAlertLower);
    else if (quantity == QLatin1String("Disp"))
        t = code > 0 ? (action ? l.dispActionUpper : l.dispAlertUpper)
                     : (action ? l.dispActionLower : l.dispAlertLower);
    else if (quantity == QLatin1String("Rate")) t = action ? l.rateAction : l.rateAlert;
    else if (quantity == QLatin1String("Stale")) t = l.staleDays;
    return t.value_or(0);
}

void EpisodeTracker::open(const QString& key, const QString& quantity, int position, int code, double value,
                          const QString& date)
{
    AlarmEpisodes::Episode e;
    e.sensorId = m_sensorId;
    e.quantity = quantity;
    e.position = position;
    e.direction = quantity == QLatin1String("Stale") ? QString() : directionOf(quantity, code);
    e.level = e.peakLevel = quantity == QLatin1String("Stale") ? QStringLiteral("Stale") : levelOf(code);
    e.threshold = threshold(quantity, code);
    e.openedAt = e.levelSince = date;
    e.worstValue = e.lastValue = value;
    m_active.insert(key, e);
    m_touchedAt.remove(key);  // a new episode, not the one closed before it
    Touched& t = touch(key);
    t.isNew = true;
    t.changes << QStringLiteral("opened");
}

void EpisodeTracker::observe(const AlarmRules::States& before, const AlarmRules::States& after, const QString& date)
{
    for (auto it = after.positions.cbegin(); it != after.positions.cend(); ++it) {
        const QString quantity = quantityOf(it.key());
        if (quantity.isEmpty()) continue;
        const int position = it.key().mid(1).toInt();
        const auto old = before.positions.constFind(it.key());
        const int was = old != before.positions.cend() && old->known ? old->code : 0;
        const int now = it->known ? it->code : 0;
        const double value = it->value;
        const bool sameSide = was != 0 && now != 0 && (was > 0) == (now > 0);
        if (was != 0 && !sameSide) {
            const QString key = episodeKey(quantity, position, directionOf(quantity, was));
            if (m_active.contains(key)) {
                Touched& t = touch(key);
                t.episode.closedAt = date;
                t.episode.lastValue = value;
                t.changes << QStringLiteral("cleared");
                m_active.remove(key);
                m_touchedAt.remove(key);
            }
        }
        if (now == 0) continue;
        const QString key = episodeKey(quantity, position, directionOf(quantity, now));
        if (!m_active.contains(key)) {
            open(key, quantity, position, now, value, date);
            continue;
        }
        Touched& t = touch(key);
        AlarmEpisodes::Episode& e = t.episode;
        e.lastValue = value;
        if (worse(e.direction, value, e.worstValue)) e.worstValue = value;
        const QString level = levelOf(now);
        if (level == e.level) continue;
        e.level = level;
        e.levelSince = date;
        if (level == QLatin1String("Action") && e.peakLevel != level) {
            e.peakLevel = level;
            e.threshold = threshold(quantity, now);
            t.changes << QStringLiteral("raised");
        }
        m_active[key] = e;
    }
    // A position no longer there counts as back within the levels.
    for (auto it = before.positions.cbegin(); it != before.positions.cend(); ++it) {
        if (after.positions.contains(it.key()) || !it->known || it->code == 0) continue;
        const QString quantity = quantityOf(it.key());
        const QString key = episodeKey(quantity, it.key().mid(1).toInt(), directionOf(quantity, it->code));
        if (!m_active.contains(key)) continue;
        Touched& t = touch(key);
        t.episode.closedAt = date;
        t.changes << QStringLiteral("cleared");
        m_active.remove(key);
        m_touchedAt.remove(key);
    }
    // Stale opens when the check finds the last reading too old and closes when a reading
    // arrives (or the check is switched off).
    const QString staleKey = episodeKey(QStringLiteral("Stale"), 0, QString());
    if (after.stale && !m_active.contains(staleKey)) {
        open(staleKey, QStringLiteral("Stale"), 0, 1, 0, after.staleSince.isEmpty() ? date : after.staleSince);
    } else if (!after.stale && m_active.contains(staleKey)) {
        Touched& t = touch(staleKey);
        t.episode.closedAt = date;
        t.changes << QStringLiteral("cleared");
        m_active.remove(staleKey);
        m_touchedAt.remove(staleKey);
    }
}

int EpisodeTracker::write(const QDateTime& now, Outbox::Queue& queue)
{
    if (m_touched.empty()) return 0;
    const QString stampNow = AlarmStore::stamp(now);
    for (Touched& t : m_touched) {
        AlarmEpisodes::Episode& e = t.episode;
        if (t.isNew) e.recordedAt = stampNow;
        if (e.peakLevel == QLatin1String("Action") && e.actionRecordedAt.isEmpty()) e.actionRecordedAt = stampNow;
        if (t.isNew) e.id = AlarmEpisodes::insert(m_db, e);
    }
    int queued = 0;
    for (Touched& t : m_touched) {
        AlarmEpisodes::Episode& e = t.episode;
        bool stored = false;
        for (const QString& change : t.changes) {
            const int rows = queue.enqueue(e, change, now);
            queued += std::max(rows, 0);
            // Marked at once: a crossing of the same position later in this run is within
            // the cool-down of this one.
            if (rows >= 0 && change != QLatin1String("cleared") && !e.notified) {
                e.notified = true;
                AlarmEpisodes::update(m_db, e);
                stored = true;
            }
        }
        if (!stored) AlarmEpisodes::update(m_db, e);
        AlarmEpisodes::linkEvents(m_db, e);
    }
    m_touched.clear();
    m_touchedAt.clear();
    return queued;
}

void EpisodeTracker::closeAll(Database& db, const QString& sensorId, const QDateTime& now)
{
    db.execute(QStringLiteral("UPDATE AlarmEpisodes SET ClosedAt = ? WHERE SensorID = ? AND ClosedAt IS NULL"),
               {AlarmStore::stamp(now), sensorId});
}
