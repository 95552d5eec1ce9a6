// The readings recordset on a data table of 100,000 readings: open, walk first to last,
// find a key near the end; the same work with a bare QSqlQuery for comparison.
#include "support/BenchSupport.h"
#include "core/Paths.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Bench::Home home;
    const QString id = QStringLiteral("250475001");
    const int count = 100000;
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, id, count);
    }
    Database db;
    db.open(Paths::databasePath());
    const QString key = id + ' ' +
                        QDateTime(QDate(2020, 1, 1), QTime(0, 0))
                            .addSecs(qint64(count - 10) * 3600)
                            .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    std::printf("Readings recordset, %d readings\n", count);

    const double mem0 = Bench::residentMB();
    QElapsedTimer t;
    t.start();
    Recordset rs(db);
    rs.open(DataTables::readingsQuery(id));
    Bench::report("open", t.nsecsElapsed() / 1e6, "ms", "<= 300 ms");

    t.restart();
    qint64 rows = 0;
    double sum = 0;
    rs.moveFirst();
    while (!rs.eof()) {
        sum += rs.value(QStringLiteral("Channel1")).toString().toDouble();
        ++rows;
        rs.moveNext();
    }
    Bench::report("walk first to last (reading Channel1)", t.nsecsElapsed() / 1e6, "ms", "<= 500 ms");

    t.restart();
    rs.moveFirst();
    const bool found = rs.find(QStringLiteral("DateTimeKey = '") + key + '\'');
    Bench::report("find a key near the end", t.nsecsElapsed() / 1e6, "ms", "<= 10 ms");
    Bench::report("memory growth", Bench::residentMB() - mem0, "MB", "<= 60 MB");
    if (!found || rows != count) std::printf("CHECK FAILED: found=%d rows=%lld\n", int(found), rows);

    // The same work with a bare query.
    t.restart();
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    q.exec(DataTables::readingsQuery(id));
    Bench::report("bare QSqlQuery: open", t.nsecsElapsed() / 1e6, "ms");
    t.restart();
    double sum2 = 0;
    while (q.next()) sum2 += q.value(QStringLiteral("Channel1")).toString().toDouble();
    Bench::report("bare QSqlQuery: walk", t.nsecsElapsed() / 1e6, "ms");
    t.restart();
    QSqlQuery f(db.handle());
    f.prepare(QStringLiteral("SELECT * FROM `%1` WHERE DateTimeKey = ?").arg(id));
    f.addBindValue(key);
    f.exec();
    f.next();
    Bench::report("bare QSqlQuery: find", t.nsecsElapsed() / 1e6, "ms");
    if (sum != sum2) std::printf("CHECK FAILED: sums differ\n");
    return 0;
}
