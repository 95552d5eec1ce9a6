// Choosing, stepping through and deleting sensors, and the destroyed flag.
#include "SensorWindow.h"
#include "store/DataTables.h"

class TestSensorNavigation : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        TestData::installFresh();
        QFile::remove(Paths::logFilePath());
    }

    void oneSensorHasBothLimits()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        s.click("imgNext");
        s.click("imgPrevious");
        QCOMPARE(s.texts(), QStringList({"End of sensors", "Start of Sensors"}));
        QCOMPARE(s.msg.script.shown[0].title, QString("Tarnwell"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
    }

    void nextAndPreviousSaveAndMove()
    {
        addSensors({{"250425001"}, {"250435001"}, {"250475001"}});
        SensorWindow s;
        s.setText("txtLevel", "first");
        QTest::mouseClick(s.get<QLabel>("Label59"), Qt::LeftButton);   // "Next"
        QCOMPARE(s.field("250425001", "Level").toString(), QString("first"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250435001"));
        QCOMPARE(s.sensors()->currentText(), QString("250435001"));
        QCOMPARE(s.text("txtSnav"), QString("2 of 3"));
        QCOMPARE(s.text("txtLevel"), QString());
        s.click("imgNext");
        QCOMPARE(s.text("txtSnav"), QString("3 of 3"));
        s.click("imgNext");
        QCOMPARE(s.texts(), QStringList{"End of sensors"});
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QTest::mouseClick(s.get<QLabel>("Label56"), Qt::LeftButton);   // "Previous"
        s.click("imgPrevious");
        QCOMPARE(s.text("txtLevel"), QString("first"));
        QCOMPARE(s.sensors()->currentText(), QString("250425001"));
        s.click("imgPrevious");
        QCOMPARE(s.texts(), QStringList({"End of sensors", "Start of Sensors"}));
        // Setting the box's text after a move is not a choice: nothing else was shown or saved.
        QVERIFY(readLog().isEmpty());
    }

    void choosingFromTheList()
    {
        addSensors({{"250425001"}, {"250435001"}, {"250475001"}});
        SensorWindow s;
        s.setText("txtNotes", "kept");
        s.choose("250475001");
        QCOMPARE(s.field("250425001", "Notes").toString(), QString("kept"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QCOMPARE(s.text("txtSensor"), QString("N12-250475001"));
        QCOMPARE(s.text("txtSCount"), QString("3"));
        QVERIFY(s.texts().isEmpty());
    }

    void chosenSensorMissingFromRecordset()
    {
        addSensors({{"250425001"}, {"250435001"}});
        SensorWindow s;
        s.choose("250435001");
        // Another part narrows the recordset (as a filter does) while the list still names it.
        s.w.shared().rsSensors->setFilter("InstrumentID = ?", {"250425001"});
        s.w.shared().rsSensors->moveFirst();
        s.choose("250435001");
        QCOMPARE(s.texts(), QStringList{"Error: Could not find data on the chosen sensor"});
        // The sensor shown before stays current, so later saves have a row to write to.
        QCOMPARE(s.w.shared().currentSensorId(), QString("250425001"));
        QVERIFY(s.w.shared().rsSensors->hasCurrentRow());
    }

    void deletingRemovesTableAndRows()
    {
        addSensors({{"250425001"}, {"250435001"}, {"250475001"}});
        SensorWindow s;
        s.choose("250435001");
        s.click("imgDelete");
        QCOMPARE(s.texts(), QStringList{"Permanently delete Sensor 250435001 from database?"});
        QCOMPARE(s.msg.script.shown[0].title, QString("Orrisford's TARNWELL"));
        QCOMPARE(s.msg.script.shown[0].buttons, Messages::Buttons::YesNo);
        QVERIFY(!DataTables::TableExists(TestData::databaseTarget(), "250435001"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = '250435001'").toInt(), 0);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM NetworkConfig WHERE SensorID = '250435001'").toInt(), 0);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM NetworkConfig").toInt(), 2);
        QCOMPARE(s.listed(), QStringList({"250425001", "250475001"}));
        QCOMPARE(s.sensors()->currentText(), QString("250425001"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250425001"));
        QCOMPARE(s.text("txtSnav"), QString("1 of 2"));
        QCOMPARE(s.text("txtSCount"), QString("2"));
    }

    void answeringNoKeepsTheSensor()
    {
        addSensors({{"250425001"}});
        SensorWindow s;
        s.msg.script.answers = {Messages::Answer::No};
        QTest::mouseClick(s.get<QLabel>("Label55"), Qt::LeftButton);   // "Delete"
        QCOMPARE(s.texts().size(), 1);
        QVERIFY(DataTables::TableExists(TestData::databaseTarget(), "250425001"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 1);
    }

    void deletingTheLastSensor()
    {
        addSensors({{"250425001"}});
        SensorWindow s;
        s.click("imgDelete");
        QCOMPARE(s.sensors()->count(), 0);
        QCOMPARE(s.sensors()->currentText(), QString());
        QCOMPARE(s.text("txtSnav"), QString("No records"));
        QCOMPARE(s.text("txtSCount"), QString("0"));
        QCOMPARE(s.text("txtMineID"), QString("N12-"));
        for (const char* name : {"txtSensor", "txtDateID", "txtTypeID", "txtSensorNo", "txtFamily", "txtLevel",
                                 "txtNode(1)", "txtNode(2)", "txtSGCenter(1)", "txtBoltkfactor", "txtLengthofGauge"})
            QCOMPARE(s.text(name), QString());
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 0);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM NetworkConfig").toInt(), 0);
        // Next, previous and delete with nothing left.
        s.msg.script.shown.clear();
        s.click("imgNext");
        s.click("imgPrevious");
        s.click("imgDelete");
        QCOMPARE(s.texts(), QStringList({"End of sensors", "Start of Sensors"}));
    }

    void deletingWithoutNetworkRowOrTable()
    {
        addSensors({{"250425001"}, {"250435001"}});
        {
            auto db = TestData::openDatabase();
            db->execute("DELETE FROM NetworkConfig WHERE SensorID = '250425001'");
            db->execute("DROP TABLE `250425001`");
        }
        SensorWindow s;
        s.click("imgDelete");
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 1);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM NetworkConfig").toInt(), 1);
        QVERIFY(DataTables::TableExists(TestData::databaseTarget(), "250435001"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250435001"));
    }

    void deletingLetsGoOfOpenReadings()
    {
        addSensors({{"250425001"}});
        {
            auto db = TestData::openDatabase();
            TestData::addManyReadings(*db, "250425001", 300, QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
        }
        SensorWindow s;
        Shared& sh = s.w.shared();
        sh.rsReadings = std::make_unique<Recordset>(sh.db);
        sh.rsReadings->open(DataTables::readingsQuery("250425001"));
        sh.rsReadings->moveLast();
        QVERIFY(!sh.rsReadings->text("DateTimeKey").isEmpty());
        s.click("imgDelete");
        QVERIFY(!DataTables::TableExists(TestData::databaseTarget(), "250425001"));
    }

    void destroyedFlagByKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("dated");
        QTest::newRow("y") << "y" << "Yes" << true;
        QTest::newRow("Y") << "Y" << "Yes" << true;
        QTest::newRow("n") << "n" << "No" << false;
        QTest::newRow("x") << "x" << "No" << false;
    }
    void destroyedFlagByKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, flag);
        QFETCH(bool, dated);
        addSensors({{"250425001"}});
        SensorWindow s;
        auto* box = s.get<QComboBox>("cboDestroyed");
        s.setText("txtLevel", "saved anyway");
        QTest::keyClick(box, key.at(0).toLatin1());
        QCOMPARE(box->currentText(), flag);
        QCOMPARE(s.field("250425001", "Destroyed").toString(), flag);
        // Every key saves the fields, even one that changes nothing.
        QCOMPARE(s.field("250425001", "Level").toString(), QString("saved anyway"));
        QCOMPARE(s.get<QLabel>("imgheart")->property("state").toString(), QString(dated ? "dead" : "alive"));
        if (dated) {
            QCOMPARE(RecordText::parseDate(s.text("txtDestructionDate")), QDate::currentDate());
            QCOMPARE(s.field("250425001", "DestructionDate").toString(), QDate::currentDate().toString("yyyy/MM/dd"));
        } else {
            QCOMPARE(s.text("txtDestructionDate"), QString());
            QVERIFY(s.field("250425001", "DestructionDate").isNull());
        }
        QVERIFY(s.texts().isEmpty());
    }

    void destroyedThenBackInService()
    {
        addSensors({{"250425001"}, {"250435001"}});
        SensorWindow s;
        auto* box = s.get<QComboBox>("cboDestroyed");
        box->setCurrentIndex(box->findText("Yes"));
        emit box->activated(box->currentIndex());
        QCOMPARE(s.field("250425001", "Destroyed").toString(), QString("Yes"));
        s.setText("txtDestructionDate", "2025/03/04");
        s.click("imgNext");
        QCOMPARE(s.field("250425001", "DestructionDate").toString(), QString("2025/03/04"));
        s.click("imgPrevious");
        QCOMPARE(RecordText::parseDate(s.text("txtDestructionDate")), QDate(2025, 3, 4));
        QTest::keyClick(box, 'n');
        // Back in service: the stored date stays but is no longer shown.
        QCOMPARE(s.field("250425001", "Destroyed").toString(), QString("No"));
        QCOMPARE(s.field("250425001", "DestructionDate").toString(), QString("2025/03/04"));
        QCOMPARE(s.text("txtDestructionDate"), QString());
        QCOMPARE(s.get<QLabel>("imgheart")->property("state").toString(), QString("alive"));
    }
};

QTEST_MAIN(TestSensorNavigation)
#include "tst_sensor_navigation.moc"
