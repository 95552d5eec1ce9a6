#include "alarms/AlarmLevelsCsv.h"
#include "alarms/AlarmRules.h"
#include "calc/Numbers.h"
#include "store/Database.h"

#include <QHash>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace AlarmLevelsCsv {

namespace {

const QString Header = QStringLiteral("Sensor,Quantity,Direction,Alert,Action,Margin %,Rate window days,Stale days");

QString num(const std::optional<double>& v) { return v ? Numbers::plain(*v) : QString(); }

// The fields of the levels a (quantity, direction) row sets: Alert and Action.
bool fieldsOf(const QString& quantity, const QString& direction, AlarmRules::Field& alert, AlarmRules::Field& action)
{
    using F = AlarmRules::Field;
    const QString q = quantity.toLower(), d = direction.toLower();
    if (q == QLatin1String("load") && d == QLatin1String("upper")) {
        alert = F::LoadAlertUpper;
        action = F::LoadActionUpper;
        return true;
    }
    if (q == QLatin1String("load") && d == QLatin1String("lower")) {
        alert = F::LoadAlertLower;
        action = F::LoadActionLower;
        return true;
    }
    if (q == QLatin1String("disp") && d == QLatin1String("upper")) {
        alert = F::DispAlertUpper;
        action = F::DispActionUpper;
        return true;
    }
    if (q == QLatin1String("disp") && d == QLatin1String("lower")) {
        alert = F::DispAlertLower;
        action = F::DispActionLower;
        return true;
    }
    if (q == QLatin1String("rate") && (d == QLatin1String("either") || d.isEmpty())) {
        alert = F::RateAlert;
        action = F::RateAction;
        return true;
    }
    return false;
}

QStringList fieldsOfLine(const QString& line)
{
    QStringList f = line.split(u',');
    for (QString& x : f) {
        x = x.trimmed();
        if (x.size() >= 2 && x.startsWith(u'"') && x.endsWith(u'"')) x = x.mid(1, x.size() - 2).trimmed();
    }
    return f;
}

}  // namespace

QString exportText(Database& db)
{
    QStringList lines{Header};
    QStringList ids;
    {
        QSqlQuery q(db.handle());
        if (!q.exec(QStringLiteral("SELECT SensorID FROM AlarmLevels ORDER BY SensorID"))) throwSqlError(q.lastError());
        while (q.next()) ids << q.value(0).toString();
    }
    for (const QString& id : ids) {
        const std::optional<AlarmStore::Levels> l = AlarmStore::levels(db, id);
        if (!l) continue;
        const QString tail = u',' + Numbers::plain(l->marginPercent) + u',' + Numbers::plain(l->rateWindowDays) + u',' +
                             num(l->staleDays);
        auto row = [&](const char* q, const char* d, const std::optional<double>& alert,
                       const std::optional<double>& action) {
            if (alert || action)
                lines << id + u',' + QLatin1String(q) + u',' + QLatin1String(d) + u',' + num(alert) + u',' +
                             num(action) + tail;
        };
        const qsizetype before = lines.size();
        row("Load", "upper", l->loadAlertUpper, l->loadActionUpper);
        row("Load", "lower", l->loadAlertLower, l->loadActionLower);
        row("Disp", "upper", l->dispAlertUpper, l->dispActionUpper);
        row("Disp", "lower", l->dispAlertLower, l->dispActionLower);
        row("Rate", "either", l->rateAlert, l->rateAction);
        if (lines.size() == before && l->staleDays) lines << id + QStringLiteral(",Stale,,,") + tail;
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString Preview::text() const
{
    QStringList t;
    t << (changeLines.isEmpty() ? QStringLiteral("No sensor's levels change.")
                                : QStringLiteral("The levels of %1 sensor(s) change:").arg(changeLines.size()));
    for (const QString& c : changeLines) t << QStringLiteral("   ") + c;
    if (!refused.isEmpty()) {
        t << QStringLiteral("%1 row(s) refused:").arg(refused.size());
        for (const QString& r : refused) t << QStringLiteral("   ") + r;
    }
    return t.join(QStringLiteral("\r\n"));
}

Preview preview(Database& db, const QString& csv)
{
    Preview p;
    struct Sensor {
        AlarmRules::Texts texts;
        QString shared;  // margin, window and stale days as given
        QList<int> lines;
        QStringList seen;  // quantity/direction rows
        QString problem;
    };
    QMap<QString, Sensor> sensors;
    const QStringList lines = csv.split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || (n == 0 && line.startsWith(QLatin1String("Sensor"), Qt::CaseInsensitive))) continue;
        const QStringList f = fieldsOfLine(line);
        const QString where = QStringLiteral("line %1: ").arg(n + 1);
        if (f.size() != 8) {
            p.refused << where + QStringLiteral("8 fields needed, %1 found").arg(f.size());
            continue;
        }
        const QString& id = f[0];
        if (db.scalar(QStringLiteral("SELECT 1 FROM Sensors WHERE InstrumentID = ?"), {id}).isNull()) {
            p.refused << where + QStringLiteral("no sensor ") + id;
            continue;
        }
        Sensor& s = sensors[id];
        s.lines << n + 1;
        const QString shared = f[5] + u'|' + f[6] + u'|' + f[7];
        if (!s.shared.isEmpty() && s.shared != shared && s.problem.isEmpty())
            s.problem = where + QStringLiteral("margin, rate window or stale days differ from the sensor's other rows");
        s.shared = shared;
        s.texts[AlarmRules::MarginPercent] = f[5];
        s.texts[AlarmRules::RateWindowDays] = f[6];
        s.texts[AlarmRules::StaleDays] = f[7];
        if (f[1].compare(QLatin1String("Stale"), Qt::CaseInsensitive) == 0) continue;
        AlarmRules::Field alert, action;
        if (!fieldsOf(f[1], f[2], alert, action)) {
            if (s.problem.isEmpty())
                s.problem = where + QStringLiteral("unknown quantity and direction ") + f[1] + u' ' + f[2];
            continue;
        }
        const QString key = f[1].toLower() + u'/' + f[2].toLower();
        if (s.seen.contains(key) && s.problem.isEmpty())
            s.problem = where + QStringLiteral("a second row for ") + f[1] + u' ' + f[2];
        s.seen << key;
        s.texts[alert] = f[3];
        s.texts[action] = f[4];
    }
    for (auto it = sensors.cbegin(); it != sensors.cend(); ++it) {
        QString problem = it->problem;
        AlarmStore::Levels levels;
        if (problem.isEmpty()) {
            const AlarmRules::Checked c = AlarmRules::check(it->texts);
            if (!c.ok()) problem = QStringLiteral("line %1: ").arg(it->lines.first()) + c.message;
            levels = c.levels;
        }
        if (!problem.isEmpty()) {
            p.refused << problem + QStringLiteral(" (sensor ") + it.key() + QStringLiteral(" left as it is)");
            continue;
        }
        const std::optional<AlarmStore::Levels> stored = AlarmStore::levels(db, it.key());
        if (stored && stored->signature() == levels.signature()) continue;
        p.changes.push_back({it.key(), levels});
        p.changeLines << it.key() + QStringLiteral(": ") + AlarmStore::levelsText(levels).join(QStringLiteral("; "));
    }
    return p;
}

int apply(Database& db, const Preview& p)
{
    Transaction tx(db, Transaction::Lock::Immediate);
    for (const auto& [id, levels] : p.changes) AlarmStore::saveLevels(db, id, levels);
    tx.commit();
    return int(p.changes.size());
}

}  // namespace AlarmLevelsCsv
