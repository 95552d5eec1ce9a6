#include "web/WebParams.h"
#include "charts/ChartRules.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <httplib.h>

namespace WebParams {

QString text(const httplib::Request& req, const char* name)
{
    const size_t n = req.get_param_value_count(name);
    if (n > 1) throw WebRefusal(400, QStringLiteral("%1 is given more than once").arg(QLatin1String(name)));
    return n == 0 ? QString() : QString::fromStdString(req.get_param_value(name));
}

std::optional<double> parseDateKey(const QString& value, const char* name)
{
    if (value.isEmpty()) return std::nullopt;
    static const QRegularExpression shape(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:[T ](\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = shape.match(value);
    const QDate date =
        m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()) : QDate();
    const QTime time = !m.hasMatch() ? QTime()
                       : m.captured(4).isEmpty()
                           ? QTime(0, 0)
                           : QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        throw WebRefusal(400, QStringLiteral("%1 is not a date (yyyy-MM-ddTHH:mm:ss)").arg(QLatin1String(name)));
    return double(QDateTime(date, time, Qt::UTC).toSecsSinceEpoch());
}

std::optional<double> dateKey(const httplib::Request& req, const char* name)
{
    return parseDateKey(text(req, name), name);
}

int integer(const httplib::Request& req, const char* name, int lowest, int highest, int fallback)
{
    const QString value = text(req, name);
    if (value.isEmpty()) return fallback;
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        throw WebRefusal(400, QStringLiteral("%1 must be a whole number from %2 to %3")
                                  .arg(QLatin1String(name))
                                  .arg(lowest)
                                  .arg(highest));
    return n;
}

QString oneOf(const httplib::Request& req, const char* name, const QStringList& allowed, const QString& fallback)
{
    const QString value = text(req, name);
    if (value.isEmpty()) return fallback;
    if (!allowed.contains(value))
        throw WebRefusal(
            400, QStringLiteral("%1 must be one of: %2").arg(QLatin1String(name), allowed.join(QStringLiteral(", "))));
    return value;
}

QString dateText(double key) { return ChartRules::keyDateTime(key).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")); }

QString apiDate(const QString& stored)
{
    if (stored.isEmpty()) return stored;
    const double key = ChartRules::dateTimeKey(stored);
    if (std::isnan(key)) return stored;
    return dateText(key);
}

}  // namespace WebParams
