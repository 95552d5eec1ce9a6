// The store and the calculation pass on the database file and on a database server, side
// by side in the same run: append 100,000 readings in one transaction as the logger import
// writes them (a prepared insert per row on the file, batches through the server's bulk
// copy on a server),
// open the readings recordset, walk it, find a key near the end, and a full calculation
// pass. The server is the one the PG* environment names (PGHOST, PGPORT, PGUSER,
// PGPASSWORD, PGDATABASE), for example one started with `pg_virtualenv -t`; its public
// schema is emptied first. Without a server only the file's figures are printed.
#include "support/BenchSupport.h"
#include "support/BySize.h"
#include "core/Paths.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "setup/Installer.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>

namespace {

const QString Id = QStringLiteral("200175002");
constexpr int Count = 100000;

struct Figures {
    QMap<QString, double> ms;
    QStringList order;
    void add(const QString& name, double v)
    {
        if (!ms.contains(name)) order << name;
        ms[name] = v;
    }
};

double since(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// A move on the Readings page: what others committed is looked for first, and the list is
// read again (keeping the reading shown) when there is something; then Next.
void moves(Figures& f, Database& db, Recordset& rs, const QString& target, const QString& key)
{
    double sum = 0;
    auto next = [&] {
        if (rs.othersMayHaveChanged()) {
            const qint64 shown = rs.bookmark();
            rs.requery();
            rs.setBookmark(shown);
        }
        rs.moveNext();
        if (rs.eof()) rs.moveFirst();
        sum += rs.value(QStringLiteral("Channel1")).toDouble();
    };
    rs.setAbsolutePosition(Count / 2);
    next();
    constexpr int Moves = 500;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Moves; ++i) next();
    f.add(QStringLiteral("Next, nothing changed"), since(t) / Moves);

    Database other(QStringLiteral("bench-other-user"));
    if (!other.open(target)) return;
    constexpr int Changes = 20;
    double total = 0;
    const qint64 before = db.scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Id)).toLongLong();
    for (int i = 0; i < Changes; ++i) {
        other.execute(QStringLiteral("UPDATE `%1` SET Channel2 = ? WHERE DateTimeKey = ?").arg(Id),
                      {QString::number(i), key});
        t.restart();
        next();
        total += since(t);
    }
    f.add(QStringLiteral("Next after another user's commit"), total / Changes);
    // Another user adds a reading after the last: only the added rows are fetched.
    total = 0;
    const QDateTime last = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(Count) * 60);
    for (int i = 0; i < Changes; ++i) {
        const QDateTime when = last.addSecs(qint64(i) * 60);
        other.execute(QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, Channel1) VALUES (?, ?, '1')").arg(Id),
                      {Id + ' ' + when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                       when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        t.restart();
        next();
        total += since(t);
    }
    f.add(QStringLiteral("Next after another user's addition"), total / Changes);
    other.execute(QStringLiteral("DELETE FROM `%1` WHERE FullDate >= ?").arg(Id),
                  {last.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    if (rs.recordCount() != before + Changes)
        std::printf("CHECK: %lld readings after the moves\n", qlonglong(rs.recordCount()));
}

Figures run(const QString& target)
{
    Figures f;
    Shared s;
    s.databasePath = target;
    if (!s.db.open(target)) {
        std::printf("cannot open %s: %s\n", qPrintable(target), qPrintable(s.db.openFailureDetail()));
        return f;
    }
    f.add(QStringLiteral("append 100,000 readings, batched"), Bench::fillMinutes(s.db, Id, Count, false));

    // The fastest of a few opens, as the other benchmarks take the fastest run.
    QElapsedTimer t;
    Recordset rs(s.db);
    double fastest = 1e300;
    for (int i = 0; i < 5; ++i) {
        t.restart();
        rs.open(DataTables::readingsQuery(Id));
        fastest = std::min(fastest, since(t));
    }
    f.add(QStringLiteral("open the readings recordset"), fastest);

    t.restart();
    double sum = 0;
    rs.moveFirst();
    while (!rs.eof()) {
        sum += rs.value(QStringLiteral("Channel1")).toString().toDouble();
        rs.moveNext();
    }
    f.add(QStringLiteral("walk first to last"), since(t));

    const QString key = Id + ' ' +
                        QDateTime(QDate(2020, 1, 1), QTime(0, 0))
                            .addSecs(qint64(Count - 10) * 60)
                            .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    t.restart();
    rs.moveFirst();
    const bool found = rs.find(QStringLiteral("DateTimeKey = '") + key + '\'');
    f.add(QStringLiteral("find a key near the end"), since(t));
    if (!found) std::printf("CHECK: key not found on %s\n", qPrintable(target));
    moves(f, s.db, rs, target, key);
    rs.close();

    const Calc::SensorInputs in{Id, QStringLiteral("75"), false, QStringLiteral("100"), QStringLiteral("0.5"), {}};
    t.restart();
    const Calc::PassResult r = Calc::GetTemporalData(s, in);
    f.add(QStringLiteral("calculation pass (all readings)"), since(t));
    if (!r.completed || r.rowsWritten != Count) {
        std::printf("CHECK: pass wrote %lld rows on %s\n", qlonglong(r.rowsWritten), qPrintable(target));
        QFile log(Paths::logFilePath());
        if (log.open(QIODevice::ReadOnly)) std::printf("%s\n", log.readAll().right(1500).constData());
    }
    return f;
}

bool emptyServer()
{
    bool ok = false;
    {
        QSqlDatabase pg = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-reset"));
        if (pg.open()) {
            QSqlQuery q(pg);
            ok = q.exec(QStringLiteral("SET client_min_messages = warning")) &&
                 q.exec(QStringLiteral("DROP SCHEMA IF EXISTS public CASCADE")) &&
                 q.exec(QStringLiteral("CREATE SCHEMA public"));
        }
        pg.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-reset"));
    return ok && Installer::setUpServer(QStringLiteral("postgresql://")).ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Bench::Home home;
    std::printf("File and server side by side, %d readings\n", Count);
    const Figures file = run(Paths::databasePath());
    Figures server;
    const bool haveServer = !qEnvironmentVariableIsEmpty("PGHOST") || !qEnvironmentVariableIsEmpty("PGPORT");
    if (haveServer && emptyServer()) server = run(QStringLiteral("postgresql://"));
    else std::printf("(no database server in the environment: file figures only)\n");

    std::printf("%-34s %12s %12s %8s  %s\n", "figure", "file ms", "server ms", "ratio", "target");
    for (const QString& name : file.order) {
        const double a = file.ms.value(name);
        const bool has = server.ms.contains(name);
        const double b = server.ms.value(name);
        const QString target = name.startsWith(QLatin1String("calculation"))
                                   ? QStringLiteral("server <= 2000 ms, within 3x")
                                   : QStringLiteral("within 3x");
        std::printf("%-34s %12.2f %12s %8s  %s\n", qPrintable(name), a,
                    has ? qPrintable(QString::number(b, 'f', 2)) : "-",
                    has && a > 0 ? qPrintable(QString::number(b / a, 'f', 1) + 'x') : "-", qPrintable(target));
    }
    return 0;
}
