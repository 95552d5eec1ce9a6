// The sensor record on the Identification and Installation pages: showing, saving,
// refusing bad numbers, the computed positions and the placing of their boxes.
#include "SensorWindow.h"

class TestSensorRecord : public QObject {
    Q_OBJECT
    TestHome home;

    static QPoint at(int leftTwips, int topTwips) { return QPoint(leftTwips / 15, topTwips / 15); }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init()
    {
        TestData::installFresh();
        QFile::remove(Paths::logFilePath());
    }

    void showsTheRecord()
    {
        addSensors({{"250475001"}, {"250475002"}});
        {
            auto db = TestData::openDatabase();
            db->execute(
                "UPDATE Sensors SET Level = '1200', Location = 'North drive', Borehole = 'BH7', "
                "InstallBy = 'KM', Purpose = 'Pillar', Notes = 'wet hole', LengthofCable = 12.5 "
                "WHERE InstrumentID = '250475001'");
        }
        SensorWindow s;
        QCOMPARE(s.text("txtSensor"), QString("N12-250475001"));
        QCOMPARE(s.text("txtSensor2"), QString("N12-250475001"));
        QCOMPARE(s.text("txtSensor3"), QString("N12-250475001"));
        QCOMPARE(s.text("txtMineID"), QString("N12-"));
        QCOMPARE(s.text("txtDateID"), QString("2504"));
        QCOMPARE(s.text("txtTypeID"), QString("75"));
        QCOMPARE(s.text("txtSensorNo"), QString("001"));
        QCOMPARE(s.text("txtFamily"), QString("HALYX"));
        QCOMPARE(s.text("txtLengthofCable"), QString("12.5"));
        QCOMPARE(s.text("txtSnav"), QString("1 of 2"));
        QCOMPARE(s.text("txtSCount"), QString("2"));
        QCOMPARE(s.text("txtLevel"), QString("1200"));
        QCOMPARE(s.text("txtLocation"), QString("North drive"));
        QCOMPARE(s.text("txtBorehole"), QString("BH7"));
        QCOMPARE(s.text("txtInstallDate"), QString("2025/04/01"));
        QCOMPARE(s.text("txtInstallBy"), QString("KM"));
        QCOMPARE(s.text("txtPurpose"), QString("Pillar"));
        QCOMPARE(s.text("txtNotes"), QString("wet hole"));
        QCOMPARE(s.text("txtBoltkfactor"), QString("100"));
        QCOMPARE(s.reg().boltKFactorText(), QString("100"));
        QCOMPARE(s.text("txtLengthofGauge"), QString("50"));
        QCOMPARE(s.text("txtNumGauges"), QString("6"));
        QVERIFY(s.get<QRadioButton>("optStacked")->isChecked());
        QVERIFY(s.reg().isStacked());
        QCOMPARE(s.get<QComboBox>("cboDestroyed")->currentText(), QString("No"));

        // Positions of a stacked six-gauge sensor, first node 100, gauge length 50.
        const QStringList nodes = {"100", "150.00", "200.00", "250.00", "", "", "", ""};
        const QStringList centres = {"125", "175.00", "225.00", "", "", ""};
        for (int i = 1; i <= 8; ++i) {
            QCOMPARE(s.text(QString("txtNode(%1)").arg(i)), nodes[i - 1]);
            QCOMPARE(s.text(QString("txtRelSGanchor(%1)").arg(i)),
                     nodes[i - 1].isEmpty() ? QString() : GaugeLayout::twoDecimals(nodes[i - 1]));
        }
        for (int i = 1; i <= 6; ++i) {
            QCOMPARE(s.text(QString("txtSGCenter(%1)").arg(i)), centres[i - 1]);
            QCOMPARE(s.text(QString("txtRelSGCenter(%1)").arg(i)),
                     centres[i - 1].isEmpty() ? QString() : GaugeLayout::twoDecimals(centres[i - 1]));
        }
        QCOMPARE(s.text("txtRelSGanchor(1)"), QString("100.00"));
        QCOMPARE(s.get<QLabel>("imgHead(1)")->property("layout").toString(), QString("stacked"));
    }

    void staggeredSensorFillsEveryBox()
    {
        TestData::NewSensor sensor{"250475001"};
        sensor.stacked = false;
        addSensors({sensor});
        SensorWindow s;
        QVERIFY(s.get<QRadioButton>("optStaggered")->isChecked());
        QCOMPARE(s.text("txtNode(2)"), QString("125.00"));
        QCOMPARE(s.text("txtNode(8)"), QString("275.00"));
        QCOMPARE(s.text("txtSGCenter(1)"), QString("125.00"));
        QCOMPARE(s.text("txtSGCenter(6)"), QString("250.00"));
        QCOMPARE(s.text("txtRelSGCenter(6)"), QString("250.00"));
        // Seven computed nodes in two alternating columns, six centres in one.
        for (int i = 2; i <= 8; ++i) {
            auto* box = s.get(QString("txtNode(%1)").arg(i));
            QCOMPARE(box->x(), (i % 2 == 0 ? 8400 : 10680) / 15);
            QVERIFY(!box->isHidden());
        }
        for (int i = 1; i <= 6; ++i) QCOMPARE(s.get(QString("txtSGCenter(%1)").arg(i))->x(), 12360 / 15);
        QCOMPARE(s.get("txtNode(8)")->pos(), at(8400, 2520));
        QCOMPARE(s.get("txtSGCenter(6)")->pos(), at(12360, 3240));
        QCOMPARE(s.get<QLabel>("imgHead(1)")->property("layout").toString(), QString("staggered"));
    }

    void typeWithFewChannels_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("centres");
        QTest::newRow("2 stacked") << "250435001" << true << 1 << 1;
        QTest::newRow("4 stacked") << "250455001" << true << 2 << 1;
        QTest::newRow("5 stacked") << "250465001" << true << 3 << 2;
        QTest::newRow("1 staggered") << "250425001" << false << 3 << 1;
        QTest::newRow("3 staggered") << "250445001" << false << 5 << 3;
    }
    void typeWithFewChannels()
    {
        QFETCH(QString, id);
        QFETCH(bool, stacked);
        QFETCH(int, nodes);
        QFETCH(int, centres);
        TestData::NewSensor sensor{id};
        sensor.stacked = stacked;
        addSensors({sensor});
        SensorWindow s;
        for (int i = 1; i <= 8; ++i) QCOMPARE(s.text(QString("txtNode(%1)").arg(i)).isEmpty(), i > nodes);
        for (int i = 1; i <= 6; ++i) QCOMPARE(s.text(QString("txtSGCenter(%1)").arg(i)).isEmpty(), i > centres);
    }

    void noSensorsEmptiesTheBoxes()
    {
        SensorWindow s;
        s.reg().fillfields();
        QCOMPARE(s.text("txtSnav"), QString("No records"));
        QCOMPARE(s.text("txtMineID"), QString("N12-"));
        QCOMPARE(s.text("txtSCount"), QString("0"));
        for (const char* name : {"txtSensor", "txtDateID", "txtTypeID", "txtSensorNo", "txtFamily", "txtLevel",
                                 "txtInstallDate", "txtNode(1)", "txtNode(2)", "txtBoltkfactor"})
            QCOMPARE(s.text(name), QString());
        // Nothing to save: no box, no log line.
        s.reg().savefields();
        QVERIFY(s.texts().isEmpty());
        QVERIFY(readLog().isEmpty());
    }

    void noCurrentRowIsReported()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        Recordset& rs = *s.w.shared().rsSensors;
        rs.moveLast();
        rs.moveNext();  // past the last row
        s.reg().fillfields();
        s.reg().savefields();
        QCOMPARE(s.texts(), QStringList({"Either you are at the first record or the last record.",
                                         "Either you are at the first record or the last record."}));
        QCOMPARE(s.msg.script.shown[0].title, QString("Cannot Fill Fields"));
        QCOMPARE(s.msg.script.shown[1].title, QString("Cannot Save Fields"));
        QCOMPARE(s.msg.script.shown[1].icon, Messages::Icon::Exclamation);
        QVERIFY(readLog().contains("Err #3021: "));
        QVERIFY(readLog().contains(" G_savefields"));
    }

    void typeMissingFromConfiguration()
    {
        {
            auto db = TestData::openDatabase();
            db->execute(
                "INSERT INTO Sensors (InstrumentID, SensorType, TypeID, Stacked, Destroyed, lengthofgauge, "
                "NodeLocation1) VALUES ('250415001', '15', '15', 1, 'No', 50, 100)");
        }
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QCOMPARE(m.script.texts(),
                 QStringList{"There was an error accessing the Sensors COnfiguration Table\r\n\r\nSensor 250415001 has "
                             "the type code \"15\", which the Configuration table does not hold, so its reading "
                             "boxes and charts cannot be set up for it."});
        QCOMPARE(m.script.shown[0].buttons, Messages::Buttons::Ok);
        // The rest of the record is still shown.
        QCOMPARE(w.findChild<QLineEdit*>("txtSensor3")->text(), QString("N12-250415001"));
        // Showing the same sensor again (a tab change refills it) does not tell it again.
        w.sensors()->fillfields();
        w.sensors()->fillfields();
        QCOMPARE(m.script.shown.size(), size_t(1));
    }

    void savesTheEditedBoxes()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        s.setText("txtLevel", "  1250 ");
        s.setText("txtLocation", "South");
        s.setText("txtBorehole", "BH9");
        s.setText("txtInstallDate", "2024/11/30");
        s.setText("txtInstallBy", "Pat");
        s.setText("txtPurpose", "Trial");
        s.setText("txtNotes", "grouted");
        s.setText("txtFamily", "HALYX-B");
        s.setText("txtLengthofCable", "12.345");
        s.setText("txtBoltkfactor", "210.5");
        s.setText("txtLengthofGauge", "0.755");
        s.setText("txtNumGauges", "6");
        s.setText("txtNode(1)", "1.5");
        s.get<QRadioButton>("optStaggered")->setChecked(true);
        s.reg().savefields();
        QVERIFY(s.texts().isEmpty());
        const QString id = "250475001";
        QCOMPARE(s.field(id, "Level").toString(), QString("1250"));
        QCOMPARE(s.field(id, "Location").toString(), QString("South"));
        QCOMPARE(s.field(id, "Borehole").toString(), QString("BH9"));
        QCOMPARE(s.field(id, "InstallDate").toString(), QString("2024/11/30"));
        QCOMPARE(s.field(id, "InstallBy").toString(), QString("Pat"));
        QCOMPARE(s.field(id, "Purpose").toString(), QString("Trial"));
        QCOMPARE(s.field(id, "Notes").toString(), QString("grouted"));
        QCOMPARE(s.field(id, "Family").toString(), QString("HALYX-B"));
        QCOMPARE(s.field(id, "LengthofCable").toDouble(), 12.35);  // "##0.00", half away from zero
        QCOMPARE(s.field(id, "boltkfactor").toDouble(), 210.5);
        QCOMPARE(s.field(id, "lengthofgauge").toDouble(), 0.76);  // "##0.0#"
        QCOMPARE(s.field(id, "NodeLocation1").toDouble(), 1.5);
        QCOMPARE(s.field(id, "Stacked").toInt(), 0);
        QCOMPARE(s.field(id, "Destroyed").toString(), QString("No"));
        QVERIFY(s.field(id, "DestructionDate").isNull());
        // The positions follow the saved values (staggered, step 0.76 / 2).
        QCOMPARE(s.text("txtNode(2)"), QString("1.88"));
        QCOMPARE(s.text("txtSGCenter(1)"), QString("1.88"));
    }

    void emptyDestructionDateKeepsTheStoredOne()
    {
        addSensors({{"250475001"}});
        {
            auto db = TestData::openDatabase();
            db->execute("UPDATE Sensors SET DestructionDate = '2025/05/06'");
        }
        SensorWindow s;
        QCOMPARE(s.text("txtDestructionDate"), QString());  // shown only for destroyed sensors
        s.setText("txtLevel", "900");
        s.reg().savefields();
        QCOMPARE(s.field("250475001", "DestructionDate").toString(), QString("2025/05/06"));
        QCOMPARE(s.field("250475001", "Level").toString(), QString("900"));
    }

    void destroyedSensorShowsDeadHeartAndDate()
    {
        addSensors({{"250475001"}, {"250475002"}});
        {
            auto db = TestData::openDatabase();
            db->execute(
                "UPDATE Sensors SET Destroyed = 'Yes', DestructionDate = '2025/05/06' "
                "WHERE InstrumentID = '250475001'");
        }
        SensorWindow s;
        QCOMPARE(s.get<QComboBox>("cboDestroyed")->currentText(), QString("Yes"));
        QCOMPARE(s.get<QLabel>("imgheart")->property("state").toString(), QString("dead"));
        QCOMPARE(RecordText::parseDate(s.text("txtDestructionDate")), QDate(2025, 5, 6));
        s.click("imgNext");
        QCOMPARE(s.get<QLabel>("imgheart")->property("state").toString(), QString("alive"));
        QCOMPARE(s.text("txtDestructionDate"), QString());
        QCOMPARE(s.get<QComboBox>("cboDestroyed")->currentText(), QString("No"));
    }

    // Text that is not a number in a number box refuses the whole save: the row is
    // untouched, the refusal is logged, the user is told and the typed text stays.
    void numberBoxesRefuseText_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("bad");
        QTest::newRow("k factor") << "txtBoltkfactor"
                                  << "12x";
        QTest::newRow("gauge length") << "txtLengthofGauge"
                                      << "fifty";
        QTest::newRow("cable length") << "txtLengthofCable"
                                      << "1,5";
        QTest::newRow("first node") << "txtNode(1)"
                                    << "1..2";
        QTest::newRow("gauge count") << "txtNumGauges"
                                     << "six";
        QTest::newRow("destruction date") << "txtDestructionDate"
                                          << "last week";
    }
    void numberBoxesRefuseText()
    {
        QFETCH(QString, box);
        QFETCH(QString, bad);
        addSensors({{"250475001"}, {"250475002"}});
        SensorWindow s;
        s.setText("txtLevel", "changed");
        s.setText(box, bad);
        s.reg().savefields();
        QVERIFY(s.field("250475001", "Level").isNull());
        QVERIFY(readLog().contains("Err #13: Type mismatch G_savefields"));
        QCOMPARE(s.text(box), bad);
        QCOMPARE(s.msg.script.shown.size(), size_t(1));
        QVERIFY(s.texts()[0].startsWith("The sensor's details were not saved.\r\n\r\n\"" + bad + "\" is not a "));
        QCOMPARE(s.msg.script.shown[0].icon, Messages::Icon::Exclamation);
        // Next stops at the refused edit: what was typed stays on screen to be corrected,
        // and never reaches the row.
        s.click("imgNext");
        QCOMPARE(s.msg.script.shown.size(), size_t(2));
        QCOMPARE(s.texts()[1], s.texts()[0]);
        QVERIFY(s.texts()[1].contains(": please correct "));
        QVERIFY(s.field("250475001", "Level").isNull());
        QCOMPARE(s.field("250475001", "boltkfactor").toDouble(), 100.0);
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475001"));
        QCOMPARE(s.text(box), bad);
        QCOMPARE(s.text("txtLevel"), QString("changed"));
        // Corrected, it saves and moves on.
        s.setText(box, "");
        s.click("imgNext");
        QCOMPARE(s.field("250475001", "Level").toString(), QString("changed"));
        QCOMPARE(s.w.shared().currentSensorId(), QString("250475002"));
    }

    void emptyGaugeLengthStillSaves()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        s.setText("txtLengthofGauge", "");
        s.setText("txtLevel", "700");
        s.reg().savefields();
        QVERIFY(readLog().isEmpty());
        QCOMPARE(s.field("250475001", "Level").toString(), QString("700"));
        QVERIFY(s.field("250475001", "lengthofgauge").isNull());
        // Every computed box is empty; the first node keeps its two-decimal copy.
        for (int i = 2; i <= 8; ++i) QCOMPARE(s.text(QString("txtNode(%1)").arg(i)), QString());
        for (int i = 1; i <= 6; ++i) QCOMPARE(s.text(QString("txtSGCenter(%1)").arg(i)), QString());
        QCOMPARE(s.text("txtRelSGanchor(1)"), QString("100.00"));
    }

    void layoutOptionReplacesBoxes()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        QCOMPARE(s.get("txtNode(2)")->pos(), at(8400, 6240));
        QCOMPARE(s.get("txtSGCenter(3)")->pos(), at(12120, 3840));
        QVERIFY(s.get("txtNode(6)")->isHidden());

        s.get<QRadioButton>("optStaggered")->click();
        QCOMPARE(s.field("250475001", "Stacked").toInt(), 0);
        QCOMPARE(s.get("txtNode(2)")->pos(), at(8400, 7440));
        QCOMPARE(s.get("txtNode(3)")->pos(), at(10680, 6600));
        QCOMPARE(s.get("txtSGCenter(3)")->pos(), at(12360, 5760));
        QVERIFY(!s.get("txtNode(6)")->isHidden());
        QCOMPARE(s.text("txtNode(6)"), QString("225.00"));
        QCOMPARE(s.get<QLabel>("imgHead(1)")->property("layout").toString(), QString("staggered"));

        s.get<QRadioButton>("optStacked")->click();
        QCOMPARE(s.field("250475001", "Stacked").toInt(), 1);
        QCOMPARE(s.get("txtNode(4)")->pos(), at(8400, 2880));
        QCOMPARE(s.get("txtSGCenter(1)")->pos(), at(12120, 7080));
        // Boxes the stacked layout does not name keep their place and hold no value.
        QCOMPARE(s.get("txtNode(7)")->pos(), at(10680, 3240));
        QCOMPARE(s.text("txtNode(7)"), QString());
        QCOMPARE(s.text("txtSGCenter(5)"), QString());
        QCOMPARE(s.text("txtRelSGanchor(7)"), QString());
        QCOMPARE(s.text("txtNode(4)"), QString("250.00"));
    }

    void otherTabsHideTheComputedBoxes()
    {
        TestData::NewSensor sensor{"250475001"};
        sensor.stacked = false;
        addSensors({sensor});
        SensorWindow s;
        s.w.tabWidget->setCurrentIndex(MainWindow::TabInstallation);
        s.reg().SetNodeBoxes();
        for (int i = 2; i <= 8; ++i) QCOMPARE(s.get(QString("txtNode(%1)").arg(i))->x(), -1000 / 15);
        for (int i = 1; i <= 6; ++i) QCOMPARE(s.get(QString("txtSGCenter(%1)").arg(i))->x(), -1000 / 15);

        // The Installation tab places its boxes for the layout.
        s.reg().enterInstallationTab();
        QCOMPARE(s.get<QLabel>("lbloption")->text(), QString("Head at Borehole Collar"));
        QCOMPARE(s.get<QLabel>("imgHead(0)")->property("layout").toString(), QString("staggered"));
        const int nodeLeft[] = {8640, 8640, 11760, 8640, 11760, 8640, 11760, 8640};
        const int nodeTop[] = {8280, 7560, 6720, 5880, 5040, 4200, 3360, 2640};
        for (int i = 1; i <= 8; ++i)
            QCOMPARE(s.get(QString("txtRelSGanchor(%1)").arg(i))->pos(), at(nodeLeft[i - 1], nodeTop[i - 1]));
        QCOMPARE(s.get("txtRelSGCenter(2)")->pos(), at(13080, 6720));
        QCOMPARE(s.text("txtRelSGanchor(8)"), QString("275.00"));

        s.get<QRadioButton>("optStacked")->setChecked(true);
        s.reg().enterInstallationTab();
        QCOMPARE(s.get<QLabel>("imgHead(0)")->property("layout").toString(), QString("stacked"));
        const int stackedTop[] = {8040, 6360, 4680, 2880};
        for (int i = 1; i <= 4; ++i)
            QCOMPARE(s.get(QString("txtRelSGanchor(%1)").arg(i))->pos(), at(8520, stackedTop[i - 1]));
        QCOMPARE(s.get("txtRelSGCenter(3)")->pos(), at(12840, 3960));

        // Back on the first tab the boxes return for the layout shown.
        s.w.shared().savedReadingBookmark = 7;
        s.w.tabWidget->setCurrentIndex(MainWindow::TabIdentification);
        s.reg().enterIdentificationTab();
        QCOMPARE(s.get("txtNode(3)")->pos(), at(8400, 4560));
        QCOMPARE(s.get("txtSGCenter(2)")->pos(), at(12120, 5400));
        QCOMPARE(s.w.shared().savedReadingBookmark, qint64(0));
    }

    void firstNodeKeyRule()
    {
        addSensors({{"250475001"}});
        SensorWindow s;
        QLineEdit* node = s.get("txtNode(1)");
        node->clear();
        QTest::keyClicks(node, "12a");
        QCOMPARE(node->text(), QString("12"));
        // Each accepted key saved the text as it was before that key.
        QCOMPARE(s.field("250475001", "NodeLocation1").toDouble(), 1.0);
        QCOMPARE(s.text("txtNode(2)"), QString("51.00"));
        QTest::keyClick(node, Qt::Key_Return);
        QCOMPARE(s.field("250475001", "NodeLocation1").toDouble(), 12.0);
        QCOMPARE(s.text("txtNode(2)"), QString("62.00"));
        QTest::keyClicks(node, ".5-");
        QCOMPARE(node->text(), QString("12.5"));
        QTest::keyClick(node, Qt::Key_Backspace);
        QCOMPARE(node->text(), QString("12."));
        QTest::keyClick(node, Qt::Key_Tab);
        QCOMPARE(s.field("250475001", "NodeLocation1").toDouble(), 12.0);
        QTest::keyClicks(node, ",");
        QCOMPARE(node->text(), QString("12.,"));
        QVERIFY(s.texts().isEmpty());
    }
};

QTEST_MAIN(TestSensorRecord)
#include "tst_sensor_record.moc"
