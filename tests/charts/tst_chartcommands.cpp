#include "ChartFixture.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "charts/ChartDrawings.h"
#include "charts/ChartsController.h"
#include "charts/PictureName.h"
#include "core/Paths.h"
#include "session/Shared.h"

#include <QImageReader>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The chart pages' commands: the picture export and its file names, the printout and the
// graphing tips.
using ChartFixture::Row;

class TestChartCommands : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void initTestCase() { TARNWELL_SERVER_OR_SKIP(); }
    void init() { TestData::installFresh(); }

    // Each export is a file of its own, named by sensor, chart and time, and the user is told
    // where it went.
    void exportNamesEachPictureAndSaysWhere_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("chart");
        QTest::newRow("load v time") << 3 << "cmdTemp"
                                     << "Load v Time";
        QTest::newRow("disp v time") << 4 << "cmdRate"
                                     << "Disp v Time";
        QTest::newRow("load v length") << 5 << "cmdSpat"
                                       << "Load v Length";
        QTest::newRow("disp v length") << 6 << "cmdDvl"
                                       << "Disp v Length";
        QTest::newRow("shear v length") << 7 << "Command1"
                                        << "Shear v Length";
    }
    void exportNamesEachPictureAndSaysWhere()
    {
        QFETCH(int, tab);
        QFETCH(QString, button);
        QFETCH(QString, chart);
        ChartFixture::addSensor("250435001", false, ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 2));
        ScriptedMessages m;
        RecordedDesktop desk;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        auto* b = w.charts()->page(tab)->findChild<QPushButton*>(button);
        QVERIFY(b);
        QCOMPARE(b->text(), QString("Export as JPG"));
        const QString before = QDateTime::currentDateTime().toString("yyyy-MM-dd HHmm");
        b->click();
        b->click();
        const QString after = QDateTime::currentDateTime().toString("yyyy-MM-dd HHmm");
        const QString stem = "Sensor 250435001 - " + chart + " - ";
        QCOMPARE(QDir(Paths::dataFolder()).entryList({stem + "*.jpg"}, QDir::Files).size(), 2);  // none replaced
        // Each export ends with where it went, in the order they were made.
        QCOMPARE(m.script.shown.size(), size_t(2));
        QStringList files;
        for (const Messages::Shown& shown : m.script.shown) {
            QVERIFY(shown.text.startsWith("Saved to "));
            files << QFileInfo(QDir::fromNativeSeparators(shown.text.mid(9))).fileName();
            QCOMPARE(QFileInfo(QDir::fromNativeSeparators(shown.text.mid(9))).absolutePath(),
                     QFileInfo(Paths::dataFolder()).absoluteFilePath());
        }
        QVERIFY2(files[0] == stem + before + ".jpg" || files[0] == stem + after + ".jpg", qPrintable(files[0]));
        QVERIFY2(files[1] == stem + before + " (2).jpg" || files[1] == stem + after + ".jpg" ||
                     files[1] == stem + after + " (2).jpg",
                 qPrintable(files[1]));
        for (const QString& f : files) {
            QImageReader reader(Paths::dataFolder() + '/' + f);
            QCOMPARE(reader.format(), QByteArray("jpeg"));
            QVERIFY(!reader.read().isNull());
        }
        // Answering Open folder opens the data folder.
        QVERIFY(desk.recorder.requests.isEmpty());
        m.script.choices = {0};
        b->click();
        QCOMPARE(desk.recorder.requests, QStringList{QFileInfo(Paths::dataFolder()).absoluteFilePath()});
    }

    void pictureNamesHoldOnlyWhatAFileNameCan()
    {
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 30, 59));
        QCOMPARE(PictureName::baseName("7", "Load v Time", when), QString("Sensor 7 - Load v Time - 2026-12-08 0930"));
        QCOMPARE(PictureName::baseName("N/12:a*b?", "Disp v Time", when),
                 QString("Sensor N_12_a_b_ - Disp v Time - 2026-12-08 0930"));
        QCOMPARE(PictureName::baseName("", "Load v Length", when), QString("Load v Length - 2026-12-08 0930"));
        QTemporaryDir dir;
        QCOMPARE(PictureName::freePath(dir.path(), "a", "jpg"), dir.path() + "/a.jpg");
        for (const char* taken : {"a.jpg", "a (2).jpg"}) {
            QFile f(dir.filePath(taken));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(PictureName::freePath(dir.path(), "a", "jpg"), dir.path() + "/a (3).jpg");
    }

    void exportFailureIsReported()
    {
        ScriptedMessages m;
        RecordedDesktop desk;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        // The data folder is gone: nothing is written and nothing is said to be saved.
        w.shared().dataFolder = Paths::dataFolder() + "/missing";
        w.findChild<QPushButton*>("cmdTemp")->click();
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.startsWith("The chart could not be saved as\r\n" + w.shared().dataFolder +
                                                  "/Load v Time - "));
        QVERIFY(m.script.shown[0].text.endsWith(
            "\r\nCheck that the data folder exists and that the file is not read-only."));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::Exclamation);
        QVERIFY(desk.recorder.requests.isEmpty());
    }

    void graphingTips()
    {
        ScriptedMessages m;
        MainWindow w;
        w.show();
        m.script.shown.clear();
        auto* help = w.findChild<QPushButton*>("cmdTHelp");
        QCOMPARE(help->text(), QString("?"));
        help->click();
        QCOMPARE(
            m.script.texts(),
            QStringList{"1) To scroll graph hold down the left mouse button over an axis and drag to desired range\r\n"
                        "2) Explanation of zooming (diagonal left to right zooms in, right to left zooms out)\r\n"
                        "3) Click on a series in the graph to see raw data in lower annotation\r\n"
                        "4) Uncheck a series in the legend to hide, check series to show"});
        QCOMPARE(m.script.shown[0].title, QString("Graphing Tips and Hints"));
        QCOMPARE(m.script.shown[0].icon, Messages::Icon::None);
    }

    void printsWithinMargins()
    {
        QList<Row> rows = ChartFixture::hourly(QDateTime(QDate(2025, 4, 2), QTime(8, 0)), 3);
        for (Row& r : rows) r.load = {0.5, 0.7};
        ChartFixture::addSensor("250435001", false, rows);
        ScriptedMessages m;
        MainWindow w;
        w.show();
        ChartFixture::showSensor(w, {}, {"0.5", "1.0"}, "1.5");
        w.charts()->drawings().drawLoadVsTime();
        QCOMPARE(w.charts()->chart(3)->printMargins(), QMarginsF(5, 5, 5, 5));
        QCOMPARE(w.charts()->chart(5)->printMargins(), QMarginsF(15, 22, 15, 22));
        QTemporaryDir dir;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("chart.pdf"));
        QVERIFY(w.charts()->printChartOn(3, printer));
        QVERIFY(QFileInfo(dir.filePath("chart.pdf")).size() > 1000);
    }
};

QTEST_MAIN(TestChartCommands)
#include "tst_chartcommands.moc"
