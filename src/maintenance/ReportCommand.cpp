// The report command of the Utilities page: the options window, the chart pictures and
// the document, written as OpenDocument text (and PDF on request) and opened for the user.
#include "core/AppInfo.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "maintenance/BusyProgress.h"
#include "maintenance/ReportDocument.h"
#include "maintenance/UtilitiesController.h"
#include "maintenance/frmReport.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QImage>
#include <QTextDocument>
#include <optional>

frmReport* UtilitiesController::reportWindow()
{
    if (!m_report) m_report = new frmReport(m_s.report, m_win.widget());
    return m_report;
}

void UtilitiesController::imgReport_Click()
{
    runTrapped(QStringLiteral(" imgReport_Click"), [&] {
        m_s.report.chosen = false;
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
        };
        int steps = 1;
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
            for (const Chart& c : charts) {
                if (!c.chosen) continue;
                busy.setLabel(QStringLiteral("Drawing the %1 chart...").arg(QLatin1String(c.caption)));
                if (!busy.advance(done++)) return;   // cancelled: nothing written
                const QImage picture = m_win.chartPicture(c.tab, QSize(1100, 700));
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
