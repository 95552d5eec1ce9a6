#pragma once
#include "report/ReportDocument.h"

#include <QDate>
#include <QList>
#include <QString>
#include <utility>

class PageHost;
class ReportOptionsDialog;
struct Shared;

// The report on the current sensor, asked for from the Utilities page: the options window
// with the period, the chart pictures drawn off the screen (asked of the window), the
// first page's account of the period, the alarm episodes, and the document, written as
// OpenDocument text (and PDF on request), opened for the user and said where it went.
class ReportController {
public:
    explicit ReportController(PageHost& win);
    ReportController(const ReportController&) = delete;
    ReportController& operator=(const ReportController&) = delete;

    // Asks for the report's contents and period, then writes and opens the report.
    void onReportClicked();

    ReportOptionsDialog* reportWindow();
    // What the report's first page says about the sensor in the period: readings, alarm
    // state and response plan, and the loads taken from the report's Load v Time chart
    // (drawn here unless loadChartDrawn says the report has just drawn it for the period).
    ReportDocument::Summary reportSummary(const QString& id, const QDate& from, const QDate& to,
                                          bool loadChartDrawn = false);
    // The sensor's alarm episodes that overlap the period, newest first.
    QList<ReportDocument::EpisodeRow> reportEpisodes(const QString& id, const QDate& from, const QDate& to);
    // The dates of the sensor's first and last reading (invalid when it has none).
    std::pair<QDate, QDate> recordSpan(const QString& id);
    // "01/11/2026 to 08/12/2026" in the locale's short date format.
    static QString periodText(const QDate& from, const QDate& to);

private:
    PageHost& m_win;
    Shared& m_s;
    ReportOptionsDialog* m_report = nullptr;  // made on first use, owned by the window
};
