#include "charts/ChartRules.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <cmath>
#include <limits>

namespace ChartRules {

int timeGaugeCount(bool stacked, int channels)
{
    if (!stacked) return std::max(0, channels);
    return std::max(0, channels <= 3 ? channels - 1 : channels - 3);
}

ProfilePlan profilePlan(Profile profile, bool stacked, int channels)
{
    ProfilePlan p;
    const int stackedCount = channels <= 3 ? channels - 1 : channels - 3;
    switch (profile) {
        case Profile::Load:
            p.lastGauge = stacked ? stackedCount : channels;
            p.closeAtCable = true;
            break;
        case Profile::Displacement:
            p.lastGauge = stacked ? stackedCount : channels;
            p.closeAtNextNode = !stacked;
            p.closeAtCable = true;
            break;
        case Profile::Shear:
            p.lastGauge = stacked ? stackedCount : channels - 2;
            break;
    }
    p.lastGauge = std::max(0, p.lastGauge);
    return p;
}

QStringList profileChoiceTexts()
{
    return {QStringLiteral("Last 15 readings"), QStringLiteral("One per week"), QStringLiteral("One per month"),
            QStringLiteral("Picked dates (Plot Spatial)")};
}

namespace {
const char* const ChoiceKeys[] = {"last15", "weekly", "monthly", "picked"};
}

QString profileChoiceKey(ProfileChoice choice) { return QLatin1String(ChoiceKeys[int(choice)]); }

ProfileChoice profileChoiceFromKey(const QString& key)
{
    for (int i = 0; i < 4; ++i)
        if (key == QLatin1String(ChoiceKeys[i])) return ProfileChoice(i);
    return ProfileChoice::Picked;
}

std::vector<qsizetype> chooseProfiles(const std::vector<QDateTime>& times, ProfileChoice choice, qsizetype* periods)
{
    std::vector<qsizetype> chosen;
    // The period a reading falls in; readings of one period are next to each other.
    auto period = [choice](const QDateTime& t) -> qint64 {
        const QDate d = t.date();
        if (choice == ProfileChoice::Monthly) return qint64(d.year()) * 12 + d.month();
        // The Monday that starts the reading's week.
        return d.addDays(1 - d.dayOfWeek()).toJulianDay();
    };
    const bool byPeriod = choice == ProfileChoice::Weekly || choice == ProfileChoice::Monthly;
    for (size_t i = 0; i < times.size(); ++i) {
        if (byPeriod && i + 1 < times.size() && times[i].isValid() && times[i + 1].isValid() &&
            period(times[i]) == period(times[i + 1]))
            continue;  // a later reading of the same period follows
        chosen.push_back(qsizetype(i));
    }
    if (periods) *periods = qsizetype(chosen.size());
    if (chosen.size() <= size_t(MaxProfiles)) return chosen;
    if (!byPeriod) {
        chosen.erase(chosen.begin(), chosen.end() - MaxProfiles);
        return chosen;
    }
    // More weeks or months than a chart holds: spread the lines evenly across the whole
    // record, the first and the last period included, so the chart still shows the history.
    std::vector<qsizetype> spread;
    spread.reserve(MaxProfiles);
    const double step = double(chosen.size() - 1) / (MaxProfiles - 1);
    for (int k = 0; k < MaxProfiles; ++k) spread.push_back(chosen[size_t(std::lround(k * step))]);
    return spread;
}

QString positionTitle(int gauge, double metres)
{
    QString title = QStringLiteral("#") + QString::number(gauge);
    if (std::isfinite(metres))
        title += QStringLiteral(" \u2013 ") + QLocale().toString(metres, 'f', 2) + QStringLiteral(" m");
    return title;
}

double lengthAxisMaximum(double largestX)
{
    if (largestX >= 1) return std::trunc(largestX + 0.999);
    return 1;
}

double roundStep(double atLeast)
{
    if (!(atLeast > 0) || !std::isfinite(atLeast)) return 1;
    double power = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (;;) {
        for (double m : {1.0, 2.0, 5.0})
            if (m * power >= atLeast * (1 - 1e-9)) return m * power;
        power *= 10;
    }
}

double lengthTickStep(double axisMaximum) { return roundStep(std::max(axisMaximum, 1e-6) / 10); }

double crowdedStep(double increment, double atLeast)
{
    if (!(increment > 0)) return roundStep(atLeast);
    double step = roundStep(std::max(increment, atLeast));
    for (int i = 0; i < 60; ++i) {
        const double times = step / increment;
        if (std::fabs(times - std::round(times)) < 1e-6 * std::max(1.0, times)) return step;
        step = roundStep(step * 1.5);  // the next round step up
    }
    return increment * std::ceil(atLeast / increment - 1e-9);
}

int stepDecimals(double step)
{
    if (!(step > 0) || !std::isfinite(step)) return 0;
    for (int d = 0; d < 6; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled)) return d;
    }
    return 6;
}

QString formatDate(const QDate& date, QChar separator)
{
    if (!date.isValid()) return QString();
    const QString s(separator);
    return date.toString(QStringLiteral("yyyy")) + s + date.toString(QStringLiteral("MM")) + s +
           date.toString(QStringLiteral("dd"));
}

QString formatDateTime(const QDateTime& when, QChar dateSeparator, QChar timeSeparator)
{
    if (!when.isValid()) return QString();
    return formatDate(when.date(), dateSeparator) + ' ' + when.toString(QStringLiteral("HH")) + timeSeparator +
           when.toString(QStringLiteral("mm"));
}

TimeAxisPlan timeAxisPlan(const QDate& first, const QDate& last, QChar dateSeparator, QChar timeSeparator)
{
    TimeAxisPlan plan;
    const qint64 span = (first.isValid() && last.isValid()) ? first.daysTo(last) : -1;
    if (span == 0 || span == 1) {
        plan.step = span == 0 ? TimeStep::TwoHours : TimeStep::SixHours;
        plan.labelFormat = QStringLiteral("HH") + QString(timeSeparator) + QStringLiteral("mm");
        plan.title = formatDate(first, dateSeparator);
    } else {
        plan.step = TimeStep::Automatic;
        const QString s = QString(dateSeparator);
        // Separators are quoted so that any character is written as it is.
        const QString q =
            s == QStringLiteral("'") ? QStringLiteral("''") : QStringLiteral("'") + s + QStringLiteral("'");
        plan.labelFormat = QStringLiteral("yyyy") + q + QStringLiteral("MM") + q + QStringLiteral("dd");
    }
    return plan;
}

QChar separatorOf(const QString& format, QChar fallback)
{
    bool inField = false;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == '\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c.isLetter()) {
            inField = true;
        } else if (inField && !c.isSpace()) {
            return c;
        }
    }
    return fallback;
}

QChar systemDateSeparator() { return separatorOf(QLocale::system().dateFormat(QLocale::ShortFormat), '/'); }
QChar systemTimeSeparator() { return separatorOf(QLocale::system().timeFormat(QLocale::ShortFormat), ':'); }

QDate parseReadingDate(const QString& text)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, QStringLiteral("yyyy/MM/dd"));
    if (!d.isValid()) d = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid() && t.size() > 10) d = parseReadingDate(t.left(10));
    return d;
}

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

template <typename Ch>
bool digits(const Ch* p, int n, int& out)
{
    out = 0;
    for (int i = 0; i < n; ++i) {
        const auto c = p[i];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

template <typename Ch>
double keyOf(const Ch* p, int n)
{
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (n < 16 || !digits(p, 4, y) || (p[4] != '-' && p[4] != '/') || !digits(p + 5, 2, mo) || p[7] != p[4] ||
        !digits(p + 8, 2, d) || (p[10] != ' ' && p[10] != 'T') || !digits(p + 11, 2, h) || p[13] != ':' ||
        !digits(p + 14, 2, mi))
        return NaN;
    if (n >= 19 && p[16] == ':' && !digits(p + 17, 2, s)) return NaN;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return NaN;
    return double(daysFromCivil(y, unsigned(mo), unsigned(d)) * 86400 + h * 3600 + mi * 60 + s);
}

}  // namespace

double dateTimeKey(const QString& fullDate) { return keyOf(fullDate.utf16(), int(fullDate.size())); }

double dateTimeKeyUtf8(QByteArrayView fullDate) { return keyOf(fullDate.data(), int(fullDate.size())); }

QDateTime keyDateTime(double key) { return QDateTime::fromSecsSinceEpoch(qint64(std::floor(key)), Qt::UTC); }

}  // namespace ChartRules
