#include "web/WebCsv.h"

namespace WebCsv {

QByteArray readings(Database&, const SensorDetails&, std::optional<double>, std::optional<double>)
{
    return QByteArrayLiteral("Date\r\n");
}

QString attachmentHeader(const QString& sensorId)
{
    QString name;
    for (const QChar c : sensorId) name += c.isLetterOrNumber() || c == u'-' || c == u'_' ? c : u'_';
    return QStringLiteral("attachment; filename=\"%1-readings.csv\"").arg(name);
}

}  // namespace WebCsv
