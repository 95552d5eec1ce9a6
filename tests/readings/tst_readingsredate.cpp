// Re-dating a reading on the "3. Readings" page: a date or time the user picks moves the
// shown reading to its new key at once, refusing a key another reading already has.
#include "ReadingsPageFixture.h"
#include "data/Rejections.h"

#include <QtTest>

class TestReadingsRedate : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init() { TestData::installFresh(); }

    void redatingOntoAnotherKeyChangesNothing()
    {
        addSensorWith(threeReadings());
        Page p;
        const QStringList before = p.keys();
        p.pick(R2.date(), R2.time());
        QCOMPARE(p.msgs.script.texts(), QStringList{"There is already a reading on 2024/05/02 at 14:30:00"});
        QCOMPARE(p.msgs.script.shown[0].title, QString("Duplicate Reading"));
        QCOMPARE(p.msgs.script.shown[0].icon, Messages::Icon::None);
        QCOMPARE(p.date()->date(), R3.date());
        QCOMPARE(p.time()->time(), R3.time());
        QCOMPARE(p.keys(), before);
        QCOMPARE(p.stored(R3, "ReadingDate").toString(), QString("2024/05/03"));
        // The next save writes the reading back under its own key.
        p.click("imgFirst");
        QCOMPARE(p.keys(), before);
    }

    void redatingMovesTheReadingAndTheCounterFollows()
    {
        addSensorWith(threeReadings());
        Page p;
        p.click("imgFirst");
        p.box(1)->setText("55");  // typed, not yet saved
        // Typing a date is not applied until the edit is finished.
        p.date()->setDate(QDate(2024, 5, 10));
        QCOMPARE(p.keys().first(), key(R1));
        emit p.date()->editingFinished();
        const QDateTime moved(QDate(2024, 5, 10), R1.time());
        QVERIFY(p.msgs.script.shown.empty());
        QCOMPARE(p.keys(), QStringList({key(R2), key(R3), key(moved)}));
        QCOMPARE(p.count(), QString("3 of 3"));
        QCOMPARE(p.shownKey(), key(moved));
        QCOMPARE(p.stored(moved, "ReadingDate").toString(), QString("2024/05/10"));
        QCOMPARE(p.stored(moved, "FullDate").toString(), QString("2024-05-10 10:00:00"));
        QCOMPARE(p.stored(moved, "Channel2").toString(), QString("20.00"));
        // The typed value survives the move and is stored by the next save.
        QCOMPARE(p.box(1)->text(), QString("55"));
        p.click("imgPrevData");
        QCOMPARE(p.stored(moved, "Channel1").toString(), QString("55.00"));

        // A time change moves it back to the front.
        p.click("imgLast");
        p.time()->setTime(QTime(9, 0, 0));
        p.date()->setDate(QDate(2024, 4, 30));
        emit p.date()->editingFinished();
        QCOMPARE(p.count(), QString("1 of 3"));
        QCOMPARE(p.shownKey(), Sensor + " 2024/04/30 09:00:00");
    }

    // A re-dated reading keeps its rejection marks: they move to its new key in the same
    // write, and a mark left under that key by no reading is not taken over.
    void redatingMovesTheRejectionMarksAlong()
    {
        addSensorWith(threeReadings());
        const QDateTime moved(QDate(2024, 5, 10), R1.time());
        {
            auto db = TestData::openDatabase();
            Rejections::reject(*db, Sensor, key(R1), 2, "loose wire");
            Rejections::reject(*db, Sensor, key(R1), Rejections::Temperature, "sensor in the sun");
            db->execute("INSERT INTO Rejections (SensorID, DateTimeKey, Gauge, Reason) VALUES (?,?,?,?)",
                        {Sensor, key(moved), 5, "left behind"});
        }
        Page p;
        p.click("imgFirst");
        p.pick(moved.date(), moved.time());
        QCOMPARE(p.shownKey(), key(moved));
        auto marks = [&](const QDateTime& when) {
            QStringList out;
            QSqlQuery q(p.w.shared().db.handle());
            q.prepare("SELECT Gauge, Reason FROM Rejections WHERE SensorID = ? AND DateTimeKey = ? ORDER BY Gauge");
            q.addBindValue(Sensor);
            q.addBindValue(key(when));
            q.exec();
            while (q.next()) out << q.value(0).toString() + " " + q.value(1).toString();
            return out;
        };
        QCOMPARE(marks(moved), QStringList({"2 loose wire", "11 sensor in the sun"}));
        QVERIFY(marks(R1).isEmpty());
        QVERIFY(p.box(2)->toolTip().endsWith(": loose wire"));
        QVERIFY(p.box(5)->toolTip().isEmpty());

        // Saved under a new key by the next save as well (a date typed and saved at once).
        const QDateTime again(QDate(2024, 5, 11), R1.time());
        p.date()->setDate(again.date());
        p.click("imgFirst");
        QCOMPARE(marks(again), QStringList({"2 loose wire", "11 sensor in the sun"}));
        QVERIFY(marks(moved).isEmpty());
    }

    void settingAPickerBackChangesNothing()
    {
        addSensorWith(threeReadings());
        Page p;
        p.date()->setDate(QDate(2030, 1, 1));
        p.date()->setDate(R3.date());
        emit p.date()->editingFinished();
        QVERIFY(p.msgs.script.shown.empty());
        QCOMPARE(p.keys(), QStringList({key(R1), key(R2), key(R3)}));
        QCOMPARE(p.count(), QString("3 of 3"));
    }

    void addingRefusesTheKeyOfTheReadingLastRedated()
    {
        addSensorWith(threeReadings());
        Page p;
        // A re-dating check of the middle reading (back to its own value) remembers its place.
        p.click("imgPrevData");
        p.date()->setDate(QDate(2030, 1, 1));
        p.date()->setDate(R2.date());
        emit p.date()->editingFinished();
        QCOMPARE(p.w.shared().rememberedPosition, qint64(2));
        p.r->clock = [] { return R2; };
        p.click("imgAddReading");
        QCOMPARE(p.msgs.script.texts(), QStringList{"There is already a reading with that date and time"});
        QCOMPARE(p.keys().size(), 3);
    }
};

QTEST_MAIN(TestReadingsRedate)
#include "tst_readingsredate.moc"
