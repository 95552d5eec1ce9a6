#include "tools/ImportChecks.h"
#include "calc/Numbers.h"

namespace ImportChecks {

namespace {

QString limitsText(double low, double high)
{
    return QStringLiteral("outside the limits ") + Numbers::plain(low) + QStringLiteral(" to ") + Numbers::plain(high);
}

QString shown(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() > 20 ? t.left(17) + QStringLiteral("...") : t;
}

}  // namespace

QString refusal(const LineValues& line, const ReadingRules::Limits& limits)
{
    if (line.dateText.size() > MaxFieldLength)
        return QStringLiteral("the date field is %1 characters long").arg(line.dateText.size());
    if (!line.dateRead) return QStringLiteral("the date \"") + shown(line.dateText) + QStringLiteral("\" cannot be read");
    if (limits.tempChannel && line.temperature.size() > MaxFieldLength)
        return QStringLiteral("the temperature field is %1 characters long").arg(line.temperature.size());
    for (int k = 0; k < line.gauges.size(); ++k)
        if (line.gauges[k].size() > MaxFieldLength)
            return QStringLiteral("the field of Channel %1 is %2 characters long").arg(k + 1).arg(line.gauges[k].size());
    bool anyGauge = false;
    for (const QString& g : line.gauges) anyGauge = anyGauge || !g.trimmed().isEmpty();
    if (!line.gauges.isEmpty() && !anyGauge) return QStringLiteral("it has a date but no gauge values");
    if (limits.tempChannel && !line.temperature.trimmed().isEmpty()) {
        const double t = Numbers::leadingValue(line.temperature);
        if (t < limits.tempLow || t > limits.tempHigh)
            return QStringLiteral("the temperature is ") + Numbers::plain(t) + QStringLiteral(", ") +
                   limitsText(limits.tempLow, limits.tempHigh);
    }
    for (int k = 0; k < line.gauges.size(); ++k) {
        const double x = Numbers::leadingValue(line.gauges[k]);
        if (x < limits.lowVal || x > limits.highVal)
            return QStringLiteral("Channel %1 is ").arg(k + 1) + Numbers::plain(x) + QStringLiteral(", ") +
                   limitsText(limits.lowVal, limits.highVal);
    }
    return QString();
}

QString summary(const std::vector<Refused>& refused, qint64 accepted)
{
    if (refused.empty()) return QString();
    constexpr size_t Listed = 12;
    QString text = (refused.size() == 1 ? QStringLiteral("1 of the checked lines is")
                                        : QString::number(refused.size()) + QStringLiteral(" of the checked lines are")) +
                   QStringLiteral(" not readings that can be stored, and will not be appended:");
    for (size_t i = 0; i < refused.size() && i < Listed; ++i)
        text += QStringLiteral("\r\nline %1: ").arg(refused[i].line) + refused[i].reason;
    if (refused.size() > Listed) text += QStringLiteral("\r\n... and %1 more").arg(refused.size() - Listed);
    if (accepted == 0) return text + QStringLiteral("\r\n\r\nNo checked line is left to append; nothing was appended.");
    return text + QStringLiteral("\r\n\r\nAppend the other ") + QString::number(accepted) +
           (accepted == 1 ? QStringLiteral(" checked reading?") : QStringLiteral(" checked readings?"));
}

}  // namespace ImportChecks
