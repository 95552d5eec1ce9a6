// Alarm evaluation: 50 sensors of 100,000 hourly readings each, every one with levels set.
// The start-up evaluation with nothing new (the usual start), after an overnight import of
// 24 readings per sensor, and the first one after the levels were set; the same start-up in
// the window (marks in the list and the summary message); and saving an edited reading on
// the Readings page with levels set and without.
#include "support/BenchSupport.h"
#include "alarms/AlarmEvaluation.h"
#include "alarms/AlarmsController.h"
#include "app/MainWindow.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "data/AlarmStore.h"
#include "notify/NotifySettings.h"
#include "readings/ReadingsController.h"
#include "store/DataTables.h"
#include "store/Database.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QTabWidget>
#include <cstdio>

namespace {
constexpr int Sensors = 50;
constexpr int Readings = 100000;
const QDateTime Start(QDate(2020, 1, 1), QTime(0, 0));

double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

QString sensorId(int i) { return QStringLiteral("2403750%1").arg(i + 1, 2, 10, QLatin1Char('0')); }

AlarmStore::Levels levels()
{
    AlarmStore::Levels l;
    l.loadAlertUpper = 0.8;
    l.loadActionUpper = 1.1;
    l.loadAlertLower = -0.8;
    l.rateAlert = 3;
    l.staleDays = 2;
    return l;
}

// rise: microstrain added to every gauge (the overnight readings climb past the levels).
void addHourly(Database& db, const QString& id, int from, int count, double rise = 0)
{
    Transaction tx(db);
    QSqlQuery q(db.handle());
    q.prepare(QStringLiteral("INSERT INTO `%1` (DateTimeKey, FullDate, ReadingDate, ReadingTime, ChannelT, Channel1, "
                             "Channel2, Channel3, Channel4, Channel5, Channel6, Plottemporal, PlotSpatial, DoNotPlot, "
                             "IsDirty) VALUES (?,?,?,?,'15.0',?,?,?,?,?,?,1,0,0,1)")
                  .arg(id));
    for (int n = from; n < from + count; ++n) {
        const QDateTime t = Start.addSecs(qint64(n) * 3600);
        q.addBindValue(id + ' ' + t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        q.addBindValue(t.toString(QStringLiteral("yyyy/MM/dd")));
        q.addBindValue(t.toString(QStringLiteral("HH:mm:ss")));
        for (int c = 1; c <= 6; ++c)
            q.addBindValue(QString::number(100.0 * c + 50 * std::sin(n / 24.0 + c) + rise, 'f', 2));
        q.exec();
    }
    tx.commit();
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Bench::Home home;
    std::printf("Alarm evaluation: %d sensors x %d hourly readings, levels set on every one\n", Sensors, Readings);
    QElapsedTimer t;
    t.start();
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, sensorId(0), Readings);
        for (int i = 1; i < Sensors; ++i) {
            Bench::fillSensor(db, sensorId(i), 0);
            db.execute(QStringLiteral("INSERT INTO `%1` SELECT * FROM `%2`").arg(sensorId(i), sensorId(0)));
        }
        for (int i = 0; i < Sensors; ++i) AlarmStore::saveLevels(db, sensorId(i), levels());
    }
    std::printf("  (database made in %.0f s)\n", ms(t) / 1000);

    const QDateTime now = Start.addSecs(qint64(Readings) * 3600);
    {
        Database db(QStringLiteral("bench"));
        db.open(Paths::databasePath());
        t.restart();
        AlarmEvaluation::AllOutcome o = AlarmEvaluation::evaluateAll(db, now);
        Bench::report("first evaluation after the levels were set (latest reading of each)", ms(t), "ms");
        std::printf("  %d sensors, %zu events\n", o.sensors, o.newEvents.size());
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            t.restart();
            o = AlarmEvaluation::evaluateAll(db, now);
            best = std::min(best, ms(t));
        }
        Bench::report("start-up evaluation, nothing new (best of 5)", best, "ms", "<= 300 ms");
        // Mail and a hook set, so every crossing of the night is queued in the outbox too.
        NotifySettings::Settings ns;
        ns.smtpUrl = QStringLiteral("smtp://127.0.0.1:25");
        ns.smtpFrom = QStringLiteral("tarnwell@mine.example");
        ns.hookCommand = QStringLiteral("/bin/true");
        NotifySettings::save(db, ns);
        NotifySettings::saveRecipients(db, {{QStringLiteral("ops@mine.example"), QStringLiteral("Alert"), {}}});
        for (int i = 0; i < Sensors; ++i) addHourly(db, sensorId(i), Readings, 24, 400);
        t.restart();
        o = AlarmEvaluation::evaluateAll(db, now.addDays(1));
        Bench::report("start-up evaluation after 24 new readings per sensor (episodes, notifications queued)", ms(t),
                      "ms", "<= 300 ms");
        std::printf("  %zu events, %d notifications queued\n", o.newEvents.size(),
                    db.scalar(QStringLiteral("SELECT count(*) FROM AlarmOutbox")).toInt());
        AlarmStore::markNotified(db);
    }

    // In the window: the evaluation, the list's marks and the summary, then saving.
    Messages::Script script;
    for (int i = 0; i < 1000; ++i) script.answers.push_back(Messages::Answer::No);
    Messages::installScript(&script);
    MainWindow w;
    t.restart();
    w.show();
    QApplication::processEvents();
    Bench::report("window shown (start-up without the evaluation)", ms(t), "ms");
    t.restart();
    w.alarms()->evaluateAtStartup();
    Bench::report("start-up evaluation in the window (evaluation, list marks, summary)", ms(t), "ms", "<= 300 ms");

    auto saveTimes = [&](const QString& id, const char* what) {
        w.goToSensor(id);
        ReadingsController* r = w.readings();
        {
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        }
        r->enterReadingsTab();
        r->onLastReadingClicked();
        double total = 0, worst = 0;
        const int runs = 20;
        for (int i = 0; i < runs; ++i) {
            r->txtChannel[1]->setText(QString::number(100 + (i % 2 ? 130 : 10)));
            t.restart();
            r->SaveReadings();
            const double one = ms(t);
            total += one;
            worst = std::max(worst, one);
        }
        Bench::report(QString::fromLatin1(what) + QStringLiteral(" (mean of 20)"), total / runs, "ms", "<= 20 ms");
        std::printf("  slowest %.1f ms\n", worst);
        r->leaveReadingsTab();
        {
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
        }
    };
    saveTimes(sensorId(1), "save an edited reading, levels set (evaluated on each save)");
    {
        AlarmStore::saveLevels(w.shared().db, sensorId(2), AlarmStore::Levels{});
        saveTimes(sensorId(2), "save an edited reading, no levels");
    }
    std::printf("  messages shown while saving: %zu\n", script.shown.size());
    Messages::installScript(nullptr);
    return 0;
}
