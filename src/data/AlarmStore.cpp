#include "data/AlarmStore.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "calc/Numbers.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace AlarmStore {

namespace {

const char* const LevelColumns[] = {"LoadAlertUpper", "LoadActionUpper", "LoadAlertLower", "LoadActionLower",
                                    "DispAlertUpper", "DispActionUpper", "DispAlertLower", "DispActionLower",
                                    "RateAlert",      "RateAction"};

std::optional<double>* levelSlot(Levels& l, int i)
{
    std::optional<double>* levelsIn[] = {&l.loadAlertUpper, &l.loadActionUpper, &l.loadAlertLower, &l.loadActionLower,
                                         &l.dispAlertUpper, &l.dispActionUpper, &l.dispAlertLower, &l.dispActionLower,
                                         &l.rateAlert,      &l.rateAction};
    return levelsIn[i];
}

QVariant orNull(const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(); }
std::optional<double> optional(const QVariant& v)
{
    if (v.isNull()) return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

const QString EventColumns = QStringLiteral(
    "EventID, SensorID, Quantity, Position, Level, Direction, Threshold, Value, ReadingKey, ReadingDate, RaisedAt, "
    "Notified, AckBy, AckAt, AckNote");

Event eventFrom(const QSqlQuery& q)
{
    Event e;
    e.id = q.value(0).toLongLong();
    e.sensorId = q.value(1).toString();
    e.quantity = q.value(2).toString();
    e.position = q.value(3).toInt();
    e.level = q.value(4).toString();
    e.direction = q.value(5).toString();
    e.threshold = q.value(6).toDouble();
    e.value = q.value(7).toDouble();
    e.readingKey = q.value(8).toString();
    e.readingDate = q.value(9).toString();
    e.raisedAt = q.value(10).toString();
    e.notified = q.value(11).toInt() != 0;
    e.ackBy = q.value(12).toString();
    e.ackAt = q.value(13).toString();
    e.ackNote = q.value(14).toString();
    return e;
}

const QString StateColumns =
    QStringLiteral("Status, Since, Headline, Positions, LastKey, LastFullDate, LastValues, Signature, EvaluatedAt");

State stateFrom(const QSqlQuery& q, int first)
{
    State s;
    s.status = severityFromWord(q.value(first).toString());
    s.since = q.value(first + 1).toString();
    s.headline = q.value(first + 2).toString();
    s.positions = q.value(first + 3).toString();
    s.lastKey = q.value(first + 4).toString();
    s.lastFullDate = q.value(first + 5).toString();
    s.lastValues = q.value(first + 6).toString();
    s.signature = q.value(first + 7).toString();
    s.evaluatedAt = q.value(first + 8).toString();
    return s;
}

}  // namespace

QString word(Severity s)
{
    switch (s) {
        case Severity::NoLevels:
            return QStringLiteral("No levels");
        case Severity::Ok:
            return QStringLiteral("OK");
        case Severity::Stale:
            return QStringLiteral("Stale");
        case Severity::Alert:
            return QStringLiteral("Alert");
        case Severity::Action:
            return QStringLiteral("Action");
    }
    return QString();
}

QString colourName(Severity s)
{
    switch (s) {
        case Severity::NoLevels:
            return QString();
        case Severity::Ok:
            return QStringLiteral("#2e8b3a");
        case Severity::Stale:
            return QStringLiteral("#8a8a8a");
        case Severity::Alert:
            return QStringLiteral("#e69500");
        case Severity::Action:
            return QStringLiteral("#d01c1c");
    }
    return QString();
}

Severity severityFromWord(const QString& w)
{
    for (Severity s : {Severity::Ok, Severity::Stale, Severity::Alert, Severity::Action})
        if (w == word(s)) return s;
    return Severity::NoLevels;
}

bool Levels::anyLoad() const { return loadAlertUpper || loadActionUpper || loadAlertLower || loadActionLower; }
bool Levels::anyDisp() const { return dispAlertUpper || dispActionUpper || dispAlertLower || dispActionLower; }
bool Levels::any() const { return anyLoad() || anyDisp() || anyRate() || staleDays; }

QString Levels::signature() const
{
    Levels copy = *this;
    QStringList parts;
    for (int i = 0; i < 10; ++i) {
        const auto& v = *levelSlot(copy, i);
        parts << (v ? Numbers::plain(*v) : QString());
    }
    parts << Numbers::plain(rateWindowDays) << Numbers::plain(marginPercent)
          << (staleDays ? Numbers::plain(*staleDays) : QString());
    return parts.join(u',');
}

std::optional<Levels> levels(Database& db, const QString& sensorId)
{
    QString cols;
    for (const char* c : LevelColumns) cols += QLatin1String(c) + QStringLiteral(", ");
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("SELECT ") + cols +
                     QStringLiteral("RateWindowDays, MarginPercent, StaleDays FROM AlarmLevels WHERE SensorID = ?"),
                 {sensorId});
    if (!q.next()) return std::nullopt;
    Levels l;
    for (int i = 0; i < 10; ++i) *levelSlot(l, i) = optional(q.value(i));
    if (const auto w = optional(q.value(10)); w && *w > 0) l.rateWindowDays = *w;
    if (const auto m = optional(q.value(11)); m && *m >= 0) l.marginPercent = *m;
    l.staleDays = optional(q.value(12));
    return l;
}

void saveLevels(Database& db, const QString& sensorId, const Levels& l)
{
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM AlarmLevels WHERE SensorID = ?"), {sensorId});
    if (l.any()) {
        Levels copy = l;
        QString cols = QStringLiteral("SensorID");
        QString marks = QStringLiteral("?");
        QVariantList binds{sensorId};
        for (int i = 0; i < 10; ++i) {
            cols += QStringLiteral(", ") + QLatin1String(LevelColumns[i]);
            marks += QStringLiteral(", ?");
            binds << orNull(*levelSlot(copy, i));
        }
        cols += QStringLiteral(", RateWindowDays, MarginPercent, StaleDays, SavedAt");
        marks += QStringLiteral(", ?, ?, ?, ?");
        binds << l.rateWindowDays << l.marginPercent << orNull(l.staleDays) << stamp(QDateTime::currentDateTime());
        db.execute(QStringLiteral("INSERT INTO AlarmLevels (") + cols + QStringLiteral(") VALUES (") + marks + u')',
                   binds);
    }
    tx.commit();
}

qint64 addEvent(Database& db, const Event& e)
{
    QSqlQuery q =
        runQuery(db,
                 QStringLiteral("INSERT INTO AlarmEvents (SensorID, Quantity, Position, Level, Direction, Threshold, "
                                "Value, ReadingKey, ReadingDate, RaisedAt, Notified) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
                 {e.sensorId, e.quantity, e.position, e.level, e.direction, e.threshold, e.value, e.readingKey,
                  e.readingDate, e.raisedAt, e.notified ? 1 : 0});
    return q.lastInsertId().toLongLong();
}

std::vector<Event> events(Database& db, EventFilter filter, const QString& sensorId)
{
    QStringList where;
    QVariantList binds;
    if (filter == EventFilter::Open) where << QStringLiteral("AckAt IS NULL");
    if (filter == EventFilter::Acknowledged) where << QStringLiteral("AckAt IS NOT NULL");
    if (!sensorId.isEmpty()) {
        where << QStringLiteral("SensorID = ?");
        binds << sensorId;
    }
    QString sql = QStringLiteral("SELECT ") + EventColumns + QStringLiteral(" FROM AlarmEvents");
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ReadingDate DESC, SensorID, EventID");
    QSqlQuery q = runQuery(db, sql, binds);
    std::vector<Event> out;
    while (q.next()) out.push_back(eventFrom(q));
    return out;
}

int acknowledge(Database& db, const QList<qint64>& ids, const QString& note, const QString& who, const QDateTime& when)
{
    if (note.trimmed().isEmpty()) throw TwError(5, QStringLiteral("An acknowledgement needs a note"));
    int changed = 0;
    Transaction tx(db);
    for (qint64 id : ids)
        changed +=
            int(db.execute(QStringLiteral("UPDATE AlarmEvents SET AckBy = ?, AckAt = ?, AckNote = ?, Notified = 1 "
                                          "WHERE EventID = ? AND AckAt IS NULL"),
                           {who, stamp(when), note.trimmed(), id}));
    tx.commit();
    return changed;
}

std::vector<Event> unnotified(Database& db)
{
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT ") + EventColumns +
                         QStringLiteral(" FROM AlarmEvents WHERE Notified = 0 AND AckAt IS NULL ORDER BY ReadingDate"));
    std::vector<Event> out;
    while (q.next()) out.push_back(eventFrom(q));
    return out;
}

void markNotified(Database& db)
{
    db.execute(QStringLiteral("UPDATE AlarmEvents SET Notified = 1 WHERE Notified = 0"));
}

std::optional<State> state(Database& db, const QString& sensorId)
{
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT ") + StateColumns + QStringLiteral(" FROM AlarmState WHERE SensorID = ?"),
                 {sensorId});
    if (!q.next()) return std::nullopt;
    return stateFrom(q, 0);
}

void saveState(Database& db, const QString& sensorId, const State& s)
{
    db.execute(QStringLiteral("INSERT OR REPLACE INTO AlarmState (SensorID, ") + StateColumns +
                   QStringLiteral(") VALUES (?,?,?,?,?,?,?,?,?,?)"),
               {sensorId, word(s.status), s.since, s.headline, s.positions, s.lastKey, s.lastFullDate, s.lastValues,
                s.signature, s.evaluatedAt});
}

void removeState(Database& db, const QString& sensorId)
{
    db.execute(QStringLiteral("DELETE FROM AlarmState WHERE SensorID = ?"), {sensorId});
}

QHash<QString, State> states(Database& db)
{
    QSqlQuery q = runQuery(db, QStringLiteral("SELECT SensorID, ") + StateColumns + QStringLiteral(" FROM AlarmState"));
    QHash<QString, State> out;
    while (q.next()) out.insert(q.value(0).toString(), stateFrom(q, 1));
    return out;
}

void forgetSensor(Database& db, const QString& sensorId)
{
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM AlarmLevels WHERE SensorID = ?"), {sensorId});
    removeState(db, sensorId);
    tx.commit();
}

QString statusLine(const std::optional<State>& st, bool hasLevels)
{
    if (!hasLevels || !st) return QStringLiteral("Alarm status: no levels set");
    QString line = QStringLiteral("Alarm status: ") + word(st->status);
    if (!st->headline.isEmpty()) line += QStringLiteral(" - ") + st->headline;
    if (!st->since.isEmpty() && st->status != Severity::Ok) line += QStringLiteral(" since ") + shownDate(st->since);
    return line;
}

QString valueText(const QString& quantity, double value)
{
    if (quantity == QLatin1String("Load"))
        return Numbers::format(value, QStringLiteral("##0.00")) + QStringLiteral(" t");
    if (quantity == QLatin1String("Disp"))
        return Numbers::format(value, QStringLiteral("##0.0")) + QStringLiteral(" microns");
    if (quantity == QLatin1String("Rate"))
        return Numbers::format(value, QStringLiteral("##0.00")) + QStringLiteral(" t/day");
    if (quantity == QLatin1String("Stale"))
        return Numbers::format(value, QStringLiteral("##0.0")) + QStringLiteral(" days");
    return Numbers::plain(value);
}

QString positionText(const QString& quantity, int position)
{
    if (quantity == QLatin1String("Stale")) return QStringLiteral("No reading");
    return quantity + QStringLiteral(" #") + QString::number(position);
}

QStringList levelsText(const Levels& l)
{
    auto pair = [](const char* what, const std::optional<double>& alert, const std::optional<double>& action,
                   const QString& unit) {
        QStringList parts;
        if (alert) parts << QStringLiteral("Alert ") + Numbers::plain(*alert) + unit;
        if (action) parts << QStringLiteral("Action ") + Numbers::plain(*action) + unit;
        return parts.isEmpty() ? QString() : QLatin1String(what) + parts.join(QStringLiteral(", "));
    };
    QStringList lines;
    for (const QString& line :
         {pair("Load above: ", l.loadAlertUpper, l.loadActionUpper, QStringLiteral(" t")),
          pair("Load below: ", l.loadAlertLower, l.loadActionLower, QStringLiteral(" t")),
          pair("Displacement above: ", l.dispAlertUpper, l.dispActionUpper, QStringLiteral(" microns")),
          pair("Displacement below: ", l.dispAlertLower, l.dispActionLower, QStringLiteral(" microns")),
          pair("Rate: ", l.rateAlert, l.rateAction,
               QStringLiteral(" t/day over ") + Numbers::plain(l.rateWindowDays) + QStringLiteral(" day(s)"))})
        if (!line.isEmpty()) lines << line;
    if (l.staleDays) lines << QStringLiteral("Stale after ") + Numbers::plain(*l.staleDays) + QStringLiteral(" day(s)");
    if (lines.isEmpty()) return {QStringLiteral("No alarm levels set.")};
    lines << QStringLiteral("A level clears when the value falls back by ") + Numbers::plain(l.marginPercent) +
                 QStringLiteral(" % of it.");
    return lines;
}

namespace {
QStringList eventCells(const Event& e)
{
    const QString what = e.quantity == QLatin1String("Stale")
                             ? positionText(e.quantity, e.position)
                             : positionText(e.quantity, e.position) + QStringLiteral(" (") + e.direction + u')';
    return {shownDate(e.readingDate), e.level, what, valueText(e.quantity, e.value), valueText(e.quantity, e.threshold),
            shownDate(e.raisedAt)};
}
}  // namespace

QList<QStringList> sheetRows(Database& db, const QString& sensorId)
{
    const std::optional<Levels> lv = levels(db, sensorId);
    const bool has = lv && lv->any();
    const std::optional<State> st = state(db, sensorId);
    QList<QStringList> rows;
    rows << QStringList{QStringLiteral("Sensor"), sensorId};
    rows << QStringList{QStringLiteral("Alarm status"), has && st ? word(st->status) : word(Severity::NoLevels)};
    if (has && st) {
        rows << QStringList{QStringLiteral("Detail"), st->headline};
        if (!st->since.isEmpty()) rows << QStringList{QStringLiteral("Since"), shownDate(st->since)};
        rows << QStringList{QStringLiteral("Evaluated"), shownDate(st->evaluatedAt)};
    }
    if (!has) return rows;
    rows << QStringList{};
    rows << QStringList{QStringLiteral("Levels")};
    for (const QString& l : levelsText(*lv)) rows << QStringList{QString(), l};
    rows << QStringList{};
    rows << QStringList{QStringLiteral("Open events")};
    rows << QStringList{QStringLiteral("Reading"), QStringLiteral("Level"),     QStringLiteral("Where"),
                        QStringLiteral("Value"),   QStringLiteral("Level set"), QStringLiteral("Raised")};
    for (const Event& e : events(db, EventFilter::Open, sensorId)) rows << eventCells(e);
    return rows;
}

// The same name the row versions record, with the same fall-back to the account's name
// when the environment has none (a service, a scheduled job).
QString loginName() { return Database::loginName(); }

// Both are written out by hand: QDateTime's formatting and reading by a format string cost
// tens of microseconds each, and the evaluation reads and writes one per reading.
QString stamp(const QDateTime& when)
{
    if (!when.isValid()) return QString();
    const QDate d = when.date();
    const QTime t = when.time();
    if (d.year() < 0 || d.year() > 9999) return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    char buf[20];
    const int parts[6] = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    int at = 0;
    for (int i = 0; i < 6; ++i) {
        const int width = i == 0 ? 4 : 2;
        for (int k = width - 1, v = parts[i]; k >= 0; --k, v /= 10) buf[at + k] = char('0' + v % 10);
        at += width;
        if (i < 5) buf[at++] = "-- ::"[i];
    }
    return QString::fromLatin1(buf, at);
}

QDateTime fromStamp(const QString& text)
{
    const auto digits = [&](int from, int count, int& out) {
        out = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9') return false;
            out = out * 10 + int(c - u'0');
        }
        return true;
    };
    int y, mo, d, h, mi, s;
    if (text.size() == 19 && text.at(4) == u'-' && text.at(7) == u'-' && text.at(10) == u' ' && text.at(13) == u':' &&
        text.at(16) == u':' && digits(0, 4, y) && digits(5, 2, mo) && digits(8, 2, d) && digits(11, 2, h) &&
        digits(14, 2, mi) && digits(17, 2, s)) {
        const QDate date(y, mo, d);
        const QTime time(h, mi, s);
        if (date.isValid() && time.isValid()) return QDateTime(date, time);
        return QDateTime();
    }
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString shownDate(const QString& stampText)
{
    const QDateTime t = fromStamp(stampText);
    return t.isValid() ? t.toString(QStringLiteral("yyyy/MM/dd HH:mm")) : stampText;
}

}  // namespace AlarmStore
