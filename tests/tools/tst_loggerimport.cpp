// The logger import from the main window's command to the rows stored: the file-name
// warning, cancel, empty and missing files, the window's own interval and Select all /
// none, appending (Plot Spatial on one reading a day), duplicates, nothing ticked, the
// working copy, the layout file and the archive copy.
#include "support/TestEnv.h"
#include "support/FaultyDisk.h"
#include "ModalHelper.h"
#include "app/MainWindow.h"
#include "core/Paths.h"
#include "data/SensorData.h"
#include "readings/ReadingsController.h"
#include "store/Database.h"
#include "tools/GridWidgets.h"
#include "tools/LoggerGridModel.h"
#include "tools/ToolsController.h"
#include "tools/LoggerImportWindow.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QtTest>

namespace {
const QString Sensor = QStringLiteral("123435001");  // type 35: two gauges and a temperature channel
const QString WorkedLine = QStringLiteral("2011/03/05 14:00:00,7,2,123456789,21.46,1.234,-5,9");

QString question(int count, const QString& countText)
{
    return "Append " + countText + " ticked reading" + (count == 1 ? "" : "s") + " to sensor " + Sensor +
           "?\r\n\r\nPlot Spatial (the length charts) is ticked on the first new reading of each day that has none.";
}

// count lines of the comma-separated layout, step seconds apart from 2011/03/05 00:00.
QByteArray readingLines(int count, int step)
{
    QByteArray out;
    const QDateTime start(QDate(2011, 3, 5), QTime(0, 0));
    for (int i = 0; i < count; ++i)
        out += start.addSecs(qint64(i) * step).toString("yyyy/MM/dd HH:mm:ss").toLatin1() + ",7,2,1,20,1,2\n";
    return out;
}
}  // namespace

class TestLoggerImport : public QObject {
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

    void choose(const QString& path)
    {
        ToolsController::setFileChooser([path](QWidget*) { return path; });
    }

    int readingCount() { return db->scalar(QStringLiteral("SELECT COUNT(*) FROM `%1`").arg(Sensor)).toInt(); }

    QString dataFile(const QString& name) { return QDir(Paths::dataFolder()).filePath(name); }

    // Runs the import command; act works on the open window and must close it.
    bool runImport(MainWindow& w, std::function<void(LoggerImportWindow*)> act)
    {
        bool seen = false;
        whenOpen<LoggerImportWindow>("frmWrenData", std::move(act), &seen);
        w.tools()->onImportLoggerDataClicked();
        QCoreApplication::processEvents();
        return seen;
    }

    static void appendNow(LoggerImportWindow* d) { d->cmdAppend->click(); }

private slots:
    void initTestCase()
    {
        TARNWELL_SERVER_OR_SKIP();
        FaultyDisk::install();
    }
    void init()
    {
        db.reset();
        TestData::installFresh();
        db = TestData::openDatabase();
        TestData::addSensor(*db, {Sensor});
    }
    void cleanup() { ToolsController::setFileChooser({}); }

    void cancelChangesNothing()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(QString());
        QVERIFY(!runImport(w, [](LoggerImportWindow* d) { d->reject(); }));
        QVERIFY(m.script.shown.empty());
        QVERIFY(!QFile::exists(dataFile("Schema.ini")));
        QVERIFY(!QFile::exists(dataFile("datafile.txt")));
        QCOMPARE(readingCount(), 0);
    }

    void fileNameWarning_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("warned");
        QTest::newRow("the sensor's own file") << Sensor + ".txt" << false;
        QTest::newRow("other case") << Sensor + ".TXT" << true;
        QTest::newRow("other name") << "data.txt" << true;
    }
    void fileNameWarning()
    {
        QFETCH(QString, name);
        QFETCH(bool, warned);
        const QString path = writeFile(name, WorkedLine.toUtf8());
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        m.script.answers = {Messages::Answer::No};
        const bool opened = runImport(w, [](LoggerImportWindow* d) { d->reject(); });
        if (!warned) {
            QVERIFY(opened);
            QVERIFY(m.script.shown.empty());
            return;
        }
        QVERIFY(!opened);
        QCOMPARE(m.script.shown.size(), size_t(1));
        const auto& box = m.script.shown[0];
        QCOMPARE(box.text, "WARNING:\r\n" + name + " is not a match for the current sensor of " + Sensor +
                               "\r\nAre you sure you want to append this data to the database?\r\n\r\n"
                               "This may cause undesirable results including corruption and loss of database");
        QCOMPARE(box.title, QString("Orrisford's TARNWELL"));
        QCOMPARE(box.icon, Messages::Icon::Exclamation);
        QCOMPARE(box.buttons, Messages::Buttons::YesNo);
        QVERIFY(box.defaultButton == Messages::Answer::No);
        QVERIFY(!QFile::exists(dataFile("datafile.txt")));  // "No" stops before the copy
        QCOMPARE(readingCount(), 0);
    }

    void missingFileSaysSo()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(QDir(files.path()).filePath(Sensor + ".txt.gone/" + Sensor + ".txt"));
        QVERIFY(!runImport(w, [](LoggerImportWindow* d) { d->reject(); }));
        QCOMPARE(m.script.texts(), QStringList{"There was no data found for this sensor."});
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
        QVERIFY(!QFile::exists(dataFile("Schema.ini")));
        QVERIFY(!QFile::exists(dataFile("datafile.txt")));
    }

    void workedLineIsAppended()
    {
        const QString path = writeFile(Sensor + ".txt", WorkedLine.toUtf8() + "\r\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        QString header;
        QStringList headers;
        bool marked = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            header = d->lblHeader->text();
            for (int c = 0; c < d->model()->columnCount(); ++c)
                headers << d->model()->headerData(c, Qt::Horizontal).toString();
            marked = d->model()->index(0, 11).data(LoggerGridModel::MarkRole).toBool();
            QCOMPARE(d->windowTitle(), "Import DataFiles: " + Sensor + ".txt to sensor " + Sensor);
            QCOMPARE(d->model()->index(0, 4).data().toString(), QString("21.46"));
            QVERIFY(QFile::exists(dataFile("datafile.txt")));
            QVERIFY(!QFile::exists(dataFile("Schema.ini")));
            appendNow(d);
        }));
        QCOMPARE(header, "Click to download textfile data to Sensor " + Sensor);
        QCOMPARE(headers, LoggerGridModel::headers());
        QCOMPARE(headers.size(), 12);
        QVERIFY(marked);
        QCOMPARE(m.script.texts(), (QStringList{question(1, "1"), "1 records appended to " + Sensor}));
        QCOMPARE(m.script.shown[0].buttons, Messages::Buttons::YesNo);
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::None);

        QSqlQuery q(db->handle());
        QVERIFY(q.exec(QStringLiteral("SELECT DateTimeKey, ReadingDate, ReadingTime, FullDate, ChannelT, Channel1, "
                                      "Channel2, Channel3, Channel10, IsDirty, PlotSpatial, Plottemporal FROM `%1`")
                           .arg(Sensor)));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), Sensor + " 2011/03/05 14:00:00");
        QCOMPARE(q.value(1).toString(), QString("2011/03/05"));
        QCOMPARE(q.value(2).toString(), QString("14:00:00"));
        QCOMPARE(q.value(3).toString(), QString("2011-03-05 14:00:00"));
        QCOMPARE(q.value(4).toString(), QString("21.5"));
        QCOMPARE(q.value(5).toString(), QString("1.23"));
        QCOMPARE(q.value(6).toString(), QString("-5.00"));
        QVERIFY(q.value(7).isNull());
        QVERIFY(q.value(8).isNull());
        QCOMPARE(q.value(9).toInt(), 1);
        QCOMPARE(q.value(10).toInt(), 1);
        QCOMPARE(q.value(11).toInt(), 1);
        QVERIFY(!q.next());

        // The user's file stays; a copy is kept in the data folder.
        QVERIFY(QFile::exists(path));
        const QString archive =
            dataFile("imports/TW" + Sensor + "_" + QDate::currentDate().toString("yyyy-MM-dd") + ".txt");
        QVERIFY(QFile::exists(archive));
        QFile a(archive);
        a.open(QIODevice::ReadOnly);
        QCOMPARE(a.readAll(), WorkedLine.toUtf8() + "\r\n");
    }

    void secondImportRefusesDuplicates()
    {
        const QString path = writeFile(Sensor + ".txt",
                                       "2011/03/05 00:00:00,7,2,1,20,1,2\n"
                                       "2011/03/06 00:00:00,7,2,1,20,1,2\n"
                                       "2011/03/07 00:00:00,7,2,1,20,1,2\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        choose(path);
        QVERIFY(runImport(w, appendNow));
        QCOMPARE(readingCount(), 3);
        m.script.shown.clear();
        // The second time every row is shown as stored already: none is ticked, and append
        // says so and leaves the window open.
        int stored = -1;
        bool stillOpen = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            stored = d->model()->storedCount();
            d->cmdSelectAll->click();  // stored rows cannot be ticked
            appendNow(d);
            stillOpen = d->isVisible();
            d->reject();
        }));
        QCOMPARE(stored, 3);
        QVERIFY(stillOpen);
        QCOMPARE(readingCount(), 3);
        QCOMPARE(m.script.texts(), QStringList{"Sensor " + Sensor +
                                               " has every reading of this file already: there is nothing to append."});
        // Only the import that appended something left a copy.
        QCOMPARE(QDir(dataFile("imports")).entryList(QDir::Files).size(), 1);
    }

    // Rows the sensor has already are greyed, never selected and cannot be ticked; the
    // window says how many are selected and stored, and the interval it used.
    void storedRowsAreGreyedAndCounted()
    {
        TestData::addReadings(*db, Sensor,
                              {{QDateTime(QDate(2011, 3, 5), QTime(0, 0)), {"1", "2"}, "20.0"},
                               {QDateTime(QDate(2011, 3, 6), QTime(0, 0)), {"1", "2"}, "20.0"}});
        const QString path = writeFile(Sensor + ".txt",
                                       "2011/03/05 00:00:00,7,2,1,20,1,2\n"
                                       "2011/03/06 00:00:00,7,2,1,20,1,2\n"
                                       "2011/03/07 00:00:00,7,2,1,20,1,2\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        QList<bool> stored, selected;
        QString counts, title, tip;
        QVariant grey;
        bool toggled = true;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            d->cboLoggerInterval->setCurrentText("24");
            for (int r = 0; r < 3; ++r) {
                stored << d->model()->isStored(r);
                selected << d->model()->isSelected(r);
            }
            toggled = d->model()->toggle(d->model()->index(0, d->model()->appendColumn()));
            grey = d->model()->index(1, 0).data(Qt::ForegroundRole);
            tip = d->model()->index(1, d->model()->appendColumn()).data(Qt::ToolTipRole).toString();
            counts = d->lblCounts->text();
            title = d->windowTitle();
            d->cmdCancel->click();
        }));
        QCOMPARE(stored, (QList<bool>{true, true, false}));
        QCOMPARE(selected, (QList<bool>{false, false, true}));
        QVERIFY(!toggled);
        QVERIFY(grey.isValid());
        QCOMPARE(tip, QString("already stored"));
        QCOMPARE(counts, "1 of 3 rows ticked to append; 2 already stored for sensor " + Sensor +
                             " (greyed). Pre-selected: one reading every 24 hours.");
        QCOMPARE(title, "Import DataFiles: " + Sensor + ".txt to sensor " + Sensor);
        QVERIFY(m.script.shown.empty());  // Cancel appends nothing and asks nothing
        QCOMPARE(readingCount(), 2);
    }

    // The window stands alone: its own interval box (no such box on the main window),
    // every new reading ticked at first, Select all / none, the interval applied by Enter
    // without appending. An append of three days of hourly readings ticks Plot Spatial on
    // the first reading of each day only.
    void ticksIntervalAndOneSpatialReadingPerDay()
    {
        const QString path = writeFile(Sensor + ".txt", readingLines(72, 3600));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        QVERIFY(!w.findChild<QComboBox*>("cboWrenInt"));
        m.script.shown.clear();
        choose(path);
        QString interval, counts;
        QList<int> ticked;
        QList<int> dailyRows;
        bool openAfterEnter = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            interval = d->cboLoggerInterval->currentText();
            counts = d->lblCounts->text();
            ticked << d->model()->selectedCount();
            d->cmdSelectNone->click();
            ticked << d->model()->selectedCount();
            d->cmdSelectAll->click();
            ticked << d->model()->selectedCount();
            // A typed interval is applied by Enter, which stays in the box.
            d->cboLoggerInterval->setFocus();
            d->cboLoggerInterval->lineEdit()->selectAll();
            QTest::keyClicks(d->cboLoggerInterval->lineEdit(), "24");
            QTest::keyClick(d->cboLoggerInterval->lineEdit(), Qt::Key_Return);
            openAfterEnter = d->isVisible();
            ticked << d->model()->selectedCount();
            for (int r = 0; r < d->model()->rowCount(); ++r)
                if (d->model()->isSelected(r)) dailyRows << r;
            d->cboLoggerInterval->setCurrentText("0");
            ticked << d->model()->selectedCount();
            appendNow(d);
        }));
        QCOMPARE(interval, QString("0"));
        QCOMPARE(counts, QString("72 of 72 rows ticked to append. Pre-selected: every new reading."));
        QCOMPARE(ticked, (QList<int>{72, 0, 72, 3, 72}));
        QCOMPARE(dailyRows, (QList<int>{0, 24, 48}));
        QVERIFY(openAfterEnter);
        QCOMPARE(m.script.texts(), (QStringList{question(72, "72"), "72 records appended to " + Sensor}));
        QCOMPARE(readingCount(), 72);
        QCOMPARE(db->scalar(QStringLiteral("SELECT group_concat(DateTimeKey, '|') FROM (SELECT DateTimeKey FROM `%1` "
                                           "WHERE PlotSpatial = 1 ORDER BY DateTimeKey) AS r")
                                .arg(Sensor))
                     .toString(),
                 QStringList({Sensor + " 2011/03/05 00:00:00", Sensor + " 2011/03/06 00:00:00",
                              Sensor + " 2011/03/07 00:00:00"})
                     .join('|'));
        QCOMPARE(db->scalar(QStringLiteral("SELECT COUNT(*) FROM `%1` WHERE Plottemporal = 1").arg(Sensor)).toInt(),
                 72);
    }

    // Append with nothing ticked asks nothing, says why and leaves the window open; the
    // question counts the ticked readings (with a thousands separator).
    void nothingTickedKeepsTheWindowOpen()
    {
        const QString path = writeFile(Sensor + ".txt", readingLines(1234, 60));
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        m.script.answers = {Messages::Answer::Ok, Messages::Answer::No};
        bool stillOpen = false, closedAfterNo = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            d->cmdSelectNone->click();
            appendNow(d);
            stillOpen = d->isVisible() && d->cmdAppend->isEnabled();
            d->cmdSelectAll->click();
            appendNow(d);
            closedAfterNo = !d->isVisible();
            if (!closedAfterNo) d->reject();
        }));
        QVERIFY(stillOpen);
        QVERIFY(closedAfterNo);
        QCOMPARE(m.script.texts(), (QStringList{"No reading is ticked, so nothing can be appended.\r\n"
                                                "Tick the readings to append in the Append column (click, or Space), "
                                                "or use Select all.",
                                                question(1234, "1,234")}));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Information);
        QCOMPARE(readingCount(), 0);
    }

    void emptyFile()
    {
        const QString path = writeFile(Sensor + ".txt", QByteArray());
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        QString corner;
        int rows = -1;
        bool stillOpen = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            corner = d->model()->headerData(0, Qt::Horizontal).toString();
            rows = d->model()->rowCount();
            appendNow(d);
            stillOpen = d->isVisible();
            d->reject();
        }));
        QCOMPARE(corner, QString("No Readings"));
        QCOMPARE(rows, 0);
        QVERIFY(stillOpen);
        QCOMPARE(m.script.texts(), QStringList{"The file holds no readings: there is nothing to append."});
        QCOMPARE(readingCount(), 0);
    }

    void intervalAndMarker()
    {
        const QString path = writeFile(Sensor + ".txt",
                                       "2000/01/01 00:00:80,7,2,1,20,1,2\n"
                                       "2011/03/05 00:30:00,7,2,1,20,1,2\n"
                                       "2011/03/05 12:00:00,7,2,1,20,1,2\n"
                                       "2011/03/06 00:10:00,7,2,1,20,1,2\n"
                                       ",7,2,1,20,1,2\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        QList<bool> marks;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            d->cboLoggerInterval->setCurrentText("24");
            for (int r = 0; r < d->model()->rowCount(); ++r) marks << d->model()->isSelected(r);
            // The user selects the marker row and the row without a date by clicking.
            d->onGridClicked(d->model()->index(0, 11));
            d->onGridClicked(d->model()->index(4, 11));
            d->onGridClicked(d->model()->index(0, 3));  // not an Append cell: no change
            QVERIFY(d->model()->isSelected(0));
            appendNow(d);
        }));
        QCOMPARE(marks, (QList<bool>{false, true, false, true, false}));
        // Neither the marker row nor the dateless row is stored, and the user is told.
        QCOMPARE(readingCount(), 2);
        const QStringList texts = m.script.texts();
        // They are listed before anything is stored, and the user agrees to append the rest.
        QVERIFY(
            texts.contains("2 selected lines cannot be stored:\r\n"
                           "line 1: the date \"2000/01/01 00:00:80\" is the logger's mark for an unknown time\r\n"
                           "line 5: the date \"\" cannot be read as YYYY/MM/DD\r\n\r\nAppend the other 2 readings?"));
        QCOMPARE(texts.last(), "2 records appended to " + Sensor);
    }

    void dayFirstLayout()
    {
        const QString path = writeFile(Sensor + ".txt", "05/03/2011 14:00:00,7,2,1,20,1,2\r\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        choose(path);
        bool firstMarked = true;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            firstMarked = d->model()->isSelected(0);  // not a year-first date
            d->optDateFormat[1]->setChecked(true);
            QVERIFY(d->model()->isSelected(0));
            appendNow(d);
        }));
        QVERIFY(!firstMarked);
        QCOMPARE(
            db->scalar(QStringLiteral("SELECT ReadingDate || ' ' || ReadingTime FROM `%1`").arg(Sensor)).toString(),
            QString("2011/03/05 14:00:00"));
    }

    void decliningClosesWithoutAppending()
    {
        const QString path = writeFile(Sensor + ".txt", WorkedLine.toUtf8() + "\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        choose(path);
        m.script.answers = {Messages::Answer::No};
        bool closed = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            appendNow(d);
            closed = !d->isVisible();
        }));
        QVERIFY(closed);
        QCOMPARE(readingCount(), 0);
        QVERIFY(!QDir(dataFile("imports")).exists());
    }

    // Lines whose values cannot be stored - outside the type's limits, absurdly long, a
    // date without gauge values - are listed with the other refusals in one summary
    // before anything is appended; the user decides.
    void valuesOutsideTheLimitsAreListedBeforeAppending_data()
    {
        QTest::addColumn<bool>("appendOthers");
        QTest::newRow("the others appended") << true;
        QTest::newRow("nothing appended") << false;
    }
    void valuesOutsideTheLimitsAreListedBeforeAppending()
    {
        QFETCH(bool, appendOthers);
        // Type 35: two gauges from -10000 to 10000 and a temperature from -20 to 60.
        const QString path = writeFile(Sensor + ".txt",
                                       "2011/03/05 14:00:00,7,2,1,21.5,1.5,2.5\n"
                                       "2011/03/06 14:00:00,7,2,1,21.5,10000,-10000\n"  // at the limits
                                       "2011/03/07 14:00:00,7,2,1,21.5,1.5,12000\n"
                                       "2011/03/08 14:00:00,7,2,1,75.0,1.5,2.5\n"
                                       "2011/03/09 14:00:00,7,2,1,21.5,1234567890123456789012345678901234567890123,2\n"
                                       "2011/03/10 14:00:00,7,2,1,21.5,,\n"
                                       "2011/03/11 14:00:00\n"
                                       "2011/03/12 14:00:00,7,2,1,,3,4\n");  // no temperature: fine
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        const QByteArray before = TestEnv::fileHash(Paths::databasePath());
        m.script.answers = {Messages::Answer::Yes, appendOthers ? Messages::Answer::Yes : Messages::Answer::No};
        bool stillOpen = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            appendNow(d);
            stillOpen = d->isVisible() && d->cmdAppend->isEnabled();
            if (stillOpen) d->reject();
        }));
        QCOMPARE(m.script.texts().at(1), QString("5 selected lines cannot be stored:\r\n"
                                                 "line 3: gauge 2 is 12000, outside the limits -10000 to 10000\r\n"
                                                 "line 4: the temperature is 75, outside the limits -20 to 60\r\n"
                                                 "line 5: gauge 1 is 1234567890123456789012345678901234567890..., "
                                                 "outside the limits -10000 to 10000\r\n"
                                                 "line 6: it has a date but no gauge values\r\n"
                                                 "line 7: it has a date but no gauge values\r\n\r\n"
                                                 "Append the other 3 readings?"));
        QCOMPARE(m.script.shown[1].buttons, Messages::Buttons::YesNo);
        QCOMPARE(m.script.shown[1].icon, Messages::Icon::Exclamation);
        if (!appendOthers) {
            QVERIFY(stillOpen);  // back to the marks, nothing stored
            QCOMPARE(readingCount(), 0);
            QCOMPARE(TestEnv::fileHash(Paths::databasePath()), before);
            return;
        }
        QCOMPARE(m.script.texts().last(), "3 records appended to " + Sensor);
        QCOMPARE(db->scalar(QStringLiteral("SELECT group_concat(ReadingDate, ' ') FROM (SELECT ReadingDate FROM `%1` "
                                           "ORDER BY FullDate) AS r")
                                .arg(Sensor))
                     .toString(),
                 QString("2011/03/05 2011/03/06 2011/03/12"));
        QCOMPARE(
            db->scalar(QStringLiteral("SELECT Channel1 || ' ' || Channel2 FROM `%1` WHERE ReadingDate = '2011/03/06'")
                           .arg(Sensor))
                .toString(),
            QString("10000.00 -10000.00"));
    }

    // A failed append (the disk full, injected) stores nothing, says why, keeps the window
    // open, and leaves no false message about a missing data table behind it.
    void failedAppendStoresNothing()
    {
        TARNWELL_FILE_ONLY();  // the failure is injected into the file's journal
        const QString path = writeFile(Sensor + ".txt", WorkedLine.toUtf8() + "\n2011/03/06 14:00:00,7,2,1,20,1,2\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        choose(path);
        const QByteArray before = TestEnv::fileHash(Paths::databasePath());
        bool stillOpen = false;
        QVERIFY(runImport(w, [&](LoggerImportWindow* d) {
            {
                FaultyDisk::Armed full({QStringLiteral("-journal"), 0, FaultyDisk::Failure::DiskFull});
                appendNow(d);
            }
            stillOpen = d->isVisible();
            d->reject();
        }));
        QVERIFY(stillOpen);
        QCOMPARE(m.script.texts(), (QStringList{question(2, "2"),
                                                "The readings could not be appended: the disk is full.\r\n"
                                                "Nothing was stored."}));
        QCOMPARE(readingCount(), 0);
        QCOMPARE(TestEnv::fileHash(Paths::databasePath()), before);
    }

    // A logger file that cannot be read, or a data folder the working copy cannot be
    // written to, is said so; nothing is imported.
    void unreadableFileOrFolderIsSaidSo()
    {
        TARNWELL_AS_UNPRIVILEGED_USER();
        const QString path = writeFile(Sensor + ".txt", WorkedLine.toUtf8());
        for (bool folder : {false, true}) {
            const QString target = folder ? Paths::dataFolder() : path;
            const auto was = QFile::permissions(target);
            QVERIFY(QFile::setPermissions(target, folder ? QFile::ReadOwner | QFile::ExeOwner : QFile::Permissions()));
            ScriptedMessages m;
            {
                MainWindow w;
                w.show();
                m.script.shown.clear();
                choose(path);
                QVERIFY(!runImport(w, [](LoggerImportWindow* d) { d->reject(); }));
            }
            QFile::setPermissions(target, was);
            QCOMPARE(m.script.shown.size(), size_t(1));
            const QString told = m.script.texts()[0];
            QVERIFY2(told.startsWith(folder ? "The data folder cannot be written" : "The logger file cannot be read ("),
                     qPrintable(told));
            QVERIFY(told.endsWith(".\r\nNothing was imported."));
            QCOMPARE(readingCount(), 0);
        }
    }

    void returnsToTheReadingShownBefore()
    {
        TestData::addManyReadings(*db, Sensor, 5, QDateTime(QDate(2010, 1, 1), QTime(0, 0)), 2);
        const QString path = writeFile(Sensor + ".txt", WorkedLine.toUtf8() + "\r\n");
        ScriptedMessages m;
        MainWindow w;
        w.show();
        Shared& s = w.shared();
        SessionData::OpenSensorData(s);
        s.rsReadings->setAbsolutePosition(2);
        w.readings()->fillreadings();  // the reading on screen, as the user sees it
        const qint64 shown = s.rsReadings->bookmark();
        choose(path);
        QVERIFY(runImport(w, appendNow));
        QVERIFY(s.rsReadings && s.rsReadings->isOpen());
        QCOMPARE(s.rsReadings->recordCount(), 6);
        QCOMPARE(s.rsReadings->bookmark(), shown);
    }
};

QTEST_MAIN(TestLoggerImport)
#include "tst_loggerimport.moc"
