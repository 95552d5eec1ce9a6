#pragma once
#include <QDateTime>
#include <QString>

// The names chart pictures are saved under: by sensor, chart and time, so that one export
// never replaces another ("Sensor 7 - Load v Time - 2026-12-08 0930").
namespace PictureName {

// The name without folder or extension. Characters a file name cannot hold on any desktop
// (/ \ : * ? " < > | and control characters) become "_"; with no sensor the name starts
// with the chart.
QString baseName(const QString& sensorId, const QString& chart, const QDateTime& when);

// A path in the folder that no file takes yet: the base name with the extension, or, when
// that exists, the base name followed by " (2)", " (3)" ...
QString freePath(const QString& folder, const QString& baseName, const QString& extension);

}  // namespace PictureName
