#pragma once
#include "web/PageHtml.h"
#include "web/WebOverview.h"

#include <QString>
#include <vector>

// The overview page: every sensor with its alarm state, last reading, latest and peak load,
// worst first, with filters by level, location and state. Its script (overview.js) asks for
// the sensor list again every 45 s with the same filter and redraws the rows.
namespace PageOverview {

// all: every sensor (the filter's choices come from them); shown: those the filter passes,
// in their order; generatedAt: the moment of the list, as the API writes dates.
QString page(const std::vector<WebOverview::Line>& all, const std::vector<WebOverview::Line>& shown,
             const WebOverview::Filter& filter, const QString& generatedAt, const PageHtml::Viewer& viewer);

}  // namespace PageOverview
