// The Readings tab of the whole window (offscreen) on a sensor with 100,000 readings:
// entering the tab, each navigation, adding a reading, a duplicate check, re-dating, and
// deleting a date range of about 50,000 readings through the deletion window.
#include "support/BenchSupport.h"
#include "app/frmTarnwell.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "readings/ReadingsController.h"
#include "readings/frmBatchDel.h"
#include "store/Database.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Times fn n times (after an untimed setup each time); prints the median and the slowest run.
void timed(const QString& name, int n, const QString& target, const std::function<void()>& fn,
           const std::function<void()>& setup = {})
{
    std::vector<double> runs;
    QElapsedTimer t;
    for (int i = 0; i < n; ++i) {
        if (setup) setup();
        t.restart();
        fn();
        runs.push_back(ms(t));
    }
    Bench::report(name + QStringLiteral(" (median of %1)").arg(n), median(runs), "ms", target);
    Bench::report(name + QStringLiteral(" (slowest)"), worst(runs), "ms");
}

void whenBatchDelOpens(std::function<void(frmBatchDel*)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<frmBatchDel*>(w); dlg && dlg->isVisible()) {
                act(dlg);
                return;
            }
        whenBatchDelOpens(act);
    });
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Bench::Home home;
    const QString id = QStringLiteral("250475001");
    const int count = 100000;
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillSensor(db, id, count);
    }
    Messages::Script script;   // answers every box with OK and records it
    Messages::installScript(&script);

    frmTarnwell w;
    w.show();
    ReadingsController* r = w.readings();
    Shared& s = w.shared();
    s.rsConfig->moveFirst();
    s.rsConfig->find(QStringLiteral("SensorType = '75'"));
    r->ConfigureForm();
    {
        const QSignalBlocker quiet(w.SSTab1);
        w.SSTab1->setCurrentIndex(frmTarnwell::TabReadings);
    }
    std::printf("Readings tab, sensor with %d readings (whole window, offscreen)\n", count);

    QElapsedTimer t;
    t.start();
    r->enterReadingsTab();
    Bench::report("enter the Readings tab (first time)", ms(t), "ms", "<= 300 ms");
    timed("enter the Readings tab again", 5, "<= 300 ms", [&] {
        r->leaveReadingsTab();
        r->enterReadingsTab();
    });
    std::printf("  shown: %s\n", qPrintable(r->txtRcount->text()));

    timed("First (from the last reading)", 10, "<= 20 ms", [&] { r->imgFirst_Click(); }, [&] { r->imgLast_Click(); });
    timed("Next (from the first reading on)", 50, "<= 20 ms", [&] { r->imgNextData_Click(); });
    r->imgLast_Click();
    timed("Previous (from the last reading back)", 50, "<= 20 ms", [&] { r->imgPrevData_Click(); });
    timed("Last (from the first reading)", 10, "<= 20 ms", [&] { r->imgLast_Click(); }, [&] { r->imgFirst_Click(); });
    r->imgFirst_Click();
    int edit = 0;
    timed("Next with an edited value saved first", 20, "<= 20 ms", [&] { r->imgNextData_Click(); },
          [&] { r->txtChannel[1]->setText(QString::number(++edit)); });

    // The floor under any save: one row updated in its own transaction on this disk.
    int bare = 0;
    timed("for comparison: a bare one-row UPDATE commit", 20, "", [&] {
        s.db.execute(QStringLiteral("UPDATE `%1` SET Channel1 = ? WHERE rowid = 10").arg(id), {QString::number(++bare)});
    });

    const QString lastKey = id + ' ' +
                            QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(count - 1) * 3600)
                                .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    s.rememberedPosition = 0;
    timed("duplicate check, key of the last reading", 20, "<= 5 ms", [&] { r->DupID(lastKey); });
    timed("duplicate check, key not taken", 20, "<= 5 ms", [&] { r->DupID(id + QStringLiteral(" 2099/01/01 00:00:00")); });
    r->imgLast_Click();

    qint64 tick = 0;
    r->clock = [&tick] { return QDateTime(QDate(2035, 1, 1), QTime(0, 0)).addSecs(++tick); };
    timed("add a reading", 10, "<= 50 ms", [&] { r->imgAddReading_Click(); });
    std::printf("  shown: %s\n", qPrintable(r->txtRcount->text()));

    // Re-dating the middle reading to a later day (it moves to the end).
    int day = 0;
    timed("re-date a reading", 5, "", [&] {
        s.rsReadings->setAbsolutePosition(50000);
        r->fillreadings();
        r->dtpRdate->setDate(QDate(2040, 1, 1).addDays(++day));
        emit r->dtpRdate->editingFinished();
    });

    // 2,083 days of 24 readings from the first day: 49,992 readings.
    const QDate start(2020, 1, 1);
    const QDate end = start.addDays(2082);
    whenBatchDelOpens([&](frmBatchDel* dlg) {
        dlg->DelStart->setSelectedDate(start);
        dlg->DelEnd->setSelectedDate(end);
        dlg->OKButton->click();
    });
    const qint64 before = s.rsReadings->recordCount();
    script.shown.clear();
    t.restart();
    r->imgDeleteReading_Click();
    Bench::report("delete a date range (window, deletion, display)", ms(t), "ms", "<= 1000 ms");
    std::printf("  deleted %lld readings; message: %s\n", before - s.rsReadings->recordCount(),
                script.shown.empty() ? "(none)" : qPrintable(script.shown.back().text));
    Messages::installScript(nullptr);
    return 0;
}
