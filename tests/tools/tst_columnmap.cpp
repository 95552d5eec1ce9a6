// Importing logger files with named columns from the main window: the column map asked
// the first time (with guesses and a preview), saved and reused, changed later; a header
// that does not hold together; refused lines listed before anything is stored.
#include "support/TestEnv.h"
#include "ModalHelper.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "store/Database.h"
#include "tools/ColumnMap.h"
#include "tools/LoggerGridModel.h"
#include "tools/ToolsController.h"
#include "tools/ColumnMapDialog.h"
#include "tools/LoggerImportWindow.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

namespace {
const QString Sensor = QStringLiteral("123445001");  // type 45: three gauges and a temperature channel

QByteArray toa5(const QByteArray& records)
{
    return "\"TOA5\",\"Stope4\",\"CR1000X\",\"4711\",\"CR1000X.Std.05\",\"CPU:bolts.CR1X\",\"21513\",\"Hourly\"\r\n"
           "\"TIMESTAMP\",\"RECORD\",\"BattV\",\"PTemp_C\",\"Temp\",\"Strain(1)\",\"Strain(2)\",\"Strain(3)\"\r\n"
           "\"TS\",\"RN\",\"Volts\",\"Deg C\",\"Deg C\",\"uStrain\",\"uStrain\",\"uStrain\"\r\n"
           "\"\",\"\",\"Smp\",\"Smp\",\"Avg\",\"Avg\",\"Avg\",\"Avg\"\r\n" +
           records;
}

QStringList headersOf(const QAbstractItemModel* m)
{
    QStringList out;
    for (int c = 0; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal).toString();
    return out;
}
}  // namespace

class TestColumnMap : public QObject {
    Q_OBJECT
    TestHome home;
    QTemporaryDir files;
    std::unique_ptr<Database> db;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        const QString path = QDir(files.path()).filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path;
    }

    // Rows of the sensor's table: "key|T|1|2|3|IsDirty".
    QStringList stored()
    {
        QSqlQuery q(db->handle());
        q.exec(QStringLiteral(
                   "SELECT DateTimeKey, ChannelT, Channel1, Channel2, Channel3, IsDirty FROM `%1` ORDER BY FullDate")
                   .arg(Sensor));
        QStringList out;
        while (q.next()) {
            QStringList parts;
            for (int i = 0; i < 6; ++i) parts << q.value(i).toString();
            out << parts.join(u'|');
        }
        return out;
    }

    int savedMaps() { return db->scalar(QStringLiteral("SELECT COUNT(*) FROM LoggerMaps")).toInt(); }

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
    }
    void cleanup() { ToolsController::setFileChooser({}); }

    void mapChosenSavedAndReused()
    {
        const QString first =
            writeFile("Stope4_Hourly.dat", toa5("\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1.234,-5,9\r\n"
                                                "\"2024-03-05 15:00:00.5\",18,12.6,21.3,NAN,2,\"NAN\",3\r\n"));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        ToolsController::setFileChooser([first](QWidget*) { return first; });
        QStringList guesses, preview, headers, firstRow;
        bool mapSeen = false, windowSeen = false;
        whenOpen<ColumnMapDialog>(
            "frmColumnMap",
            [&](ColumnMapDialog* d) {
                guesses << d->cboDateColumn->currentText() << d->cboDateLayout->currentText()
                        << d->cboTempColumn->currentText();
                for (QComboBox* g : d->cboGauge) guesses << g->currentText();
                for (int c = 0; c < d->grdPreview->columnCount(); ++c) preview << d->grdPreview->item(0, c)->text();
                d->txtClockOffset->setValue(1.0);  // the logger keeps standard time, the site summer time
                whenOpen<LoggerImportWindow>(
                    "frmWrenData",
                    [&](LoggerImportWindow* win) {
                        headers = headersOf(win->model());
                        for (int c = 0; c < 5; ++c) firstRow << win->model()->index(0, c).data().toString();
                        QVERIFY(!win->optDateFormat[0]->isVisible());
                        QVERIFY(win->cmdColumnMap->isVisible());
                        win->cmdAppend->click();
                    },
                    &windowSeen);
                d->cmdOK->click();
            },
            &mapSeen);
        w.tools()->onImportLoggerDataClicked();
        QVERIFY(mapSeen && windowSeen);
        QCOMPARE(guesses, (QStringList{"TIMESTAMP", "ISO 8601 (YYYY-MM-DD HH:MM:SS)", "Temp", "Strain(1)", "Strain(2)",
                                       "Strain(3)"}));
        QCOMPARE(preview, (QStringList{"2024-03-05 14:00:00", "17", "12.6", "21.3", "21.46", "1.234", "-5", "9"}));
        QCOMPARE(headers,
                 (QStringList{"Reading Date & Time", "ChannelT", "Channel1", "Channel2", "Channel3", "Append"}));
        QCOMPARE(firstRow, (QStringList{"2024/03/05 15:00:00", "21.46", "1.234", "-5", "9"}));
        // No warning about the file's name: a logger program names it after its table.
        QCOMPARE(m.script.texts(), (QStringList{"Append 2 ticked readings to sensor " + Sensor +
                                                    "?\r\n\r\nPlot Spatial (the length charts) is "
                                                    "ticked on the first new reading of each day that has none.",
                                                "2 records appended to " + Sensor}));
        QCOMPARE(stored(), (QStringList{Sensor + " 2024/03/05 15:00:00|21.5|1.23|-5.00|9.00|1",
                                        Sensor + " 2024/03/05 16:00:00||2.00||3.00|1"}));
        QCOMPARE(savedMaps(), 1);
        QVERIFY(QFile::exists(
            QDir(Paths::dataFolder())
                .filePath("imports/TW" + Sensor + "_" + QDate::currentDate().toString("yyyy-MM-dd") + ".dat")));

        // The next file of that layout uses the saved map without asking.
        const QString second =
            writeFile("Stope4_Hourly_2.dat", toa5("\"2024-03-05 16:00:00\",19,12.6,21.3,20,4,5,6\r\n"));
        ToolsController::setFileChooser([second](QWidget*) { return second; });
        m.script.shown.clear();
        whenOpen<ColumnMapDialog>(
            "frmColumnMap", [&](ColumnMapDialog* d) { d->reject(); }, &mapSeen);
        whenOpen<LoggerImportWindow>(
            "frmWrenData", [&](LoggerImportWindow* win) { win->cmdAppend->click(); }, &windowSeen);
        w.tools()->onImportLoggerDataClicked();
        QVERIFY(!mapSeen && windowSeen);
        QCOMPARE(stored().last(), Sensor + " 2024/03/05 17:00:00|20.0|4.00|5.00|6.00|1");
    }

    void cancellingTheMapImportsNothing()
    {
        const QString path =
            writeFile("Stope4_Hourly.dat", toa5("\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1,2,3\r\n"));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        ToolsController::setFileChooser([path](QWidget*) { return path; });
        bool mapSeen = false;
        whenOpen<ColumnMapDialog>(
            "frmColumnMap", [&](ColumnMapDialog* d) { d->cmdCancel->click(); }, &mapSeen);
        w.tools()->onImportLoggerDataClicked();
        QVERIFY(mapSeen);
        QVERIFY(m.script.texts().isEmpty());
        QVERIFY(stored().isEmpty());
        QCOMPARE(savedMaps(), 0);
    }

    // OK refuses a map whose date column does not read in the chosen layout.
    void mapIsCheckedBeforeItIsKept()
    {
        const QString path =
            writeFile("Stope4_Hourly.dat", toa5("\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1,2,3\r\n"));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        ToolsController::setFileChooser([path](QWidget*) { return path; });
        bool stayedOpen = false;
        whenOpen<ColumnMapDialog>("frmColumnMap", [&](ColumnMapDialog* d) {
            d->cboDateLayout->setCurrentIndex(1);  // DD/MM/YYYY
            d->cmdOK->click();
            stayedOpen = d->isVisible();
            d->cboTempColumn->setCurrentIndex(0);  // (none)
            for (QComboBox* g : d->cboGauge) g->setCurrentIndex(0);
            d->cboDateLayout->setCurrentIndex(3);
            d->cmdOK->click();  // no channel chosen
            d->reject();
        });
        w.tools()->onImportLoggerDataClicked();
        QVERIFY(stayedOpen);
        const QStringList texts = m.script.texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0],
                 QString("The date \"2024-03-05 14:00:00\" in column TIMESTAMP cannot be read as DD/MM/YYYY.\r\n"
                         "Choose the column that holds the date and time, and its layout."));
        QCOMPARE(texts[1], QString("Choose a column for the temperature or for at least one gauge."));
        QCOMPARE(savedMaps(), 0);
    }

    void headerThatDoesNotHoldTogetherIsRefused()
    {
        QByteArray bad = toa5("\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1,2,3\r\n");
        bad.replace("\"TS\",\"RN\",\"Volts\",", "\"TS\",\"RN\",");
        const QString path = writeFile("bad.dat", bad);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        ToolsController::setFileChooser([path](QWidget*) { return path; });
        w.tools()->onImportLoggerDataClicked();
        QCOMPARE(m.script.texts(),
                 QStringList{"The file bad.dat cannot be imported:\r\nline 3: 7 units for 8 field names"});
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        QVERIFY(stored().isEmpty());
    }

    // A saved map is changed from the import window; refused lines are listed first and
    // declining stores nothing and keeps the window open.
    void mapChangedLaterAndRefusedLinesListed()
    {
        ColumnMap map;
        map.dateColumn = "TIMESTAMP";
        map.tempColumn = "Temp";
        map.gaugeColumns = QStringList{"Strain(1)", "Strain(2)", "Strain(3)"};
        const QString path =
            writeFile("Stope4_Hourly.dat", toa5("\"2024-03-05 14:00:00\",17,12.6,21.3,21.46,1,2,3\r\n"
                                                "\"2024-03-05 15:00:00\",18,12.6,21.3,21.46,1,x,3\r\n"));
        ColumnMaps::save(*db, Sensor, "TOA5",
                         ColumnMaps::signature("TOA5", {"TIMESTAMP", "RECORD", "BattV", "PTemp_C", "Temp", "Strain(1)",
                                                        "Strain(2)", "Strain(3)"}),
                         map);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        m.script.answers = {Messages::Answer::Yes, Messages::Answer::No};
        ToolsController::setFileChooser([path](QWidget*) { return path; });
        QString cell;
        bool stillOpen = false;
        whenOpen<LoggerImportWindow>("frmWrenData", [&](LoggerImportWindow* win) {
            whenOpen<ColumnMapDialog>("frmColumnMap", [&](ColumnMapDialog* d) {
                d->cboGauge[0]->setCurrentText("PTemp_C");
                d->cmdOK->click();
            });
            win->cmdColumnMap->click();
            cell = win->model()->index(0, 2).data().toString();
            win->cmdAppend->click();  // Yes, then No to the refused line
            stillOpen = win->isVisible();
            win->reject();
        });
        w.tools()->onImportLoggerDataClicked();
        QCOMPARE(cell, QString("21.3"));
        QVERIFY(stillOpen);
        QCOMPARE(m.script.texts().value(1),
                 QString("1 selected line cannot be stored:\r\nline 6: gauge 2 is not a number: \"x\""
                         "\r\n\r\nAppend the other 1 readings?"));
        QVERIFY(stored().isEmpty());
        const auto saved = ColumnMaps::load(
            *db, Sensor,
            ColumnMaps::signature(
                "TOA5", {"TIMESTAMP", "RECORD", "BattV", "PTemp_C", "Temp", "Strain(1)", "Strain(2)", "Strain(3)"}));
        QVERIFY(saved);
        QCOMPARE(saved->gaugeColumns.value(0), QString("PTemp_C"));
    }
};

QTEST_MAIN(TestColumnMap)
#include "tst_columnmap.moc"
