#include "tools/LoggerReadings.h"
#include "calc/ExactDecimal.h"
#include "core/ErrorLog.h"
#include "core/TwError.h"
#include "data/AppendedValues.h"
#include "store/Database.h"
#include "store/RowVersions.h"
#include "store/SqlDialect.h"
#include "store/BulkInsert.h"
#include "store/Statement.h"
#include "tools/ImportChecks.h"
#include "tools/SpatialPerDay.h"

#include <QSqlQuery>
#include <memory>
#include <optional>
#include <QVariant>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace LoggerReadings {

namespace {

constexpr int ProgressEvery = 4096;
constexpr int MaxShownDuplicates = 100;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number a fixed-point text holds, exactly as a correctly rounding reader (from_chars)
// reads it: digits are the text's digits without its point, decimals of them after it.
// Up to 15 digits they make an exact whole number (Numbers::exactDecimal); a longer text is
// read from its characters.
double valueOfDigits(const char* digits, int count, int decimals, bool negative, const char* text, int length)
{
    quint64 whole = 0;
    for (int i = 0; i < count && count <= 15; ++i) whole = whole * 10 + quint64(digits[i] - '0');
    const std::optional<double> exact = count <= 15 ? Numbers::exactDecimal(whole, decimals) : std::nullopt;
    if (!exact) {
        double v = 0;
        std::from_chars(text, text + length, v);
        return v;
    }
    return negative ? -*exact : *exact;
}

// The computed columns of the storable rows, when the passes' inputs allow them before
// the rows are stored (none dated before their baselines).
std::unique_ptr<Calc::AppendedValues> appendedValues(Database& db, const QString& sensorId,
                                                     const std::vector<qint64>& moments,
                                                     const std::vector<bool>& storable)
{
    qint64 earliest = NoMoment;
    for (size_t r = 0; r < moments.size() && r < storable.size(); ++r)
        if (storable[r] && moments[r] != NoMoment && (earliest == NoMoment || moments[r] < earliest))
            earliest = moments[r];
    LoggerClock::Texts when;
    if (earliest == NoMoment || !LoggerClock::texts(earliest, when)) return nullptr;
    return Calc::AppendedValues::prepare(db, sensorId, QByteArrayView(when.stored, 19));
}

bool equalsNoCase(QByteArrayView a, const char* b)
{
    const qsizetype n = qsizetype(std::strlen(b));
    if (a.size() != n) return false;
    for (qsizetype i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != b[i]) return false;
    }
    return true;
}

bool noValueWord(QByteArrayView t)
{
    // Every word begins with N or I after its sign: a number is told at its first character.
    const char first = t.size() > 1 && (t[0] == '+' || t[0] == '-') ? t[1] : t.isEmpty() ? '\0' : t[0];
    if (first != 'N' && first != 'n' && first != 'I' && first != 'i') return false;
    static const char* const words[] = {"NAN", "INF", "+INF", "-INF", "INFINITY", "+INFINITY", "-INFINITY"};
    for (const char* w : words)
        if (equalsNoCase(t, w)) return true;
    return false;
}

// leadingFixed of a plain decimal ([sign] digits [. digits], checked by the caller) whose
// kept digits fit in 15, worked out on one whole number: the kept digits, plus one when the
// first digit dropped is 5 or more. 0 when the text is longer (leadingFixed then).
int shortFixed(QByteArrayView t, int decimals, char* out, int capacity, double* value)
{
    static constexpr qint64 Powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    if (decimals < 0 || decimals > 6) return 0;
    const char* p = t.data();
    const char* const end = p + t.size();
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    while (p + 1 < end && *p == '0' && isDigit(p[1])) ++p;  // leading zeros
    const char* wholeEnd = p;
    while (wholeEnd < end && isDigit(*wholeEnd)) ++wholeEnd;
    if (wholeEnd - p + decimals > 15) return 0;
    qint64 kept = 0;
    for (; p < wholeEnd; ++p) kept = kept * 10 + (*p - '0');
    if (p < end) ++p;  // the point
    int d = 0;
    for (; d < decimals && p < end; ++d, ++p) kept = kept * 10 + (*p - '0');
    kept *= Powers[decimals - d];
    if (p < end && *p >= '5') ++kept;
    char digits[24];
    const int n = int(std::to_chars(digits, digits + sizeof digits, kept).ptr - digits);
    // The digits as "whole.decimals", with zeros before them where they are fewer.
    const int whole = std::max(1, n - decimals);
    const int len = (negative && kept != 0 ? 1 : 0) + whole + (decimals > 0 ? 1 + decimals : 0);
    if (len + 1 > capacity) return -1;
    char* o = out;
    if (negative && kept != 0) *o++ = '-';
    const int pad = whole + decimals - n;  // zeros before the digits
    for (int k = 0; k < whole + decimals; ++k) {
        if (k == whole) *o++ = '.';
        *o++ = k < pad ? '0' : digits[k - pad];
    }
    *o = 0;
    if (value) {
        const double v = *Numbers::exactDecimal(quint64(kept), decimals);  // (15 digits at most: exact)
        *value = negative && kept != 0 ? -v : v;
    }
    return len;
}

// Whether the field is one of the map's codes for "no reading": the same letters in any
// case, or the same number.
bool isMissingCode(QByteArrayView v, const std::vector<QByteArray>& codes)
{
    if (codes.empty() || v.isEmpty()) return false;
    auto number = [](QByteArrayView t, double& out) {
        const QByteArray copy = t.toByteArray();
        char* end = nullptr;
        out = std::strtod(copy.constData(), &end);
        return !copy.isEmpty() && end == copy.constData() + copy.size();
    };
    double value = 0;
    const bool isNumber = number(v, value);
    for (const QByteArray& c : codes) {
        if (c.size() == v.size() && QByteArrayView(c).compare(v, Qt::CaseInsensitive) == 0) return true;
        double code = 0;
        if (isNumber && number(c, code) && code == value) return true;
    }
    return false;
}

// Whether the moment can be read at all (the checks that do not depend on the values).
QString lineProblem(const LoggerTable& table, qsizetype row, const Mapping& m)
{
    if (table.tooLong(row)) return QStringLiteral("the line is too long");
    if (table.broken(row)) return QStringLiteral("a quote is not closed");
    if (table.hasNul(row)) return QStringLiteral("the line holds a NUL byte (a damaged line)");
    const int n = table.fieldCount(row);
    const bool cutShort = !table.lineEnded(row) && row == table.rowCount() - 1;
    if (m.expectedFields > 0 && n != m.expectedFields) {
        if (cutShort && n < m.expectedFields)
            return QStringLiteral("the line is cut short (%1 of %2 fields)").arg(n).arg(m.expectedFields);
        return QStringLiteral("the line has %1 fields, the header names %2").arg(n).arg(m.expectedFields);
    }
    if (m.requireLineEnd && cutShort) return QStringLiteral("the line is cut short (it has no line end)");
    return QString();
}

// A field's text as shown in a reason: at most 40 characters.
QString shown(const LoggerTable& table, QByteArrayView v)
{
    QString s = table.decode(v.first(std::min<qsizetype>(v.size(), 40)));
    if (v.size() > 40) s += QStringLiteral("...");
    return s;
}

QString quoted(const LoggerTable& table, QByteArrayView v) { return u'"' + shown(table, v) + u'"'; }

// Whether the table has a unique index on DateTimeKey alone.
bool hasUniqueKeyIndex(Database& db, const QString& table)
{
    return db.hasUniqueIndexOn(table, QStringLiteral("DateTimeKey"));
}

}  // namespace

int leadingFixed(QByteArrayView text, int decimals, char* out, int capacity, double* value)
{
    if (decimals < 0) return -1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = (text[i++] == '-');
    const qsizetype wholeFrom = i;
    while (i < n && isDigit(text[i])) ++i;
    const QByteArrayView whole = text.sliced(wholeFrom, i - wholeFrom);
    QByteArrayView frac;
    if (i < n && text[i] == '.') {
        const qsizetype f = ++i;
        while (i < n && isDigit(text[i])) ++i;
        frac = text.sliced(f, i - f);
    }
    if (whole.isEmpty() && frac.isEmpty()) negative = false;
    // The digits kept: the whole part (at least "0") and `decimals` decimals.
    char keep[80];
    int k = 0;
    const QByteArrayView w = whole.isEmpty() ? QByteArrayView("0") : whole;
    if (w.size() + decimals + 2 > qsizetype(sizeof keep)) return -1;
    for (char c : w) keep[k++] = c;
    for (int d = 0; d < decimals; ++d) keep[k++] = d < frac.size() ? frac[d] : '0';
    // Half away from zero on the first digit dropped, as by hand.
    const bool up = frac.size() > decimals && frac[decimals] >= '5';
    int start = 0;
    if (up) {
        int j = k - 1;
        for (; j >= 0; --j) {
            if (keep[j] == '9') keep[j] = '0';
            else {
                ++keep[j];
                break;
            }
        }
        if (j < 0) {
            std::memmove(keep + 1, keep, size_t(k));
            keep[0] = '1';
            ++k;
        }
    }
    const int intLen = k - decimals;
    while (start + 1 < intLen && keep[start] == '0') ++start;
    bool zero = true;
    for (int j = 0; j < k; ++j) zero = zero && keep[j] == '0';
    const int len = (negative && !zero ? 1 : 0) + (intLen - start) + (decimals > 0 ? 1 + decimals : 0);
    if (len + 1 > capacity) return -1;
    int o = 0;
    if (negative && !zero) out[o++] = '-';
    for (int j = start; j < intLen; ++j) out[o++] = keep[j];
    if (decimals > 0) {
        out[o++] = '.';
        for (int j = intLen; j < k; ++j) out[o++] = keep[j];
    }
    out[o] = 0;
    if (value) *value = valueOfDigits(keep + start, k - start, decimals, negative && !zero, out, o);
    return o;
}

int strictFixed(QByteArrayView t, int decimals, char* out, int capacity, int* length, double* value)
{
    *length = 0;
    t = t.trimmed();
    if (t.isEmpty() || noValueWord(t)) return 0;
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (t[i] == '+' || t[i] == '-') ++i;
    int digits = 0;
    while (i < n && isDigit(t[i])) {
        ++i;
        ++digits;
    }
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && isDigit(t[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return NotANumber;
    if (i == n) {
        // Plain digits: only a whole part longer than any reading's fails.
        *length = shortFixed(t, decimals, out, capacity, value);
        if (*length == 0) *length = leadingFixed(t, decimals, out, capacity, value);
        return *length < 0 ? TooLarge : 1;
    }
    if (t[i] != 'e' && t[i] != 'E') return NotANumber;
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
    const qsizetype expFrom = i;
    while (i < n && isDigit(t[i])) ++i;
    if (i == expFrom || i != n) return NotANumber;
    const QByteArray copy = t.toByteArray();
    const double v = std::strtod(copy.constData(), nullptr);
    // Past this no stored text of a reading is meant (and "%f" below stays short).
    constexpr double MaxMagnitude = 1e15;
    if (!(std::fabs(v) <= MaxMagnitude)) return TooLarge;
    char plain[64];
    std::snprintf(plain, sizeof plain, "%.*f", decimals + 6, v);
    *length = leadingFixed(QByteArrayView(plain, qsizetype(std::strlen(plain))), decimals, out, capacity, value);
    return *length < 0 ? TooLarge : 1;
}

std::vector<qint64> moments(const LoggerTable& table, const Mapping& m)
{
    std::vector<qint64> out(size_t(table.rowCount()), NoMoment);
    QByteArray scratch;
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        if (!lineProblem(table, r, m).isEmpty()) continue;
        const QByteArrayView date = table.fieldBytes(r, m.dateField, scratch);
        if (!m.markerDate.isEmpty() && date == m.markerDate) continue;
        if (const auto s = LoggerClock::read(date, m.layout)) out[size_t(r)] = *s + m.offsetSeconds;
    }
    return out;
}

std::vector<bool> preselect(const std::vector<qint64>& moments, int interval)
{
    std::vector<bool> selected(moments.size(), false);
    // The rows in time order: the file's own order when it is one (the common case, no
    // sort), else sorted, rows of the same moment in file order.
    std::vector<quint32> order;
    qint64 last = NoMoment;
    bool inOrder = true;
    for (size_t r = 0; r < moments.size() && inOrder; ++r) {
        if (moments[r] == NoMoment) continue;
        inOrder = moments[r] >= last;
        last = moments[r];
    }
    if (!inOrder) {
        order.reserve(moments.size());
        for (size_t r = 0; r < moments.size(); ++r)
            if (moments[r] != NoMoment) order.push_back(quint32(r));
        std::stable_sort(order.begin(), order.end(), [&](quint32 a, quint32 b) { return moments[a] < moments[b]; });
    }
    bool haveReference = false;
    qint64 reference = 0;
    auto hour = [](qint64 s) { return s >= 0 ? s / 3600 : -((-s + 3599) / 3600); };
    auto consider = [&](size_t r) {
        const qint64 m = moments[r];
        if (m == NoMoment) return;
        if (haveReference && m != reference && hour(m) - hour(reference) < interval) return;
        selected[r] = true;
        reference = m;
        haveReference = true;
    };
    if (inOrder)
        for (size_t r = 0; r < moments.size(); ++r) consider(r);
    else
        for (quint32 r : order) consider(r);
    return selected;
}

QString build(const LoggerTable& table, qsizetype row, const Mapping& m, const Target& t, Built& out)
{
    QString problem = lineProblem(table, row, m);
    if (!problem.isEmpty()) return problem;
    QByteArray scratch;
    const QByteArrayView date = table.fieldBytes(row, m.dateField, scratch);
    if (!m.markerDate.isEmpty() && date == m.markerDate)
        return QStringLiteral("the date %1 is the logger's mark for an unknown time").arg(quoted(table, date));
    const auto seconds = LoggerClock::read(date, m.layout);
    if (!seconds)
        return QStringLiteral("the date %1 cannot be read as %2")
            .arg(quoted(table, date), LoggerClock::caption(m.layout));
    out.moment = *seconds + m.offsetSeconds;
    if (!LoggerClock::texts(out.moment, out.when))
        return QStringLiteral("the date %1 with the clock offset is out of range").arg(quoted(table, date));

    // gauge: 0-based, or -1 for the temperature; its name is made only for a refusal.
    auto what = [](int gauge) {
        return gauge < 0 ? QStringLiteral("the temperature") : QStringLiteral("gauge %1").arg(gauge + 1);
    };
    auto number = [&](int field, int decimals, char* buf, int& len, int gauge, double low, double high, int& chars,
                      bool& given, double& value) {
        const QByteArrayView v = field >= 0 ? table.fieldBytes(row, field, scratch).trimmed() : QByteArrayView();
        chars = int(v.size());
        len = 0;
        given = false;
        value = qQNaN();
        if (isMissingCode(v, m.missingCodes)) return true;
        const int kind = strictFixed(v, decimals, buf, 32, &len, &value);
        if (kind == TooLarge) {
            problem = ImportChecks::tooLarge(what(gauge), shown(table, v), low, high);
            return false;
        }
        if (kind < 0) {
            problem = what(gauge) + QStringLiteral(" is not a number: ") + quoted(table, v);
            return false;
        }
        given = kind > 0;
        return true;
    };
    out.tempLen = -1;
    out.tempChars = 0;
    bool tempGiven = false;
    if (t.tempChannel && !number(m.tempField, 1, out.temp, out.tempLen, -1, t.tempLow, t.tempHigh, out.tempChars,
                                 tempGiven, out.tempValue))
        return problem;
    for (int k = 0; k < t.gauges && k < 10; ++k) {
        const int field = size_t(k) < m.gaugeFields.size() ? m.gaugeFields[size_t(k)] : -1;
        if (!number(field, 2, out.gauge[k], out.gaugeLen[k], k, t.low, t.high, out.gaugeChars[k], out.gaugeGiven[k],
                    out.gaugeValue[k]))
            return problem;
    }
    return ImportChecks::problem(t, out);
}

QString keyOf(const Target& t, const Built& b)
{
    return t.sensorId + u' ' + QLatin1StringView(b.when.date) + u' ' + QLatin1StringView(b.when.time);
}

Survey survey(const LoggerTable& table, const std::vector<bool>& selected, const Mapping& m, const Target& t,
              const LoggerTable::Progress& progress, bool keep)
{
    Survey s;
    s.storable.assign(size_t(table.rowCount()), false);
    const int gauges = std::clamp(t.gauges, 0, 10);
    // The kept texts are written straight into the buffer, grown as needed and cut to
    // what was written at the end.
    qsizetype keptSize = 0;
    if (keep) s.kept.resize(table.rowCount() * (gauges + (t.tempChannel ? 1 : 0)) * 8);
    auto keepText = [&s, &keptSize](const char* text, int length) {
        if (keptSize + 1 + length > s.kept.size()) s.kept.resize(std::max(2 * s.kept.size(), qsizetype(4096)));
        char* at = s.kept.data() + keptSize;
        *at = char(length);
        std::memcpy(at + 1, text, size_t(length));
        keptSize += 1 + length;
    };
    Built b;
    const qint64 total = table.rowCount();
    for (qsizetype r = 0; r < table.rowCount(); ++r) {
        if (progress && r % ProgressEvery == 0 && !progress(r, total)) {
            s.cancelled = true;
            s.kept.clear();
            return s;
        }
        if (size_t(r) >= selected.size() || !selected[size_t(r)]) continue;
        const QString problem = build(table, r, m, t, b);
        if (problem.isEmpty()) {
            s.storable[size_t(r)] = true;
            ++s.ready;
            s.moments.push_back(b.moment);
            if (keep) {
                if (t.tempChannel) keepText(b.temp, std::max(0, b.tempLen));
                for (int k = 0; k < gauges; ++k) keepText(b.gauge[k], b.gaugeLen[k]);
            }
        } else {
            s.refused.push_back({table.line(r), problem});
        }
    }
    if (keep) s.kept.truncate(keptSize);
    return s;
}

QString refusalSummary(const std::vector<Refusal>& refused, int shown)
{
    if (refused.empty()) return QString();
    QString text = refused.size() == 1 ? QStringLiteral("1 selected line cannot be stored:")
                                       : QStringLiteral("%1 selected lines cannot be stored:").arg(refused.size());
    for (size_t i = 0; i < refused.size() && int(i) < shown; ++i)
        text += QStringLiteral("\r\nline %1: %2").arg(refused[i].line).arg(refused[i].reason);
    if (int(refused.size()) > shown) text += QStringLiteral("\r\n... and %1 more").arg(refused.size() - size_t(shown));
    return text;
}

Outcome append(Database& db, const Target& t, const LoggerTable& table, const Survey& survey, const Mapping& m,
               const LoggerTable::Progress& progress, bool immediate, bool withValues)
{
    Outcome out;
    const bool byIndex = hasUniqueKeyIndex(db, t.sensorId);
    const QString name = SqlDialect::quoteName(t.sensorId);
    QString cols =
        QStringLiteral("DateTimeKey, ReadingDate, ReadingTime, FullDate, IsDirty, PlotSpatial, Plottemporal");
    // Plot Spatial is ticked afterwards on one reading per day (SpatialPerDay).
    QString marks = QStringLiteral("?, ?, ?, ?, 1, 0, 1");
    if (t.tempChannel) {
        cols += QStringLiteral(", ChannelT");
        marks += QStringLiteral(", ?");
    }
    const int gauges = std::clamp(t.gauges, 0, 10);
    for (int k = 1; k <= gauges; ++k) {
        cols += QStringLiteral(", Channel%1").arg(k);
        marks += QStringLiteral(", ?");
    }
    // Who added the readings and when (store/RowVersions.h), the same for the whole file.
    const bool versioned = RowVersions::present(db, t.sensorId);
    const QByteArray who = db.userName().toUtf8();
    const QByteArray when = RowVersions::now().toUtf8();
    if (versioned) {
        cols += QStringLiteral(", ") + RowVersions::insertColumns();
        marks += QStringLiteral(", ") + RowVersions::insertValues();
    }

    Transaction tx(db, immediate ? Transaction::Lock::Immediate : Transaction::Lock::Deferred);
    // The storable rows' moments as the survey found them; a survey made without them:
    // every row dated again.
    std::vector<qint64> rowMoments;
    if (survey.moments.size() == size_t(survey.ready) && survey.storable.size() == size_t(table.rowCount())) {
        rowMoments.assign(size_t(table.rowCount()), NoMoment);
        size_t next = 0;
        for (size_t r = 0; r < rowMoments.size(); ++r)
            if (survey.storable[r]) rowMoments[r] = survey.moments[next++];
    } else {
        rowMoments = moments(table, m);
    }
    const std::vector<bool> spatial = SpatialPerDay::forAppend(db, t.sensorId, rowMoments, survey.storable);
    const std::unique_ptr<Calc::AppendedValues> computed =
        withValues ? appendedValues(db, t.sensorId, rowMoments, survey.storable) : nullptr;
    const QStringList numberColumns = computed ? computed->columns() : QStringList();
    if (computed) {
        // The mark goes with each reading: cleared where its values are stored with it.
        const QString fixedMark = QStringLiteral("IsDirty, ");
        cols.remove(cols.indexOf(fixedMark), fixedMark.size());
        marks.remove(QStringLiteral("?, ?, ?, ?, ").size(), QStringLiteral("1, ").size());
        cols += QStringLiteral(", IsDirty");
        marks += QStringLiteral(", ?");
        for (const QString& c : numberColumns) {
            cols += QStringLiteral(", ") + c;
            marks += QStringLiteral(", ?");
        }
    }
    auto duplicate = [&out](QByteArrayView k) {
        ++out.duplicates;
        if (out.duplicateKeys.size() < MaxShownDuplicates) out.duplicateKeys << QString::fromUtf8(k.data(), k.size());
    };
    // With the key kept unique by the database, the rows go through the store's bulk
    // append (a duplicate is skipped by the database and told back); without, each key is
    // looked up first.
    std::optional<BulkInsert> bulk;
    std::optional<Statement> insert, lookup;
    if (byIndex) {
        QStringList textColumns{QStringLiteral("DateTimeKey"), QStringLiteral("ReadingDate"),
                                QStringLiteral("ReadingTime"), QStringLiteral("FullDate")};
        if (t.tempChannel) textColumns << QStringLiteral("ChannelT");
        for (int k = 1; k <= gauges; ++k) textColumns << QStringLiteral("Channel%1").arg(k);
        QStringList fixedColumns{QStringLiteral("PlotSpatial"), QStringLiteral("Plottemporal")};
        QStringList fixedValues{QStringLiteral("0"), QStringLiteral("1")};
        if (computed) {
            textColumns << QStringLiteral("IsDirty");
        } else {
            fixedColumns.prepend(QStringLiteral("IsDirty"));
            fixedValues.prepend(QStringLiteral("1"));
        }
        if (versioned) {
            auto literal = [](const QByteArray& text) {
                return u'\'' + QString::fromUtf8(text).replace(u'\'', QStringLiteral("''")) + u'\'';
            };
            fixedColumns << QLatin1String(RowVersions::VersionColumn) << QLatin1String(RowVersions::ByColumn)
                         << QLatin1String(RowVersions::AtColumn);
            fixedValues << QStringLiteral("1") << literal(who) << literal(when);
        }
        bulk.emplace(db, t.sensorId, textColumns, fixedColumns, fixedValues, duplicate, numberColumns);
    } else {
        insert.emplace(db, QStringLiteral("INSERT INTO ") + name + QStringLiteral(" (") + cols +
                               QStringLiteral(") VALUES (") + marks + u')');
        lookup.emplace(db, QStringLiteral("SELECT 1 FROM ") + name + QStringLiteral(" WHERE DateTimeKey = ? LIMIT 1"));
    }

    const QByteArray sensor = t.sensorId.toUtf8();
    char key[64 + 32];
    const bool keyFits = sensor.size() < 64;
    if (!keyFits) throw TwError(ErrNo::TypeMismatch, QStringLiteral("The sensor number is too long"));
    std::memcpy(key, sensor.constData(), size_t(sensor.size()));
    const int keyLen = int(sensor.size()) + 20;
    Built b;
    std::vector<double> numbers(size_t(numberColumns.size()));
    // The readings the survey kept are stored as it built them; else each row is built again.
    const bool fromKept = !survey.kept.isEmpty();
    qsizetype keptAt = 0;
    auto keptText = [&] {
        const int n = uchar(survey.kept[keptAt]);
        const QByteArrayView v(survey.kept.constData() + keptAt + 1, n);
        keptAt += 1 + n;
        return v;
    };
    const qint64 total = table.rowCount();
    qsizetype r = 0;
    // The append is one unit of the log: a failure repeated on many lines is written once.
    const LogBulkScope logScope(QStringLiteral("import"), [&] {
        return r < table.rowCount() ? QStringLiteral("line %1").arg(table.line(r)) : QString();
    });
    for (; r < table.rowCount(); ++r) {
        if (progress && r % ProgressEvery == 0 && !progress(r, total)) {
            out = Outcome{};
            out.cancelled = true;
            return out;  // the transaction rolls back: nothing stored
        }
        if (size_t(r) >= survey.storable.size() || !survey.storable[size_t(r)]) continue;
        if (fromKept) {
            if (!LoggerClock::texts(rowMoments[size_t(r)], b.when)) {  // dated by the survey: never
                for (int c = (t.tempChannel ? 1 : 0) + gauges; c > 0; --c) keptText();
                continue;
            }
        } else if (!build(table, r, m, t, b).isEmpty()) {
            continue;  // rows were checked by the survey; one that changed its mind is skipped
        }
        // The channels' texts, ChannelT first (taken before any skip, so the kept ones stay in step).
        QByteArrayView channels[1 + 10];
        int written = 0;
        if (fromKept) {
            for (int c = (t.tempChannel ? 1 : 0) + gauges; c > 0; --c) channels[written++] = keptText();
        } else {
            if (t.tempChannel) channels[written++] = QByteArrayView(b.temp, std::max(0, b.tempLen));
            for (int k = 0; k < gauges; ++k) channels[written++] = QByteArrayView(b.gauge[k], b.gaugeLen[k]);
        }
        key[sensor.size()] = ' ';
        std::memcpy(key + sensor.size() + 1, b.when.date, 10);
        key[sensor.size() + 11] = ' ';
        std::memcpy(key + sensor.size() + 12, b.when.time, 8);
        if (!byIndex) {
            lookup->bindUtf8(1, QByteArrayView(key, keyLen));
            const bool found = lookup->next();
            lookup->reset();
            if (found) {
                ++out.duplicates;
                if (out.duplicateKeys.size() < MaxShownDuplicates) out.duplicateKeys << QString::fromUtf8(key, keyLen);
                continue;
            }
        }
        QByteArrayView values[4 + 1 + 10 + 2 + 1];
        int p = 0;
        values[p++] = QByteArrayView(key, keyLen);
        values[p++] = QByteArrayView(b.when.date, 10);
        values[p++] = QByteArrayView(b.when.time, 8);
        values[p++] = QByteArrayView(b.when.stored, 19);
        for (int c = 0; c < written; ++c) values[p++] = channels[c];
        if (versioned && !bulk) {
            values[p++] = QByteArrayView(who);
            values[p++] = QByteArrayView(when);
        }
        if (computed) {
            // Channel1..Channel10 and ChannelT as they will be stored (null: empty).
            QByteArrayView texts[Calc::ChannelTColumn + 1];
            if (t.tempChannel) texts[Calc::ChannelTColumn] = channels[0];
            for (int k = 0; k < gauges; ++k) texts[k + 1] = channels[(t.tempChannel ? 1 : 0) + k];
            const bool done =
                !spatial[size_t(r)] && computed->compute(QByteArrayView(key, keyLen), texts, numbers.data());
            if (spatial[size_t(r)]) std::fill(numbers.begin(), numbers.end(), qQNaN());
            values[p++] = done ? QByteArrayView("0", 1) : QByteArrayView("1", 1);
        }
        if (bulk) {
            bulk->add(values, numbers.data());
            continue;
        }
        for (int i = 0; i < p; ++i) insert->bindUtf8Unchanged(i + 1, values[i]);
        for (size_t i = 0; i < numbers.size(); ++i) {
            if (std::isnan(numbers[i])) insert->bindNull(p + int(i) + 1);
            else insert->bind(p + int(i) + 1, numbers[i]);
        }
        if (insert->run() == 0) duplicate(values[0]);
        else ++out.appended;
    }
    if (bulk) {
        bulk->flush();
        out.appended += bulk->appended();
    }
    SpatialPerDay::mark(db, t.sensorId, rowMoments, spatial);
    if (progress && !progress(total, total)) {
        out = Outcome{};
        out.cancelled = true;
        return out;
    }
    tx.commit();
    return out;
}

QString duplicatesMessage(qint64 count, const QStringList& firstKeys)
{
    if (count <= 0) return QString();
    if (count == 1 && !firstKeys.isEmpty())
        return firstKeys[0] + QStringLiteral(" is a duplicate reading and cannot be appended.");
    constexpr int shown = 5;
    QString text = QString::number(count) + QStringLiteral(" readings are duplicates and cannot be appended:");
    for (int i = 0; i < firstKeys.size() && i < shown; ++i) text += QStringLiteral("\r\n") + firstKeys[i];
    if (count > shown) text += QStringLiteral("\r\n... and %1 more").arg(count - shown);
    return text;
}

}  // namespace LoggerReadings
