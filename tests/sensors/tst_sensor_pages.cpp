// The two sensor pages can be worked with: every control lies inside its page and the
// position boxes never cover one another, in either layout. With TARNWELL_SHOT_DIR set,
// pictures of the pages are written there for a look.
#include "SensorWindow.h"

#include <QDir>

class TestSensorPages : public QObject {
    Q_OBJECT
    TestHome home;

    static QRect onPage(QWidget* w, QWidget* page) { return QRect(w->mapTo(page, QPoint(0, 0)), w->size()); }

    static void checkPage(QWidget* page, const QString& what)
    {
        const QRect bounds = page->rect();
        QList<QRect> boxes;
        QStringList names;
        for (QWidget* c : page->findChildren<QWidget*>()) {
            if (c->objectName().isEmpty() || !c->isVisibleTo(page) || c->objectName().startsWith("qt_")) continue;
            const QRect r = onPage(c, page);
            QVERIFY2(bounds.contains(r),
                     qPrintable(what + ": " + c->objectName() + " lies outside its page " +
                                QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()) +
                                QString(" in %1x%2").arg(bounds.width()).arg(bounds.height())));
            if (c->objectName().startsWith("txtNode(") || c->objectName().startsWith("txtSGCenter(") ||
                c->objectName().startsWith("txtRel")) {
                for (int i = 0; i < boxes.size(); ++i)
                    QVERIFY2(!boxes[i].intersects(r),
                             qPrintable(what + ": " + c->objectName() + " covers " + names[i]));
                boxes << r;
                names << c->objectName();
            }
        }
    }

    static void shoot(SensorWindow& s, const QString& name)
    {
        const QString dir = qEnvironmentVariable("TARNWELL_SHOT_DIR");
        if (dir.isEmpty()) return;
        QDir().mkpath(dir);
        s.w.grab().save(dir + '/' + name + ".png");
    }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { TestData::installFresh(); }

    void pagesInBothLayouts_data()
    {
        QTest::addColumn<bool>("stacked");
        QTest::newRow("stacked") << true;
        QTest::newRow("staggered") << false;
    }
    void pagesInBothLayouts()
    {
        QFETCH(bool, stacked);
        TestData::NewSensor sensor{"250475001"};
        sensor.stacked = stacked;
        sensor.lengthofgauge = "0.5";
        sensor.nodeLocation1 = "0.25";
        addSensors({sensor, {"250475002"}});
        {
            auto db = TestData::openDatabase();
            db->execute(
                "UPDATE Sensors SET Level = '1200 L', Location = 'North drive, pillar 4', Borehole = 'BH-17', "
                "InstallBy = 'K. Mahlangu', Purpose = 'Pillar load monitoring', Notes = 'Grouted full column', "
                "LengthofCable = 15, Destroyed = 'Yes', DestructionDate = '2025/09/14'");
        }
        SensorWindow s;
        s.w.resize(MainWindow::TabWidth + 16, MainWindow::TabHeight + 16);
        QWidget* id = s.w.findChild<QWidget*>("pageIdentification");
        QWidget* inst = s.w.findChild<QWidget*>("pageInstallation");
        checkPage(id, "Identification");
        shoot(s, QString("identification-%1").arg(stacked ? "stacked" : "staggered"));
        s.w.tabWidget->setCurrentIndex(MainWindow::TabInstallation);
        s.reg().enterInstallationTab();
        checkPage(inst, "Installation");
        shoot(s, QString("installation-%1").arg(stacked ? "stacked" : "staggered"));
    }

    // The drawing shows as many gauge pairs (stacked) or gauges (staggered) as the type
    // has, every drawn node joined to a box that holds its position, and no box beside it
    // that holds nothing.
    void drawingMatchesTheSensorType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("nodes");
        QTest::addColumn<int>("gauges");
        QTest::addColumn<int>("centres");
        for (bool stacked : {true, false}) {
            const char* layout = stacked ? "stacked" : "staggered";
            // type: channels N; stacked nodes N-2 and pairs N-3 (at least 1), staggered N+2 and N
            QTest::addRow("25 %s", layout) << "25" << stacked << (stacked ? 1 : 3) << 1 << 1;
            QTest::addRow("45 %s", layout)
                << "45" << stacked << (stacked ? 1 : 5) << (stacked ? 1 : 3) << (stacked ? 1 : 3);
            QTest::addRow("55 %s", layout)
                << "55" << stacked << (stacked ? 2 : 6) << (stacked ? 1 : 4) << (stacked ? 1 : 4);
            QTest::addRow("75 %s", layout)
                << "75" << stacked << (stacked ? 4 : 8) << (stacked ? 3 : 6) << (stacked ? 3 : 6);
        }
    }
    void drawingMatchesTheSensorType()
    {
        QFETCH(QString, type);
        QFETCH(bool, stacked);
        QFETCH(int, nodes);
        QFETCH(int, gauges);
        QFETCH(int, centres);
        TestData::NewSensor sensor{"2504" + type + "001"};
        sensor.stacked = stacked;
        sensor.lengthofgauge = "0.5";
        sensor.nodeLocation1 = "0.25";
        addSensors({sensor});
        SensorWindow s;
        QLabel* drawing = s.get<QLabel>("imgHead(1)");
        QCOMPARE(drawing->property("layout").toString(), QString(stacked ? "stacked" : "staggered"));
        QCOMPARE(drawing->property("nodes").toInt(), nodes);
        QCOMPARE(drawing->property("gauges").toInt(), gauges);
        QWidget* page = s.w.findChild<QWidget*>("pageIdentification");
        auto shownWithValue = [&](const QString& name, int count, int boxes) {
            for (int i = 1; i <= boxes; ++i) {
                QLineEdit* box = s.get(name.arg(i));
                const bool shown = box->isVisibleTo(page) && box->x() >= 0;
                QVERIFY2(shown == (i <= count), qPrintable(box->objectName() + (shown ? " shown" : " hidden")));
                if (shown) QVERIFY2(!box->text().isEmpty(), qPrintable(box->objectName() + " is empty"));
            }
        };
        shownWithValue("txtNode(%1)", nodes, GaugeLayout::NodeBoxes);
        shownWithValue("txtSGCenter(%1)", centres, GaugeLayout::CentreBoxes);

        s.w.tabWidget->setCurrentIndex(MainWindow::TabInstallation);
        page = s.w.findChild<QWidget*>("pageInstallation");
        QLabel* installed = s.get<QLabel>("imgHead(0)");
        QCOMPARE(installed->property("nodes").toInt(), nodes);
        QCOMPARE(installed->property("gauges").toInt(), gauges);
        shownWithValue("txtRelSGanchor(%1)", nodes, GaugeLayout::NodeBoxes);
        shownWithValue("txtRelSGCenter(%1)", centres, GaugeLayout::CentreBoxes);
        shoot(s, QString("drawing-%1-%2").arg(type, stacked ? "stacked" : "staggered"));
    }
};

QTEST_MAIN(TestSensorPages)
#include "tst_sensor_pages.moc"
