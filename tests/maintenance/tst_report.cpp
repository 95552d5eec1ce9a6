// The report: the document's sequence of paragraphs, page breaks and pictures, the files
// written, and the options window keeping its choices through the run.
#include "support/TestEnv.h"
#include "app/frmTarnwell.h"
#include "core/Paths.h"
#include "maintenance/ReportDocument.h"
#include "maintenance/UtilitiesController.h"
#include "maintenance/frmReport.h"
#include "setup/Installer.h"
#include "store/Database.h"

#include <QApplication>
#include <QCheckBox>
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
    std::vector<Item> v = {{Kind::Paragraph, "", true}, {Kind::Paragraph, "REPORT 250475001", true},
                           {Kind::Paragraph, "", false}};
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

QString show(const std::vector<Item>& items)
{
    QStringList out;
    for (const Item& i : items)
        out << (i.kind == Kind::PageBreak ? QString("<page break>")
                : i.kind == Kind::Picture ? QString("<picture>")
                                          : (i.bold ? "*" : "") + i.text + (i.bold ? "*" : ""));
    return out.join('\n');
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int pdfPages(const QByteArray& pdf) { return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page ")) ; }

}  // namespace

class TestReport : public QObject {
    Q_OBJECT
    TestHome home;

private slots:
    void sequence_data()
    {
        QTest::addColumn<QStringList>("charts");
        QTest::addColumn<bool>("cover");
        QTest::newRow("all four") << QStringList{"Load v Time", "Disp v Time", "Load v Length", "Disp v Length"} << true;
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
        const auto doc = ReportDocument::build(content(charts, cover));
        QCOMPARE(show(ReportDocument::describe(*doc)), show(expected));
    }

    // The cover tells the period, the count, the k factor and the loads per gauge position;
    // without the cover, none of it.
    void coverSummary()
    {
        ReportDocument::Content c = content({"Load v Time"});
        ReportDocument::Summary& m = c.summary;
        m.present = true;
        m.firstDate = "2011/03/05";
        m.lastDate = "2011/04/01";
        m.readings = 40;
        m.plotted = 38;
        m.kFactor = "100";
        m.loadUnit = "tons";
        m.loads = {{"#1", "0.25", "3.20", "2011/04/01", "4.10", "2011/03/20"},
                   {"#2", "0.75", "-0.50", "2011/04/01", "-1.25", "2011/03/07"}};
        const std::vector<Item> items = ReportDocument::describe(*ReportDocument::build(c));
        QStringList texts;
        for (const Item& i : items) texts << (i.bold ? "*" + i.text + "*" : i.text);
        const QStringList summary = {"*Readings*", "   Period covered: 2011/03/05 to 2011/04/01",
                                     "   Number of readings: 40 (38 plotted on the time charts)",
                                     "   Bolt k factor: 100 \u00B5strain/ton", "",
                                     "*Load at each gauge position (tons), zeroed against the first plotted reading*",
                                     "Gauge | Centre (m) | Latest load | Date | Peak load | Date / "
                                     "#1 | 0.25 | 3.20 | 2011/04/01 | 4.10 | 2011/03/20 / "
                                     "#2 | 0.75 | -0.50 | 2011/04/01 | -1.25 | 2011/03/07"};
        const int at = int(texts.indexOf("   Notes: "));
        QVERIFY(at > 0);
        QCOMPARE(texts.mid(at + 2, summary.size()), summary);
        QCOMPARE(items[size_t(at + 2 + summary.size() - 1)].kind, Kind::Table);
        // The chart still follows on a page of its own.
        QVERIFY(texts.indexOf("Load v Time") > at + summary.size());

        c.cover = false;
        const auto bare = ReportDocument::describe(*ReportDocument::build(c));
        for (const Item& i : bare) QVERIFY(i.kind != Kind::Table && !i.text.contains("Period covered"));
    }

    // From the window: the options name the sensor and offer the shear chart; the summary
    // counts the readings and takes each gauge's latest and peak load from the load chart.
    void summaryOfTheSensorsReadings()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250475001"});
            QList<TestData::NewReading> readings;
            for (int d = 0; d < 5; ++d) {
                const QString v = QString::number(100 + 50 * d * d);
                readings.append({QDateTime(QDate(2024, 5, 1 + d), QTime(8, 0)), {v, v, v, v, v, v}, "20.0", d != 2});
            }
            TestData::addReadings(*db, "250475001", readings);
        }
        ScriptedMessages m;
        RecordedDesktop d;
        frmTarnwell w;
        w.show();
        w.selectTab(frmTarnwell::TabUtilities);
        QString named;
        bool shear = false;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<frmReport*>(QApplication::activeModalWidget());
            if (!f) return;
            named = f->lblSensor->text();
            shear = f->chkSvL && f->chkSvL->text() == "Shear v Length";
            f->cmdCancel->click();
        });
        w.utilities()->imgReport_Click();
        QCOMPARE(named, QString("Report on sensor 250475001"));
        QVERIFY(shear);

        const ReportDocument::Summary s = w.utilities()->reportSummary("250475001");
        QVERIFY(s.present);
        QCOMPARE(s.readings, qint64(5));
        QCOMPARE(s.plotted, qint64(4));
        QCOMPARE(s.kFactor, QString("100"));
        const QLocale loc = QLocale::system();
        QCOMPARE(s.firstDate, loc.toString(QDate(2024, 5, 1), QLocale::ShortFormat));
        QCOMPARE(s.lastDate, loc.toString(QDate(2024, 5, 5), QLocale::ShortFormat));
        // Stacked type 75: three load positions; every gauge rose by 800 microstrain from
        // the first reading to the last, so each position's latest load is its peak.
        QCOMPARE(s.loads.size(), 3);
        for (const ReportDocument::LoadRow& row : s.loads) {
            QVERIFY(!row.latest.isEmpty());
            QCOMPARE(row.peak, row.latest);
            QCOMPARE(row.latestDate, loc.toString(QDate(2024, 5, 5), QLocale::ShortFormat));
        }
        QCOMPARE(s.loads[0].gauge, QString("#1"));
    }

    void chartThatCouldNotBeDrawnIsSaidSo()
    {
        ReportDocument::Content c = content({"Load v Time", "Disp v Length"});
        c.sections[0].picture = QImage();
        std::vector<Item> expected = titleBlock();
        addChart(expected, "Load v Time", false);
        addChart(expected, "Disp v Length");
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
                    QCOMPARE(qRound(f.height() * 16 / f.width()), 10);   // aspect kept
                    const QImage stored = doc->resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
                    QCOMPARE(stored.width(), 1600);   // not embedded at full size
                    found = true;
                }
        QVERIFY(found);
    }

    void filesWrittenAndOnePagePerChart()
    {
        QTemporaryDir dir;
        const auto doc = ReportDocument::build(content({"Load v Time", "Disp v Time", "Load v Length", "Disp v Length"}));
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
        QCOMPARE(pdfPages(pdf), 5);   // the title page and one page per chart
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

    // The command: the options window, its remembered choices, the files and the desktop.
    void optionsKeptAndReportOpened()
    {
        TestData::installFresh();
        {
            auto db = TestData::openDatabase();
            TestData::addSensor(*db, {"250475001"});
        }
        ScriptedMessages m;
        RecordedDesktop d;
        frmTarnwell w;
        w.show();
        w.selectTab(frmTarnwell::TabUtilities);

        // Cancel: nothing made, the tab unchanged.
        QTimer::singleShot(0, [] {
            if (auto* f = qobject_cast<frmReport*>(QApplication::activeModalWidget())) f->cmdCancel->click();
        });
        QTest::mouseClick(w.findChild<QWidget*>("Label46"), Qt::LeftButton);
        QVERIFY(d.recorder.requests.isEmpty());
        QVERIFY(!QDir(Paths::dataFolder() + "/Reports").exists());
        QCOMPARE(w.SSTab1->currentIndex(), int(frmTarnwell::TabUtilities));

        // Only Disp v Length, with a PDF.
        QTimer::singleShot(0, [] {
            auto* f = qobject_cast<frmReport*>(QApplication::activeModalWidget());
            if (!f) return;
            for (QCheckBox* c : {f->chkTemp, f->chkRate, f->chkSpatial}) c->setChecked(false);
            f->chkPdf->setChecked(true);
            f->cmdOK->click();
        });
        QTest::mouseClick(w.findChild<QWidget*>("imgReport"), Qt::LeftButton);
        QVERIFY(m.script.shown.empty());
        QCOMPARE(d.recorder.requests.size(), 2);
        QVERIFY(d.recorder.requests[0].endsWith(".odt"));
        QVERIFY(d.recorder.requests[1].endsWith(".pdf"));
        QVERIFY(QFileInfo(d.recorder.requests[0]).size() > 0);
        QVERIFY(QFileInfo(d.recorder.requests[0]).fileName().startsWith("Report_250475001_"));
        QCOMPARE(w.SSTab1->currentIndex(), int(frmTarnwell::TabReadings));
        const ReportOptions& o = w.shared().report;
        QVERIFY(o.chosen && o.cover && o.dispVLength && o.pdf);
        QVERIFY(!o.loadVTime && !o.dispVTime && !o.loadVLength);

        // Opened again, the window shows the boxes as they were left.
        bool same = false;
        QTimer::singleShot(0, [&] {
            auto* f = qobject_cast<frmReport*>(QApplication::activeModalWidget());
            if (!f) return;
            same = !f->chkTemp->isChecked() && !f->chkRate->isChecked() && !f->chkSpatial->isChecked() &&
                   f->chkDvL->isChecked() && f->chkCover->isChecked() && f->chkPdf->isChecked();
            f->cmdCancel->click();
        });
        w.utilities()->imgReport_Click();
        QVERIFY(same);
        QVERIFY(!w.shared().report.chosen);

        // Nothing on the desktop can open it: the user is told where it is.
        d.recorder.answer = false;
        QTimer::singleShot(0, [] {
            if (auto* f = qobject_cast<frmReport*>(QApplication::activeModalWidget())) f->cmdOK->click();
        });
        w.utilities()->imgReport_Click();
        QCOMPARE(m.script.shown.size(), size_t(1));
        QVERIFY(m.script.shown[0].text.startsWith("The report was saved, but no program could be found to open it:\r\n"));
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
