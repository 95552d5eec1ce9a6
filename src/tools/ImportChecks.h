#pragma once
#include "tools/LoggerReadings.h"

#include <QString>

// The value checks every imported reading passes before anything is stored, whatever the
// file's format: one place, called for each selected row by LoggerReadings::build.
namespace ImportChecks {

// Why the reading must not be stored (empty when it may be).
QString problem(const LoggerReadings::Target& target, const LoggerReadings::Built& reading);

}  // namespace ImportChecks
