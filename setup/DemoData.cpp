#include "setup/DemoData.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmRules.h"
#include "data/AlarmPlans.h"
#include "data/AlarmStore.h"
#include "core/TwError.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/RowVersions.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

namespace DemoData {

namespace {

struct DemoSensor {
    const char* id;
    bool stacked;
    const char* level;
    const char* location;
    const char* borehole;
    const char* installBy;
    const char* purpose;
    const char* notes;
    bool hourly;
};

const DemoSensor sensors[] = {
    {"240375101", true, "Level 12", "Stope 4 North drive, hangingwall", "BH-12-041", "J. Mokoena",
     "Support load in the hangingwall of the north drive",
     "Installed after the drive was widened. Read weekly by hand.", false},
    {"240375102", false, "Level 12", "Stope 4 North drive, sidewall", "BH-12-042", "J. Mokoena",
     "Load profile along the bolt near the stope brow", "Connected to a data logger reading every hour.", true},
    {"240355103", true, "Level 14", "Crusher chamber access, crown", "BH-14-007", "A. Fischer",
     "Crown support of the crusher chamber access",
     "Read weekly by hand; one reading flagged as not to be plotted (loose connector).", false},
};

// Raw gauge strain (microstrain) of gauge g at t days after installation. The bolt takes
// load as the rock creeps (logarithmic), with steps after two production blasts, a small
// temperature effect and reading noise. Pairs of opposite gauges differ by a slow bending.
double gaugeStrain(int sensor, int g, double days, double temperature, QRandomGenerator& rng)
{
    const double zeroOffset = 180.0 + 37.0 * g + 11.0 * sensor;
    const double depthFactor = 1.25 - 0.12 * ((g - 1) % 3);  // nearer the collar, more load
    double load = 260.0 * depthFactor * std::log1p(days / 18.0);
    if (days > 210) load += 95.0 * depthFactor * (1 - std::exp(-(days - 210) / 6.0));
    if (days > 480) load += 140.0 * depthFactor * (1 - std::exp(-(days - 480) / 9.0));
    const double bending = 35.0 * std::sin(days / 160.0 + sensor) * (g <= 3 ? 1.0 : -1.0);
    const double thermal = 1.8 * (temperature - 20.0);
    const double noise = (rng.generateDouble() - 0.5) * 4.0;
    return zeroOffset + load + bending + thermal + noise;
}

double temperatureAt(double days, double hourOfDay)
{
    return 21.0 + 3.5 * std::sin(2 * M_PI * days / 365.0) + 0.6 * std::sin(2 * M_PI * hourOfDay / 24.0);
}

void addSensorRow(Database& db, const DemoSensor& s, const QDate& installed)
{
    const QString id = QString::fromLatin1(s.id);
    const QString type = id.mid(4, 2);
    const int channels =
        db.scalar(QStringLiteral("SELECT NumChannels FROM Configuration WHERE SensorType = ?"), {type}).toInt();
    db.execute(
        QStringLiteral(
            "INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, Model, numgauges, "
            "LengthofCable, Level, Location, Borehole, InstallDate, InstallBy, Purpose, Notes, Stacked, boltkfactor, "
            "lengthofgauge, NodeLocation1, HeadLocation, Destroyed) "
            "SELECT ?, ?, ?, ?, SensorType, Family, Model, NumChannels, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, 'No' "
            "FROM Configuration WHERE SensorType = ?"),
        {id, id.left(4), type, id.mid(6, 3), 2.4, QString::fromUtf8(s.level), QString::fromUtf8(s.location),
         QString::fromUtf8(s.borehole), installed.toString(QStringLiteral("yyyy/MM/dd")),
         QString::fromUtf8(s.installBy), QString::fromUtf8(s.purpose), QString::fromUtf8(s.notes), s.stacked ? 1 : 0,
         95.0, 0.4, 0.3, type});
    Q_UNUSED(channels);
    DataTables::createDataTable(db, id);
    db.execute(QStringLiteral("INSERT INTO NetworkConfig (SensorID, MasterID, SlaveID, SlotID, TimeConfig) "
                              "VALUES (?, 'NA', 'NA', 'NA', 24)"),
               {id});
}

QString gaugeText(double v) { return QString::number(v, 'f', 2); }

// The highest load the evaluation found at a sensor's latest reading (levels far out of
// reach are set first, so that it reads the loads and records nothing).
double latestLoad(Database& db, const QString& id)
{
    AlarmStore::Levels probe;
    probe.loadAlertUpper = 1e9;
    AlarmStore::saveLevels(db, id, probe);
    AlarmEvaluation::evaluateSensor(db, id, QDateTime::currentDateTime());
    double best = 0;
    const std::optional<AlarmStore::State> st = AlarmStore::state(db, id);
    if (st) {
        const AlarmRules::States positions = AlarmRules::States::decode(st->positions);
        for (auto it = positions.positions.cbegin(); it != positions.positions.cend(); ++it)
            if (it.key().startsWith(u'L')) best = std::max(best, it->value);
    }
    return best;
}

AlarmStore::Levels loadLevels(double alert, double action)
{
    AlarmStore::Levels l;
    l.loadAlertUpper = std::round(alert * 10) / 10;
    l.loadActionUpper = std::round(action * 10) / 10;
    return l;
}

// Alarm levels that put the first sensor in Alert now, the logged one in Action with the
// way it got there (its whole history evaluated: Alert first, then raised to Action), and
// the third well within its levels; with a response plan per level.
QStringList setDemoLevels(Database& db)
{
    const QString alert = QString::fromLatin1(sensors[0].id);
    const QString action = QString::fromLatin1(sensors[1].id);
    const QString ok = QString::fromLatin1(sensors[2].id);
    const double a = latestLoad(db, alert), b = latestLoad(db, action), c = latestLoad(db, ok);
    if (a <= 0 || b <= 0 || c <= 0) return {QStringLiteral("Demo alarm levels: not set (no loads computed)")};
    AlarmStore::saveLevels(db, alert, loadLevels(0.9 * a, 1.5 * a));
    AlarmEvaluation::evaluateSensor(db, alert, QDateTime::currentDateTime());
    // As if the levels had been set at installation: every reading since is evaluated.
    AlarmStore::saveLevels(db, action, loadLevels(0.7 * b, 0.93 * b));
    AlarmStore::State fresh;
    fresh.status = AlarmStore::Severity::Ok;
    AlarmStore::saveState(db, action, fresh);
    AlarmEvaluation::evaluateSensor(db, action, QDateTime::currentDateTime());
    AlarmStore::saveLevels(db, ok, loadLevels(2 * c, 3 * c));
    AlarmEvaluation::evaluateSensor(db, ok, QDateTime::currentDateTime());
    AlarmPlans::savePlans(db,
                          {{QStringLiteral("Alert"),
                            {},
                            QStringLiteral("Read the sensor daily; inspect the area at the next shift."),
                            QStringLiteral("Shift boss")},
                           {QStringLiteral("Action"),
                            {},
                            QStringLiteral("Stop work in the area and barricade it; call the geotechnical engineer."),
                            QStringLiteral("Geotechnical engineer on call, mine manager")}});
    return {QStringLiteral("Demo alarm levels: %1 in Alert, %2 in Action, %3 OK").arg(alert, action, ok)};
}

}  // namespace

Result install(Database& db, const QString& dataFolder, const QDate& endDateIn)
{
    Result r;
    if (db.scalar(QStringLiteral("SELECT count(*) FROM Sensors")).toInt() > 0) {
        r.lines << QStringLiteral("Demo data: the database holds sensors already; nothing added");
        return r;
    }
    const QDate endDate = endDateIn.isValid() ? endDateIn : QDate::currentDate();
    // Two years of stored readings end a week ago; the sample logger file holds the last week.
    const QDate installed = endDate.addDays(-737);
    QRandomGenerator rng(20240301);
    try {
        Transaction tx(db);
        int sensorIndex = 0;
        for (const DemoSensor& s : sensors) {
            ++sensorIndex;
            addSensorRow(db, s, installed);
            const QString id = QString::fromLatin1(s.id);
            const int channels = id.mid(4, 1).toInt() - 1;
            QSqlQuery q(db.handle());
            q.prepare(QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, ReadingDate, ReadingTime, ChannelT, "
                                     "Channel1, Channel2, Channel3, Channel4, Channel5, Channel6, Plottemporal, "
                                     "PlotSpatial, DoNotPlot, IsDirty) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,1)")
                          .arg(id));
            const QDateTime first(installed, QTime(9, 30, 0));
            const qint64 stepSecs = s.hourly ? 3600 : 7 * 86400;
            const qint64 totalSecs = qint64(730) * 86400;
            int count = 0;
            for (qint64 t = 0; t <= totalSecs; t += stepSecs) {
                QDateTime when = first.addSecs(t);
                if (!s.hourly) when = when.addSecs(qint64(rng.bounded(0, 5400)));  // hand readings vary
                const double days = t / 86400.0;
                const double temp = temperatureAt(days, when.time().hour());
                QStringList ch;
                for (int g = 1; g <= 6; ++g)
                    ch << (g <= channels ? gaugeText(gaugeStrain(sensorIndex, g, days, temp, rng)) : QString());
                const int dayIndex = int(days);
                const bool temporal = s.hourly ? when.time().hour() == 9 : true;
                // About a dozen readings spread over the two years for the length charts.
                const bool spatial = s.hourly ? (when.time().hour() == 9 && dayIndex % 61 == 0) : (count % 9 == 0);
                const bool doNotPlot = (!s.hourly && sensorIndex == 3 && count == 40);
                q.addBindValue(id + ' ' + when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
                q.addBindValue(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
                q.addBindValue(when.toString(QStringLiteral("yyyy/MM/dd")));
                q.addBindValue(when.toString(QStringLiteral("HH:mm:ss")));
                q.addBindValue(QString::number(temp, 'f', 1));
                for (const QString& c : ch) q.addBindValue(c);
                q.addBindValue(temporal ? 1 : 0);
                q.addBindValue(spatial ? 1 : 0);
                q.addBindValue(doNotPlot ? 1 : 0);
                if (!q.exec()) throwSqlError(q.lastError());
                ++count;
            }
            r.lines << QStringLiteral("Demo sensor %1 (%2, type %3): %4 readings")
                           .arg(id, s.stacked ? QStringLiteral("stacked") : QStringLiteral("staggered"), id.mid(4, 2))
                           .arg(count);
        }
        // Everything above is one change by the user who installed it (store/RowVersions.h).
        const QString when = RowVersions::now();
        for (const DemoSensor& s : sensors) {
            for (const QString& t : {QStringLiteral("Sensors"), QString::fromLatin1(s.id)}) {
                if (!RowVersions::present(db, t)) continue;
                db.execute(
                    QStringLiteral("UPDATE `%1` SET RowVersion = 1, ChangedBy = ?, ChangedAt = ? WHERE RowVersion = 0")
                        .arg(t),
                    {db.userName(), when});
            }
        }
        tx.commit();
        r.lines << setDemoLevels(db);
    } catch (const TwError& e) {
        r.ok = false;
        r.lines << QStringLiteral("Demo data could not be added: ") + e.description;
        return r;
    }

    // A logger file with the week after the last stored hourly reading, named after its
    // sensor so that importing it needs no confirmation.
    const DemoSensor& logged = sensors[1];
    const QString id = QString::fromLatin1(logged.id);
    QFile f(dataFolder + '/' + id + QStringLiteral(".txt"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QDateTime first(installed, QTime(9, 30, 0));
        const qint64 last = qint64(730) * 86400;
        for (qint64 t = last + 3600; t <= last + 7 * 86400; t += 3600) {
            const QDateTime when = first.addSecs(t);
            const double days = t / 86400.0;
            const double temp = temperatureAt(days, when.time().hour());
            QStringList fields;
            fields << when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) << QStringLiteral("WREN-07") << id.mid(4, 2)
                   << id.mid(6, 3) << QString::number(temp, 'f', 1);
            for (int g = 1; g <= 6; ++g) fields << gaugeText(gaugeStrain(2, g, days, temp, rng));
            for (int k = 0; k < 5; ++k) fields << QStringLiteral("0");
            f.write(fields.join(',').toLatin1() + "\r\n");
        }
        r.lines << QStringLiteral("Sample logger file: %1").arg(f.fileName());
    }
    return r;
}

}  // namespace DemoData
