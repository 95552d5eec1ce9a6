// The deletion window opened from the Readings tab: what it names, the question each choice
// asks, that No keeps every reading and Yes deletes exactly the number named, and the
// window's own choices without a sensor.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "readings/ReadingsController.h"
#include "readings/DeleteReadingsDialog.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

namespace {
const QString Sensor = "250475001";

QDateTime at(int day, int hour) { return QDateTime(QDate(2024, 5, day), QTime(hour, 0)); }
QString shortDate(const QDate& d) { return QLocale::system().toString(d, QLocale::ShortFormat); }

// Four days of three readings each, 1 to 4 May 2024.
QList<TestData::NewReading> twelveReadings()
{
    QList<TestData::NewReading> list;
    for (int day = 1; day <= 4; ++day)
        for (int h : {6, 12, 18}) list.append({at(day, h), {"1"}, "20.0"});
    return list;
}

void addSensorWith(const QList<TestData::NewReading>& readings)
{
    auto db = TestData::openDatabase();
    TestData::addSensor(*db, {Sensor});
    if (!readings.isEmpty()) TestData::addReadings(*db, Sensor, readings);
}

// Acts on the deletion window as soon as it is shown; a window still open afterwards (a
// question answered No, nothing to delete) is then cancelled, so the test never hangs.
void whenBatchDelOpens(std::function<void(DeleteReadingsDialog*)> act, bool* leftOpen = nullptr)
{
    QTimer::singleShot(0, [act, leftOpen] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<DeleteReadingsDialog*>(w); dlg && dlg->isVisible()) {
                act(dlg);
                const bool open = dlg->isVisible();
                if (leftOpen) *leftOpen = open;
                if (open) dlg->CancelButton->click();
                return;
            }
        whenBatchDelOpens(act, leftOpen);  // not shown yet: look again
    });
}

// The window on the Readings tab of the sensor, its latest reading shown.
struct Page {
    ScriptedMessages msgs;
    MainWindow w;
    Page()
    {
        w.show();
        w.selectTab(MainWindow::TabReadings);
        msgs.script.shown.clear();
    }
    void deleteReadings() { w.findChild<QToolButton*>("imgDeleteReading")->click(); }
    QString count() { return w.findChild<QLineEdit*>("txtRcount")->text(); }
    QStringList keys()
    {
        QStringList out;
        QSqlQuery q(w.shared().db.handle());
        q.exec(QString("SELECT DateTimeKey FROM `%1` ORDER BY FullDate").arg(Sensor));
        while (q.next()) out << q.value(0).toString();
        return out;
    }
};
}  // namespace

class TestBatchDelete : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init() { TestData::installFresh(); }

    void windowNamesTheSensorAndOpensOnItsReadings()
    {
        addSensorWith(twelveReadings());
        Page p;
        QString title, named;
        QDate start, end;
        whenBatchDelOpens([&](DeleteReadingsDialog* dlg) {
            title = dlg->windowTitle();
            named = dlg->lblSensor->text();
            start = dlg->DelStart->selectedDate();
            end = dlg->DelEnd->selectedDate();
            dlg->CancelButton->click();
        });
        p.deleteReadings();
        QCOMPARE(title, QString("SensorData Deletion"));
        QCOMPARE(named, QString("Sensor %1: 12 readings, from %2 to %3")
                            .arg(Sensor, shortDate(QDate(2024, 5, 1)), shortDate(QDate(2024, 5, 4))));
        QCOMPARE(start, QDate(2024, 5, 1));
        QCOMPARE(end, QDate(2024, 5, 4));
        QVERIFY(p.msgs.script.shown.empty());
        QCOMPARE(p.keys().size(), 12);
    }

    // Every choice asks once more, naming the sensor and the count, with No as the default:
    // No leaves every reading (and the window open), Yes deletes exactly the count named.
    void eachChoiceAsksFirst_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("deleted");
        const QString range = QString("Delete the 6 readings of sensor %1 dated from %2 to %3?")
                                  .arg(Sensor, shortDate(QDate(2024, 5, 2)), shortDate(QDate(2024, 5, 3)));
        const QString all = "Delete all 12 readings of sensor " + Sensor + "?";
        const QString one = "Delete the reading of 2024/05/04 18:00:00 of sensor " + Sensor + "?";
        for (bool yes : {false, true}) {
            const char* answer = yes ? "yes" : "no";
            QTest::addRow("all, %s", answer) << "all" << yes << all << (yes ? 12 : 0);
            QTest::addRow("range, %s", answer) << "range" << yes << range << (yes ? 6 : 0);
            QTest::addRow("shown, %s", answer) << "shown" << yes << one << (yes ? 1 : 0);
        }
    }
    void eachChoiceAsksFirst()
    {
        QFETCH(QString, choice);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        QFETCH(int, deleted);
        addSensorWith(twelveReadings());
        Page p;
        const QStringList before = p.keys();
        p.msgs.script.answers = {yes ? Messages::Answer::Yes : Messages::Answer::No};
        bool leftOpen = false;
        DeletionChoice chosen;
        whenBatchDelOpens(
            [choice, &chosen](DeleteReadingsDialog* dlg) {
                if (choice == "all") dlg->cmdDeleteAll->click();
                if (choice == "shown") dlg->cmdSingleDel->click();
                if (choice == "range") {
                    dlg->DelStart->setSelectedDate(QDate(2024, 5, 2));
                    dlg->DelEnd->setSelectedDate(QDate(2024, 5, 3));
                    dlg->OKButton->click();
                }
                chosen = dlg->choice();
            },
            &leftOpen);
        p.deleteReadings();

        QVERIFY(!p.msgs.script.shown.empty());
        const Messages::Shown& asked = p.msgs.script.shown[0];
        QCOMPARE(asked.text, question);
        QCOMPARE(asked.buttons, Messages::Buttons::YesNo);
        QCOMPARE(asked.defaultButton, std::optional<Messages::Answer>(Messages::Answer::No));
        QCOMPARE(leftOpen, !yes);
        QCOMPARE(p.keys().size(), 12 - deleted);
        if (!yes) {
            QCOMPARE(p.keys(), before);
            QCOMPARE(p.msgs.script.shown.size(), size_t(1));
            QVERIFY(!chosen.single && !chosen.dateRange && !chosen.all);
        }
        QCOMPARE(p.count(), QString("%1 of %1").arg(12 - deleted));
    }

    void rangeDeletionReportsWhatItDid()
    {
        addSensorWith(twelveReadings());
        Page p;
        DeletionChoice chosen;
        whenBatchDelOpens([&chosen](DeleteReadingsDialog* dlg) {
            dlg->DelStart->setSelectedDate(QDate(2024, 5, 2));
            dlg->DelEnd->setSelectedDate(QDate(2024, 5, 2));
            dlg->OKButton->click();
            chosen = dlg->choice();
        });
        p.deleteReadings();
        QCOMPARE(p.msgs.script.texts().size(), 2);
        QCOMPARE(p.msgs.script.texts()[1], "3 readings were deleted from " + shortDate(QDate(2024, 5, 2)) + " and " +
                                               shortDate(QDate(2024, 5, 2)));
        QCOMPARE(p.msgs.script.shown[1].title, QString("Tarnwell"));
        QCOMPARE(p.keys().size(), 9);
        QCOMPARE(chosen.start, QDate(2024, 5, 2));
        QCOMPARE(chosen.end, QDate(2024, 5, 2));
    }

    // A range with no readings in it, or one that ends before it starts, is said so and
    // deletes nothing; the window stays open for other dates.
    void emptyRangeKeepsTheWindowOpen_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<QString>("message");
        QTest::newRow("no readings") << QDate(2023, 1, 1) << QDate(2023, 1, 31)
                                     << QString(
                                            "Sensor %1 has no readings dated from %2 to %3.\r\nNo reading was deleted.")
                                            .arg(Sensor, shortDate(QDate(2023, 1, 1)), shortDate(QDate(2023, 1, 31)));
        QTest::newRow("start after end")
            << QDate(2024, 5, 3) << QDate(2024, 5, 1)
            << QString("The start date %1 is after the end date %2.\r\nNo reading was deleted.")
                   .arg(shortDate(QDate(2024, 5, 3)), shortDate(QDate(2024, 5, 1)));
    }
    void emptyRangeKeepsTheWindowOpen()
    {
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        QFETCH(QString, message);
        addSensorWith(twelveReadings());
        Page p;
        bool leftOpen = false;
        whenBatchDelOpens(
            [start, end](DeleteReadingsDialog* dlg) {
                dlg->DelStart->setSelectedDate(start);
                dlg->DelEnd->setSelectedDate(end);
                dlg->OKButton->click();
            },
            &leftOpen);
        p.deleteReadings();
        QVERIFY(leftOpen);
        QCOMPARE(p.msgs.script.texts(), QStringList{message});
        QCOMPARE(p.keys().size(), 12);
    }

    void noReadingsNothingToDelete()
    {
        addSensorWith({});
        Page p;
        QString named;
        bool leftOpen = false;
        whenBatchDelOpens(
            [&](DeleteReadingsDialog* dlg) {
                named = dlg->lblSensor->text();
                dlg->cmdDeleteAll->click();
            },
            &leftOpen);
        p.deleteReadings();
        QCOMPARE(named, "Sensor " + Sensor + " has no readings.");
        QVERIFY(leftOpen);
        QCOMPARE(p.msgs.script.texts(), QStringList{"Sensor " + Sensor + " has no readings to delete."});
    }

    void deletingTheOnlyReadingLeavesTheEmptyState()
    {
        addSensorWith({{at(1, 10), {"1"}, "20.0"}});
        Page p;
        whenBatchDelOpens([](DeleteReadingsDialog* dlg) { dlg->cmdSingleDel->click(); });
        p.deleteReadings();
        QCOMPARE(p.msgs.script.texts(),
                 QStringList{"Delete the reading of 2024/05/01 10:00:00 of sensor " + Sensor + "?"});
        QCOMPARE(p.count(), QString("0 of 0"));
        QCOMPARE(p.w.findChild<QLabel*>("lblError")->text(),
                 QString("0 Readings - Click the Add button to add a reading"));
        QVERIFY(p.keys().isEmpty());
        QVERIFY(p.w.shared().db.tableExists(Sensor));
    }

    void cancellingDeletesNothingAndClearsTheChoice()
    {
        addSensorWith(twelveReadings());
        Page p;
        bool clearedOnOpening = false;
        DeletionChoice chosen;
        whenBatchDelOpens([&](DeleteReadingsDialog* dlg) {
            const DeletionChoice& c = dlg->choice();
            clearedOnOpening = !c.single && !c.dateRange && !c.all && !c.start.isValid();
            dlg->CancelButton->click();
            chosen = dlg->choice();
        });
        p.deleteReadings();
        QVERIFY(clearedOnOpening);
        QVERIFY(!chosen.single && !chosen.dateRange && !chosen.all);
        QVERIFY(!chosen.start.isValid() && !chosen.end.isValid());
        QCOMPARE(p.keys().size(), 12);
        QVERIFY(p.msgs.script.shown.empty());
    }

    // Without a sensor the window asks nothing: it only records the choice.
    void windowChoicesWithoutASensor()
    {
        ScriptedMessages m;
        DeletionChoice choice;
        {
            DeleteReadingsDialog dlg;
            dlg.cmdSingleDel->click();
            choice = dlg.choice();
        }
        QVERIFY(choice.single && !choice.dateRange && !choice.all);
        QVERIFY(!choice.start.isValid());  // DELETE chooses no dates
        {
            DeleteReadingsDialog dlg;
            QVERIFY(!dlg.choice().single);  // opening chooses nothing
            dlg.OKButton->click();          // calendars untouched: today
            choice = dlg.choice();
        }
        QVERIFY(choice.dateRange && !choice.single && !choice.all);
        QCOMPARE(choice.start, QDate::currentDate());
        QCOMPARE(choice.end, QDate::currentDate());
        {
            DeleteReadingsDialog dlg;
            dlg.cmdDeleteAll->click();
            choice = dlg.choice();
        }
        QVERIFY(choice.all && !choice.dateRange);
        {
            DeleteReadingsDialog dlg;
            dlg.reject();
            choice = dlg.choice();
        }
        QVERIFY(!choice.single && !choice.dateRange && !choice.all);
        QVERIFY(m.script.shown.empty());
    }
};

QTEST_MAIN(TestBatchDelete)
#include "tst_batchdelete.moc"
