// The report command of the Utilities page: the options window, the chart pictures and
// the document, written as OpenDocument text (and PDF on request) and opened for the user.
#include "core/AppInfo.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/AlarmStore.h"
#include "maintenance/BusyProgress.h"
#include "maintenance/ReportDocument.h"
#include "maintenance/UtilitiesController.h"
#include "maintenance/frmReport.h"
#include "session/Shared.h"
#include "store/SqlDialect.h"
#include "widgets/PageHost.h"

#include <cmath>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QImage>
#include <QLineEdit>
#include <QTextDocument>
#include <optional>

ReportDocument::Summary UtilitiesController::reportSummary(const QString& id)
{
    ReportDocument::Summary m;
    ignoringErrors([&] {
        const QString table = SqlDialect::quoteName(id);
        m.readings = m_s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
        m.plotted = m_s.db.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table +
                                  QStringLiteral(" WHERE Plottemporal <> 0"))
                        .toLongLong();
        const QLocale loc = QLocale::system();
        auto day = [&](const QString& sql) {
            const QString full = m_s.db.scalar(sql).toString();
            const QDate d = QDate::fromString(full.left(10), QStringLiteral("yyyy-MM-dd"));
            return d.isValid() ? loc.toString(d, QLocale::ShortFormat) : full.left(10);
        };
        m.firstDate = day(QStringLiteral("SELECT MIN(FullDate) FROM ") + table);
        m.lastDate = day(QStringLiteral("SELECT MAX(FullDate) FROM ") + table);
    });
    m.kFactor = m_win.sensorKFactorText();
    m.loadUnit = QStringLiteral("tons");
    // The loads as the Load v Time chart draws them (its pass zeroes every plotted reading
    // against the first one).
    if (!m_win.chartPicture(PageHost::TabLoadVTime, QSize(800, 500)).isNull()) {
        const QLocale loc = QLocale::system();
        const std::vector<PageHost::ChartLine> lines = m_win.timeChartLines(PageHost::TabLoadVTime);
        for (size_t i = 0; i < lines.size(); ++i) {
            const PageHost::ChartLine& l = lines[i];
            ReportDocument::LoadRow row;
            row.gauge = l.title;
            if (QLineEdit* centre = m_win.sensorBox(QStringLiteral("txtRelSGCenter(%1)").arg(i + 1))) row.position = centre->text();
            // A line without any value leaves its cells empty.
            if (std::isfinite(l.last)) {
                row.latest = loc.toString(l.last, 'f', 2);
                row.latestDate = loc.toString(l.lastAt.date(), QLocale::ShortFormat);
                row.peak = loc.toString(l.peak, 'f', 2);
                row.peakDate = loc.toString(l.peakAt.date(), QLocale::ShortFormat);
            }
            m.loads << row;
        }
    }
    m.present = true;
    return m;
}

frmReport* UtilitiesController::reportWindow()
{
    if (!m_report) m_report = new frmReport(m_s.report, m_win.widget());
    return m_report;
}

void UtilitiesController::imgReport_Click()
{
    runTrapped(QStringLiteral(" imgReport_Click"), [&] {
        m_s.report.chosen = false;
        const bool haveSensor = m_s.rsSensors && m_s.rsSensors->isOpen() && m_s.rsSensors->hasCurrentRow();
        reportWindow()->setSensor(haveSensor ? m_s.rsSensors->text(QStringLiteral("InstrumentID")) : QString());
        reportWindow()->exec();
        const ReportOptions opt = m_s.report;
        if (!opt.chosen) return;
        if (!m_s.rsSensors || !m_s.rsSensors->isOpen() || !m_s.rsSensors->hasCurrentRow()) {
            Messages::show(QStringLiteral("There is no sensor to report on.\r\nAdd or choose a sensor first."),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return;
        }

        ReportDocument::Content content;
        auto field = [&](const char* name) { return m_s.rsSensors->text(QLatin1String(name)); };
        content.sensor = {field("InstrumentID"), field("Family"),   field("Model"),
                          field("InstallDate"),  field("InstallBy"), field("Level"),
                          field("Location"),     field("Purpose"),  field("Notes")};
        content.today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        content.cover = opt.cover;
        ignoringErrors([&] { content.alarms = AlarmStore::reportLines(m_s.db, content.sensor.InstrumentID); });

        struct Chart {
            bool chosen;
            int tab;
            const char* caption;
            const char* file;
        };
        const Chart charts[] = {
            {opt.loadVTime, PageHost::TabLoadVTime, "Load v Time", "Temporal.jpg"},
            {opt.dispVTime, PageHost::TabDispVTime, "Disp v Time", "Rate.jpg"},
            {opt.loadVLength, PageHost::TabLoadVLength, "Load v Length", "Spatial.jpg"},
            {opt.dispVLength, PageHost::TabDispVLength, "Disp v Length", "DvL.jpg"},
            {opt.shearVLength, PageHost::TabShearVLength, "Shear v Length", "SvL.jpg"},
        };
        int steps = 2;
        for (const Chart& c : charts) steps += c.chosen ? 1 : 0;

        const QString folder = m_s.dataFolder + QStringLiteral("/Reports");
        const QString base = folder + QStringLiteral("/Report_") + content.sensor.InstrumentID + '_' +
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
        const QString odt = base + QStringLiteral(".odt");
        const QString pdf = base + QStringLiteral(".pdf");
        QString error;
        bool written = false;
        {
            BusyProgress busy(m_win.widget(), QStringLiteral("Preparing the report..."), steps);
            int done = 0;
            if (content.cover) {
                busy.setLabel(QStringLiteral("Summing up the readings..."));
                if (!busy.advance(done++)) return;
                content.summary = reportSummary(content.sensor.InstrumentID);
            }
            for (const Chart& c : charts) {
                if (!c.chosen) continue;
                busy.setLabel(QStringLiteral("Drawing the %1 chart...").arg(QLatin1String(c.caption)));
                if (!busy.advance(done++)) return;   // cancelled: nothing written
                // Drawn at 1600 x 1000 pixels from a 720 x 450 layout: the full width of the
                // page, with labels that read well there.
                const QImage picture = m_win.chartPicture(c.tab, QSize(1600, 1000));
                // The same picture file the chart's export writes.
                if (!picture.isNull()) picture.save(m_s.dataFolder + '/' + QLatin1String(c.file), "JPG", 90);
                content.sections << ReportDocument::Section{QString::fromLatin1(c.caption), picture};
            }
            busy.setLabel(QStringLiteral("Writing the report..."));
            if (!busy.advance(done)) return;
            const std::unique_ptr<QTextDocument> doc = ReportDocument::build(content);
            doc->setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("REPORT ") + content.sensor.InstrumentID);
            if (!QDir().mkpath(folder)) error = QStringLiteral("the folder cannot be created");
            else written = ReportDocument::writeOdt(*doc, odt, &error) &&
                           (!opt.pdf || ReportDocument::writePdf(*doc, pdf, &error));
            busy.advance(steps);
        }
        if (!written) {
            Messages::show(QStringLiteral("The report could not be written to ") + folder + QStringLiteral("\r\n") + error,
                           AppInfo::MessageTitle, Messages::Icon::Exclamation);
        } else {
            QStringList unopened;
            if (!Desktop::openFile(odt)) unopened << odt;
            if (opt.pdf && !Desktop::openFile(pdf)) unopened << pdf;
            if (!unopened.isEmpty())
                Messages::show(QStringLiteral("The report was saved, but no program could be found to open it:\r\n") +
                                   unopened.join(QStringLiteral("\r\n")),
                               AppInfo::MessageTitle, Messages::Icon::Information);
        }
        if (m_win.currentTab() != PageHost::TabReadings) m_win.selectTab(PageHost::TabReadings);
    });
}
