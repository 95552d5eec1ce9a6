#include "support/BenchSupport.h"
#include "core/Paths.h"
#include "setup/Installer.h"
#include "store/DataTables.h"
#include "store/Database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace Bench {

Home::Home()
{
    qputenv("HOME", m_dir.path().toLocal8Bit());
    for (const char* v : {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
    QDir(Paths::dataFolder()).removeRecursively();
    Installer::install();
}

Home::~Home() = default;

void fillSensor(Database& db, const QString& id, int count, bool stacked)
{
    const QString type = id.mid(4, 2);
    if (!DataTables::TableExists(db.path(), id)) {
        db.execute(QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, "
                                  "Model, numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, "
                                  "boltkfactor, lengthofgauge, NodeLocation1) VALUES (?,?,?,?,?,'HALYX','d6HALYX',6,0,"
                                  "'2020/01/01','No',1,?,100,50,100)"),
                   {id, id.left(4), type, id.mid(6, 3), type, stacked ? 1 : 0});
        DataTables::createDataTable(db, id);
    }
    Transaction tx(db);
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, ReadingDate, ReadingTime, ChannelT, Channel1, "
                             "Channel2, Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, DoNotPlot, "
                             "IsDirty) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,0,1)")
                  .arg(id));
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    for (int n = 0; n < count; ++n) {
        const QDateTime t = start.addSecs(qint64(n) * 3600);
        q.addBindValue(id + ' ' + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy/MM/dd")));
        q.addBindValue(t.toString(QStringLiteral("HH:mm:ss")));
        q.addBindValue(QString::number(15 + 5 * std::sin(n / 100.0), 'f', 1));
        for (int c = 1; c <= 6; ++c) q.addBindValue(QString::number(100.0 * c + 50 * std::sin(n / 24.0 + c), 'f', 2));
        q.addBindValue(1);
        q.addBindValue(n % 1000 == 0 ? 1 : 0);
        if (!q.exec()) qFatal("fillSensor: %s", qPrintable(q.lastError().text()));
    }
    tx.commit();
}

double residentMB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2) return 0;
    return parts[1].toDouble() * 4096.0 / (1024.0 * 1024.0);
}

void report(const QString& name, double value, const QString& unit, const QString& target)
{
    QString line = QStringLiteral("%1: %2 %3").arg(name).arg(value, 0, 'f', unit == "ms" ? 2 : 1).arg(unit);
    if (!target.isEmpty()) line += QStringLiteral("   (target %1)").arg(target);
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

ReadingTexts::ReadingTexts(const QByteArray& sensor, qint64 utcSeconds)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC);
    const QDate d = when.date();
    const QTime t = when.time();
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", d.year(), d.month(), d.day());
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", t.hour(), t.minute(), t.second());
    std::snprintf(full, sizeof full, "%04d-%02d-%02d %s", d.year(), d.month(), d.day(), time);
    std::snprintf(key, sizeof key, "%s %s %s", sensor.constData(), date, time);
}

}  // namespace Bench
