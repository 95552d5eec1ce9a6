// The set-up tool's demonstration data.
#include "support/TestEnv.h"
#include "core/Paths.h"
#include "setup/DemoData.h"
#include "store/Database.h"

#include <QFile>
#include <QtTest>

class TestSetup : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void init() { TestData::installFresh(); }

    void demoAddsThreeSensorsWithHistory()
    {
        auto db = TestData::openDatabase();
        const QDate today(2026, 3, 1);
        const DemoData::Result r = DemoData::install(*db, Paths::dataFolder(), today);
        QVERIFY2(r.ok, qPrintable(r.lines.join('\n')));
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 3);
        QCOMPARE(db->scalar("SELECT count(*) FROM NetworkConfig").toInt(), 3);
        // A stacked 75, a staggered 75 and a stacked 55.
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors WHERE SensorType = '75' AND Stacked = 1").toInt(), 1);
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors WHERE SensorType = '75' AND Stacked = 0").toInt(), 1);
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors WHERE SensorType = '55' AND Stacked = 1").toInt(), 1);
        QVERIFY(db->scalar("SELECT count(*) FROM `240375102`").toInt() > 15000);
        for (const char* id : {"240375101", "240375102", "240355103"}) {
            const QString t = QString("`%1`").arg(id);
            QVERIFY(db->scalar("SELECT count(*) FROM " + t + " WHERE Plottemporal = 1").toInt() >= 2);
            const int spatial = db->scalar("SELECT count(*) FROM " + t + " WHERE PlotSpatial = 1").toInt();
            QVERIFY(spatial >= 2 && spatial <= 15);
            // Two years of readings, none in the future.
            QVERIFY(db->scalar("SELECT max(FullDate) FROM " + t).toString() < today.toString("yyyy-MM-dd"));
            QVERIFY(db->scalar("SELECT min(FullDate) FROM " + t).toString() <=
                    today.addYears(-2).toString("yyyy-MM-dd"));
        }
        // The sample logger file continues the hourly sensor's history without overlap.
        QFile f(Paths::dataFolder() + "/240375102.txt");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 7 * 24);
        const QString firstDate = QString::fromLatin1(lines.first().split(',').first());
        const QString lastStored =
            db->scalar("SELECT max(ReadingDate || ' ' || ReadingTime) FROM `240375102`").toString();
        QVERIFY2(firstDate > lastStored, qPrintable(firstDate + " vs " + lastStored));
        QCOMPARE(lines.first().split(',').size(), 16);

        // Alarm levels: one sensor in Alert, one in Action that got there through Alert
        // (one episode, raised), one OK.
        auto status = [&](const char* id) {
            return db->scalar("SELECT Status FROM AlarmState WHERE SensorID = ?", {QString(id)}).toString();
        };
        QCOMPARE(status("240375101"), QString("Alert"));
        QCOMPARE(status("240375102"), QString("Action"));
        QCOMPARE(status("240355103"), QString("OK"));
        QCOMPARE(
            db->scalar("SELECT group_concat(Level) FROM (SELECT Level FROM AlarmEvents WHERE SensorID = '240375102' "
                       "AND EpisodeID = (SELECT EpisodeID FROM AlarmEpisodes WHERE SensorID = '240375102' "
                       "AND ClosedAt IS NULL AND Position = 1) ORDER BY ReadingDate)")
                .toString(),
            QString("Alert,Action"));
        QVERIFY(db->scalar("SELECT count(*) FROM AlarmResponsePlans").toInt() >= 2);
    }

    void demoLeavesADatabaseWithSensorsAlone()
    {
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {"250475001"});
        const DemoData::Result r = DemoData::install(*db, Paths::dataFolder(), QDate(2026, 3, 1));
        QVERIFY(r.ok);
        QCOMPARE(db->scalar("SELECT count(*) FROM Sensors").toInt(), 1);
        QVERIFY(!QFile::exists(Paths::dataFolder() + "/240375102.txt"));
    }
};

QTEST_GUILESS_MAIN(TestSetup)
#include "tst_setup.moc"
