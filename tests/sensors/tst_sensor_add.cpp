// Adding a sensor: the prompt and Enter in the sensor box, the number's refusals, the rows
// and the data table it makes, existing numbers, and adding as one unit.
#include "SensorWindow.h"
#include "core/AppInfo.h"
#include "store/DataTables.h"

#include <QSqlQuery>

class TestSensorAdd : public QObject {
    Q_OBJECT
    TestHome home;

    struct Counts {
        qint64 sensors, network, tables;
        bool operator==(const Counts& o) const
        {
            return sensors == o.sensors && network == o.network && tables == o.tables;
        }
    };
    static Counts counts(SensorWindow& s)
    {
        return {s.scalar("SELECT COUNT(*) FROM Sensors").toLongLong(),
                s.db().tableExists("NetworkConfig") ? s.scalar("SELECT COUNT(*) FROM NetworkConfig").toLongLong() : -1,
                qlonglong(s.db().tableNames().size())};
    }
    static QStringList columns(SensorWindow& s, const QString& table)
    {
        QStringList out;
        for (const Database::Column& c : s.db().columns(table)) out << c.name + ' ' + c.type;
        return out;
    }
    static void addByPrompt(SensorWindow& s, const QString& number)
    {
        s.msg.script.promptAnswers << number;
        s.click("imgAddSensor");
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }

    void init()
    {
        TestData::installFresh();
        QFile::remove(Paths::logFilePath());
    }

    void refusedNumbers_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::newRow("8 digits") << "25040100"
                                  << "Sensor # must be 9 digits"
                                  << "Invalid Sensor Number";
        QTest::newRow("letter") << "25040100A"
                                << "Sensor # must be a numeric value"
                                << "Invalid Sensor Number";
        QTest::newRow("serial 000") << "250425000"
                                    << "Last 3 digits must be between 001 and 999"
                                    << "Invalid Sensor Number";
        QTest::newRow("unknown type") << "250415001"
                                      << "Sensors database error!!!" << AppInfo::Title;
    }
    void refusedNumbers()
    {
        QFETCH(QString, number);
        QFETCH(QString, message);
        QFETCH(QString, title);
        addSensors({{"250475001"}});
        SensorWindow s;
        const Counts before = counts(s);
        addByPrompt(s, number);
        // A number refused for its form opens the prompt again with the typed text (which
        // the script gives back unchanged, ending the asking); a refused type does not.
        const bool form = title == "Invalid Sensor Number";
        QCOMPARE(s.msg.script.shown.size(), size_t(form ? 4 : 2));
        QVERIFY(s.msg.script.shown[0].isPrompt);
        QVERIFY(s.msg.script.shown[0].text.startsWith("Enter new Sensor No:\r\n\r\nNine digits"));
        QVERIFY(s.msg.script.shown[0].text.contains("240375101"));
        QCOMPARE(s.msg.script.shown[0].defaultText, QString());
        QCOMPARE(s.msg.script.shown[0].title, QString("Add New Sensor"));
        QCOMPARE(s.msg.script.shown[1].text, message);
        QCOMPARE(s.msg.script.shown[1].title, title);
        QCOMPARE(s.msg.script.shown[1].buttons, Messages::Buttons::Ok);
        if (form) {
            QVERIFY(s.msg.script.shown[2].isPrompt);
            QCOMPARE(s.msg.script.shown[2].defaultText, number);
            QCOMPARE(s.msg.script.shown[3].text, message);
        }
        QVERIFY(counts(s) == before);
        QCOMPARE(s.listed(), QStringList{"250475001"});
        // The shown sensor is still current and its type's Configuration row is in place.
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QCOMPARE(s.w.shared().rsConfig->text("SensorType"), QString("75"));
        QVERIFY(readLog().isEmpty());
    }

    void refusedNumberRetypedInTheSamePrompt()
    {
        SensorWindow s;
        s.msg.script.promptAnswers << "25047500"
                                   << "250475007";
        s.click("imgAddSensor");
        QCOMPARE(s.msg.script.shown.size(), size_t(4));
        QCOMPARE(s.msg.script.shown[1].text, QString("Sensor # must be 9 digits"));
        QVERIFY(s.msg.script.shown[2].isPrompt);
        QCOMPARE(s.msg.script.shown[2].defaultText, QString("25047500"));
        QCOMPARE(s.msg.script.shown[3].text, QString("Do you want to add new Sensor 250475007 to the database?"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = '250475007'").toInt(), 1);
    }

    void emptyOrCancelledPrompt_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("empty") << QString("");
        QTest::newRow("cancel") << QString();
    }
    void emptyOrCancelledPrompt()
    {
        QFETCH(QString, answer);
        SensorWindow s;
        s.msg.script.promptAnswers << answer;
        QTest::mouseClick(s.get<QLabel>("Label57"), Qt::LeftButton);  // the caption acts as the image
        QCOMPARE(s.msg.script.shown.size(), size_t(2));
        QCOMPARE(s.msg.script.shown[1].text, QString("No sensor entered"));
        QCOMPARE(s.msg.script.shown[1].title, QString("Add New Sensor"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 0);
    }

    void addsRowTableAndNetworkRow()
    {
        addSensors({{"250475002"}, {"240155001"}});
        SensorWindow s;
        addByPrompt(s, "250435001");
        QCOMPARE(s.texts().size(), 2);
        QVERIFY(s.texts()[0].startsWith("Enter new Sensor No:"));
        QCOMPARE(s.texts()[1], QString("Do you want to add new Sensor 250435001 to the database?"));
        QCOMPARE(s.msg.script.shown[1].buttons, Messages::Buttons::YesNo);
        QCOMPARE(s.msg.script.shown[1].title, QString("Orrisford's Tarnwell"));

        const QString id = "250435001";
        QCOMPARE(s.field(id, "Family").toString(), QString("HALYX"));
        QCOMPARE(s.field(id, "Model").toString(), QString("d2HALYX"));
        QCOMPARE(s.field(id, "numgauges").toInt(), 2);
        QCOMPARE(s.field(id, "SensorType").toString(), QString("35"));
        QCOMPARE(s.field(id, "DateID").toString(), QString("2504"));
        QCOMPARE(s.field(id, "TypeID").toString(), QString("35"));
        QCOMPARE(s.field(id, "SensorNo").toString(), QString("001"));
        QCOMPARE(s.field(id, "InstallDate").toString(), QDate::currentDate().toString("yyyy/MM/dd"));
        QCOMPARE(s.field(id, "Destroyed").toString(), QString("No"));
        QCOMPARE(s.field(id, "HeadLocation").toInt(), 1);
        QCOMPARE(s.field(id, "LengthofCable").toDouble(), 0.0);
        QCOMPARE(s.field(id, "Stacked").toInt(), 1);
        for (const char* empty : {"Level", "Location", "Borehole", "InstallBy", "Purpose", "Notes", "boltkfactor",
                                  "lengthofgauge", "NodeLocation1", "DestructionDate"})
            QVERIFY2(s.field(id, empty).isNull(), empty);

        QSqlQuery q(s.db().handle());
        QVERIFY(q.exec(
            "SELECT SensorID, MasterID, SlaveID, SlotID, TimeConfig FROM NetworkConfig WHERE SensorID = '250435001'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString() + q.value(2).toString() + q.value(3).toString(), QString("NANANA"));
        QCOMPARE(q.value(4).toInt(), 24);
        QVERIFY(!q.next());
        q.finish();

        QVERIFY(DataTables::TableExists(TestData::databaseTarget(), id));
        QCOMPARE(columns(s, id), columns(s, "sensordata"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM `250435001`").toInt(), 0);

        // The new sensor is shown, in InstrumentID order in the list and the recordset.
        QCOMPARE(s.listed(), QStringList({"240155001", "250435001", "250475002"}));
        QCOMPARE(s.sensors()->currentText(), id);
        QCOMPARE(s.w.shared().currentSensorId(), id);
        QCOMPARE(s.text("txtSensor"), QString("N12-250435001"));
        QCOMPARE(s.text("txtSCount"), QString("3"));
        QCOMPARE(s.text("txtSnav"), QString("2 of 3"));
        QCOMPARE(s.text("txtNumGauges"), QString("2"));
        QVERIFY(readLog().isEmpty());
    }

    void answerNoAddsNothing()
    {
        SensorWindow s;
        const Counts before = counts(s);
        s.msg.script.answers = {Messages::Answer::No};
        addByPrompt(s, "250435001");
        QVERIFY(counts(s) == before);
        QCOMPARE(s.sensors()->count(), 0);
    }

    // An existing number is refused whichever sensor is shown, and the shown sensor stays
    // the one a later save writes to.
    void existingNumber_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::newRow("shown itself") << "250425001";
        QTest::newRow("shown after it") << "250475001";
        QTest::newRow("shown before it") << "240155001";
    }
    void existingNumber()
    {
        QFETCH(QString, shown);
        addSensors({{"240155001"}, {"250425001"}, {"250475001"}});
        SensorWindow s;
        s.choose(shown);
        QCOMPARE(s.w.shared().currentSensorId(), shown);
        s.msg.script.shown.clear();
        const Counts before = counts(s);
        s.sensors()->setEditText("250425001");
        QTest::keyClick(s.sensors(), Qt::Key_Return);
        QCOMPARE(s.texts(), QStringList{"Sensor 250425001 already exists\r\n\r\n"
                                        "Type a new sensor number in the 'Add or Select Sensor' combo box\r\n"
                                        "Then click 'Add New' or hit the Enter key"});
        QCOMPARE(s.msg.script.shown[0].icon, Messages::Icon::Information);
        QCOMPARE(s.msg.script.shown[0].title, QString("Orrisford's Tarnwell"));
        QVERIFY(counts(s) == before);
        QCOMPARE(s.w.shared().currentSensorId(), shown);
        s.setText("txtLevel", "L5");
        s.reg().savefields();
        QCOMPARE(s.scalar("SELECT group_concat(InstrumentID) FROM Sensors WHERE Level = 'L5'").toString(), shown);
    }

    void addingTwiceSaysSoTheSecondTime()
    {
        SensorWindow s;
        s.sensors()->setEditText("250425001");
        QTest::keyClick(s.sensors(), Qt::Key_Return);
        QCOMPARE(s.w.shared().currentSensorId(), QString("250425001"));
        s.msg.script.shown.clear();
        QTest::keyClick(s.sensors(), Qt::Key_Return);
        QCOMPARE(s.texts().size(), 1);
        QVERIFY(s.texts()[0].startsWith("Sensor 250425001 already exists"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors").toInt(), 1);
    }

    void dataTableWithoutSensorRowChangesNothing()
    {
        addSensors({{"250475001"}});
        {
            auto db = TestData::openDatabase();
            DataTables::createDataTable(*db, "250435001");
            TestData::addReadings(*db, "250435001", {{QDateTime(QDate(2025, 1, 2), QTime(8, 0)), {"1.00"}, "20.0"}});
        }
        SensorWindow s;
        const Counts before = counts(s);
        addByPrompt(s, "250435001");
        QCOMPARE(s.msg.script.shown.size(), size_t(2));
        QCOMPARE(s.msg.script.shown[1].text,
                 QString("The database already holds a data table named 250435001, but no sensor of that number "
                         "is registered.\r\n\r\nSensor 250435001 was not added and nothing was changed."));
        QCOMPARE(s.msg.script.shown[1].icon, Messages::Icon::Exclamation);
        QVERIFY(counts(s) == before);
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM `250435001`").toInt(), 1);
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
    }

    // A failure part way leaves no trace: no Sensors row without its data table.
    void failureAddsNothing_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::newRow("no NetworkConfig table") << "DROP TABLE NetworkConfig";
        QTest::newRow("no template") << "ALTER TABLE sensordata RENAME TO sensordata_gone";
        QTest::newRow("Sensors refuses the row")
            << "CREATE TRIGGER refuse BEFORE INSERT ON Sensors BEGIN SELECT RAISE(ABORT, 'refused'); END";
    }
    void failureAddsNothing()
    {
        QFETCH(QString, breakage);
        addSensors({{"250475001"}});
        SensorWindow s;
        // A server refuses the row by a check of its own (its triggers are written otherwise).
        if (s.db().isServer() && breakage.startsWith("CREATE TRIGGER"))
            breakage = "ALTER TABLE Sensors ADD CONSTRAINT refuse CHECK (InstrumentID <> '250435001')";
        s.db().execute(breakage);
        const Counts before = counts(s);
        addByPrompt(s, "250435001");
        QVERIFY(counts(s) == before);
        QVERIFY(!DataTables::TableExists(TestData::databaseTarget(), "250435001"));
        QCOMPARE(s.scalar("SELECT COUNT(*) FROM Sensors WHERE InstrumentID = '250435001'").toInt(), 0);
        QVERIFY(readLog().contains(" G_AddTypedSensor"));
        QCOMPARE(s.texts().last(), QString("Sensor 250435001 could not be added.\r\nNothing was changed; the details "
                                           "are in the log file."));
        QCOMPARE(s.msg.script.shown.back().icon, Messages::Icon::Critical);
        // The shown sensor is still the current row, and saving it works.
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QCOMPARE(s.w.shared().rsSensors->recordCount(), qint64(1));
        s.setText("txtLevel", "after");
        s.reg().savefields();
        QCOMPARE(s.field("250475001", "Level").toString(), QString("after"));
    }

    void prefixCompletionChoosesTheSensor()
    {
        addSensors({{"250425001"}, {"250475001"}, {"250475002"}});
        SensorWindow s;
        QCOMPARE(s.w.shared().currentSensorId(), QString("250425001"));
        s.sensors()->setEditText("");
        QTest::keyClicks(s.sensors(), "2504750");
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QCOMPARE(s.text("txtSensor"), QString("N12-250475001"));
        QLineEdit* edit = s.sensors()->lineEdit();
        QCOMPARE(edit->text(), QString("250475001"));
        QCOMPARE(edit->cursorPosition(), 7);
        QCOMPARE(edit->selectedText(), QString("01"));
        // Backspace does no completion.
        QTest::keyClick(s.sensors(), Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("2504750"));
        QTest::keyClick(s.sensors(), Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("250475"));
        // Typing again completes; the first match in list order is chosen.
        QTest::keyClicks(s.sensors(), "0");
        QCOMPARE(edit->text(), QString("250475001"));
        QVERIFY(s.texts().isEmpty());
    }

    void sensorBoxTakesAtMostTenCharacters()
    {
        SensorWindow s;
        s.sensors()->setEditText("");
        QTest::keyClicks(s.sensors(), "12345678901234");
        QCOMPARE(s.sensors()->currentText(), QString("1234567890"));
        QTest::keyClick(s.sensors(), Qt::Key_Backspace);
        QCOMPARE(s.sensors()->currentText(), QString("123456789"));
        QTest::keyClick(s.sensors(), Qt::Key_Return);
        // Nine digits of an unknown type (56): refused before any question.
        QCOMPARE(s.texts(), QStringList{"Sensors database error!!!"});
    }
};

QTEST_MAIN(TestSensorAdd)
#include "tst_sensor_add.moc"
