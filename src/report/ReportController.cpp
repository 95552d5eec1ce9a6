#include "report/ReportController.h"
#include "core/AppInfo.h"
#include "core/Desktop.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "data/AlarmStore.h"
#include "data/SensorDetails.h"
#include "report/ReportOptionsDialog.h"
#include "session/Shared.h"
#include "store/SqlDialect.h"
#include "widgets/BusyProgress.h"
#include "widgets/PageHost.h"
#include "widgets/SavedTo.h"

#include <cmath>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QImage>
#include <QTextDocument>
#include <optional>

namespace {

// The stored FullDate texts that bound a period of whole days.
QString periodStart(const QDate& from) { return from.toString(QStringLiteral("yyyy-MM-dd 00:00:00")); }
QString periodEnd(const QDate& to) { return to.toString(QStringLiteral("yyyy-MM-dd 23:59:59")); }

QString shortDate(const QDate& d) { return QLocale::system().toString(d, QLocale::ShortFormat); }

}  // namespace

ReportController::ReportController(PageHost& win) : m_win(win), m_s(win.shared()) {}

QString ReportController::periodText(const QDate& from, const QDate& to)
{
    return shortDate(from) + QStringLiteral(" to ") + shortDate(to);
}

std::pair<QDate, QDate> ReportController::recordSpan(const QString& id)
{
    std::pair<QDate, QDate> span;
    ignoringErrors([&] {
        const QString table = SqlDialect::quoteName(id);
        auto day = [&](const char* fn) {
            const QString full =
                m_s.db.scalar(QStringLiteral("SELECT %1(FullDate) FROM ").arg(QLatin1String(fn)) + table).toString();
            return QDate::fromString(full.left(10), QStringLiteral("yyyy-MM-dd"));
        };
        span = {day("MIN"), day("MAX")};
    });
    return span;
}

ReportDocument::Summary ReportController::reportSummary(const QString& id, const QDate& from, const QDate& to,
                                                        bool loadChartDrawn)
{
    ReportDocument::Summary m;
    ignoringErrors([&] {
        m.readings = m_s.db
                         .scalar(QStringLiteral("SELECT COUNT(*) FROM ") + SqlDialect::quoteName(id) +
                                     QStringLiteral(" WHERE FullDate >= ? AND FullDate <= ?"),
                                 {periodStart(from), periodEnd(to)})
                         .toLongLong();
    });
    m.kFactor = m_win.shownSensor().kFactor;
    m.alarmState = QStringLiteral("no alarm levels set");
    ignoringErrors([&] {
        const std::optional<AlarmStore::Levels> levels = AlarmStore::levels(m_s.db, id);
        const std::optional<AlarmStore::State> state = AlarmStore::state(m_s.db, id);
        QString line = AlarmStore::statusLine(state, levels && levels->any());
        const QString prefix = QStringLiteral("Alarm status: ");
        if (line.startsWith(prefix)) line.remove(0, prefix.size());
        m.alarmState = line;
        if (!state || !levels || !levels->any() || state->status <= AlarmStore::Severity::Ok) return;
        const std::optional<AlarmPlans::Plan> plan = AlarmPlans::planFor(m_s.db, id, AlarmStore::word(state->status));
        if (plan)
            m.responsePlan =
                plan->actions +
                (plan->contacts.isEmpty() ? QString() : QStringLiteral("   Who is called: ") + plan->contacts);
    });
    // The loads as the Load v Time chart draws them (its pass zeroes every plotted reading
    // against the first one), within the period.
    if (loadChartDrawn || !m_win.chartPicture(PageHost::TabLoadVTime, QSize(800, 500), from, to).isNull()) {
        const std::vector<PageHost::ChartLine> lines = m_win.timeChartLines(PageHost::TabLoadVTime);
        const SensorDetails shown = m_win.shownSensor();
        for (size_t i = 0; i < lines.size(); ++i) {
            const PageHost::ChartLine& l = lines[i];
            ReportDocument::LoadRow row;
            row.gauge = l.title;
            if (i < shown.centres.size()) row.position = shown.centres.at(i);
            // A line without any value leaves its cells empty.
            if (std::isfinite(l.last)) {
                const QLocale loc = QLocale::system();
                row.latest = loc.toString(l.last, 'f', 2);
                row.latestDate = shortDate(l.lastAt.date());
                row.peak = loc.toString(l.peak, 'f', 2);
                row.peakDate = shortDate(l.peakAt.date());
            }
            m.loads << row;
        }
    }
    m.present = true;
    return m;
}

QList<ReportDocument::EpisodeRow> ReportController::reportEpisodes(const QString& id, const QDate& from,
                                                                   const QDate& to)
{
    QList<ReportDocument::EpisodeRow> rows;
    ignoringErrors([&] {
        const auto episodes =
            AlarmEpisodes::history(m_s.db, QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(23, 59, 59)), id);
        for (const AlarmEpisodes::Episode& e : episodes) {
            ReportDocument::EpisodeRow r;
            r.level = e.peakLevel;
            r.where = e.where() + (e.direction.isEmpty() ? QString() : QStringLiteral(" (") + e.direction + u')');
            r.opened = AlarmStore::shownDate(e.openedAt);
            r.closed = e.active() ? QStringLiteral("still active") : AlarmStore::shownDate(e.closedAt);
            r.worst = AlarmStore::valueText(e.quantity, e.worstValue);
            if (!e.ackAt.isEmpty()) r.acknowledged = e.ackBy + QStringLiteral(", ") + AlarmStore::shownDate(e.ackAt);
            rows << r;
        }
    });
    return rows;
}

ReportOptionsDialog* ReportController::reportWindow()
{
    if (!m_report) m_report = new ReportOptionsDialog(m_win.widget());
    return m_report;
}

void ReportController::onReportClicked()
{
    runTrapped(QStringLiteral(" imgReport_Click"), [&] {
        const bool haveSensor = m_s.rsSensors && m_s.rsSensors->isOpen() && m_s.rsSensors->hasCurrentRow();
        const QString shownId = haveSensor ? SensorDetails::idOf(*m_s.rsSensors) : QString();
        reportWindow()->setSensor(shownId);
        const std::pair<QDate, QDate> span = haveSensor ? recordSpan(shownId) : std::pair<QDate, QDate>();
        reportWindow()->setRecordSpan(span.first, span.second);
        const std::optional<ReportOptions> asked = reportWindow()->ask();
        if (!asked) return;
        const ReportOptions& opt = *asked;
        if (!m_s.rsSensors || !m_s.rsSensors->isOpen() || !m_s.rsSensors->hasCurrentRow()) {
            Messages::show(QStringLiteral("There is no sensor to report on.\r\nAdd or choose a sensor first."),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return;
        }

        ReportDocument::Content content;
        auto field = [&](const char* name) { return m_s.rsSensors->text(QLatin1String(name)); };
        content.sensor = {field("InstrumentID"), field("Family"),    field("Model"),
                          field("InstallDate"),  field("InstallBy"), field("Level"),
                          field("Location"),     field("Purpose"),   field("Notes")};
        const QString id = content.sensor.InstrumentID;
        content.today = shortDate(QDate::currentDate());
        content.cover = opt.cover;
        content.period = periodText(opt.from, opt.to);

        struct Chart {
            bool chosen;
            int tab;
            const char* caption;
            bool spansPeriod;  // a time chart: narrowed to the period
        };
        const Chart charts[] = {
            {opt.loadVTime, PageHost::TabLoadVTime, "Load v Time", true},
            {opt.dispVTime, PageHost::TabDispVTime, "Disp v Time", true},
            {opt.loadVLength, PageHost::TabLoadVLength, "Load v Length", false},
            {opt.dispVLength, PageHost::TabDispVLength, "Disp v Length", false},
            {opt.shearVLength, PageHost::TabShearVLength, "Shear v Length", false},
        };
        int steps = 2;
        for (const Chart& c : charts) steps += c.chosen ? 1 : 0;

        const QString folder = m_s.dataFolder + QStringLiteral("/Reports");
        const QString base = folder + QStringLiteral("/Report_") + id + '_' +
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
        const QString odt = base + QStringLiteral(".odt");
        const QString pdf = base + QStringLiteral(".pdf");
        QString error;
        bool written = false;
        {
            BusyProgress busy(m_win.widget(), QStringLiteral("Preparing the report..."), steps);
            int done = 0;
            bool loadChartDrawn = false;
            for (const Chart& c : charts) {
                if (!c.chosen) continue;
                busy.setLabel(QStringLiteral("Drawing the %1 chart...").arg(QLatin1String(c.caption)));
                if (!busy.advance(done++)) return;  // cancelled: nothing written
                // Drawn at 1600 x 1000 pixels from a 720 x 450 layout: the full width of the
                // page, with labels that read well there.
                const QImage picture = m_win.chartPicture(c.tab, QSize(1600, 1000), opt.from, opt.to);
                if (c.tab == PageHost::TabLoadVTime) loadChartDrawn = !picture.isNull();
                const QString caption =
                    QLatin1String(c.caption) + (c.spansPeriod ? QStringLiteral(", ") + content.period : QString());
                content.sections << ReportDocument::Section{caption, picture};
            }
            if (content.cover) {
                busy.setLabel(QStringLiteral("Summing up the readings..."));
                if (!busy.advance(done++)) return;
                content.summary = reportSummary(id, opt.from, opt.to, loadChartDrawn);
            }
            content.episodes = reportEpisodes(id, opt.from, opt.to);
            busy.setLabel(QStringLiteral("Writing the report..."));
            if (!busy.advance(done)) return;
            const std::unique_ptr<QTextDocument> doc = ReportDocument::build(content);
            doc->setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("REPORT ") + id);
            if (!QDir().mkpath(folder)) error = QStringLiteral("the folder cannot be created");
            else
                written = ReportDocument::writeOdt(*doc, odt, &error) &&
                          (!opt.pdf || ReportDocument::writePdf(*doc, pdf, &error));
            busy.advance(steps);
        }
        if (!written) {
            Messages::show(
                QStringLiteral("The report could not be written to ") + folder + QStringLiteral("\r\n") + error,
                AppInfo::MessageTitle, Messages::Icon::Exclamation);
        } else {
            // Opened for the engineer's notes; where it went is said either way.
            Desktop::openFile(odt);
            if (opt.pdf) Desktop::openFile(pdf);
            showSavedTo(m_win.widget(), AppInfo::MessageTitle, odt);
        }
        if (m_win.currentTab() != PageHost::TabReadings) m_win.selectTab(PageHost::TabReadings);
    });
}
