#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmRules.h"
#include "alarms/EpisodeTracker.h"
#include "calc/Formulas.h"
#include "core/ErrorTrap.h"
#include "core/TwError.h"
#include "data/Rejections.h"
#include "notify/Outbox.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <deque>
#include <limits>

namespace AlarmEvaluation {

namespace {

using AlarmStore::Severity;

constexpr int Channels = Calc::ChannelCount;
// How far back (in readings before a rate window) a position's rate reference is looked for.
constexpr int ReferenceSearchRows = 1000;

struct Row {
    QString key;
    QString fullDate;
    QDateTime when;
    bool temporal = false;
    std::array<QString, Channels + 1> channels;
    QString valuesText() const
    {
        QStringList t;
        for (int i = 1; i <= Channels; ++i) t << channels[size_t(i)];
        return t.join(u';') + (temporal ? QStringLiteral(";T") : QStringLiteral(";-"));
    }
};

struct Setup {
    QString type;
    bool stacked = true;
    QString kText;
    QString gaugeLengthText;
    QString signature() const { return type + u'|' + (stacked ? u'S' : u'G') + u'|' + kText + u'|' + gaugeLengthText; }
};

// The readings of one data table, read through its FullDate index. A reading rejected as
// a whole is not there; a rejected gauge reads as an empty text.
class Readings {
public:
    Readings(Database& db, const QString& id) : m_db(db), m_id(id), m_table(SqlDialect::quoteName(id))
    {
        m_cols = QStringLiteral("DateTimeKey, FullDate, Plottemporal");
        for (int i = 1; i <= Channels; ++i) m_cols += QStringLiteral(", Channel%1").arg(i);
        // A reading added but not typed in yet (every gauge empty) is not evaluated.
        QStringList any;
        for (int i = 1; i <= 6; ++i) any << QStringLiteral("TRIM(COALESCE(Channel%1, '')) <> ''").arg(i);
        m_hasValue = QStringLiteral("(") + any.join(QStringLiteral(" OR ")) + u')';
        m_masks = Rejections::masks(db, id);
        for (quint16 m : std::as_const(m_masks))
            if (m & 1u) {
                m_notRejected = QStringLiteral(
                                    " AND NOT EXISTS (SELECT 1 FROM Rejections WHERE Rejections.SensorID = ? "
                                    "AND Rejections.DateTimeKey = ") +
                                m_table + QStringLiteral(".DateTimeKey AND Rejections.Gauge = 0)");
                break;
            }
    }

    std::optional<Row> one(const QString& where, const QString& order, const QVariantList& binds = {})
    {
        std::vector<Row> rows = select(where, order + QStringLiteral(" LIMIT 1"), binds);
        if (rows.empty()) return std::nullopt;
        return rows.front();
    }

    std::vector<Row> select(const QString& where, const QString& order, const QVariantList& binds = {})
    {
        std::vector<Row> out;
        each(where, order, binds, [&](const Row& r) { out.push_back(r); });
        return out;
    }

    // Calls fn for each row in turn, holding one row at a time; a fn that answers a bool
    // stops the reading with false.
    template <typename Fn>
    void each(const QString& where, const QString& order, const QVariantList& binds, Fn&& fn)
    {
        QSqlQuery q(m_db.handle());
        q.setForwardOnly(true);
        const QString sql = QStringLiteral("SELECT ") + m_cols + QStringLiteral(" FROM ") + m_table +
                            QStringLiteral(" WHERE (") + where + u')' + m_notRejected + QStringLiteral(" ORDER BY ") +
                            order;
        if (!q.prepare(sql)) throwSqlError(q.lastError());
        for (const QVariant& b : binds) q.addBindValue(b);
        if (!m_notRejected.isEmpty()) q.addBindValue(m_id);
        if (!q.exec()) throwSqlError(q.lastError());
        while (q.next()) {
            Row r;
            r.key = q.value(0).toString();
            r.fullDate = q.value(1).toString();
            r.when = AlarmStore::fromStamp(r.fullDate.left(19));
            r.temporal = q.value(2).toInt() != 0;
            const quint16 mask = m_masks.isEmpty() ? 0 : m_masks.value(r.key, 0);
            for (int i = 1; i <= Channels; ++i) {
                const QVariant v = q.value(2 + i);
                r.channels[size_t(i)] = v.isNull() || Rejections::rejected(mask, i) ? QString() : v.toString();
            }
            if constexpr (std::is_same_v<decltype(fn(r)), bool>) {
                if (!fn(r)) break;
            } else {
                fn(r);
            }
        }
    }

    const QString& hasValue() const { return m_hasValue; }

private:
    Database& m_db;
    QString m_id;
    QString m_table;
    QString m_cols;
    QString m_hasValue;
    QHash<QString, quint16> m_masks;
    QString m_notRejected;  // the condition that leaves out readings rejected as a whole
};

bool tableExists(Database& db, const QString& id) { return db.tableExists(id); }

std::optional<Setup> setupOf(Database& db, const QString& id)
{
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT SensorType, Stacked, boltkfactor, lengthofgauge FROM Sensors "
                                  "WHERE InstrumentID = ?")))
        throwSqlError(q.lastError());
    q.addBindValue(id);
    if (!q.exec()) throwSqlError(q.lastError());
    if (!q.next()) return std::nullopt;
    Setup s;
    s.type = q.value(0).toString();
    s.stacked = q.value(1).isNull() || q.value(1).toInt() != 0;
    s.kText = q.value(2).isNull() ? QString() : q.value(2).toString();
    s.gaugeLengthText = q.value(3).isNull() ? QString() : q.value(3).toString();
    return s;
}

using Offsets = std::array<double, Channels + 1>;

Offsets offsetsOf(const std::optional<Row>& baseline)
{
    Offsets o;
    o.fill(std::numeric_limits<double>::quiet_NaN());
    if (!baseline) return o;
    for (int i = 1; i <= Channels; ++i) {
        try {
            o[size_t(i)] = Calc::offsetFromText(baseline->channels[size_t(i)]);
        } catch (const TwError&) {
            // A baseline text that is not a number counts as no baseline, as in the passes.
        }
    }
    return o;
}

Calc::ChannelValues zerosOf(const Row& r, const Offsets& o)
{
    Calc::ChannelValues z{};
    for (int i = 1; i <= Channels; ++i) {
        try {
            z[size_t(i)] = Calc::zeroFromText(r.channels[size_t(i)], o[size_t(i)]);
        } catch (const TwError&) {
            z[size_t(i)] = Calc::noValueZero(o[size_t(i)]);  // a text that is not a number counts as no value
        }
    }
    return z;
}

std::optional<Calc::Columns> loadsOf(const Row& r, const Offsets& o, const Setup& s)
{
    try {
        Calc::Columns c = Calc::loads(s.type, s.stacked, zerosOf(r, o), s.kText);
        if (c.count == 0) return std::nullopt;
        return c;
    } catch (const TwError&) {
        return std::nullopt;  // no k factor: no loads (the passes log it when a chart is drawn)
    }
}

std::optional<Calc::Columns> dispsOf(const Row& r, const Offsets& o, const Setup& s)
{
    if (!r.temporal) return std::nullopt;
    try {
        const Calc::Columns l = Calc::loads(s.type, s.stacked, zerosOf(r, o), s.kText);
        if (l.count == 0) return std::nullopt;
        return Calc::displacements(s.type, s.stacked, l, s.kText, s.gaugeLengthText);
    } catch (const TwError&) {
        return std::nullopt;
    }
}

QString baselineText(const std::optional<Row>& r) { return r ? r->key + u'=' + r->valuesText() : QStringLiteral("-"); }

bool sameState(const std::optional<AlarmStore::State>& a, const AlarmStore::State& b)
{
    return a && a->status == b.status && a->since == b.since && a->headline == b.headline &&
           a->positions == b.positions && a->lastKey == b.lastKey && a->lastFullDate == b.lastFullDate &&
           a->lastValues == b.lastValues && a->signature == b.signature;
}

// Another program evaluated the sensor between this one's reading and writing.
struct StateChangedMeanwhile {};

Outcome evaluateOnce(Database& db, const QString& id, const QDateTime& now, Outbox::Queue& queue);

Outcome evaluateSensor(Database& db, const QString& id, const QDateTime& now, Outbox::Queue& queue)
{
    // What another program wrote meanwhile is read again and evaluated on; a crossing is
    // recorded (and notified) by one of them only.
    for (int attempt = 0;; ++attempt) {
        try {
            return evaluateOnce(db, id, now, queue);
        } catch (const StateChangedMeanwhile&) {
            if (attempt >= 3)
                throw TwError(ErrNo::ChangedByOther, QStringLiteral("the alarm state of sensor ") + id +
                                                         QStringLiteral(" kept changing while it was evaluated"));
        }
    }
}

Outcome evaluateOnce(Database& db, const QString& id, const QDateTime& now, Outbox::Queue& queue)
{
    Outcome out;
    const std::optional<AlarmStore::Levels> lv = AlarmStore::levels(db, id);
    const std::optional<AlarmStore::State> before = AlarmStore::state(db, id);
    const std::optional<Setup> setup = setupOf(db, id);
    if (!lv || !lv->any() || !setup) {
        if (before) {
            AlarmStore::removeState(db, id);
            EpisodeTracker::closeAll(db, id, now);
            out.written = true;
        }
        return out;
    }
    out.evaluated = true;
    EpisodeTracker episodes(db, id, *lv);

    std::optional<Row> latest, loadBase, dispBase;
    Readings rd(db, id);
    const bool hasTable = tableExists(db, id);
    if (hasTable) {
        latest = rd.one(QStringLiteral("DoNotPlot = 0 AND ") + rd.hasValue(), QStringLiteral("FullDate DESC"));
        if (latest) {
            loadBase = rd.one(QStringLiteral("DoNotPlot = 0"), QStringLiteral("FullDate"));
            if (lv->anyDisp()) dispBase = rd.one(QStringLiteral("Plottemporal = 1"), QStringLiteral("FullDate"));
        }
    }
    const QString signature = lv->signature() + QStringLiteral("||") + setup->signature() + QStringLiteral("||") +
                              baselineText(loadBase) + QStringLiteral("||") + baselineText(dispBase);

    AlarmRules::States states = before ? AlarmRules::States::decode(before->positions) : AlarmRules::States{};
    // Which readings to evaluate: every one since the last evaluation on the same basis,
    // or the latest one afresh.
    enum class Which { None, Since, Latest } which = Which::None;
    if (latest) {
        const bool sameBasis = before && before->signature == signature && !before->lastFullDate.isEmpty();
        // Levels set before the sensor had any reading: every reading since is new.
        const bool fresh = before && before->lastFullDate.isEmpty();
        if ((sameBasis || fresh) && latest->fullDate > before->lastFullDate) which = Which::Since;
        else if (!(sameBasis && latest->key == before->lastKey && latest->valuesText() == before->lastValues))
            which = Which::Latest;
    }

    // The last reading evaluated; an empty text (never a null, which compares with nothing)
    // when none was.
    const QString since = before && !before->lastFullDate.isEmpty() ? before->lastFullDate : QStringLiteral("");
    std::vector<AlarmRules::Raised> raised;
    if (which != Which::None) {
        const Offsets loadOffsets = offsetsOf(loadBase);
        const Offsets dispOffsets = offsetsOf(dispBase);
        std::optional<Row> first = which == Which::Latest
                                       ? latest
                                       : rd.one(QStringLiteral("DoNotPlot = 0 AND FullDate > ? AND ") + rd.hasValue(),
                                                QStringLiteral("FullDate"), {since});
        // The rate of a reading is taken against the latest reading at least a window older
        // than it: the readings from the one just before the window of the first reading
        // evaluated are kept while they can still be that reference.
        // Per load position, since a reading may have no value at one position and a value
        // at the others: the rate there is taken between the nearest readings that have one.
        struct Past {
            QDateTime when;
            double load = 0;
        };
        std::array<std::deque<Past>, 7> past;
        auto remember = [&](const QDateTime& when, const Calc::Columns& loads) {
            for (int k = 1; k <= loads.count; ++k)
                if (!std::isnan(loads[k])) past[size_t(k)].push_back({when, loads[k]});
        };
        const qint64 window = qint64(std::llround(lv->rateWindowDays * 86400.0));
        if (lv->anyRate() && first) {
            const QString from = AlarmStore::stamp(first->when.addSecs(-window));
            // Before the window of the first reading evaluated: the latest reading with a
            // value at each position (read back until every position has one, or as far as
            // ReferenceSearchRows readings: a gauge dead for longer gives no rate there).
            std::vector<Row> before;
            std::array<bool, 7> found{};
            int searched = 0;
            rd.each(QStringLiteral("DoNotPlot = 0 AND FullDate <= ? AND ") + rd.hasValue(),
                    QStringLiteral("FullDate DESC"), {from}, [&](const Row& r) {
                        const std::optional<Calc::Columns> l = loadsOf(r, loadOffsets, *setup);
                        if (!l || ++searched > ReferenceSearchRows) return false;  // no loads: none before has any
                        bool useful = false, all = true;
                        for (int k = 1; k <= l->count; ++k) {
                            if (!found[size_t(k)] && !std::isnan((*l)[k])) found[size_t(k)] = useful = true;
                            all = all && found[size_t(k)];
                        }
                        if (useful) before.push_back(r);
                        return !all;
                    });
            std::vector<Row> earlier(before.rbegin(), before.rend());
            for (const Row& r :
                 rd.select(QStringLiteral("DoNotPlot = 0 AND FullDate > ? AND FullDate < ? AND ") + rd.hasValue(),
                           QStringLiteral("FullDate"), {from, first->fullDate}))
                earlier.push_back(r);
            for (const Row& r : earlier)
                if (auto l = loadsOf(r, loadOffsets, *setup)) remember(r.when, *l);
        }
        auto evaluate = [&](const Row& r) {
            AlarmRules::Sample s;
            s.key = r.key;
            s.when = r.when;
            s.loads = loadsOf(r, loadOffsets, *setup);
            if (lv->anyDisp()) s.disps = dispsOf(r, dispOffsets, *setup);
            if (lv->anyRate() && s.loads) {
                const QDateTime limit = r.when.addSecs(-window);
                Calc::Columns rates;
                rates.count = s.loads->count;
                bool any = false;
                for (int k = 1; k <= rates.count; ++k) {
                    std::deque<Past>& p = past[size_t(k)];
                    while (p.size() > 1 && p[1].when <= limit) p.pop_front();
                    const double now = (*s.loads)[k];
                    if (std::isnan(now) || p.empty() || p.front().when > limit) {
                        rates.v[size_t(k)] = std::numeric_limits<double>::quiet_NaN();
                        continue;
                    }
                    rates.v[size_t(k)] =
                        AlarmRules::ratePerDay(p.front().when, p.front().load, r.when, now).value_or(0);
                    any = true;
                }
                if (any) s.rates = rates;
                remember(r.when, *s.loads);
            }
            const AlarmRules::States prior = states;
            for (AlarmRules::Raised& e : AlarmRules::step(*lv, states, s)) raised.push_back(e);
            episodes.observe(prior, states, AlarmStore::stamp(r.when));
        };
        if (which == Which::Latest) evaluate(*latest);
        else
            rd.each(QStringLiteral("DoNotPlot = 0 AND FullDate > ? AND ") + rd.hasValue(), QStringLiteral("FullDate"),
                    {since}, evaluate);
    }
    const AlarmRules::States beforeStaleCheck = states;
    if (auto stale = AlarmRules::checkStale(*lv, states, latest ? latest->when : QDateTime(),
                                            latest ? latest->key : QString(), now))
        raised.push_back(*stale);
    episodes.observe(beforeStaleCheck, states, latest ? AlarmStore::stamp(latest->when) : AlarmStore::stamp(now));

    const AlarmRules::Summary sum = AlarmRules::summarize(states);
    AlarmStore::State after;
    after.status = sum.status;
    after.since = sum.since;
    after.headline = latest ? sum.headline : QStringLiteral("no readings yet");
    after.positions = states.encode();
    after.lastKey = latest ? latest->key : QString();
    after.lastFullDate = latest ? latest->fullDate : QString();
    after.lastValues = latest ? latest->valuesText() : QString();
    after.signature = signature;
    after.evaluatedAt = AlarmStore::stamp(now);
    out.status = after.status;

    if (raised.empty() && sameState(before, after) && !episodes.changed()) return out;
    Transaction tx(db, Transaction::Lock::Immediate);
    const std::optional<AlarmStore::State> current = AlarmStore::state(db, id);
    if (before.has_value() != current.has_value() || (before && !sameState(current, *before)))
        throw StateChangedMeanwhile{};
    for (const AlarmRules::Raised& r : raised) {
        AlarmStore::Event e;
        e.sensorId = id;
        e.quantity = r.quantity;
        e.position = r.position;
        e.level = r.level;
        e.direction = r.direction;
        e.threshold = r.threshold;
        e.value = r.value;
        e.readingKey = r.readingKey;
        e.readingDate = r.readingDate;
        e.raisedAt = AlarmStore::stamp(now);
        e.id = AlarmStore::addEvent(db, e);
        out.newEvents.push_back(e);
    }
    AlarmStore::saveState(db, id, after);
    episodes.write(now, queue);
    tx.commit();
    out.written = true;
    return out;
}

}  // namespace

Outcome evaluateSensor(Database& db, const QString& id, const QDateTime& now)
{
    Outbox::Queue queue(db);
    return evaluateSensor(db, id, now, queue);
}

AllOutcome evaluateAll(Database& db, const QDateTime& now)
{
    AllOutcome all;
    // One transaction for the whole run, each sensor in a savepoint of its own: a sensor
    // that fails leaves the others recorded, and the run pays for one commit (a flush to
    // disk) instead of one per sensor. Other writers wait for the run meanwhile.
    Transaction run(db, Transaction::Lock::Immediate);
    QStringList ids;
    {
        QSqlQuery q(db.handle());
        q.setForwardOnly(true);
        if (!q.exec(
                QStringLiteral("SELECT SensorID FROM AlarmLevels WHERE SensorID IN (SELECT InstrumentID FROM Sensors) "
                               "ORDER BY SensorID")))
            throwSqlError(q.lastError());
        while (q.next()) ids << q.value(0).toString();
    }
    // States left by levels that were taken away, or by sensors no longer there.
    if (db.scalar(
              QStringLiteral("SELECT count(*) FROM AlarmState WHERE SensorID NOT IN (SELECT SensorID FROM AlarmLevels) "
                             "OR SensorID NOT IN (SELECT InstrumentID FROM Sensors)"))
            .toInt() > 0)
        db.execute(
            QStringLiteral("DELETE FROM AlarmState WHERE SensorID NOT IN (SELECT SensorID FROM AlarmLevels) "
                           "OR SensorID NOT IN (SELECT InstrumentID FROM Sensors)"));
    Outbox::Queue queue(db);
    for (const QString& id : ids) {
        runTrapped(QStringLiteral(" Alarms_Evaluate ") + id, [&] {
            Transaction one(db);
            Outcome o = evaluateSensor(db, id, now, queue);
            one.commit();
            if (o.evaluated) ++all.sensors;
            for (auto& e : o.newEvents) all.newEvents.push_back(std::move(e));
        });
    }
    run.commit();
    return all;
}

QString summaryText(const std::vector<AlarmStore::Event>& events, bool askToOpen)
{
    if (events.empty()) return QString();
    QSet<QString> action, alert, stale;
    QString earliest;
    for (const AlarmStore::Event& e : events) {
        if (e.level == QLatin1String("Action")) action.insert(e.sensorId);
        else if (e.level == QLatin1String("Alert")) alert.insert(e.sensorId);
        else stale.insert(e.sensorId);
        if (earliest.isEmpty() || (!e.readingDate.isEmpty() && e.readingDate < earliest)) earliest = e.readingDate;
    }
    // A sensor is counted at the highest level it passed.
    for (const QString& s : action) {
        alert.remove(s);
        stale.remove(s);
    }
    for (const QString& s : alert) stale.remove(s);
    auto sensors = [](qsizetype n) {
        return n == 1 ? QStringLiteral("1 sensor") : QStringLiteral("%1 sensors").arg(n);
    };
    QStringList parts;
    if (!action.isEmpty()) parts << sensors(action.size()) + QStringLiteral(" passed Action");
    if (!alert.isEmpty()) parts << sensors(alert.size()) + QStringLiteral(" passed Alert");
    if (!stale.isEmpty())
        parts << sensors(stale.size()) + (stale.size() == 1 ? QStringLiteral(" has") : QStringLiteral(" have")) +
                     QStringLiteral(" gone stale");
    QString text = parts.size() > 1 ? parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) +
                                          QStringLiteral(" and ") + parts.last()
                                    : parts.first();
    if (!earliest.isEmpty()) text += QStringLiteral(" since ") + AlarmStore::shownDate(earliest);
    text += QStringLiteral(" (%1 new alarm event%2).").arg(events.size()).arg(events.size() == 1 ? "" : "s");
    if (askToOpen) text += QStringLiteral("\r\n\r\nOpen the Alarms window to see and acknowledge them?");
    return text;
}

}  // namespace AlarmEvaluation
