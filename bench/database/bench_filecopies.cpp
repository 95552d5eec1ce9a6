// Backup, restore and compaction of a 200 MB database.
#include "support/BenchSupport.h"
#include "core/Paths.h"
#include "database/DatabaseFiles.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Bench::Home home;
    const QString path = Paths::databasePath();
    {
        Database db(QStringLiteral("fill"));
        if (!db.open(path)) qFatal("cannot open the database");
        // Sensors of 150,000 hourly readings each (about 17 years) until the file reaches 200 MB.
        for (int n = 1; QFileInfo(path).size() < 200LL * 1024 * 1024; ++n)
            Bench::fillSensor(db, QStringLiteral("250475%1").arg(n, 3, 10, QChar('0')), 150000);
        // Deleted rows leave free pages for the compaction to reclaim.
        db.execute(QStringLiteral("DELETE FROM `250475001` WHERE rowid % 10 = 0"));
        db.close();
    }
    const double mb = QFileInfo(path).size() / (1024.0 * 1024.0);
    Bench::report(QStringLiteral("database size"), mb, QStringLiteral("MB"));

    QElapsedTimer t;
    {
        Database db(QStringLiteral("live"));
        db.open(path);
        t.start();
        DatabaseFiles::backup(db.sqliteHandle(), Paths::backupFolder(), QDate(2011, 3, 5));
        Bench::report(QStringLiteral("backup from the open connection, checked"), t.elapsed() / 1000.0,
                      QStringLiteral("s"), QStringLiteral("<= 5 s"));
        db.close();
    }
    t.start();
    DatabaseFiles::compact(Paths::dataFolder() + '/', QStringLiteral("TarnwellHALYX.mdb"));
    Bench::report(QStringLiteral("compaction (in place, journalled)"), t.elapsed() / 1000.0, QStringLiteral("s"),
                  QStringLiteral("<= 5 s"));
    Bench::report(QStringLiteral("database size after compaction"), QFileInfo(path).size() / (1024.0 * 1024.0),
                  QStringLiteral("MB"));
    t.start();
    DatabaseFiles::restore(Paths::backupFolder() + QStringLiteral("/HALYXbackup2011-03-05.mdb"), path);
    Bench::report(QStringLiteral("restore (check, copy, check, replace)"), t.elapsed() / 1000.0, QStringLiteral("s"));
    t.start();
    DatabaseFiles::checkOurDatabase(path);
    Bench::report(QStringLiteral("of which one readability check"), t.elapsed() / 1000.0, QStringLiteral("s"));
    return 0;
}
