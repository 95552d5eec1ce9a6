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
            QVERIFY2(bounds.contains(r), qPrintable(what + ": " + c->objectName() + " lies outside its page " +
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
            db->execute("UPDATE Sensors SET Level = '1200 L', Location = 'North drive, pillar 4', Borehole = 'BH-17', "
                        "InstallBy = 'K. Mahlangu', Purpose = 'Pillar load monitoring', Notes = 'Grouted full column', "
                        "LengthofCable = 15, Destroyed = 'Yes', DestructionDate = '2025/09/14'");
        }
        SensorWindow s;
        s.w.resize(frmTarnwell::TabWidth + 16, frmTarnwell::TabHeight + 16);
        QWidget* id = s.w.findChild<QWidget*>("pageIdentification");
        QWidget* inst = s.w.findChild<QWidget*>("pageInstallation");
        checkPage(id, "Identification");
        shoot(s, QString("identification-%1").arg(stacked ? "stacked" : "staggered"));
        s.w.SSTab1->setCurrentIndex(frmTarnwell::TabInstallation);
        s.reg().enterInstallationTab();
        checkPage(inst, "Installation");
        shoot(s, QString("installation-%1").arg(stacked ? "stacked" : "staggered"));
    }
};

QTEST_MAIN(TestSensorPages)
#include "tst_sensor_pages.moc"
