#pragma once
#include "data/AlarmEpisodes.h"
#include "data/AlarmPlans.h"
#include "data/AlarmStore.h"
#include "data/SensorDetails.h"
#include "web/PageHtml.h"
#include "web/WebOverview.h"

#include <optional>
#include <vector>

// A sensor's page: its state and active alarms, the charts (load and displacement against
// time, the profiles along the bolt), which its script (sensor.js, with dygraphs) draws from
// the series and profile answers, its alarm levels and response plans, its installation
// record, and a form to download the readings of a period as CSV.
namespace PageSensor {

struct Sensor {
    SensorDetails record;
    WebOverview::Line state;
    std::optional<AlarmStore::Levels> levels;
    std::vector<AlarmPlans::Plan> plans;           // the sensor's at Alert, Action and Stale, those set
    std::vector<AlarmEpisodes::Episode> episodes;  // active
};

QString page(const Sensor& sensor, const PageHtml::Viewer& viewer);

}  // namespace PageSensor
