#include "tools/LoggerClock.h"

namespace LoggerClock {

namespace {

constexpr qint64 DaysTo1970 = 719162;  // days from 0001-01-01 to 1970-01-01

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 z, int& y, int& m, int& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(qint64(yoe) + era * 400 + (m <= 2));
}

std::optional<qint64> make(int y, int mo, int d, int h, int mi, int s)
{
    if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) return std::nullopt;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return std::nullopt;
    return (daysFromCivil(y, unsigned(mo), unsigned(d)) + DaysTo1970) * 86400 + h * 3600 + mi * 60 + s;
}

inline bool digit(char c) { return c >= '0' && c <= '9'; }

int digitsAt(QByteArrayView t, qsizetype pos, int count)
{
    if (pos + count > t.size()) return -1;
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (!digit(t[pos + i])) return -1;
        v = v * 10 + (t[pos + i] - '0');
    }
    return v;
}

// 1 to maxCount digits at pos, advancing pos; -1 when there is none.
int number(QByteArrayView t, qsizetype& pos, int maxCount, int* count = nullptr)
{
    int v = 0, n = 0;
    while (pos < t.size() && n < maxCount && digit(t[pos])) {
        v = v * 10 + (t[pos] - '0');
        ++pos;
        ++n;
    }
    if (count) *count = n;
    return n ? v : -1;
}

// Trims what QString::trimmed() trims among ASCII (the layouts are ASCII).
QByteArrayView trimmed(QByteArrayView t)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!t.isEmpty() && space(t.front())) t = t.sliced(1);
    while (!t.isEmpty() && space(t.back())) t.chop(1);
    return t;
}

// The time part shared by the year-first and ISO layouts, from p to the end of t.
// allowFraction: ".digits" after the seconds, and a final "Z".
bool readTime(QByteArrayView t, qsizetype p, bool allowFraction, int& h, int& mi, int& s)
{
    int n = 0;
    h = number(t, p, 2, &n);
    if (h < 0 || p >= t.size() || t[p] != ':') return false;
    ++p;
    mi = number(t, p, 2, &n);
    if (mi < 0 || n != 2) return false;
    s = 0;
    if (p < t.size() && t[p] == ':') {
        ++p;
        s = number(t, p, 2, &n);
        if (s < 0 || n != 2) return false;
        if (allowFraction && p < t.size() && t[p] == '.') {
            ++p;
            const qsizetype from = p;
            while (p < t.size() && digit(t[p])) ++p;
            if (p == from) return false;
        }
    }
    if (allowFraction && p < t.size() && t[p] == 'Z') ++p;
    return p == t.size();
}

std::optional<qint64> readYearFirst(QByteArrayView t, bool iso)
{
    t = trimmed(t);
    qsizetype p = 0;
    int n = 0;
    const int y = number(t, p, 4, &n);
    if (y < 0 || n != 4 || p >= t.size()) return std::nullopt;
    const char sep = t[p];
    if (iso ? sep != '-' : (sep != '/' && sep != '-' && sep != '.')) return std::nullopt;
    ++p;
    const int mo = number(t, p, 2, &n);
    if (mo < 0 || (iso && n != 2) || p >= t.size() || t[p] != sep) return std::nullopt;
    ++p;
    const int d = number(t, p, 2, &n);
    if (d < 0 || (iso && n != 2)) return std::nullopt;
    int h = 0, mi = 0, s = 0;
    if (p < t.size()) {
        if (t[p] != ' ' && t[p] != 'T') return std::nullopt;
        if (iso) ++p;
        else
            while (p < t.size() && (t[p] == ' ' || t[p] == 'T')) ++p;
        if (!readTime(t, p, iso, h, mi, s)) return std::nullopt;
    }
    return make(y, mo, d, h, mi, s);
}

std::optional<qint64> readFixed(QByteArrayView t, bool dayFirst)
{
    if (t.size() < 19) return std::nullopt;
    const int a = digitsAt(t, 0, 2), b = digitsAt(t, 3, 2), y = digitsAt(t, 6, 4);
    const int h = digitsAt(t, 11, 2), mi = digitsAt(t, 14, 2), s = digitsAt(t, 17, 2);
    if (a < 0 || b < 0 || y < 0 || h < 0 || mi < 0 || s < 0) return std::nullopt;
    if (t[13] != ':' || t[16] != ':') return std::nullopt;
    return dayFirst ? make(y, b, a, h, mi, s) : make(y, a, b, h, mi, s);
}

void put(char* out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
}

}  // namespace

QString caption(Layout layout)
{
    switch (layout) {
        case Layout::DayFirst:
            return QStringLiteral("DD/MM/YYYY");
        case Layout::MonthFirst:
            return QStringLiteral("MM/DD/YYYY");
        case Layout::Iso8601:
            return QStringLiteral("ISO 8601 (YYYY-MM-DD HH:MM:SS)");
        default:
            return QStringLiteral("YYYY/MM/DD");
    }
}

std::optional<qint64> read(QByteArrayView text, Layout layout)
{
    if (trimmed(text).isEmpty()) return std::nullopt;
    switch (layout) {
        case Layout::DayFirst:
            return readFixed(text, true);
        case Layout::MonthFirst:
            return readFixed(text, false);
        case Layout::Iso8601:
            return readYearFirst(text, true);
        default:
            return readYearFirst(text, false);
    }
}

bool texts(qint64 seconds, Texts& out)
{
    if (seconds < 0) return false;
    const qint64 days = seconds / 86400;
    const int sod = int(seconds % 86400);
    int y = 0, m = 0, d = 0;
    civilFromDays(days - DaysTo1970, y, m, d);
    if (y < 1 || y > 9999) return false;
    const int h = sod / 3600, mi = sod / 60 % 60, s = sod % 60;
    put(out.date, y, 4);
    out.date[4] = '/';
    put(out.date + 5, m, 2);
    out.date[7] = '/';
    put(out.date + 8, d, 2);
    out.date[10] = 0;
    put(out.time, h, 2);
    out.time[2] = ':';
    put(out.time + 3, mi, 2);
    out.time[5] = ':';
    put(out.time + 6, s, 2);
    out.time[8] = 0;
    std::copy(out.date, out.date + 10, out.stored);
    out.stored[4] = out.stored[7] = '-';
    out.stored[10] = ' ';
    std::copy(out.time, out.time + 8, out.stored + 11);
    out.stored[19] = 0;
    return true;
}

QString display(qint64 seconds)
{
    Texts t;
    if (!texts(seconds, t)) return QString();
    return QLatin1StringView(t.date) + u' ' + QLatin1StringView(t.time);
}

}  // namespace LoggerClock
