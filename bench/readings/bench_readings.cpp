// The Readings tab of the whole window (offscreen) on a sensor with 10,000 / 100,000 /
// 1,000,000 readings a minute apart: entering the tab, each navigation, adding a reading, a
// duplicate check, re-dating, and deleting the first half of the days: by the deletion
// routine on a fresh copy of the database (beside one bare SQLite DELETE of the same
// readings on another fresh copy, in the same run), and once through the deletion window.
//
//   QT_QPA_PLATFORM=offscreen build/bench/readings/bench_readings [--sizes ...] [--runs 3]
#include "support/BenchSupport.h"
#include "app/MainWindow.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "readings/ReadingDeletion.h"
#include "readings/ReadingsController.h"
#include "readings/DeleteReadingsDialog.h"
#include "store/Database.h"
#include "support/BySize.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Times fn n times (after an untimed setup each time); reports the median and the slowest.
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
    Bench::figure(name + QStringLiteral(" (median of %1)").arg(n), median(runs), "ms", target);
    Bench::figure(name + QStringLiteral(" (slowest)"), worst(runs), "ms");
}

const QString Id = QStringLiteral("250475001");

// The first half of the days of readings taken a minute apart from 2020-01-01.
QDate rangeEnd(int count) { return QDate(2020, 1, 1).addDays(std::max(0, count / 1440 / 2 - 1)); }
QDate rangeEndFor(int count) { return count >= 2880 ? rangeEnd(count) : QDate(2020, 1, 1); }

// Deleting the range on a fresh copy of the database: by the program's routine, or by one
// bare DELETE statement. Returns the milliseconds of the fastest run.
double deleteOnCopies(const QString& pristine, int runs, int count, bool bareStatement, qint64* deleted)
{
    return Bench::fastest(
        runs,
        [&] {
            Database db(QStringLiteral("bench-delete"));
            db.open(Paths::databasePath());
            if (bareStatement) {
                Transaction tx(db);
                *deleted = db.execute(
                    QStringLiteral("DELETE FROM `%1` WHERE ReadingDate BETWEEN ? AND ?").arg(Id),
                    {QStringLiteral("2020/01/01"), rangeEndFor(count).toString(QStringLiteral("yyyy/MM/dd"))});
                tx.commit();
            } else {
                *deleted = ReadingDeletion::deleteBetween(db, Id, QDate(2020, 1, 1), rangeEndFor(count));
            }
        },
        [&] {
            QFile::remove(Paths::databasePath());
            QFile::copy(pristine, Paths::databasePath());
            ::sync();  // the copy on disk before the clock starts, not written back during the run
        });
}

void whenBatchDelOpens(std::function<void(DeleteReadingsDialog*)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<DeleteReadingsDialog*>(w); dlg && dlg->isVisible()) {
                act(dlg);
                return;
            }
        whenBatchDelOpens(act);
    });
}

void runSize(const Bench::SizeRun& run)
{
    Bench::Home home;
    const int count = run.size;
    {
        Database db(QStringLiteral("fill"));
        db.open(Paths::databasePath());
        Bench::fillMinutes(db, Id, count);
    }
    // The deletions first, each on a fresh copy of the database as filled.
    const QString pristine = Paths::databasePath() + QStringLiteral(".pristine");
    QFile::copy(Paths::databasePath(), pristine);
    qint64 deleted = 0, bareDeleted = 0;
    const QString deleteName = QStringLiteral("delete the first half of the days (deletion routine)");
    // The two alternate, so that both meet the disk in the same state.
    double routine = 1e300, bareStatement = 1e300;
    for (int i = 0; i < run.runs; ++i) {
        routine = std::min(routine, deleteOnCopies(pristine, 1, count, false, &deleted));
        bareStatement = std::min(bareStatement, deleteOnCopies(pristine, 1, count, true, &bareDeleted));
    }
    Bench::figure(deleteName, routine, "ms", count == 1000000 ? "<= 3 s" : QString());
    Bench::bare(deleteName, bareStatement);
    Bench::note(QStringLiteral("the range deleted holds %1 readings").arg(deleted));
    if (deleted != bareDeleted) std::printf("CHECK FAILED: deleted %lld, bare %lld\n", deleted, bareDeleted);
    QFile::remove(Paths::databasePath());
    QFile::copy(pristine, Paths::databasePath());
    ::sync();

    Messages::Script script;  // answers every box with OK and records it
    Messages::installScript(&script);
    {
        MainWindow w;
        w.show();
        ReadingsController* r = w.readings();
        Shared& s = w.shared();
        s.rsConfig->moveFirst();
        s.rsConfig->find(QStringLiteral("SensorType = '75'"));
        r->ConfigureForm();
        {
            const QSignalBlocker quiet(w.tabWidget);
            w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        }
        QElapsedTimer t;
        t.start();
        r->enterReadingsTab();
        Bench::figure("enter the Readings tab (first time)", ms(t), "ms", "<= 300 ms");
        timed("enter the Readings tab again", 5, "<= 300 ms", [&] {
            r->leaveReadingsTab();
            r->enterReadingsTab();
        });
        timed(
            "First (from the last reading)", 10, "<= 20 ms", [&] { r->onFirstReadingClicked(); },
            [&] { r->onLastReadingClicked(); });
        timed("Next (from the first reading on)", 50, "<= 20 ms", [&] { r->onNextReadingClicked(); });
        r->onLastReadingClicked();
        timed("Previous (from the last reading back)", 50, "<= 20 ms", [&] { r->onPreviousReadingClicked(); });
        timed(
            "Last (from the first reading)", 10, "<= 20 ms", [&] { r->onLastReadingClicked(); },
            [&] { r->onFirstReadingClicked(); });
        r->onFirstReadingClicked();
        int edit = 0;
        timed(
            "Next with an edited value saved first", 20, "<= 20 ms", [&] { r->onNextReadingClicked(); },
            [&] { r->txtChannel[1]->setText(QString::number(++edit)); });
        // Another copy of the program commits a change (here: to the Prefs table) before each
        // move: the move reads the reading list again first.
        {
            Database other(QStringLiteral("bench-other-copy"));
            other.open(Paths::databasePath());
            int otherEdit = 0;
            timed(
                "Next after another copy committed a change (list read again)", 20, "",
                [&] { r->onNextReadingClicked(); },
                [&] { other.execute(QStringLiteral("UPDATE Prefs SET MinX = ?"), {QString::number(++otherEdit)}); });
        }
        int bareEdit = 0;
        timed("for comparison: a bare one-row UPDATE commit", 20, "", [&] {
            s.db.execute(QStringLiteral("UPDATE `%1` SET Channel1 = ? WHERE rowid = 10").arg(Id),
                         {QString::number(++bareEdit)});
        });
        const QString lastKey = Id + ' ' +
                                QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC)
                                    .addSecs(qint64(count - 1) * 60)
                                    .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        s.rememberedPosition = 0;
        timed("duplicate check, key of the last reading", 20, "<= 5 ms", [&] { r->DupID(lastKey); });
        timed("duplicate check, key not taken", 20, "<= 5 ms",
              [&] { r->DupID(Id + QStringLiteral(" 2099/01/01 00:00:00")); });
        r->onLastReadingClicked();
        qint64 tick = 0;
        r->clock = [&tick] { return QDateTime(QDate(2035, 1, 1), QTime(0, 0)).addSecs(++tick); };
        timed("add a reading", 10, "<= 50 ms", [&] { r->onAddReadingClicked(); });
        int day = 0;
        timed("re-date a reading", 5, "", [&] {
            s.rsReadings->setAbsolutePosition(count / 2);
            r->fillreadings();
            r->dtpRdate->setDate(QDate(2040, 1, 1).addDays(++day));
            emit r->dtpRdate->editingFinished();
        });

        whenBatchDelOpens([&](DeleteReadingsDialog* dlg) {
            dlg->DelStart->setSelectedDate(QDate(2020, 1, 1));
            dlg->DelEnd->setSelectedDate(rangeEndFor(count));
            dlg->OKButton->click();
        });
        const qint64 before = s.rsReadings->recordCount();
        script.shown.clear();
        t.restart();
        r->onDeleteReadingClicked();
        Bench::figure("delete the first half of the days through the window (deletion, display)", ms(t), "ms",
                      count == 1000000 ? "<= 3 s" : QString());
        Bench::note(QStringLiteral("the window deleted %1 readings; message: %2")
                        .arg(before - s.rsReadings->recordCount())
                        .arg(script.shown.empty() ? QStringLiteral("(none)") : script.shown.back().text.simplified()));
    }
    Messages::installScript(nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return Bench::bySize(argc, argv, QStringLiteral("Readings tab (whole window, offscreen; one reading a minute)"),
                         runSize);
}
