#pragma once
#include <QByteArrayView>
#include <QChar>
#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

// The widget-free rules of the five charts: which gauges each chart plots for a layout
// and channel count, how the time axis is chosen from the span of the readings, the
// length axis's upper limit, and the date texts the charts show.
namespace ChartRules {

// Number of gauge series a time chart shows (gauges 1 to this number).
// Staggered: N; stacked with at most 3 channels: N - 1; stacked with more: N - 3.
int timeGaugeCount(bool stacked, int channels);

// What a length chart plots for each reading line.
enum class Profile { Load, Displacement, Shear };
struct ProfilePlan {
    int lastGauge = 0;             // points for gauges 1 to lastGauge
    bool closeAtNextNode = false;  // a closing point (node box N + 1, 0)
    bool closeAtCable = false;     // a closing point (cable length, 0)
};
ProfilePlan profilePlan(Profile profile, bool stacked, int channels);

// Which readings the length charts draw, one line each.
enum class ProfileChoice {
    Last15,   // the last 15 readings
    Weekly,   // the last reading of each week (Monday to Sunday) across the record
    Monthly,  // the last reading of each calendar month across the record
    Picked,   // the readings marked "Plot Spatial" on the Readings tab or the datasheet
};
constexpr int MaxProfiles = 15;  // lines a length chart holds
// The texts of the choice's box, in the order of the enum.
QStringList profileChoiceTexts();
// The choice as remembered in the preferences, and back (an unknown text: Picked).
QString profileChoiceKey(ProfileChoice choice);
ProfileChoice profileChoiceFromKey(const QString& key);
// The readings to draw, as indexes into `times` (the candidates' dates and times, oldest
// first): for Weekly and Monthly the last reading of each period, at most MaxProfiles of
// them spread evenly from the first period to the last; for Last15 and Picked the newest
// MaxProfiles candidates. `periods` (optional) receives how many lines the choice had
// before that.
std::vector<qsizetype> chooseProfiles(const std::vector<QDateTime>& times, ProfileChoice choice,
                                      qsizetype* periods = nullptr);

// A legend entry of a time chart: the gauge number and its distance from the roof
// ("#1 – 0.50 m"), the number alone when the distance is not known (NaN).
QString positionTitle(int gauge, double metres);

// Upper limit of the length axis from the largest distance of a line: the whole part of
// (largest + 0.999) when the largest is 1 or more, else 1.
double lengthAxisMaximum(double largestX);

// Tick steps and label texts of the value axes (the length axis and the value axis).
// A round step: 1, 2 or 5 times a power of ten, the smallest one not below `atLeast`.
double roundStep(double atLeast);
// The length axis's step for its upper limit: the smallest round step that divides the
// axis from 0 into at most ten parts (0.5 m on an axis to 3 m, 1 m on one to 10 m).
double lengthTickStep(double axisMaximum);
// The label step shown when `increment` would crowd the labels (wanted: at least `atLeast`
// per label): the smallest round step that is a whole multiple of the increment.
double crowdedStep(double increment, double atLeast);
// The decimals that show every multiple of a step exactly (0.5 -> 1, 0.25 -> 2, 10 -> 0),
// at most 6.
int stepDecimals(double step);

// Label steps of the time axis.
enum class TimeStep { Automatic, TwoHours, SixHours };
struct TimeAxisPlan {
    TimeStep step = TimeStep::Automatic;
    QString labelFormat;  // a QDateTime format
    QString title;        // text under the axis
};
// Chosen by the number of calendar days between the first and the last reading:
// 0 gives two-hour steps, 1 six-hour steps (both with times and the first date under the
// axis), anything else (or a date that is missing) automatic steps with dates and no title.
TimeAxisPlan timeAxisPlan(const QDate& first, const QDate& last, QChar dateSeparator, QChar timeSeparator);

// The system's date and time separators, taken from the locale's short formats.
QChar systemDateSeparator();
QChar systemTimeSeparator();
// The separator between the first two fields of a date or time format ("dd.MM.yy" -> '.').
QChar separatorOf(const QString& format, QChar fallback);

// A date as four-digit year, two-digit month and day joined by the separator.
QString formatDate(const QDate& date, QChar separator);

// A date and time as the date above, a blank, and hours and minutes joined by the time
// separator ("2025/04/02 08:30").
QString formatDateTime(const QDateTime& when, QChar dateSeparator, QChar timeSeparator);

// A reading date as stored ("yyyy/MM/dd"; "yyyy-MM-dd" is also understood). Invalid when
// the text is neither.
QDate parseReadingDate(const QString& text);

// A reading's date and time as a chart key: seconds since 1970-01-01 00:00, reading the
// wall-clock time as it is written (no time zone, no daylight saving shift). Understands
// "yyyy-MM-dd HH:mm:ss" and "yyyy/MM/dd HH:mm:ss" (seconds optional). NaN when unreadable.
double dateTimeKey(const QString& fullDate);
// The same on a stored text's UTF-8 bytes.
double dateTimeKeyUtf8(QByteArrayView fullDate);
// The wall-clock date and time of a chart key.
QDateTime keyDateTime(double key);

}  // namespace ChartRules
