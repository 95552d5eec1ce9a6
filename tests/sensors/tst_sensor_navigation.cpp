// Choosing, stepping through and deleting sensors, and the destroyed flag.
#include "SensorWindow.h"
#include "data/AlarmStore.h"
#include "store/DataTables.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace {
// Once a real message box is up, act answers it as the user would; a box act leaves open
// is closed and told in leftOpen, so a key that fails to close it fails the test instead
// of hanging it.
void answerRealBox(bool* leftOpen, std::function<void(QMessageBox*)> act, int tries = 50)
{
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (tries > 0) answerRealBox(leftOpen, act, tries - 1);
            return;
        }
        act(box);
        QTimer::singleShot(0, [leftOpen, box = QPointer<QMessageBox>(box)] {
            if (box && box->isVisible()) {
                *leftOpen = true;
                box->done(-1);
            }
        });
    });
}
}  // namespace

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
        QTest::mouseClick(s.get<QLabel>("Label59"), Qt::LeftButton);  // "Next"
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
        QTest::mouseClick(s.get<QLabel>("Label56"), Qt::LeftButton);  // "Previous"
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
        QCOMPARE(s.texts().size(), 1);
        QVERIFY(s.texts()[0].startsWith("Permanently delete Sensor 250435001 from database?\r\n"));
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

    // The question names what goes with the sensor, warns, and has No as its default; on
    // No nothing goes; on Yes its readings and alarm levels go and its alarm events stay.
    void deletionQuestionTellsWhatGoes()
    {
        const QString id = "250435001";
        addSensors({{"250425001"}, {id}});
        {
            auto db = TestData::openDatabase();
            TestData::addReadings(*db, id,
                                  {{QDateTime(QDate(2024, 3, 4), QTime(9, 0)), {"1.00"}, "20.0"},
                                   {QDateTime(QDate(2024, 5, 6), QTime(23, 59)), {"3.00"}, "20.0"},
                                   {QDateTime(QDate(2024, 4, 1), QTime(12, 0)), {"2.00"}, "20.0"}});
            AlarmStore::Levels far;
            far.loadAlertUpper = 90000;
            AlarmStore::saveLevels(*db, id, far);
            for (const char* reading : {"2024-03-04 09:00:00", "2024-04-01 12:00:00"}) {
                AlarmStore::Event e;
                e.sensorId = id;
                e.quantity = "Load";
                e.position = 1;
                e.level = "Alert";
                e.direction = "upper";
                e.readingDate = reading;
                e.raisedAt = reading;
                AlarmStore::addEvent(*db, e);
            }
        }
        SensorWindow s;
        s.choose(id);
        const QLocale loc = QLocale::system();
        const QString question =
            "Permanently delete Sensor 250435001 from database?\r\n\r\nAll its 3 readings, from " +
            loc.toString(QDate(2024, 3, 4), QLocale::ShortFormat) + " to " +
            loc.toString(QDate(2024, 5, 6), QLocale::ShortFormat) +
            ", are deleted with it.\r\nIts alarm levels are deleted with it.\r\nIts 2 alarm events stay in the alarm "
            "history.\r\n\r\nThis cannot be undone.";

        s.msg.script.answers = {Messages::Answer::No};
        QTest::mouseClick(s.get<QLabel>("Label55"), Qt::LeftButton);  // "Delete"
        QCOMPARE(s.texts(), QStringList{question});
        const Messages::Shown& asked = s.msg.script.shown[0];
        QCOMPARE(asked.title, QString("Orrisford's TARNWELL"));
        QCOMPARE(asked.buttons, Messages::Buttons::YesNo);
        QCOMPARE(asked.icon, Messages::Icon::Exclamation);
        QCOMPARE(asked.defaultButton, std::optional<Messages::Answer>(Messages::Answer::No));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM `250435001`").toInt(), 3);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM AlarmLevels WHERE SensorID = ?", {id}).toInt(), 1);
        QCOMPARE(s.listed(), QStringList({"250425001", id}));

        s.click("imgDelete");  // Yes
        QVERIFY(!DataTables::TableExists(TestData::databaseTarget(), id));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM AlarmLevels WHERE SensorID = ?", {id}).toInt(), 0);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM AlarmEvents WHERE SensorID = ?", {id}).toInt(), 2);
    }

    // Escape in the real question box answers No: the sensor stays.
    void escapeInTheQuestionKeepsTheSensor()
    {
        addSensors({{"250425001"}});
        SensorWindow s;
        QString defaultButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool leftOpen = false;
        answerRealBox(&leftOpen, [&](QMessageBox* box) {
            defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : QString();
            icon = box->icon();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        Messages::installScript(nullptr);  // the box the user sees
        s.click("imgDelete");
        Messages::installScript(&s.msg.script);
        QVERIFY(!leftOpen);
        QCOMPARE(defaultButton, QString("No"));
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(DataTables::TableExists(TestData::databaseTarget(), "250425001"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 1);
        QCOMPARE(s.w.shared().currentSensorId(), QString("250425001"));
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
        QTest::newRow("y") << "y"
                           << "Yes" << true;
        QTest::newRow("Y") << "Y"
                           << "Yes" << true;
        QTest::newRow("n") << "n"
                           << "No" << false;
        QTest::newRow("x") << "x"
                           << "No" << false;
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
