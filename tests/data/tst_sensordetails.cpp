// A sensor's record read from its Sensors row and written back: nothing is written for a
// record left as it was (nulls stay null, numbers compare as numbers), edits reach the row
// trimmed, and a column the file lacks is skipped without losing the others.
#include "support/TestEnv.h"
#include "data/SensorDetails.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QtTest>

namespace {
const QString Id = QStringLiteral("250475001");
}

class TestSensorDetails : public QObject {
    Q_OBJECT
    TestHome home;
    std::unique_ptr<Database> db;

    std::unique_ptr<Recordset> sensorRow()
    {
        auto rs = std::make_unique<Recordset>(*db);
        rs->open(QStringLiteral("SELECT * FROM Sensors WHERE InstrumentID = '") + Id + '\'');
        return rs;
    }

private slots:
    void init()
    {
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::NewSensor sensor;
        sensor.id = Id;
        sensor.lengthofgauge = QStringLiteral("0.5");
        sensor.nodeLocation1 = QStringLiteral("1.25");
        TestData::addSensor(*db, sensor);
        db->execute(
            QStringLiteral("UPDATE Sensors SET LengthofCable = 12.5, numgauges = 6, Level = NULL, Notes = NULL, "
                           "Destroyed = NULL, DestructionDate = NULL WHERE InstrumentID = ?"),
            {Id});
    }
    void cleanup() { db.reset(); }

    void aRecordWrittenBackUnchangedWritesNothing()
    {
        auto rs = sensorRow();
        const SensorDetails s = SensorDetails::fromRow(*rs);
        QVERIFY(s.unread.isEmpty());
        QCOMPARE(s.instrumentId, Id);
        QCOMPARE(s.stacked, std::optional<bool>(true));
        QCOMPARE(s.level, QString());
        // Stored as numbers, shown as their texts, formatted on the way back: still equal.
        QCOMPARE(s.lengthOfCable.toDouble(), 12.5);
        s.writeRecord(*rs);
        s.writeStatus(*rs, s.destructionDate);
        QVERIFY2(!rs->isEditing(), "an unchanged record was written");
    }

    void editsReachTheRowTrimmedAndEmptyAsNull()
    {
        auto rs = sensorRow();
        SensorDetails s = SensorDetails::fromRow(*rs);
        s.notes = QStringLiteral("  loose plate  ");
        s.level = QStringLiteral("   ");
        s.kFactor = QStringLiteral("120");
        s.lengthOfCable = QStringLiteral("7");
        s.stacked = false;
        s.destroyed = QStringLiteral("Yes");
        s.writeRecord(*rs);
        s.writeStatus(*rs, QStringLiteral("2025/03/04"));
        QVERIFY(rs->isEditing());
        rs->update();

        auto again = sensorRow();
        QCOMPARE(again->value(QStringLiteral("Notes")).toString(), QStringLiteral("loose plate"));
        QVERIFY(again->value(QStringLiteral("Level")).isNull());
        QCOMPARE(again->value(QStringLiteral("boltkfactor")).toDouble(), 120.0);
        QCOMPARE(again->value(QStringLiteral("LengthofCable")).toDouble(), 7.0);
        QCOMPARE(again->value(QStringLiteral("DestructionDate")).toString(), QStringLiteral("2025/03/04"));
        const SensorDetails read = SensorDetails::fromRow(*again);
        QCOMPARE(read.stacked, std::optional<bool>(false));
        QCOMPARE(read.destroyed, QStringLiteral("Yes"));
    }

    void aColumnTheFileLacksIsSkippedAlone()
    {
        db->execute(QStringLiteral("UPDATE Sensors SET Stacked = NULL, Notes = 'n' WHERE InstrumentID = ?"), {Id});
        db->execute(QStringLiteral("ALTER TABLE Sensors DROP COLUMN Location"));
        auto rs = sensorRow();
        const SensorDetails s = SensorDetails::fromRow(*rs);
        QCOMPARE(s.unread, QSet<QString>{QStringLiteral("Location")});
        QVERIFY(!s.wasRead(QStringLiteral("Location")));
        QCOMPARE(s.notes, QStringLiteral("n"));
        QCOMPARE(s.kFactor.toDouble(), 100.0);
        QVERIFY(!s.stacked.has_value());  // null: no layout, not staggered
    }
};

QTEST_GUILESS_MAIN(TestSensorDetails)
#include "tst_sensordetails.moc"
