#include "charts/PictureName.h"

#include <QFileInfo>

namespace PictureName {

namespace {
QString fileSafe(QString text)
{
    for (QChar& ch : text)
        if (ch.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(ch)) ch = u'_';
    return text.trimmed();
}
}  // namespace

QString baseName(const QString& sensorId, const QString& chart, const QDateTime& when)
{
    const QString sensor = fileSafe(sensorId);
    return (sensor.isEmpty() ? QString() : QStringLiteral("Sensor ") + sensor + QStringLiteral(" - ")) +
           fileSafe(chart) + QStringLiteral(" - ") + when.toString(QStringLiteral("yyyy-MM-dd HHmm"));
}

QString freePath(const QString& folder, const QString& baseName, const QString& extension)
{
    const QString stem = folder + u'/' + baseName;
    QString path = stem + u'.' + extension;
    for (int n = 2; QFileInfo::exists(path); ++n) path = stem + QStringLiteral(" (%1).").arg(n) + extension;
    return path;
}

}  // namespace PictureName
