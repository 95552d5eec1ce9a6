// What the tests of the graph data selections and of the calculation passes share: a fresh
// database per test, sensors and readings made the way the program makes them, and reads of
// the stored computed columns and of the log.
#pragma once
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "data/GraphData.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QtTest>
#include <cmath>
#include <memory>

namespace PassFixture {

using TestData::NewReading;

inline const QString S75 = QStringLiteral("250475001");

inline QDateTime day(int d, int hour = 8) { return QDateTime(QDate(2025, 5, d), QTime(hour, 0)); }

inline NewReading reading(const QDateTime& when, const QStringList& channels, const QString& temp = QString())
{
    NewReading r;
    r.when = when;
    r.channels = channels;
    r.temperature = temp;
    r.temporal = true;
    r.spatial = true;
    return r;
}

// n readings an hour apart from 2024-01-01 01:00, gauge 1 varying, the others zero.
inline QList<NewReading> hourlyReadings(int n)
{
    QList<NewReading> list;
    for (int d = 1; d <= n; ++d)
        list << reading(QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(qint64(d) * 3600),
                        {QString::number(100 + d % 50) + ".00", "0.00", "0.00", "0.00", "0.00", "0.00"});
    return list;
}

inline QString logText()
{
    QFile f(Paths::logFilePath());
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(f.readAll());
}

inline int logCount(const QString& ending) { return int(logText().count(ending + QStringLiteral("\r\n"))); }

// Whether this process still holds the file open.
inline bool fileHeldOpen(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) return true;
    return false;
}

// A fresh database for each test, opened through the session the passes use (skipped on a
// server when none is running).
class Base : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { openFresh(); }
    void cleanup() { s.reset(); }

protected:
    TestHome home;
    std::unique_ptr<Shared> s;

    void openFresh()
    {
        s.reset();
        TestData::installFresh();
        s = std::make_unique<Shared>();
        s->databasePath = TestData::databaseTarget();
        QVERIFY(s->db.open(s->databasePath));
    }

    void addSensor(const QString& id, bool stacked = true, const QString& k = QStringLiteral("100"),
                   const QString& gauge = QStringLiteral("0.5"))
    {
        TestData::NewSensor sensor;
        sensor.id = id;
        sensor.stacked = stacked;
        sensor.boltkfactor = k;
        sensor.lengthofgauge = gauge;
        TestData::addSensor(s->db, sensor);
    }

    Calc::SensorInputs inputs(const QString& id, bool stacked = true, const QString& k = QStringLiteral("100"),
                              const QString& gauge = QStringLiteral("0.5"))
    {
        Calc::SensorInputs in;
        in.id = id;
        in.sensorType = id.mid(4, 2);
        in.stacked = stacked;
        in.kFactorText = k;
        in.gaugeLengthText = gauge;
        return in;
    }

    QVariant cell(const QString& id, const QDateTime& when, const QString& column)
    {
        return s->db.scalar(QStringLiteral("SELECT %1 FROM `%2` WHERE DateTimeKey = ?").arg(column, id),
                            {TestData::readingKey(id, when)});
    }
    double num(const QString& id, const QDateTime& when, const QString& column)
    {
        const QVariant v = cell(id, when, column);
        return v.isNull() ? std::nan("") : v.toDouble();
    }
    // The columns a pass computes.
    static QStringList computedColumnNames()
    {
        QStringList cols;
        for (int i = 1; i <= 10; ++i) cols << QStringLiteral("zero%1").arg(i);
        cols << QStringLiteral("NumTemp");
        for (int i = 1; i <= 6; ++i) cols << QStringLiteral("Load%1").arg(i) << QStringLiteral("Disp%1").arg(i);
        for (int i = 1; i <= 4; ++i) cols << QStringLiteral("Stretch%1").arg(i);
        return cols;
    }
    // Every computed column of every reading, in date order, as stored ("null" for null).
    QStringList computedColumns(const QString& id)
    {
        const QStringList cols = computedColumnNames();
        QStringList out;
        QSqlQuery q(s->db.handle());
        if (!q.exec(QStringLiteral("SELECT %1 FROM `%2` ORDER BY FullDate").arg(cols.join(','), id)))
            return {"unreadable"};
        while (q.next())
            for (int i = 0; i < cols.size(); ++i)
                out << (q.value(i).isNull() ? QStringLiteral("null") : QString::number(q.value(i).toDouble(), 'g', 17));
        return out;
    }
    // Puts a marker value in every computed column of every reading.
    void markAll(const QString& id, double marker)
    {
        QStringList sets;
        for (const QString& col : computedColumnNames()) sets << QStringLiteral("%1 = %2").arg(col).arg(marker);
        s->db.execute(QStringLiteral("UPDATE `%1` SET %2").arg(id, sets.join(',')));
    }
};

}  // namespace PassFixture
