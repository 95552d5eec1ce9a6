// The report: the document's sequence of paragraphs, page breaks and pictures, the files
// written, and the options window keeping its choices through the run.
#include "support/TestEnv.h"
#include "app/MainWindow.h"
#include "charts/ChartControl.h"
#include "charts/ChartsController.h"
#include "core/Paths.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "data/AlarmStore.h"
#include "report/ReportDocument.h"
#include "report/ReportController.h"
#include "report/ReportOptionsDialog.h"
#include "setup/Installer.h"
#include "store/Database.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFormat>
#include <QTimer>
#include <QtTest>

using ReportDocument::Item;
using ReportDocument::Kind;

namespace {

QImage chartPicture(QColor c)
{
    QImage img(1600, 1000, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(c, 6));
    p.drawLine(100, 900, 1500, 100);
    return img;
}

ReportDocument::Content content(const QStringList& charts, bool cover = true)
{
    ReportDocument::Content c;
    c.sensor = {"250475001", "HALYX", "d6HALYX", "2009/01/01", "J. Marsh", "1200", "North", "Roof support", ""};
    c.today = "05/03/2011";
    c.cover = cover;
    for (const QString& name : charts) c.sections << ReportDocument::Section{name, chartPicture(Qt::blue)};
    return c;
}

std::vector<Item> titleBlock(bool cover = true)
{
    std::vector<Item> v = {
        {Kind::Paragraph, "", true}, {Kind::Paragraph, "REPORT 250475001", true}, {Kind::Paragraph, "", false}};
    if (!cover) return v;
    for (const char* line : {"   Date: 05/03/2011", "   Sensor Number: 250475001", "   Sensor Type: HALYX d6HALYX",
                             "   Date Installed: 2009/01/01", "   Installed By: J. Marsh", "   Level: 1200",
                             "   Location: North", "   Purpose: Roof support", "   Notes: "})
        v.push_back({Kind::Paragraph, line, false});
    return v;
}

void addChart(std::vector<Item>& v, const QString& caption, bool picture = true)
{
    v.push_back({Kind::PageBreak, "", false});
    v.push_back({Kind::Paragraph, caption, false});
    if (picture) v.push_back({Kind::Picture, "", false});
    else v.push_back({Kind::Paragraph, ReportDocument::missingChartText(), false});
    v.push_back({Kind::Paragraph, "   Notes:", false});
}

// The last page: the episodes of the period (none here) and the sign-off block.
void addLastPage(std::vector<Item>& v)
{
    v.push_back({Kind::PageBreak, "", false});
    v.push_back({Kind::Paragraph, "Alarm episodes in the period", true});
    v.push_back({Kind::Paragraph, ReportDocument::noEpisodesText(), false});
    v.push_back({Kind::Paragraph, "", false});
    v.push_back({Kind::Paragraph, "Sign-off", true});
    v.push_back({Kind::Paragraph, "", false});
    v.push_back({Kind::Table, " | Name | Signature | Date / Prepared by |  |  |  / Checked by |  |  | ", false});
    v.push_back({Kind::Paragraph, "", false});
}

QString show(const std::vector<Item>& items)
{
    QStringList out;
    for (const Item& i : items)
        out << (i.kind == Kind::PageBreak ? QString("<page break>")
                : i.kind == Kind::Picture ? QString("<picture>")
                : i.kind == Kind::Table   ? "<table> " + i.text
                                          : (i.bold ? "*" : "") + i.text + (i.bold ? "*" : ""));
    return out.join('\n');
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int pdfPages(const QByteArray& pdf)
{
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "));
}

}  // namespace

class TestReport : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void sequence_data()
    {
        QTest::addColumn<QStringList>("charts");
        QTest::addColumn<bool>("cover");
        QTest::newRow("all four") << QStringList{"Load v Time", "Disp v Time", "Load v Length", "Disp v Length"}
                                  << true;
        QTest::newRow("none") << QStringList{} << true;
        QTest::newRow("only Disp v Length") << QStringList{"Disp v Length"} << true;
        QTest::newRow("no cover lines") << QStringList{"Load v Time"} << false;
    }
    void sequence()
    {
        QFETCH(QStringList, charts);
        QFETCH(bool, cover);
        std::vector<Item> expected = titleBlock(cover);
        for (const QString& c : charts) addChart(expected, c);
        addLastPage(expected);
        const auto doc = ReportDocument::build(content(charts, cover));
        QCOMPARE(show(ReportDocument::describe(*doc)), show(expected));
    }

    // The first page tells the period, its readings, the alarm state with its plan and the
    // loads per gauge position; without the cover, none of it. The episodes of the period
    // are a table on the last page.
    void firstPageAndEpisodes()
    {
        ReportDocument::Content c = content({"Load v Time, 05/03/2011 to 01/04/2011"});
        c.period = "05/03/2011 to 01/04/2011";
        ReportDocument::Summary& m = c.summary;
        m.present = true;
        m.readings = 40;
        m.kFactor = "100";
        m.alarmState = "Alert - Load #1 4.10 t (Alert 4.00 t) since 2011/03/20 08:00";
        m.responsePlan = "Inspect the bolt   Who is called: Shift boss";
        m.loads = {{"#1", "0.25", "3.20", "01/04/2011", "4.10", "20/03/2011"},
                   {"#2", "0.75", "-0.50", "01/04/2011", "-1.25", "07/03/2011"}};
        c.episodes = {{"Alert", "Load #1 (upper)", "2011/03/20 08:00", "2011/03/25 08:00", "4.10 t",
                       "J. Marsh, 2011/03/21 09:00"}};
        const std::vector<Item> items = ReportDocument::describe(*ReportDocument::build(c));
        QStringList texts;
        for (const Item& i : items) texts << (i.bold ? "*" + i.text + "*" : i.text);
        const QStringList summary = {
            "*Period: 05/03/2011 to 01/04/2011*",
            "   Readings in the period: 40",
            "   Bolt k factor: 100 \u00B5strain/ton",
            "   Alarm state now: Alert - Load #1 4.10 t (Alert 4.00 t) since 2011/03/20 08:00",
            "   Response plan: Inspect the bolt   Who is called: Shift boss",
            "",
            "*Load at each gauge position in the period (t), zeroed against the first plotted reading*",
            "",
            "Gauge | Centre (m) | Latest load (t) | Date | Peak load (t) | Date / "
            "#1 | 0.25 | 3.20 | 01/04/2011 | 4.10 | 20/03/2011 / "
            "#2 | 0.75 | -0.50 | 01/04/2011 | -1.25 | 07/03/2011"};
        const int at = int(texts.indexOf("   Notes: "));
        QVERIFY(at > 0);
        QCOMPARE(texts.mid(at + 2, summary.size()), summary);
        QCOMPARE(items[size_t(at + 2 + summary.size() - 1)].kind, Kind::Table);
        // The chart follows on a page of its own, then the episodes and the sign-off.
        const int chart = int(texts.indexOf("Load v Time, 05/03/2011 to 01/04/2011"));
        QVERIFY(chart > at + summary.size());
        QCOMPARE(items[size_t(chart - 1)].kind, Kind::PageBreak);
        const int episodes = int(texts.indexOf("*Alarm episodes in the period*"));
        QVERIFY(episodes > chart);
        QCOMPARE(items[size_t(episodes - 1)].kind, Kind::PageBreak);
        QCOMPARE(texts[episodes + 2],
                 QString("Level | Where | Opened | Closed | Worst value | Acknowledged by / "
                         "Alert | Load #1 (upper) | 2011/03/20 08:00 | 2011/03/25 08:00 | 4.10 t | "
                         "J. Marsh, 2011/03/21 09:00"));
        QVERIFY(texts.indexOf("*Sign-off*") > episodes);

        c.cover = false;
        const auto bare = ReportDocument::describe(*ReportDocument::build(c));
        for (const Item& i : bare)
            QVERIFY(!i.text.contains("Period:") && !i.text.contains("Alarm state") && !i.text.startsWith("Gauge |"));
    }

    // From the window: the first page's account of a period is taken from the data for that
    // period alone, whatever the screen shows (a line hidden through its legend box, a zoom,
    // a click's read-out), and the episodes are those that overlap the period.
    void periodFromTheData()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250475001"});
            QList<TestData::NewReading> readings;
            const int strain[] = {100, 300, 900, 500, 200};  // the peak on the third day
            for (int d = 0; d < 5; ++d) {
                const QString v = QString::number(strain[d]);
                readings.append({QDateTime(QDate(2024, 5, 1 + d), QTime(8, 0)), {v, v, v, v, v, v}, "20.0"});
            }
            TestData::addReadings(*db, "250475001", readings);
        }
        ScriptedMessages m;
        RecordedDesktop d;
        MainWindow w;
        w.show();
        // The Load v Time tab on screen with its first line hidden, zoomed, and a point clicked.
        w.selectTab(MainWindow::TabLoadVTime);
        ChartControl* screen = w.charts()->chart(MainWindow::TabLoadVTime);
        screen->setSeriesChecked(1, false);
        const QRect area = screen->plotArea();
        screen->dragZoom(area.topLeft() + QPoint(5, 5), area.center());
        QTest::mouseClick(screen->findChild<QWidget*>("plot"), Qt::LeftButton, {}, screen->plotArea().center());
        w.selectTab(MainWindow::TabUtilities);

        const QLocale loc = QLocale::system();
        auto day = [&](int d) { return loc.toString(QDate(2024, 5, d), QLocale::ShortFormat); };
        ReportDocument::Summary s = w.report()->reportSummary("250475001", QDate(2024, 5, 1), QDate(2024, 5, 4));
        QVERIFY(s.present);
        QCOMPARE(s.readings, qint64(4));
        QCOMPARE(s.kFactor, QString("100"));
        QCOMPARE(s.alarmState, QString("no levels set"));
        QVERIFY(s.responsePlan.isEmpty());
        // Stacked type 75: three load positions, the first among them though hidden on screen.
        QCOMPARE(s.loads.size(), 3);
        QCOMPARE(s.loads[0].gauge, QString("#1"));
        for (const ReportDocument::LoadRow& row : s.loads) {
            QCOMPARE(row.latestDate, day(4));
            QCOMPARE(row.peakDate, day(3));
            QVERIFY(row.peak != row.latest);
        }
        // The lines are in the picture, not only in the legend (green: the third gauge's line,
        // drawn over the first two, which have the same values).
        const QImage picture =
            w.chartPicture(MainWindow::TabLoadVTime, QSize(800, 500), QDate(2024, 5, 1), QDate(2024, 5, 4));
        int green = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QColor c = picture.pixelColor(x, y);
                if (c.green() > 100 && c.red() < 60 && c.blue() < 60) ++green;
            }
        QVERIFY2(green > 300, qPrintable(QString::number(green)));
        ChartControl* report = w.charts()->reportChart(MainWindow::TabLoadVTime);
        // The first gauge's line is in the legend ("#1", with its distance when known).
        QVERIFY(!report->legendEntries().filter(QRegularExpression("^#1( |$)")).isEmpty());
        QCOMPARE(report->annotation(), QString());
        QVERIFY(!report->isZoomed());
        // Another period: its own latest and peak.
        const QString peakOfTheFirst = s.loads[0].peak;
        s = w.report()->reportSummary("250475001", QDate(2024, 5, 4), QDate(2024, 5, 5));
        QCOMPARE(s.readings, qint64(2));
        QCOMPARE(s.loads[0].latestDate, day(5));
        QCOMPARE(s.loads[0].peakDate, day(4));
        QVERIFY(s.loads[0].peak != peakOfTheFirst);
        // The report's time chart spans the period; the screen's is as the user left it.
        QVERIFY(report->pointCount(1) == 2 && screen->pointCount(1) == 5);
        QVERIFY(!screen->isSeriesChecked(1));

        // The alarm state now, the plan of its level, and the episodes of the period only.
        Database& db = w.shared().db;
        AlarmStore::Levels levels;
        levels.loadAlertUpper = 1;
        AlarmStore::saveLevels(db, "250475001", levels);
        AlarmStore::State state;
        state.status = AlarmStore::Severity::Alert;
        state.since = "2024-05-03 08:00:00";
        state.headline = "Load #1 1.50 t (Alert 1.00 t)";
        AlarmStore::saveState(db, "250475001", state);
        AlarmPlans::savePlans(db,
                              {{"Alert", {}, "Inspect the bolt", "Shift boss"}, {"Action", {}, "Evacuate", "Manager"}});
        auto episode = [&](const QString& opened, const QString& closed, const QString& ackBy) {
            AlarmEpisodes::Episode e;
            e.sensorId = "250475001";
            e.quantity = "Load";
            e.position = 1;
            e.direction = "upper";
            e.level = e.peakLevel = "Alert";
            e.threshold = 1;
            e.openedAt = e.levelSince = opened;
            e.closedAt = closed;
            e.worstValue = 1.5;
            if (!ackBy.isEmpty()) {
                e.ackBy = ackBy;
                e.ackAt = opened;
                e.ackLevel = "Alert";
            }
            AlarmEpisodes::insert(db, e);
        };
        episode("2024-04-01 08:00:00", "2024-04-02 08:00:00", "");          // before the period
        episode("2024-05-02 08:00:00", "2024-05-03 08:00:00", "J. Marsh");  // within it
        episode("2024-04-20 08:00:00", "", "");                             // still active
        episode("2024-05-06 08:00:00", "", "");                             // after it
        s = w.report()->reportSummary("250475001", QDate(2024, 5, 1), QDate(2024, 5, 4));
        QCOMPARE(s.alarmState, QString("Alert - Load #1 1.50 t (Alert 1.00 t) since 2024/05/03 08:00"));
        QCOMPARE(s.responsePlan, QString("Inspect the bolt   Who is called: Shift boss"));
        const QList<ReportDocument::EpisodeRow> rows =
            w.report()->reportEpisodes("250475001", QDate(2024, 5, 1), QDate(2024, 5, 4));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].opened, QString("2024/05/02 08:00"));  // newest first
        QCOMPARE(rows[0].closed, QString("2024/05/03 08:00"));
        QCOMPARE(rows[0].where, QString("Load #1 (upper)"));
        QCOMPARE(rows[0].worst, QString("1.50 t"));
        QCOMPARE(rows[0].acknowledged, QString("J. Marsh, 2024/05/02 08:00"));
        QCOMPARE(rows[1].opened, QString("2024/04/20 08:00"));
        QCOMPARE(rows[1].closed, QString("still active"));
    }

    void chartThatCouldNotBeDrawnIsSaidSo()
    {
        ReportDocument::Content c = content({"Load v Time", "Disp v Length"});
        c.sections[0].picture = QImage();
        std::vector<Item> expected = titleBlock();
        addChart(expected, "Load v Time", false);
        addChart(expected, "Disp v Length");
        addLastPage(expected);
        QCOMPARE(show(ReportDocument::describe(*ReportDocument::build(c))), show(expected));
    }

    void picturesFitTheTextWidth()
    {
        ReportDocument::Content c = content({"Load v Time"});
        c.sections[0].picture = chartPicture(Qt::red).scaled(4000, 2500);
        const auto doc = ReportDocument::build(c);
        const qreal textWidth = doc->pageSize().width() - 2 * doc->documentMargin();
        bool found = false;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat()) {
                    const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
                    QVERIFY(f.width() <= textWidth + 0.5);
                    QCOMPARE(qRound(f.height() * 16 / f.width()), 10);  // aspect kept
                    const QImage stored = doc->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
                    QCOMPARE(stored.width(), 1600);  // not embedded at full size
                    found = true;
                }
        QVERIFY(found);
    }

    void filesWrittenAndOnePagePerChart()
    {
        QTemporaryDir dir;
        const auto doc =
            ReportDocument::build(content({"Load v Time", "Disp v Time", "Load v Length", "Disp v Length"}));
        QString error;
        QVERIFY2(ReportDocument::writeOdt(*doc, dir.filePath("r.odt"), &error), qPrintable(error));
        const QByteArray odt = bytes(dir.filePath("r.odt"));
        QVERIFY(odt.startsWith("PK"));
        QVERIFY(odt.contains("application/vnd.oasis.opendocument.text"));
        // One embedded picture per chart.
        QVERIFY(odt.contains("Pictures/Picture4"));
        QVERIFY(!odt.contains("Pictures/Picture5"));
        QVERIFY2(ReportDocument::writePdf(*doc, dir.filePath("r.pdf"), &error), qPrintable(error));
        const QByteArray pdf = bytes(dir.filePath("r.pdf"));
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdfPages(pdf), 6);  // the first page, one page per chart and the sign-off page
    }

    void unwritableFolderIsReportedAndNothingLeft()
    {
        const auto doc = ReportDocument::build(content({}));
        QString error;
        QVERIFY(!ReportDocument::writeOdt(*doc, "/nonexistent-folder/r.odt", &error));
        QVERIFY(!error.isEmpty());
    }

    void manualRenderedToPdf()
    {
        const QString text = Installer::manualSource();
        for (const char* topic : {"Adding a sensor", "Importing logger files", "How the values are computed",
                                  "Filtering the sensor list", "Backup and restore", "Restoring a backup"})
            QVERIFY2(text.contains(QLatin1String(topic)), topic);
        QTemporaryDir dir;
        QString error;
        QVERIFY2(Installer::writeManual(dir.filePath("TarnwellManual.pdf"), &error), qPrintable(error));
        const QByteArray pdf = bytes(dir.filePath("TarnwellManual.pdf"));
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdfPages(pdf) >= 4);
    }

    // The command: the options window with its period, its remembered choices, the files,
    // the desktop and where the report went.
    void optionsKeptAndReportSaved()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250475001"});
            TestData::addReadings(
                *db, "250475001",
                {{QDateTime(QDate(2024, 5, 1), QTime(8, 0)), {"1", "1", "1", "1", "1", "1"}, "20.0"},
                 {QDateTime(QDate(2024, 6, 9), QTime(8, 0)), {"2", "2", "2", "2", "2", "2"}, "20.0"}});
        }
        ScriptedMessages m;
        RecordedDesktop d;
        MainWindow w;
        w.show();
        w.selectTab(MainWindow::TabUtilities);

        // Cancel: nothing made, the tab unchanged. The period starts as the month up to today.
        QDate from, to;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<ReportOptionsDialog*>(QApplication::activeModalWidget());
            if (!f) return;
            from = f->dtpFrom->date();
            to = f->dtpTo->date();
            f->cmdCancel->click();
        });
        QTest::mouseClick(w.findChild<QWidget*>("Label46"), Qt::LeftButton);
        QCOMPARE(to, QDate::currentDate());
        QCOMPARE(from, QDate::currentDate().addMonths(-1));
        QVERIFY(d.recorder.requests.isEmpty());
        QVERIFY(!QDir(Paths::dataFolder() + "/Reports").exists());
        QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabUtilities));

        // Only Disp v Length, with a PDF, over the whole record; a period that ends before it
        // starts is refused first, the window staying open.
        bool refusedAndOpen = false;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<ReportOptionsDialog*>(QApplication::activeModalWidget());
            if (!f) return;
            for (QCheckBox* c : {f->chkTemp, f->chkRate, f->chkSpatial}) c->setChecked(false);
            f->chkPdf->setChecked(true);
            f->dtpFrom->setDate(QDate(2024, 7, 1));
            f->dtpTo->setDate(QDate(2024, 6, 1));
            f->cmdOK->click();
            refusedAndOpen = f->isVisible() && m.script.texts() == QStringList{
                                                                       "The period starts after it ends.\r\n"
                                                                       "Choose a From date on or before the To date."};
            m.script.shown.clear();
            f->cmdWholeRecord->click();
            f->cmdOK->click();
        });
        QTest::mouseClick(w.findChild<QWidget*>("imgReport"), Qt::LeftButton);
        QVERIFY(refusedAndOpen);
        QVERIFY(w.report()->reportWindow()->answer());
        const ReportOptions o = *w.report()->reportWindow()->answer();
        QCOMPARE(o.from, QDate(2024, 5, 1));
        QCOMPARE(o.to, QDate(2024, 6, 9));
        QCOMPARE(d.recorder.requests.size(), 2);
        QVERIFY(d.recorder.requests[0].endsWith(".odt"));
        QVERIFY(d.recorder.requests[1].endsWith(".pdf"));
        QVERIFY(QFileInfo(d.recorder.requests[0]).size() > 0);
        QVERIFY(QFileInfo(d.recorder.requests[0]).fileName().startsWith("Report_250475001_"));
        // Where it went, closed with its default button.
        QCOMPARE(m.script.texts(), QStringList{"Saved to " + QDir::toNativeSeparators(d.recorder.requests[0])});
        QCOMPARE(m.script.shown[0].choices, (QStringList{"Open folder", "Close"}));
        QCOMPARE(w.tabWidget->currentIndex(), int(MainWindow::TabReadings));
        QVERIFY(o.cover && o.dispVLength && o.pdf);
        QVERIFY(!o.loadVTime && !o.dispVTime && !o.loadVLength);

        // Opened again, the window shows the boxes and the period as they were left.
        bool same = false;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<ReportOptionsDialog*>(QApplication::activeModalWidget());
            if (!f) return;
            same = !f->chkTemp->isChecked() && !f->chkRate->isChecked() && !f->chkSpatial->isChecked() &&
                   f->chkDvL->isChecked() && f->chkCover->isChecked() && f->chkPdf->isChecked() &&
                   f->dtpFrom->date() == QDate(2024, 5, 1) && f->dtpTo->date() == QDate(2024, 6, 9);
            f->cmdCancel->click();
        });
        w.report()->onReportClicked();
        QVERIFY(same);
        QVERIFY(!w.report()->reportWindow()->answer());

        // Open folder opens the reports' folder.
        m.script.shown.clear();
        d.recorder.requests.clear();
        m.script.choices = {0};
        QTimer::singleShot(0, [] {
            if (auto* f = qobject_cast<ReportOptionsDialog*>(QApplication::activeModalWidget())) f->cmdOK->click();
        });
        w.report()->onReportClicked();
        QCOMPARE(d.recorder.requests.size(), 3);
        QCOMPARE(d.recorder.requests[2], QFileInfo(Paths::dataFolder() + "/Reports").absoluteFilePath());
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
