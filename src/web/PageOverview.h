#pragma once
#include "web/PageHtml.h"

#include <QJsonObject>
#include <QString>

// The overview page: every sensor with its alarm state, last reading, latest and peak load,
// worst first as the sensor list of the JSON answer gives them, with filters by level,
// location and state. Its script (overview.js) fetches the list again every 45 s with the
// same filter and redraws the rows.
namespace PageOverview {

struct Filter {
    QString level, location, state;  // empty: any
    bool accepts(const QJsonObject& sensor) const;
};

// all: the answer of the sensor list without a filter ({"generatedAt", "sensors": [...]});
// its levels, locations and states fill the filter's choices.
QString page(const QJsonObject& all, const Filter& filter, const PageHtml::Viewer& viewer);

}  // namespace PageOverview
