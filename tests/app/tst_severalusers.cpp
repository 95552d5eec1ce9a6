// Several users on one database: two connections stand for two copies of the program (or
// a copy and tarnwell-import). A save never overwrites a change it has not seen, every
// writer says who changed a row and when, and what others add or delete shows at the
// next move.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "readings/ReadingsController.h"
#include "sensors/SensorRegistry.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/RowVersions.h"
#include "tools/DatasheetModel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {
const QString Sensor = "250475001";
const QString Other = "250475002";
const QDateTime R1(QDate(2024, 5, 1), QTime(10, 0, 0));
const QDateTime R2(QDate(2024, 5, 2), QTime(14, 30, 0));
const QDateTime R3(QDate(2024, 5, 3), QTime(10, 0, 0));

QString key(const QDateTime& t) { return TestData::readingKey(Sensor, t); }

QList<TestData::NewReading> threeReadings()
{
    return {{R1, {"10.00", "20.00"}, "20.5"}, {R2, {"11.00", "21.00"}, "21.0"}, {R3, {"12.00", "22.00"}, "21.5"}};
}

// One user's connection: the name it writes into ChangedBy.
std::unique_ptr<Database> userConnection(const QString& user)
{
    auto db = TestData::openDatabase(QStringLiteral("user-") + user);
    db->setUserName(user);
    return db;
}

QString readingsSql() { return QStringLiteral("SELECT * FROM `%1` ORDER BY FullDate").arg(Sensor); }

QVariant stored(Database& db, const QDateTime& when, const QString& column)
{
    return db.scalar(QStringLiteral("SELECT %1 FROM `%2` WHERE DateTimeKey = ?").arg(column, Sensor), {key(when)});
}

// Puts a recordset on the reading at when and reads it, as a page showing it does.
void showReading(Recordset& rs, const QDateTime& when)
{
    rs.moveFirst();
    QVERIFY(rs.find(QStringLiteral("DateTimeKey = '") + key(when) + u'\''));
    (void)rs.text(QStringLiteral("Channel1"));
}

}  // namespace

class TestSeveralUsers : public QObject {
    Q_OBJECT
    TestHome home;

    static void addSensorWith(const QList<TestData::NewReading>& readings)
    {
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
        TestData::addReadings(*db, Sensor, readings);
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { TestData::installFresh(); }

    // The two users edit the same reading: the second save is refused, stores nothing and
    // says who changed it; the current values are then shown and a new save goes through.
    void secondSaveOfTheSameReadingIsRefusedAndTold()
    {
        addSensorWith(threeReadings());
        auto annDb = userConnection("ann"), benDb = userConnection("ben");
        Recordset ann(*annDb), ben(*benDb);
        ann.open(readingsSql());
        ben.open(readingsSql());
        QVERIFY(ann.versioned());
        showReading(ann, R2);
        showReading(ben, R2);

        ben.setValue("Channel1", "99.00");
        ben.update();
        QCOMPARE(stored(*benDb, R2, "ChangedBy").toString(), QString("ben"));
        QCOMPARE(stored(*benDb, R2, "RowVersion").toLongLong(), 1);

        ann.setValue("Channel2", "55.00");
        ann.setValue("ChannelT", "30.0");
        try {
            ann.update();
            QFAIL("a save over a change it has not seen went through");
        } catch (const TwError& e) {
            QCOMPARE(e.number, ErrNo::ChangedByOther);
        }
        QCOMPARE(ann.conflict().by, QString("ben"));
        QVERIFY(!ann.conflict().at.isEmpty());
        QVERIFY(!ann.conflict().deleted);
        // Nothing of ann's save is stored; ben's change is whole.
        QCOMPARE(stored(*annDb, R2, "Channel2").toString(), QString("21.00"));
        QCOMPARE(stored(*annDb, R2, "ChannelT").toString(), QString("21.0"));
        QCOMPARE(stored(*annDb, R2, "Channel1").toString(), QString("99.00"));
        QVERIFY(!ann.isEditing());
        // The current values are what ann sees next, and her next save is made on them.
        QCOMPARE(ann.text("Channel1"), QString("99.00"));
        ann.setValue("Channel2", "55.00");
        ann.update();
        QCOMPARE(stored(*annDb, R2, "Channel2").toString(), QString("55.00"));
        QCOMPARE(stored(*annDb, R2, "RowVersion").toLongLong(), 2);
        QCOMPARE(stored(*annDb, R2, "ChangedBy").toString(), QString("ann"));
        // And now ben's view is the stale one.
        ben.setValue("Channel1", "1.00");
        QVERIFY_THROWS_EXCEPTION(TwError, ben.update());
        QCOMPARE(ben.conflict().by, QString("ann"));
        QCOMPARE(stored(*annDb, R2, "Channel1").toString(), QString("99.00"));
    }

    // One's own saves, a move that writes the edit first, and a calculation pass writing
    // computed columns are never taken for someone else's change.
    void ownSavesAndPassesAreNotConflicts()
    {
        addSensorWith(threeReadings());
        auto annDb = userConnection("ann"), passDb = userConnection("pass");
        Recordset ann(*annDb);
        ann.open(readingsSql());
        showReading(ann, R1);
        for (const char* v : {"1.00", "2.00", "3.00"}) {
            ann.setValue("Channel1", v);
            ann.update();
        }
        QCOMPARE(stored(*annDb, R1, "RowVersion").toLongLong(), 3);
        // A pass on another connection writes computed columns only.
        Recordset pass(*passDb);
        pass.open(readingsSql());
        pass.setComputedWrites(true);
        showReading(pass, R1);
        pass.setValue("Load1", 7.0);
        pass.setValue("IsDirty", 0);
        pass.update();
        QCOMPARE(stored(*annDb, R1, "RowVersion").toLongLong(), 3);
        QCOMPARE(stored(*annDb, R1, "ChangedBy").toString(), QString("ann"));
        ann.setValue("Channel2", "4.00");
        ann.moveNext();  // the edit is written by the move
        QCOMPARE(stored(*annDb, R1, "Channel2").toString(), QString("4.00"));
        QCOMPARE(stored(*annDb, R1, "RowVersion").toLongLong(), 4);
        QCOMPARE(stored(*annDb, R1, "Load1").toDouble(), 7.0);
    }

    // Adding sets the first version; a reading deleted by someone else refuses the save
    // (nothing written, nothing added) and says so.
    void addingAndDeletingConcurrently()
    {
        addSensorWith(threeReadings());
        auto annDb = userConnection("ann"), benDb = userConnection("ben");
        Recordset ann(*annDb), ben(*benDb);
        ann.open(readingsSql());
        ben.open(readingsSql());
        QVERIFY(!ann.othersMayHaveChanged());

        ben.addNew();
        ben.setValue("DateTimeKey", Sensor + " 2024/05/04 10:00:00");
        ben.setValue("FullDate", "2024-05-04 10:00:00");
        ben.update();
        QCOMPARE(benDb
                     ->scalar(QStringLiteral(
                                  "SELECT RowVersion || ChangedBy FROM `%1` WHERE FullDate = '2024-05-04 10:00:00'")
                                  .arg(Sensor))
                     .toString(),
                 QString("1ben"));
        // ben's own writes do not make him read again; ann sees that something changed.
        QVERIFY(!ben.othersMayHaveChanged());
        QVERIFY(ann.othersMayHaveChanged());
        ann.requery();
        QVERIFY(!ann.othersMayHaveChanged());
        QCOMPARE(ann.recordCount(), 4);

        showReading(ann, R3);
        showReading(ben, R3);
        ben.deleteCurrent();
        ann.setValue("Channel1", "5.00");
        try {
            ann.update();
            QFAIL("a save of a deleted reading went through");
        } catch (const TwError& e) {
            QCOMPARE(e.number, ErrNo::RecordDeleted);
        }
        QVERIFY(ann.conflict().deleted);
        QCOMPARE(annDb->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Sensor)).toInt(), 3);
        QVERIFY(stored(*annDb, R3, "Channel1").isNull());
        // The cursor stays usable: it reads again and goes on.
        ann.requery();
        QCOMPARE(ann.recordCount(), 3);

        // A deletion of the reading as shown: refused when ben re-dated it meanwhile, done
        // once ann has seen it; one ben deleted already is simply gone.
        ben.requery();
        showReading(ann, R1);
        showReading(ben, R1);
        ben.setValue("FullDate", "2024-05-01 11:00:00");
        ben.update();
        try {
            ann.deleteCurrentIfUnchanged();
            QFAIL("a reading changed meanwhile was deleted");
        } catch (const TwError& e) {
            QCOMPARE(e.number, ErrNo::ChangedByOther);
        }
        QCOMPARE(ann.conflict().by, QString("ben"));
        QCOMPARE(stored(*annDb, R1, "FullDate").toString(), QString("2024-05-01 11:00:00"));
        QCOMPARE(ann.text("FullDate"), QString("2024-05-01 11:00:00"));
        ann.deleteCurrentIfUnchanged();
        QVERIFY(stored(*annDb, R1, "FullDate").isNull());
        ann.moveFirst();
        showReading(ann, R2);
        benDb->execute(QStringLiteral("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Sensor), {key(R2)});
        ann.deleteCurrentIfUnchanged();
        QCOMPARE(ann.recordCount(), 1);
    }

    // The datasheet: corrections over readings changed by someone else store nothing; those
    // readings show their current values, the other corrections stay for another save.
    void datasheetRefusesStaleCorrectionsAndKeepsTheOthers()
    {
        addSensorWith(threeReadings());
        auto annDb = userConnection("ann"), benDb = userConnection("ben");
        DatasheetModel sheet(*annDb, Sensor, 2);
        sheet.load();
        QVERIFY(sheet.setData(sheet.index(0, 4), "10.007"));
        QVERIFY(sheet.setData(sheet.index(1, 4), "11.008"));
        benDb->execute(QStringLiteral("UPDATE `%1` SET Channel1 = '66.00', ").arg(Sensor) + RowVersions::setNext() +
                           QStringLiteral(" WHERE DateTimeKey = ?"),
                       {"ben", RowVersions::now(), key(R2)});
        try {
            sheet.writeBack();
            QFAIL("stale corrections were written");
        } catch (const TwError& e) {
            QCOMPARE(e.number, ErrNo::ChangedByOther);
            QVERIFY2(e.description.contains(key(R2) + ": changed by ben"), qPrintable(e.description));
            QVERIFY(e.description.contains("Nothing was saved"));
        }
        QCOMPARE(stored(*annDb, R1, "Channel1").toString(), QString("10.00"));  // not half-written
        QCOMPARE(sheet.cellText(1, 4), QString("66.00"));
        QCOMPARE(sheet.editedCount(), 1);
        QCOMPARE(sheet.writeBack(), 1);
        QCOMPARE(stored(*annDb, R1, "Channel1").toString(),
                 QString("10.01"));  // the typed "10.007" in its stored pattern
        QCOMPARE(stored(*annDb, R1, "ChangedBy").toString(), QString("ann"));
        QCOMPARE(stored(*annDb, R2, "Channel1").toString(), QString("66.00"));
        // A corrected reading deleted meanwhile: said so, nothing written.
        QVERIFY(sheet.setData(sheet.index(2, 4), "12.5"));
        benDb->execute(QStringLiteral("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Sensor), {key(R3)});
        try {
            sheet.writeBack();
            QFAIL("a correction of a deleted reading was written");
        } catch (const TwError& e) {
            QVERIFY2(e.description.contains(key(R3) + ": deleted by another user"), qPrintable(e.description));
        }
        QCOMPARE(sheet.editedCount(), 0);
        // The datasheet's columns are the reading's, never the bookkeeping ones.
        for (const QString& f : sheet.fieldNames()) QVERIFY(!RowVersions::isBookkeeping(f));
    }

    // The window: the reading on screen changed by someone else is not overwritten; the
    // user is told who did it and sees the stored values.
    void readingsPageTellsWhoChangedTheReading()
    {
        addSensorWith(threeReadings());
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        auto box = [&](const QString& name) { return w.findChild<QLineEdit*>(name); };
        QCOMPARE(box("txtReadingID")->text(), key(R3));
        auto benDb = userConnection("ben");
        benDb->execute(QStringLiteral("UPDATE `%1` SET Channel1 = '77.00', ").arg(Sensor) + RowVersions::setNext() +
                           QStringLiteral(" WHERE DateTimeKey = ?"),
                       {"ben", RowVersions::now(), key(R3)});
        box("txtChannel(2)")->setText("5.00");
        msgs.script.shown.clear();
        w.findChild<QToolButton*>("imgPrevData")->click();
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QVERIFY2(msgs.script.shown[0].text.contains("changed by ben at "), qPrintable(msgs.script.shown[0].text));
        QVERIFY(msgs.script.shown[0].text.contains("not saved"));
        // Still on the reading, now with what is stored.
        QCOMPARE(box("txtReadingID")->text(), key(R3));
        QCOMPARE(box("txtChannel(1)")->text(), QString("77.00"));
        QCOMPARE(box("txtChannel(2)")->text(), QString("22.00"));
        QCOMPARE(stored(*benDb, R3, "Channel2").toString(), QString("22.00"));
        // The next move goes on as usual.
        msgs.script.shown.clear();
        w.findChild<QToolButton*>("imgPrevData")->click();
        QVERIFY(msgs.script.shown.empty());
        QCOMPARE(box("txtReadingID")->text(), key(R2));
    }

    // Looking writes nothing: moving through the readings (one with empty texts, one with
    // the nulls of an older release), F5, leaving the tab and closing leave every row as it
    // was, so another user's save over a reading only looked at is accepted.
    void lookingAtReadingsWritesNothing()
    {
        auto list = threeReadings();
        list[1].channels = {"11.00", ""};
        list[1].temperature = "";
        addSensorWith(list);
        auto benDb = userConnection("ben");
        benDb->execute(QStringLiteral("UPDATE `%1` SET IsDirty = 0").arg(Sensor));
        benDb->execute(QStringLiteral("UPDATE `%1` SET Channel2 = NULL, ChannelT = NULL, Plottemporal = NULL "
                                      "WHERE DateTimeKey = ?")
                           .arg(Sensor),
                       {key(R1)});
        auto snapshot = [&] {
            QStringList rows;
            QSqlQuery q(benDb->handle());
            q.exec(readingsSql());
            while (q.next()) {
                QStringList cells;
                for (int c = 0; c < q.record().count(); ++c)
                    cells << q.record().fieldName(c) + u'=' +
                                 (q.isNull(c) ? QStringLiteral("null") : q.value(c).toString());
                rows << cells.join(u' ');
            }
            return rows;
        };
        const QStringList before = snapshot();
        QCOMPARE(before.size(), 3);
        Recordset ben(*benDb);
        ben.open(readingsSql());
        showReading(ben, R2);  // ben reads the reading before the window shows it

        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        for (const char* step : {"imgFirst", "imgNextData", "imgNextData", "imgPrevData", "imgFirst", "imgNextData"})
            w.findChild<QToolButton*>(step)->click();
        QCOMPARE(w.findChild<QLineEdit*>("txtReadingID")->text(), key(R2));
        w.refreshData();
        w.tabWidget->setCurrentIndex(MainWindow::TabInstallation);
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        QVERIFY(w.readyToClose());
        QVERIFY(msgs.script.shown.empty());
        QCOMPARE(snapshot(), before);

        ben.setValue("Channel1", "12.50");
        ben.update();
        QCOMPARE(stored(*benDb, R2, "Channel1").toString(), QString("12.50"));
        QCOMPARE(stored(*benDb, R2, "ChangedBy").toString(), QString("ben"));
    }

    // The reading being corrected is deleted by someone else: the save says so, stores
    // nothing (no row comes back) and the reading in its place is shown.
    void correctingAReadingDeletedMeanwhile()
    {
        addSensorWith(threeReadings());
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        auto box = [&](const QString& name) { return w.findChild<QLineEdit*>(name); };
        w.findChild<QToolButton*>("imgPrevData")->click();
        QCOMPARE(box("txtReadingID")->text(), key(R2));
        auto benDb = userConnection("ben");
        benDb->execute(QStringLiteral("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Sensor), {key(R2)});
        box("txtChannel(1)")->setText("3.00");
        msgs.script.shown.clear();
        w.findChild<QToolButton*>("imgNextData")->click();
        QCOMPARE(msgs.script.texts(), QStringList{RowVersions::deletedMessage("reading")});
        QCOMPARE(benDb->scalar(QStringLiteral("SELECT count(*) FROM `%1`").arg(Sensor)).toInt(), 2);
        QCOMPARE(box("txtReadingID")->text(), key(R3));
        QVERIFY(box("txtRcount")->text().endsWith("of 2"));
    }

    // Readings another user (or tarnwell-import) adds or deletes show at the next move and
    // on F5, without leaving the tab.
    void readingsOfOthersShowAtTheNextMoveAndOnF5()
    {
        addSensorWith(threeReadings());
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        auto box = [&](const QString& name) { return w.findChild<QLineEdit*>(name); };
        QCOMPARE(box("txtRcount")->text().endsWith("of 3"), true);
        auto benDb = userConnection("ben");
        const QDateTime r4(QDate(2024, 5, 4), QTime(8, 0, 0));
        TestData::addReadings(*benDb, Sensor, {{r4, {"13.00", "23.00"}, "22.0"}});
        msgs.script.shown.clear();
        w.findChild<QToolButton*>("imgNextData")->click();  // on the last reading: there is one more now
        QVERIFY(msgs.script.shown.empty());
        QCOMPARE(box("txtReadingID")->text(), key(r4));
        QVERIFY(box("txtRcount")->text().endsWith("of 4"));

        // A sensor with no readings yet: the first move after ben adds some shows the latest.
        TestData::addSensor(*benDb, {Other});
        QVERIFY(w.goToSensor(Other));
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        QVERIFY(box("txtReadingID")->text().isEmpty());
        TestData::addReadings(*benDb, Other, {{R1, {"1.00"}, "20.0"}, {R2, {"2.00"}, "20.0"}});
        w.findChild<QToolButton*>("imgNextData")->click();
        QCOMPARE(box("txtReadingID")->text(), TestData::readingKey(Other, R2));
        QVERIFY(w.goToSensor(Sensor));
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        QCOMPARE(box("txtReadingID")->text(), key(r4));

        // ben deletes the first reading; F5 shows the list without it, on the same reading.
        benDb->execute(QStringLiteral("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Sensor), {key(R1)});
        w.refreshData();
        QCOMPARE(box("txtReadingID")->text(), key(r4));
        QVERIFY(box("txtRcount")->text().endsWith("of 3"));

        // ben deletes the reading shown: the next move says so and shows the one in its place.
        benDb->execute(QStringLiteral("DELETE FROM `%1` WHERE DateTimeKey = ?").arg(Sensor), {key(r4)});
        w.findChild<QToolButton*>("imgPrevData")->click();
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QVERIFY(msgs.script.shown[0].text.contains("deleted by another user"));
        QCOMPARE(box("txtReadingID")->text(), key(R3));
    }

    // F5 on a page without sensor boxes: the sensor shown, deleted meanwhile, is said to be
    // gone and the list shows the others.
    void refreshElsewhereTellsOfADeletedSensor()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {Sensor});
            TestData::addSensor(*db, {Other});
        }
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.tabWidget->setCurrentIndex(MainWindow::TabUtilities);
        QCOMPARE(w.shared().currentSensorId(), Sensor);
        {
            auto benDb = userConnection("ben");
            Transaction tx(*benDb);
            benDb->execute("DELETE FROM Sensors WHERE InstrumentID = ?", {Sensor});
            benDb->execute(QStringLiteral("DROP TABLE `%1`").arg(Sensor));
            tx.commit();
        }
        w.shared().rsSensors->rereadCurrent();  // its row no longer in the cursor's memory
        msgs.script.shown.clear();
        w.refreshData();
        QCOMPARE(msgs.script.texts(), QStringList{"Sensor " + Sensor + " was deleted by another user."});
        QCOMPARE(w.shared().currentSensorId(), Other);
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 1);
    }

    // A filtered sensor list: a sensor another user changed out of the filter is not said
    // to be deleted.
    void sensorChangedOutOfTheFilterIsNotCalledDeleted()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {Sensor});
            TestData::addSensor(*db, {Other});
            db->execute("UPDATE Sensors SET Level = 'L1'");
        }
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        w.shared().rsSensors->setFilter("Level = ?", {"L1"});
        w.sensors()->refreshSensorList();
        QCOMPARE(w.shared().currentSensorId(), Sensor);
        auto benDb = userConnection("ben");
        benDb->execute("UPDATE Sensors SET Level = 'L2', " + RowVersions::setNext() + " WHERE InstrumentID = ?",
                       {"ben", RowVersions::now(), Sensor});
        msgs.script.shown.clear();
        w.sensors()->onNextSensorClicked();
        QCOMPARE(msgs.script.texts(),
                 QStringList{"Sensor " + Sensor +
                             " was changed by another user: the filter on the Utilities page now leaves it out."});
        QCOMPARE(w.shared().currentSensorId(), Other);
    }

    // The sensor pages: a stale save of the sensor shown is refused and told with the
    // stored values shown; a sensor another user adds is in the list at the next move and
    // on F5.
    void sensorPagesTellChangesAndShowNewSensors()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {Sensor});
        }
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        QCOMPARE(w.shared().currentSensorId(), Sensor);
        auto benDb = userConnection("ben");
        benDb->execute("UPDATE Sensors SET Level = 'L7', " + RowVersions::setNext() + " WHERE InstrumentID = ?",
                       {"ben", RowVersions::now(), Sensor});
        w.findChild<QLineEdit*>("txtLocation")->setText("Stope 4");
        msgs.script.shown.clear();
        w.refreshData();  // F5 saves first: refused, told, the stored values shown
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QVERIFY2(msgs.script.shown[0].text.contains("This sensor was changed by ben at "),
                 qPrintable(msgs.script.shown[0].text));
        QCOMPARE(w.findChild<QLineEdit*>("txtLevel")->text(), QString("L7"));
        QVERIFY(w.findChild<QLineEdit*>("txtLocation")->text().isEmpty());
        QVERIFY(benDb->scalar("SELECT Location FROM Sensors").isNull());
        // Typed again, it is saved over ben's change, which the user has now seen.
        w.findChild<QLineEdit*>("txtLocation")->setText("Stope 4");
        msgs.script.shown.clear();
        w.refreshData();
        QVERIFY2(msgs.script.shown.empty(), qPrintable(msgs.script.texts().join(" | ")));
        QCOMPARE(benDb->scalar("SELECT Location || '/' || Level || '/' || ChangedBy FROM Sensors").toString(),
                 Database::loginName().isEmpty() ? QString() : QString("Stope 4/L7/") + Database::loginName());

        // ben adds a sensor after the one shown: Next reaches it without leaving the page.
        TestData::addSensor(*benDb, {Other});
        msgs.script.shown.clear();
        w.sensors()->onNextSensorClicked();
        QVERIFY2(msgs.script.shown.empty(), qPrintable(msgs.script.texts().join(" | ")));
        QCOMPARE(w.shared().currentSensorId(), Other);
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 2);
    }

    // A sensor deleted by another user while shown: a clear message at the next action,
    // the list without it, no crash; its readings page says the same.
    void sensorDeletedUnderTheWindow()
    {
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {Sensor});
            TestData::addSensor(*db, {Other});
            TestData::addReadings(*db, Sensor, threeReadings());
        }
        ScriptedMessages msgs;
        MainWindow w;
        w.show();
        QCOMPARE(w.shared().currentSensorId(), Sensor);
        auto benDb = userConnection("ben");
        auto deleteSensor = [&](const QString& id) {
            Transaction tx(*benDb);
            benDb->execute(QStringLiteral("DELETE FROM Sensors WHERE InstrumentID = ?"), {id});
            benDb->execute(QStringLiteral("DROP TABLE `%1`").arg(id));
            tx.commit();
        };
        deleteSensor(Sensor);
        w.findChild<QLineEdit*>("txtLevel")->setText("L4");
        msgs.script.shown.clear();
        w.sensors()->onNextSensorClicked();
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QVERIFY2(msgs.script.shown[0].text.contains("deleted by another user"), qPrintable(msgs.script.shown[0].text));
        QCOMPARE(w.shared().currentSensorId(), Other);
        QCOMPARE(w.shared().rsSensors->recordCount(), 1);
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 1);

        // The Readings tab of a sensor deleted meanwhile.
        TestData::addSensor(*benDb, {Sensor});
        TestData::addReadings(*benDb, Sensor, threeReadings());
        w.refreshData();
        QCOMPARE(w.shared().rsSensors->recordCount(), 2);
        QVERIFY(w.sensors()->selectSensor(Sensor));
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        QCOMPARE(w.findChild<QLineEdit*>("txtReadingID")->text(), key(R3));
        deleteSensor(Sensor);
        msgs.script.shown.clear();
        w.findChild<QToolButton*>("imgFirst")->click();
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QVERIFY2(msgs.script.shown[0].text.contains("Sensor " + Sensor + " was deleted by another user"),
                 qPrintable(msgs.script.shown[0].text));
        QVERIFY(w.findChild<QLineEdit*>("txtReadingID")->text().isEmpty());
        // The window shows the other sensor (and its readings, none), told once.
        QCOMPARE(w.shared().currentSensorId(), Other);
        QCOMPARE(w.shared().rsReadings->table(), Other);

        // Both delete the same sensor: the second deletion finds it gone and the list agrees.
        w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
        QCOMPARE(msgs.script.shown.size(), size_t(1));
        QCOMPARE(w.shared().currentSensorId(), Other);
        deleteSensor(Other);
        msgs.script.shown.clear();
        w.sensors()->onDeleteSensorClicked();  // answered Yes
        QCOMPARE(w.shared().rsSensors->recordCount(), 0);
        QCOMPARE(w.findChild<QComboBox*>("cboSensors")->count(), 0);
        QCOMPARE(benDb->scalar("SELECT count(*) FROM Sensors").toInt(), 0);
    }
};

QTEST_MAIN(TestSeveralUsers)
#include "tst_severalusers.moc"
