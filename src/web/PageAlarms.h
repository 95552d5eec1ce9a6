#pragma once
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "web/PageHtml.h"

#include <QDateTime>
#include <vector>

class Database;

// The alarms page, as the desktop's Alarms window: "Now" (the active episodes with their
// response plans, acknowledged there with a note when the viewer may; it refreshes itself
// every 45 s while nobody is acknowledging) and "History" (the episodes of a period, newest
// first).
namespace PageAlarms {

// The periods of the history, as the window offers them; the second is the default.
struct Period {
    QString key;    // "7", "30", "365", "all": the value of the page's period parameter
    QString label;  // "Last 30 days"
    int days = 0;   // 0: all
};
const std::vector<Period>& periods();
// The period named by the parameter (the default one for anything else).
const Period& periodNamed(const QString& key);

// The "Now" page: episodes as AlarmEpisodes::active gives them, plans for their sensors at
// their highest level.
QString nowPage(const std::vector<AlarmEpisodes::Episode>& active,
                const std::vector<std::pair<QString, AlarmPlans::Plan>>& plans, const PageHtml::Viewer& viewer);
QString historyPage(const std::vector<AlarmEpisodes::Episode>& episodes, const Period& period,
                    const PageHtml::Viewer& viewer);

// The page read from the database: view "history" or anything else for "Now".
QString render(Database& db, const QString& view, const QString& periodKey, const PageHtml::Viewer& viewer,
               const QDateTime& now);

}  // namespace PageAlarms
