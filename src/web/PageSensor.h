#pragma once
#include "web/PageHtml.h"

#include <QJsonObject>

// A sensor's page: its installation record, alarm levels and response plans, its state and
// active alarms, then the charts (load and displacement against time, the profiles along
// the bolt), which its script (sensor.js, with dygraphs) draws from the series and
// profile answers, and a form to download the readings of a period as CSV.
namespace PageSensor {

// sensor: the answer for one sensor ({"id", "record", "levels", "levelsText", "plans",
// "state", "episodes"}).
QString page(const QJsonObject& sensor, const PageHtml::Viewer& viewer);

}  // namespace PageSensor
