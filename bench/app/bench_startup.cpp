// Start-up on a 1 GB database: from starting the program to the main window's first
// paint, with and without the structural check that starts in the background after that
// paint; the check's own time; and how long a save made while the check runs takes (the
// check steps aside for it). Each figure is the median of several runs of a fresh process.
//
// The database (about 2.5 million readings over 20 sensors) is made on the first run in
// /tmp/tarnwell-bench-startup and kept there for later runs; delete that folder to make it
// again. Run with QT_QPA_PLATFORM=offscreen.
#include "support/BenchSupport.h"
#include "core/Messages.h"
#include "app/MainWindow.h"
#include "setup/Installer.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "core/Paths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <vector>

namespace {

const QString BenchHome = QStringLiteral("/tmp/tarnwell-bench-startup");
constexpr qint64 TargetBytes = 1024LL * 1024 * 1024;

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "generation failed: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Readings with every column a calculation pass fills, as a database in use holds them.
void fillSensor(sqlite3* db, const QString& id, int count)
{
    QStringList cols{"DateTimeKey",  "FullDate",    "ReadingDate", "ReadingTime", "ChannelT",
                     "Plottemporal", "PlotSpatial", "DoNotPlot",   "IsDirty",     "NumTemp"};
    for (int c = 1; c <= 6; ++c)
        cols << QStringLiteral("Channel%1").arg(c) << QStringLiteral("zero%1").arg(c) << QStringLiteral("Load%1").arg(c)
             << QStringLiteral("Disp%1").arg(c);
    for (int c = 1; c <= 4; ++c) cols << QStringLiteral("Stretch%1").arg(c);
    QStringList marks;
    for (int i = 0; i < cols.size(); ++i) marks << QStringLiteral("?");
    const QByteArray sql =
        QStringLiteral("INSERT INTO `%1` (%2) VALUES (%3)").arg(id, cols.join(','), marks.join(',')).toUtf8();
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db);
    const QDateTime start(QDate(2010, 1, 1), QTime(0, 0));
    auto text = [&](int i, const QString& s) {
        const QByteArray b = s.toUtf8();
        sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    };
    for (int n = 0; n < count; ++n) {
        const QDateTime t = start.addSecs(qint64(n) * 600);
        int i = 1;
        text(i++, id + ' ' + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        text(i++, t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        text(i++, t.toString(QStringLiteral("yyyy/MM/dd")));
        text(i++, t.toString(QStringLiteral("HH:mm:ss")));
        const double temp = 15 + 5 * std::sin(n / 100.0);
        text(i++, QString::number(temp, 'f', 1));
        sqlite3_bind_int(st, i++, n % 7 == 0);
        sqlite3_bind_int(st, i++, n % 5000 == 0);
        sqlite3_bind_int(st, i++, 0);
        sqlite3_bind_int(st, i++, 1);
        sqlite3_bind_double(st, i++, temp - 15);
        for (int c = 1; c <= 6; ++c) {
            const double raw = 100.0 * c + 50 * std::sin(n / 24.0 + c);
            text(i++, QString::number(raw, 'f', 2));
            sqlite3_bind_double(st, i++, raw - 100.0 * c);
            sqlite3_bind_double(st, i++, (raw - 100.0 * c) / 100.0);
            sqlite3_bind_double(st, i++, (raw - 100.0 * c) * 0.37);
        }
        for (int c = 1; c <= 4; ++c) sqlite3_bind_double(st, i++, std::cos(n / 50.0 + c) * 12.5);
        check(sqlite3_step(st), db);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
}

void makeDatabase()
{
    const QString path = Paths::databasePath();
    if (QFileInfo(path).size() >= TargetBytes) return;
    std::printf("Making a 1 GB database in %s (once)...\n", qPrintable(BenchHome));
    std::fflush(stdout);
    QDir(BenchHome).removeRecursively();
    QDir().mkpath(BenchHome);
    Installer::install();
    {
        Database db(QStringLiteral("sensors"));
        db.open(path);
        for (int s = 1; s <= 20; ++s) {
            const QString id = QStringLiteral("2401750%1").arg(s, 2, 10, QChar('0'));
            db.execute(
                QStringLiteral("INSERT INTO Sensors (InstrumentID, DateID, TypeID, SensorNo, SensorType, Family, "
                               "Model, numgauges, LengthofCable, InstallDate, Destroyed, HeadLocation, Stacked, "
                               "boltkfactor, lengthofgauge, NodeLocation1) VALUES (?,?,'75',?,'75','HALYX',"
                               "'d6HALYX',6,0,'2010/01/01','No',1,1,100,50,100)"),
                {id, id.left(4), id.mid(6, 3)});
            DataTables::createDataTable(db, id);
        }
    }
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    for (int s = 1; s <= 20 && QFileInfo(path).size() < TargetBytes; ++s) {
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        fillSensor(db, QStringLiteral("2401750%1").arg(s, 2, 10, QChar('0')), 130000);
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    }
    sqlite3_close(db);
}

// The program as the menu starts it, in this process: prints the time from the process's
// start to the first paint of the tab control, then (with the check) the check's own time
// and the time of a save made while it runs, and ends without the shutdown work.
int child(int argc, char* argv[], bool withCheck, qint64 startedAtMs)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QApplication::setOrganizationName(QStringLiteral("Orrisford"));
    Messages::Script script;  // nothing waits for a click
    Messages::installScript(&script);
    MainWindow::setStructureCheckEnabled(false);
    auto* w = new MainWindow;
    struct FirstPaint : QObject {
        qint64 started;
        std::function<void()> then;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint && then) {
                std::printf("painted %lld\n", QDateTime::currentMSecsSinceEpoch() - started);
                std::fflush(stdout);
                auto f = std::move(then);
                then = nullptr;
                QTimer::singleShot(0, f);
            }
            return false;
        }
    } paint;
    paint.started = startedAtMs;
    w->tabWidget->installEventFilter(&paint);
    paint.then = [&] {
        if (!withCheck) std::_Exit(0);
        QElapsedTimer total;
        total.start();
        w->shared().db.startStructureCheck([](const StructureCheck::Outcome& o) {
            std::printf("check %lld %s\n", o.milliseconds, o.damaged ? "damaged" : "sound");
            std::fflush(stdout);
            std::_Exit(0);
        });
        // A save while the check reads the file.
        QTimer::singleShot(300, [w] {
            QElapsedTimer t;
            t.start();
            try {
                w->shared().db.execute(QStringLiteral("UPDATE Prefs SET MineID = MineID"));
                std::printf("save %.1f\n", t.nsecsElapsed() / 1e6);
            } catch (...) {
                std::printf("save failed\n");
            }
            std::fflush(stdout);
        });
    };
    w->show();
    return app.exec();
}

double median(std::vector<double> v)
{
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("HOME", BenchHome.toLocal8Bit());
    for (const char* v : {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) qunsetenv(v);
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv, qstrcmp(argv[2], "check") == 0, qgetenv("TARNWELL_BENCH_START").toLongLong());

    QCoreApplication app(argc, argv);
    makeDatabase();
    std::printf("Start-up on a %.2f GB database (%s)\n",
                QFileInfo(Paths::databasePath()).size() / (1024.0 * 1024 * 1024), qPrintable(Paths::databasePath()));
    const int runs = 7;
    for (bool withCheck : {false, true}) {
        std::vector<double> painted, checked, saved;
        for (int r = 0; r < runs; ++r) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            const qint64 start = QDateTime::currentMSecsSinceEpoch();
            env.insert(QStringLiteral("TARNWELL_BENCH_START"), QString::number(start));
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), withCheck ? QStringLiteral("check") : QStringLiteral("none")});
            p.waitForFinished(120000);
            for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
                const QList<QByteArray> f = line.split(' ');
                if (f.size() < 2) continue;
                if (f[0] == "painted") painted.push_back(f[1].toDouble());
                if (f[0] == "check") checked.push_back(f[1].toDouble());
                if (f[0] == "save") saved.push_back(f[1] == "failed" ? -1 : f[1].toDouble());
            }
        }
        if (!withCheck) {
            Bench::report(QStringLiteral("exec to first paint, no structural check"), median(painted), "ms");
        } else {
            Bench::report(QStringLiteral("exec to first paint, structural check after it"), median(painted), "ms",
                          QStringLiteral("within 10 % of the figure without"));
            Bench::report(QStringLiteral("the structural check's own time (quick_check)"), median(checked), "ms");
            Bench::report(QStringLiteral("a save while the check runs (it steps aside)"), median(saved), "ms",
                          QStringLiteral("<= 1000 ms"));
        }
    }
    return 0;
}
