#pragma once
#include "data/AlarmEpisodes.h"

#include <QString>

// The texts an episode is shown with in the lists of alarms: the desktop's Alarms window
// and the web view's alarms page use the same words.
namespace AlarmEpisodeTexts {

// "#2 (upper)"; "-" for Stale.
QString position(const AlarmEpisodes::Episode& e);
// "Load", "Displacement", "Rate", "No reading".
QString quantity(const AlarmEpisodes::Episode& e);
// The worst value with its unit.
QString worstValue(const AlarmEpisodes::Episode& e);
// "who, when", with "(at Alert; again needed)" when it rose since; empty when never.
QString acknowledgement(const AlarmEpisodes::Episode& e);

}  // namespace AlarmEpisodeTexts
