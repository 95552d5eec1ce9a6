// A reading read from and written back to a data table row: texts as stored, a null
// column apart from an empty text, plot flags in every shape older databases hold them,
// and nothing written where the value on the row already says the same.
#include "support/TestEnv.h"
#include "data/Reading.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QtTest>
#include <memory>

namespace {
const QString Sensor = "250475001";
const QDateTime When(QDate(2024, 5, 1), QTime(10, 0, 0));
}  // namespace

class TestReading : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;

    std::unique_ptr<Recordset> openTable(const QString& table)
    {
        auto rs = std::make_unique<Recordset>(*db);
        rs->open("SELECT * FROM `" + table + "`");
        return rs;
    }
    QVariant stored(const QString& column, const QString& table = Sensor)
    {
        return db->scalar("SELECT " + column + " FROM `" + table + "`");
    }
    void addOneReading(const QStringList& channels, const QString& temperature)
    {
        TestData::addSensor(*db, {Sensor});
        TestData::addReadings(*db, Sensor, {{When, channels, temperature}});
    }

private slots:
    void init()
    {
        TestData::installFresh();
        db = TestData::openDatabase();
    }
    void cleanup() { db.reset(); }

    void nullAndEmptyTextsReadAlikeAndStayAsStored()
    {
        addOneReading({"1.00", "", "3.00"}, QString());  // ChannelT and Channel4.. null
        db->execute("UPDATE `" + Sensor + "` SET Channel3 = NULL");
        auto rs = openTable(Sensor);
        Reading r = Reading::read(*rs);
        QCOMPARE(r.key, TestData::readingKey(Sensor, When));
        QCOMPARE(r.when(), QString("2024/05/01 10:00:00"));
        QCOMPARE(r.channel(1), QString("1.00"));
        QVERIFY(r.channel(2).isEmpty() && r.channel(3).isEmpty() && r.temperature.isEmpty());

        // Written back as a page writes an unchanged reading: nothing at all is written.
        r.fullDate = When;
        QVERIFY(!r.writeChanges(*rs, 6));
        QVERIFY(!rs->isEditing());

        // A value given to a null column is written; the other nulls stay null and an
        // emptied value is stored as an empty text, not as null.
        r.channel(3) = "7.00";
        r.channel(1) = "";
        QVERIFY(r.writeChanges(*rs, 6));
        rs->update();
        QCOMPARE(stored("Channel3").toString(), QString("7.00"));
        QVERIFY(stored("ChannelT").isNull());
        QVERIFY(stored("Channel4").isNull());
        QVERIFY(!stored("Channel1").isNull());
        QCOMPARE(stored("Channel1").toString(), QString(""));
        QCOMPARE(stored("FullDate").toString(), QString("2024-05-01 10:00:00"));

        // Re-dated: the key and the three date columns, FullDate in its stored text form.
        const QDateTime later = When.addDays(1);
        r.key = TestData::readingKey(Sensor, later);
        r.fullDate = later;
        r.date = "2024/05/02";
        QVERIFY(r.writeChanges(*rs, 6));
        rs->update();
        QCOMPARE(stored("FullDate").toString(), QString("2024-05-02 10:00:00"));
        QCOMPARE(Reading::keyOf(*rs), TestData::readingKey(Sensor, later));
    }

    void plotFlagsInEveryStoredShape_data()
    {
        QTest::addColumn<QString>("storedValue");  // as SQL
        QTest::addColumn<bool>("ticked");
        QTest::newRow("null") << "NULL" << true;
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("True") << "'True'" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("False") << "'False'" << false;
        QTest::newRow("No") << "'no'" << false;
    }

    void plotFlagsInEveryStoredShape()
    {
        QFETCH(QString, storedValue);
        QFETCH(bool, ticked);
        addOneReading({"1.00"}, "20.0");
        db->execute("UPDATE `" + Sensor + "` SET Plottemporal = " + storedValue + ", PlotSpatial = " + storedValue);
        auto rs = openTable(Sensor);
        Reading r = Reading::read(*rs);
        QCOMPARE(r.temporal, ticked);
        QCOMPARE(r.spatial, ticked);
        // The same tick is not a change, whatever shape the row holds it in.
        r.fullDate = When;
        QVERIFY(!r.writeChanges(*rs, 6));
        // The other tick is, and the row then holds it as a number.
        r.spatial = !ticked;
        QVERIFY(r.writeChanges(*rs, 6));
        rs->update();
        QCOMPARE(stored("PlotSpatial").toInt(), ticked ? 0 : 1);
        QCOMPARE(stored("Plottemporal").toString(), db->scalar("SELECT " + storedValue).toString());
    }

    // A table of an older release: numbers stored where texts belong, six channels only.
    void numbersWhereTextsBelong()
    {
        db->execute(
            "CREATE TABLE legacy (DateTimeKey TEXT, ReadingDate TEXT, ReadingTime TEXT, FullDate TEXT, "
            "ChannelT REAL, Channel1 REAL, Channel2 REAL, Channel3 REAL, Channel4 REAL, Channel5 REAL, "
            "Channel6 REAL, Plottemporal BOOLEAN, PlotSpatial BOOLEAN, IsDirty BOOLEAN)");
        db->execute(
            "INSERT INTO legacy VALUES ('k', '2024/05/01', '10:00:00', '2024-05-01 10:00:00', 20, 12.5, 0, "
            "-3.25, NULL, 1e-7, 100, 1, 0, 0)");
        auto rs = openTable("legacy");
        Reading r = Reading::read(*rs);
        QCOMPARE(r.temperature, QString("20"));
        QCOMPARE(r.channel(1), QString("12.5"));
        QCOMPARE(r.channel(2), QString("0"));
        QCOMPARE(r.channel(3), QString("-3.25"));
        QVERIFY(r.channel(4).isEmpty());
        QCOMPARE(r.channel(5), QString("1e-07"));
        QCOMPARE(r.channel(6), QString("100"));
        for (int i = 7; i <= Reading::Channels; ++i) QVERIFY(r.channel(i).isEmpty());
        // A number is not the text a page writes: the values are written again, and the
        // columns the table lacks are left alone.
        r.fullDate = When;
        QVERIFY(r.writeChanges(*rs, 6));
        rs->update();
        QCOMPARE(stored("Channel1", "legacy").toDouble(), 12.5);
        QVERIFY(stored("Channel4", "legacy").isNull());
    }
};

QTEST_MAIN(TestReading)
#include "tst_reading.moc"
