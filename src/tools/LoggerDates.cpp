#include "tools/LoggerDates.h"
#include "calc/Numbers.h"
#include "tools/LoggerFile.h"

#include <cmath>

namespace LoggerDates {

namespace {

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// Days from 0001-01-01 in the proleptic Gregorian calendar.
qint64 dayNumber(int y, int m, int d)
{
    const qint64 yy = y - 1;
    qint64 days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    for (int i = 1; i < m; ++i) days += daysInMonth(y, i);
    return days + d - 1;
}

QString two(int v) { return QString::number(v).rightJustified(2, u'0'); }

std::optional<Stamp> make(int y, int mo, int d, int h, int mi, int s)
{
    if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) return std::nullopt;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return std::nullopt;
    Stamp st;
    st.dateText = QString::number(y).rightJustified(4, u'0') + u'/' + two(mo) + u'/' + two(d);
    st.timeText = two(h) + u':' + two(mi) + u':' + two(s);
    st.seconds = dayNumber(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    return st;
}

// Reads exactly count ASCII digits at pos; -1 when any is not a digit.
int digitsAt(QStringView t, qsizetype pos, int count)
{
    if (pos + count > t.size()) return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = t[pos + i].unicode();
        if (c < u'0' || c > u'9') return -1;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// Reads 1 to maxCount ASCII digits at pos, advancing pos; -1 when there is none.
int number(QStringView t, qsizetype& pos, int maxCount)
{
    int v = 0, n = 0;
    while (pos < t.size() && n < maxCount) {
        const char16_t c = t[pos].unicode();
        if (c < u'0' || c > u'9') break;
        v = v * 10 + (c - u'0');
        ++pos;
        ++n;
    }
    return n ? v : -1;
}

std::optional<Stamp> readYearFirst(QStringView t)
{
    t = t.trimmed();
    qsizetype p = 0;
    const qsizetype yStart = p;
    const int y = number(t, p, 4);
    if (y < 0 || p - yStart != 4) return std::nullopt;
    if (p >= t.size()) return std::nullopt;
    const QChar sep = t[p];
    if (sep != u'/' && sep != u'-' && sep != u'.') return std::nullopt;
    ++p;
    const int mo = number(t, p, 2);
    if (mo < 0 || p >= t.size() || t[p] != sep) return std::nullopt;
    ++p;
    const int d = number(t, p, 2);
    if (d < 0) return std::nullopt;
    int h = 0, mi = 0, s = 0;
    if (p < t.size()) {
        if (t[p] != u' ' && t[p] != u'T') return std::nullopt;
        while (p < t.size() && (t[p] == u' ' || t[p] == u'T')) ++p;
        h = number(t, p, 2);
        if (h < 0 || p >= t.size() || t[p] != u':') return std::nullopt;
        ++p;
        const qsizetype mStart = p;
        mi = number(t, p, 2);
        if (mi < 0 || p - mStart != 2) return std::nullopt;
        if (p < t.size()) {
            if (t[p] != u':') return std::nullopt;
            ++p;
            const qsizetype sStart = p;
            s = number(t, p, 2);
            if (s < 0 || p - sStart != 2) return std::nullopt;
        }
        if (p != t.size()) return std::nullopt;
    }
    return make(y, mo, d, h, mi, s);
}

std::optional<Stamp> readFixed(QStringView t, bool dayFirst)
{
    if (t.size() < 19) return std::nullopt;
    const int a = digitsAt(t, 0, 2);
    const int b = digitsAt(t, 3, 2);
    const int y = digitsAt(t, 6, 4);
    const int h = digitsAt(t, 11, 2);
    const int mi = digitsAt(t, 14, 2);
    const int s = digitsAt(t, 17, 2);
    if (a < 0 || b < 0 || y < 0 || h < 0 || mi < 0 || s < 0) return std::nullopt;
    if (t[13] != u':' || t[16] != u':') return std::nullopt;
    return dayFirst ? make(y, b, a, h, mi, s) : make(y, a, b, h, mi, s);
}

qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

QString layoutCaption(Layout layout)
{
    switch (layout) {
        case Layout::DayFirst:
            return QStringLiteral("DD/MM/YYYY");
        case Layout::MonthFirst:
            return QStringLiteral("MM/DD/YYYY");
        default:
            return QStringLiteral("YYYY/MM/DD");
    }
}

QString Stamp::storedText() const { return QString(dateText).replace(u'/', u'-') + u' ' + timeText; }

std::optional<Stamp> read(QStringView text, Layout layout)
{
    if (text.trimmed().isEmpty()) return std::nullopt;
    switch (layout) {
        case Layout::DayFirst:
            return readFixed(text, true);
        case Layout::MonthFirst:
            return readFixed(text, false);
        default:
            return readYearFirst(text);
    }
}

qint64 hourBoundaries(qint64 fromSeconds, qint64 toSeconds)
{
    return floorDiv(toSeconds, 3600) - floorDiv(fromSeconds, 3600);
}

int intervalHours(const QString& text)
{
    const double v = Numbers::roundHalfEven(Numbers::leadingValue(text), 0);
    if (!std::isfinite(v) || v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return int(v);
}

std::vector<bool> preselect(const std::vector<LoggerFile::Row>& rows, Layout layout, int interval)
{
    std::vector<bool> selected(rows.size(), false);
    bool haveReference = false;
    qint64 reference = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        const LoggerFile::Row& row = rows[r];
        if (row.broken) continue;
        const QStringView date = row.field(0);
        if (date == MarkerDate) continue;
        const auto stamp = read(date, layout);
        if (!stamp) continue;
        if (haveReference && hourBoundaries(reference, stamp->seconds) < interval) continue;
        selected[r] = true;
        reference = stamp->seconds;
        haveReference = true;
    }
    return selected;
}

}  // namespace LoggerDates
