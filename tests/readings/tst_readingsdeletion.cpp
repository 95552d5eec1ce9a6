// Deleting a sensor's readings by day, straight on the database: exact counts, the days
// at both ends included, hand-written dates read as dates, one transaction.
#include "support/TestEnv.h"
#include "core/TwError.h"
#include "readings/ReadingDeletion.h"
#include "store/Database.h"

#include <QtTest>

class TestReadingsDeletion : public QObject {
    Q_OBJECT
    TestHome home;
    const QString id = "250475001";

    static qint64 rows(Database& db, const QString& table, const QString& where = "1 = 1")
    {
        return db.scalar(QString("SELECT COUNT(*) FROM `%1` WHERE %2").arg(table, where)).toLongLong();
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        TestData::installFresh();
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {id});
        // 2024-05-01 00:00 onwards, one reading an hour: 24 a day for 10 days.
        TestData::addManyReadings(*db, id, 240, QDateTime(QDate(2024, 5, 1), QTime(0, 0)));
    }

    void range_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::addColumn<qint64>("deleted");
        QTest::newRow("one day") << QDate(2024, 5, 3) << QDate(2024, 5, 3) << qint64(24);
        QTest::newRow("both ends included") << QDate(2024, 5, 2) << QDate(2024, 5, 4) << qint64(72);
        QTest::newRow("past the last day") << QDate(2024, 5, 9) << QDate(2024, 6, 30) << qint64(48);
        QTest::newRow("no reading in range") << QDate(2023, 1, 1) << QDate(2023, 12, 31) << qint64(0);
        QTest::newRow("start after end") << QDate(2024, 5, 4) << QDate(2024, 5, 2) << qint64(0);
        QTest::newRow("everything") << QDate(2000, 1, 1) << QDate(2100, 1, 1) << qint64(240);
    }
    void range()
    {
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        QFETCH(qint64, deleted);
        auto db = TestData::openDatabase("deletion");
        int lastProgress = -1;
        QCOMPARE(ReadingDeletion::deleteBetween(*db, id, start, end, [&](int p) { lastProgress = p; }), deleted);
        QCOMPARE(lastProgress, 100);
        QCOMPARE(rows(*db, id), 240 - deleted);
        if (start <= end)
            QCOMPARE(rows(*db, id,
                          QString("ReadingDate BETWEEN '%1' AND '%2'")
                              .arg(start.toString("yyyy/MM/dd"), end.toString("yyyy/MM/dd"))),
                     qint64(0));
    }

    void handWrittenDatesAreReadAsDates()
    {
        auto db = TestData::openDatabase("deletion");
        // Three rows edited by hand: a short date, a dashed one, and none at all.
        db->execute(
            QString("UPDATE `%1` SET ReadingDate = '2024/5/9' WHERE DateTimeKey = '%1 2024/05/01 00:00:00'").arg(id));
        db->execute(
            QString("UPDATE `%1` SET ReadingDate = '2024-05-09' WHERE DateTimeKey = '%1 2024/05/01 01:00:00'").arg(id));
        db->execute(QString("UPDATE `%1` SET ReadingDate = NULL WHERE DateTimeKey = '%1 2024/05/09 05:00:00'").arg(id));
        // 24 on the 9th, one of them without a date, plus the two hand-written ones.
        QCOMPARE(ReadingDeletion::deleteBetween(*db, id, QDate(2024, 5, 9), QDate(2024, 5, 9)), qint64(25));
        QCOMPARE(rows(*db, id, "ReadingDate IS NULL"), qint64(1));
        QCOMPARE(rows(*db, id), qint64(215));
    }

    void failureDeletesNothing()
    {
        auto db = TestData::openDatabase("deletion");
        bool threw = false;
        try {
            ReadingDeletion::deleteBetween(*db, "250475999", QDate(2024, 5, 1), QDate(2024, 5, 9));
        } catch (const TwError&) {
            threw = true;
        }
        QVERIFY(threw);
        QCOMPARE(rows(*db, id), qint64(240));
    }

    void beyondSixteenBitCounts()
    {
        auto db = TestData::openDatabase("deletion");
        const QString big = "250475002";
        TestData::addSensor(*db, {big});
        TestData::addManyReadings(*db, big, 40000, QDateTime(QDate(2020, 1, 1), QTime(0, 0)), 1);
        // 1,500 days of 24 readings, then the rest of the 40,000.
        QCOMPARE(ReadingDeletion::deleteBetween(*db, big, QDate(2020, 1, 1), QDate(2024, 2, 8)), qint64(36000));
        QCOMPARE(rows(*db, big), qint64(4000));
    }
};

QTEST_GUILESS_MAIN(TestReadingsDeletion)
#include "tst_readingsdeletion.moc"
