// The whole window on either engine: a sensor added, readings typed, a logger file
// imported and every chart drawn from them. On a server also the connection lost in the
// middle of the work: the user is told, what was typed stays on screen, and the next
// action connects again (or says again that it cannot, losing nothing).
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "core/DatabaseChoice.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"
#include "tools/ModalHelper.h"
#include "tools/ToolsController.h"
#include "tools/LoggerImportWindow.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

const QString Sensor = QStringLiteral("123435001");  // type 35: two gauges and a temperature
const QDateTime R1(QDate(2024, 5, 1), QTime(10, 0, 0));
const QDateTime R2(QDate(2024, 5, 2), QTime(10, 0, 0));
const QDateTime R3(QDate(2024, 5, 3), QTime(10, 0, 0));

}  // namespace

class TestServerWindow : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir files;

    // The window on the Readings tab of the sensor.
    struct Win {
        ScriptedMessages msgs;
        MainWindow w;
        Win() { w.show(); }
        template <class T = QLineEdit>
        T* get(const QString& name)
        {
            T* c = w.findChild<T*>(name);
            if (!c) qFatal("no control %s", qPrintable(name));
            return c;
        }
        QLineEdit* box(int i) { return get(QString("txtChannel(%1)").arg(i)); }
        QString shownKey() { return get("txtReadingID")->text(); }
        void click(const QString& image) { get<QToolButton>(image)->click(); }
        void toTab(int tab) { w.tabWidget->setCurrentIndex(tab); }
        QString stored(const QDateTime& when, const QString& column)
        {
            return TestData::openDatabase("check")
                ->scalar(QString("SELECT %1 FROM `%2` WHERE DateTimeKey = ?").arg(column, Sensor),
                         {TestData::readingKey(Sensor, when)})
                .toString();
        }
        QStringList boxTexts()
        {
            QStringList out;
            for (const auto& b : msgs.script.shown) out << b.text;
            return out;
        }
        void killConnection()
        {
            const QString pid = w.shared().db.scalar("SELECT pg_backend_pid()").toString();
            QCOMPARE(TestServer::adminValue("SELECT pg_terminate_backend(" + pid + ")").toString(), QString("true"));
        }
    };

    static void addSensorWithReadings()
    {
        auto db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
        QList<TestData::NewReading> list;
        for (const QDateTime& t : {R1, R2, R3}) list.append({t, {"10.00", "20.00"}, "20.0"});
        TestData::addReadings(*db, Sensor, list);
    }

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        MainWindow::setStructureCheckEnabled(false);
    }
    void init() { TestData::installFresh(); }
    void cleanup() { ToolsController::setFileChooser({}); }

    // Add a sensor, type two readings, import a logger file, open every chart.
    void wholeFlowThroughTheWindow()
    {
        Win win;
        QVERIFY(win.w.shared().db.isOpen());
        QCOMPARE(win.w.shared().db.isServer(), TestServer::wanted());
        win.msgs.script.shown.clear();

        // A sensor, by the number typed into the prompt.
        win.msgs.script.promptAnswers << Sensor;
        win.click("imgAddSensor");
        QCOMPARE(win.get<QComboBox>("cboSensors")->currentText(), Sensor);
        QCOMPARE(TestData::openDatabase("check")->scalar("SELECT COUNT(*) FROM Sensors").toInt(), 1);
        win.msgs.script.shown.clear();

        // Its gauges, typed on the Identification page (saved when the tab is left).
        win.get("txtBoltkfactor")->setText("100");
        win.get("txtLengthofGauge")->setText("50");
        win.get("txtNode(1)")->setText("100");

        // Two readings typed on the Readings tab.
        win.toTab(MainWindow::TabReadings);
        ReadingsController* r = win.w.readings();
        r->clock = [] { return R1; };
        win.click("imgAddReading");
        QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R1));
        win.box(1)->setText("11.5");
        win.box(2)->setText("-3");
        win.get("txtChannelT")->setText("18.5");
        r->clock = [] { return R2; };
        win.click("imgAddReading");  // saves the first
        win.box(1)->setText("12.25");
        win.box(2)->setText("-2.5");
        win.get("txtChannelT")->setText("19");
        win.click("imgFirst");  // saves the second
        QCOMPARE(win.stored(R1, "Channel1"), QString("11.50"));
        QCOMPARE(win.stored(R1, "Channel2"), QString("-3.00"));
        QCOMPARE(win.stored(R2, "Channel1"), QString("12.25"));
        QCOMPARE(win.stored(R2, "ChannelT"), QString("19.0"));
        QCOMPARE(TestData::openDatabase("check")
                     ->scalar("SELECT lengthofgauge FROM Sensors WHERE InstrumentID = ?", {Sensor})
                     .toString(),
                 QString("50"));
        QVERIFY2(win.msgs.script.shown.empty(), qPrintable(win.boxTexts().join(" | ")));

        // A logger file imported through the page's Import Logger Data.
        const QString path = QDir(files.path()).filePath(Sensor + ".txt");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(
                "2024/05/03 00:00:00,7,2,1,20,13,-2\n"
                "2024/05/04 00:00:00,7,2,1,21,14,-1.5\n"
                "2024/05/05 00:00:00,7,2,1,22,15,-1\n");
        }
        ToolsController::setFileChooser([path](QWidget*) { return path; });
        bool seen = false;
        whenOpen<LoggerImportWindow>(
            "frmWrenData", [](LoggerImportWindow* d) { d->cmdAppend->click(); }, &seen);
        win.msgs.script.shown.clear();
        win.click("imgAddWrenData");
        QCoreApplication::processEvents();
        QVERIFY(seen);
        QVERIFY2(win.boxTexts().contains("3 records appended to " + Sensor), qPrintable(win.boxTexts().join(" | ")));
        QCOMPARE(TestData::openDatabase("check")->scalar(QString("SELECT COUNT(*) FROM `%1`").arg(Sensor)).toInt(), 5);

        // Every chart, drawn from the readings (the time charts: all five; the length
        // charts: the imported ones, marked for them), with no complaint.
        win.msgs.script.shown.clear();
        const QList<QPair<int, QString>> charts = {{MainWindow::TabLoadVTime, "ChartT"},
                                                   {MainWindow::TabDispVTime, "ChartT2"},
                                                   {MainWindow::TabLoadVLength, "ChartS"},
                                                   {MainWindow::TabDispVLength, "ChartDvL"},
                                                   {MainWindow::TabShearVLength, "ChartSvL"}};
        for (const auto& [tab, name] : charts) {
            win.toTab(tab);
            auto* chart = win.get<ChartControl>(name);
            int points = 0, lines = 0;
            for (int i = 0; i < chart->seriesCount(); ++i)
                if (chart->isSeriesVisible(i) && chart->pointCount(i) > 0) {
                    ++lines;
                    points = std::max(points, chart->pointCount(i));
                }
            QVERIFY2(lines > 0, qPrintable(name));
            if (tab == MainWindow::TabLoadVTime || tab == MainWindow::TabDispVTime) QCOMPARE(points, 5);
        }
        QVERIFY2(win.msgs.script.shown.empty(), qPrintable(win.boxTexts().join(" | ")));
        // The calculated loads reached the database.
        QCOMPARE(TestData::openDatabase("check")
                     ->scalar(QString("SELECT COUNT(*) FROM `%1` WHERE Load1 IS NOT NULL").arg(Sensor))
                     .toInt(),
                 5);
    }

    // The server drops the connection while a reading is being typed: the next action
    // connects again and saves it. When the save itself meets the loss, the user is told,
    // what was typed stays on screen and nothing half-written is stored; the next action
    // connects again and the save goes through.
    void connectionLostMidSession()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        addSensorWithReadings();
        Win win;
        win.toTab(MainWindow::TabReadings);
        QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R3));
        win.msgs.script.shown.clear();
        win.box(1)->setText("12.5");
        win.killConnection();
        win.click("imgFirst");
        // Whether the save or some statement before it meets the loss first depends on the
        // server's timing: either the save went through on a new connection, or it was
        // told and kept, and the next action saves it.
        if (!win.msgs.script.shown.empty()) {
            QCOMPARE(win.msgs.script.shown.size(), size_t(1));
            QVERIFY2(win.boxTexts()[0].contains("the connection to the database server was lost"),
                     qPrintable(win.boxTexts()[0]));
            QCOMPARE(win.box(1)->text(), QString("12.5"));
            QCOMPARE(win.stored(R3, "Channel1"), QString("10.00"));
            QCoreApplication::processEvents();
            win.msgs.script.shown.clear();
            win.click("imgFirst");
            QVERIFY2(win.msgs.script.shown.empty(), qPrintable(win.boxTexts().join(" | ")));
        }
        QCOMPARE(win.stored(R3, "Channel1"), QString("12.50"));
        QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R1));

        // The save's own statement cut off: the server ends the connection as the row is
        // written.
        QCOMPARE(TestServer::adminExec(
                     {"CREATE FUNCTION tw_test_cut() RETURNS trigger AS $$ BEGIN "
                      "PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$ LANGUAGE plpgsql",
                      "CREATE TRIGGER tw_test_cut BEFORE UPDATE ON \"" + Sensor +
                          "\" FOR EACH ROW EXECUTE FUNCTION tw_test_cut()"}),
                 QString());
        win.box(2)->setText("7.25");
        QCoreApplication::processEvents();
        win.msgs.script.shown.clear();
        win.click("imgNextData");
        const QStringList told = win.boxTexts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith("The reading on screen could not be saved: the connection to the database server "
                                    "was lost."),
                 qPrintable(told[0]));
        QVERIFY(told[0].contains("Tarnwell connects again at the next action"));
        QCOMPARE(win.msgs.script.shown[0].choices, (QStringList{"Keep it on screen", "Discard it"}));
        QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R1));
        QCOMPARE(win.box(2)->text(), QString("7.25"));
        QCOMPARE(win.stored(R1, "Channel2"), QString("20.00"));

        QCOMPARE(
            TestServer::adminExec({"DROP TRIGGER tw_test_cut ON \"" + Sensor + "\"", "DROP FUNCTION tw_test_cut()"}),
            QString());
        QCoreApplication::processEvents();
        win.msgs.script.shown.clear();
        win.click("imgNextData");
        QVERIFY2(win.msgs.script.shown.empty(), qPrintable(win.boxTexts().join(" | ")));
        QCOMPARE(win.stored(R1, "Channel2"), QString("7.25"));
        QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R2));
    }

    // The server stays away (the user may not log in any more): every try says so and
    // keeps what was typed; once the server lets the user in again, the save goes through.
    // A login by a typed password (no ~/.pgpass, no PGPASSWORD): every connection the
    // program opens to the server logs in as the first did, so every tab works and the
    // Readings tab shows the readings, without a word.
    void typedPasswordServesEveryTab()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        addSensorWithReadings();
        TestData::openDatabase()->execute(QString("UPDATE `%1` SET Plottemporal = 1, PlotSpatial = 1").arg(Sensor));
        const QString role = QStringLiteral("tw_typed_%1").arg(QCoreApplication::applicationPid());
        const QString secret = QStringLiteral("Typed-Pw-815");
        QCOMPARE(TestServer::adminExec({"DROP ROLE IF EXISTS " + role,
                                        "CREATE ROLE " + role + " LOGIN PASSWORD '" + secret + "'",
                                        "GRANT postgres TO " + role}),
                 QString());
        const QByteArray envPassword = qgetenv("PGPASSWORD"), envPassFile = qgetenv("PGPASSFILE");
        qunsetenv("PGPASSWORD");
        qunsetenv("PGPASSFILE");
        auto restore = qScopeGuard([&] {
            qputenv("PGPASSWORD", envPassword);
            if (!envPassFile.isEmpty()) qputenv("PGPASSFILE", envPassFile);
            DatabaseChoice::setForThisRun(TestServer::uri());
            QCOMPARE(TestServer::adminExec({"DROP OWNED BY " + role, "DROP ROLE IF EXISTS " + role}), QString());
        });
        QVERIFY(!QFile::exists(QDir::homePath() + "/.pgpass"));
        const QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
        DatabaseChoice::setForThisRun("postgresql://" + role + '@' +
                                      (host.startsWith('/') ? QString("localhost") : host) + ':' +
                                      TestServer::adminValue("SELECT current_setting('port')").toString() + '/' +
                                      TestServer::adminValue("SELECT current_database()").toString());
        ScriptedMessages m;
        m.script.promptAnswers = {secret};
        MainWindow w;
        w.show();
        QVERIFY(w.shared().db.isOpen());
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].isPassword);
        m.script.shown.clear();
        for (int tab = 0; tab < w.tabWidget->count(); ++tab) {
            w.tabWidget->setCurrentIndex(tab);
            QVERIFY2(m.script.shown.empty(), qPrintable(QString("tab %1: ").arg(tab) + m.script.texts().join(" | ")));
        }
        w.tabWidget->setCurrentIndex(MainWindow::TabReadings);
        QCOMPARE(w.findChild<QLineEdit*>("txtReadingID")->text(), TestData::readingKey(Sensor, R3));
        QCOMPARE(w.findChild<QLineEdit*>("txtChannel(1)")->text(), QString("10.00"));
        QCOMPARE(w.findChild<QLineEdit*>("txtChannel(2)")->text(), QString("20.00"));
        QVERIFY2(m.script.shown.empty(), qPrintable(m.script.texts().join(" | ")));
    }

    void serverStaysAway()
    {
        if (!TestServer::wanted()) QSKIP("about a database server; this run is on the file");
        addSensorWithReadings();
        const QString role = QStringLiteral("tw_away_%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(TestServer::adminExec(
                     {"DROP ROLE IF EXISTS " + role,
                      "CREATE ROLE " + role + " LOGIN PASSWORD '" + qEnvironmentVariable("PGPASSWORD") + "'",
                      "GRANT postgres TO " + role}),
                 QString());
        auto dropRole = qScopeGuard([&] {
            QCOMPARE(TestServer::adminExec({"DROP OWNED BY " + role, "DROP ROLE IF EXISTS " + role}), QString());
        });
        const QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
        DatabaseChoice::setForThisRun("postgresql://" + role + '@' +
                                      (host.startsWith('/') ? QString("localhost") : host) + ':' +
                                      TestServer::adminValue("SELECT current_setting('port')").toString() + '/' +
                                      TestServer::adminValue("SELECT current_database()").toString());
        {
            Win win;
            QVERIFY(win.w.shared().db.isOpen());
            win.toTab(MainWindow::TabReadings);
            win.box(2)->setText("33");
            QCOMPARE(TestServer::adminExec({"ALTER ROLE " + role + " NOLOGIN"}), QString());
            win.killConnection();
            // The first action meets the lost connection, the next ones cannot make it again.
            const QStringList says = {"the connection to the database server was lost",
                                      "the database server cannot be reached ("};
            for (const QString& said : says) {
                win.msgs.script.shown.clear();
                QCoreApplication::processEvents();  // one action ends before the next
                win.click("imgFirst");
                QCOMPARE(win.msgs.script.shown.size(), size_t(1));
                QVERIFY2(win.boxTexts()[0].contains(said), qPrintable(win.boxTexts()[0]));
                QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R3));
                QCOMPARE(win.box(2)->text(), QString("33"));
            }
            QCOMPARE(win.stored(R3, "Channel2"), QString("20.00"));

            QCOMPARE(TestServer::adminExec({"ALTER ROLE " + role + " LOGIN"}), QString());
            QCoreApplication::processEvents();
            win.msgs.script.shown.clear();
            win.click("imgFirst");
            QVERIFY2(win.msgs.script.shown.empty(), qPrintable(win.boxTexts().join(" | ")));
            QCOMPARE(win.stored(R3, "Channel2"), QString("33.00"));
            QCOMPARE(win.shownKey(), TestData::readingKey(Sensor, R1));
        }
        DatabaseChoice::setForThisRun(TestServer::uri());
    }
};

QTEST_MAIN(TestServerWindow)
#include "tst_serverwindow.moc"
