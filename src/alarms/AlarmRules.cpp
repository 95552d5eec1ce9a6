#include "alarms/AlarmRules.h"
#include "calc/Numbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace AlarmRules {

namespace {

// The smallest margin, so that a level of 0 still needs a value to move back to clear.
constexpr double MinimumMargin = 1e-9;

double marginOf(double level, double percent) { return std::max(std::fabs(level) * percent / 100.0, MinimumMargin); }

// The upper code (0..2) with hysteresis.
int upperCode(double v, const std::optional<double>& alert, const std::optional<double>& action, double pct, int prev)
{
    int raw = 0;
    if (action && v >= *action) raw = 2;
    else if (alert && v >= *alert) raw = 1;
    for (int l = prev; l > raw; --l) {
        const std::optional<double>& thr = l == 2 ? action : alert;
        if (thr && v > *thr - marginOf(*thr, pct)) return l;
    }
    return raw;
}

// The lower code (0..2) with hysteresis.
int lowerCode(double v, const std::optional<double>& alert, const std::optional<double>& action, double pct, int prev)
{
    int raw = 0;
    if (action && v <= *action) raw = 2;
    else if (alert && v <= *alert) raw = 1;
    for (int l = prev; l > raw; --l) {
        const std::optional<double>& thr = l == 2 ? action : alert;
        if (thr && v < *thr + marginOf(*thr, pct)) return l;
    }
    return raw;
}

QString levelWord(int code) { return std::abs(code) >= 2 ? QStringLiteral("Action") : QStringLiteral("Alert"); }

// Applies one family of values (loads, displacements or rates) to the states.
void applyFamily(const Levels& lv, States& st, const Sample& s, const Calc::Columns& values, const QString& prefix,
                 const QString& quantity, const std::optional<double>& alertUp, const std::optional<double>& actionUp,
                 const std::optional<double>& alertLow, const std::optional<double>& actionLow,
                 std::vector<Raised>& out)
{
    const bool rate = quantity == QLatin1String("Rate");
    for (int k = 1; k <= values.count; ++k) {
        const double v = values[k];
        // No value at this position (a missing or rejected gauge): the position stands
        // where it stood, neither raised nor cleared.
        if (std::isnan(v)) continue;
        const QString key = prefix + QString::number(k);
        PositionState& p = st.positions[key];
        const int before = p.known ? p.code : 0;
        int code;
        if (rate) {
            // The rate is judged on its size; the direction goes with the event.
            const int size = upperCode(std::fabs(v), alertUp, actionUp, lv.marginPercent, std::abs(before));
            code = size == 0 ? 0 : (v < 0 ? -size : size);
        } else {
            code = classify(v, alertUp, actionUp, alertLow, actionLow, lv.marginPercent, before);
        }
        const bool further = code != 0 && (std::abs(code) > std::abs(before) || (code > 0) != (before > 0));
        if (code != before) p.since = AlarmStore::stamp(s.when);
        p.code = code;
        p.value = v;
        p.known = true;
        if (!further) continue;
        Raised r;
        r.quantity = quantity;
        r.position = k;
        r.level = levelWord(code);
        if (rate) {
            r.direction = v < 0 ? QStringLiteral("falling") : QStringLiteral("rising");
            r.threshold = std::abs(code) >= 2 ? *actionUp : *alertUp;
        } else if (code > 0) {
            r.direction = QStringLiteral("upper");
            r.threshold = code >= 2 ? *actionUp : *alertUp;
        } else {
            r.direction = QStringLiteral("lower");
            r.threshold = code <= -2 ? *actionLow : *alertLow;
        }
        r.value = v;
        r.readingKey = s.key;
        r.readingDate = AlarmStore::stamp(s.when);
        out.push_back(r);
    }
}

int severityOf(int code)
{
    return std::abs(code) >= 2 ? int(Severity::Action) : code != 0 ? int(Severity::Alert) : int(Severity::Ok);
}

QString quantityOfKey(const QString& key)
{
    if (key.startsWith(u'L')) return QStringLiteral("Load");
    if (key.startsWith(u'D')) return QStringLiteral("Disp");
    if (key.startsWith(u'R')) return QStringLiteral("Rate");
    return QString();
}

}  // namespace

int classify(double value, const std::optional<double>& alertUpper, const std::optional<double>& actionUpper,
             const std::optional<double>& alertLower, const std::optional<double>& actionLower, double marginPercent,
             int previous)
{
    const int up = upperCode(value, alertUpper, actionUpper, marginPercent, std::max(previous, 0));
    if (up > 0) return up;
    const int low = lowerCode(value, alertLower, actionLower, marginPercent, std::max(-previous, 0));
    return -low;
}

std::optional<double> ratePerDay(const QDateTime& t0, double v0, const QDateTime& t1, double v1)
{
    const qint64 seconds = t0.secsTo(t1);
    if (seconds <= 0) return std::nullopt;
    return (v1 - v0) / (double(seconds) / 86400.0);
}

std::vector<Raised> step(const Levels& lv, States& st, const Sample& s)
{
    std::vector<Raised> out;
    if (s.loads && lv.anyLoad())
        applyFamily(lv, st, s, *s.loads, QStringLiteral("L"), QStringLiteral("Load"), lv.loadAlertUpper,
                    lv.loadActionUpper, lv.loadAlertLower, lv.loadActionLower, out);
    if (s.disps && lv.anyDisp())
        applyFamily(lv, st, s, *s.disps, QStringLiteral("D"), QStringLiteral("Disp"), lv.dispAlertUpper,
                    lv.dispActionUpper, lv.dispAlertLower, lv.dispActionLower, out);
    if (s.rates && lv.anyRate())
        applyFamily(lv, st, s, *s.rates, QStringLiteral("R"), QStringLiteral("Rate"), lv.rateAlert, lv.rateAction,
                    std::nullopt, std::nullopt, out);
    // Levels taken away since the last evaluation leave no position standing past them.
    for (auto it = st.positions.begin(); it != st.positions.end(); ++it) {
        const QString q = quantityOfKey(it.key());
        const bool on = (q == QLatin1String("Load") && lv.anyLoad()) || (q == QLatin1String("Disp") && lv.anyDisp()) ||
                        (q == QLatin1String("Rate") && lv.anyRate());
        if (!on) it->code = 0;
    }
    return out;
}

std::optional<Raised> checkStale(const Levels& lv, States& st, const QDateTime& lastReading, const QString& lastKey,
                                 const QDateTime& now)
{
    if (!lv.staleDays || !lastReading.isValid()) {
        st.stale = false;
        st.staleSince.clear();
        return std::nullopt;
    }
    const QDateTime limit = lastReading.addSecs(qint64(std::llround(*lv.staleDays * 86400.0)));
    const bool stale = now > limit;
    const bool became = stale && !st.stale;
    st.stale = stale;
    if (!stale) {
        st.staleSince.clear();
        return std::nullopt;
    }
    if (became) st.staleSince = AlarmStore::stamp(limit);
    if (!became) return std::nullopt;
    Raised r;
    r.quantity = QStringLiteral("Stale");
    r.level = QStringLiteral("Stale");
    r.threshold = *lv.staleDays;
    r.value = double(lastReading.secsTo(now)) / 86400.0;
    r.readingKey = lastKey;
    r.readingDate = AlarmStore::stamp(lastReading);
    return r;
}

Summary summarize(const States& st)
{
    Summary sum;
    int best = int(Severity::Ok);
    QString bestKey;
    double bestValue = 0;
    for (auto it = st.positions.cbegin(); it != st.positions.cend(); ++it) {
        if (!it->known) continue;
        const int sev = severityOf(it->code);
        const bool higher =
            sev > best || (sev == best && sev > int(Severity::Ok) && (sum.since.isEmpty() || it->since < sum.since));
        if (higher) {
            best = sev;
            bestKey = it.key();
            bestValue = it->value;
            sum.since = it->since;
        }
    }
    if (best > int(Severity::Ok)) {
        sum.status = Severity(best);
        const QString q = quantityOfKey(bestKey);
        const int k = bestKey.mid(1).toInt();
        sum.headline = positionText(q, k) + ' ' + valueText(q, bestValue);
        return sum;
    }
    if (st.stale) {
        sum.status = Severity::Stale;
        sum.since = st.staleSince;
        sum.headline = QStringLiteral("no reading for longer than the stale limit");
        return sum;
    }
    sum.status = Severity::Ok;
    sum.since.clear();
    // Within every level: name the largest load for a glance at how far it has to go.
    double largest = 0;
    QString key;
    for (auto it = st.positions.cbegin(); it != st.positions.cend(); ++it)
        if (it->known && it.key().startsWith(u'L') && (key.isEmpty() || std::fabs(it->value) > std::fabs(largest))) {
            key = it.key();
            largest = it->value;
        }
    if (!key.isEmpty())
        sum.headline = QStringLiteral("largest load ") + positionText(QStringLiteral("Load"), key.mid(1).toInt()) +
                       ' ' + valueText(QStringLiteral("Load"), largest);
    return sum;
}

QString valueText(const QString& quantity, double value) { return AlarmStore::valueText(quantity, value); }

QString positionText(const QString& quantity, int position) { return AlarmStore::positionText(quantity, position); }

QString States::encode() const
{
    QJsonObject o;
    for (auto it = positions.cbegin(); it != positions.cend(); ++it)
        if (it->known) o.insert(it.key(), QJsonArray{it->code, it->since, it->value});
    if (stale) o.insert(QStringLiteral("S"), QJsonArray{1, staleSince});
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

States States::decode(const QString& text)
{
    States st;
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonArray a = it.value().toArray();
        if (it.key() == QLatin1String("S")) {
            st.stale = a.at(0).toInt() != 0;
            st.staleSince = a.at(1).toString();
            continue;
        }
        PositionState p;
        p.code = std::clamp(a.at(0).toInt(), -2, 2);
        p.since = a.at(1).toString();
        p.value = a.at(2).toDouble();
        p.known = true;
        st.positions.insert(it.key(), p);
    }
    return st;
}

// ---- Levels typed by the user -----------------------------------------------------------

QString fieldCaption(Field f)
{
    switch (f) {
        case LoadAlertUpper:
            return QStringLiteral("Load Alert (upper)");
        case LoadActionUpper:
            return QStringLiteral("Load Action (upper)");
        case LoadAlertLower:
            return QStringLiteral("Load Alert (lower)");
        case LoadActionLower:
            return QStringLiteral("Load Action (lower)");
        case DispAlertUpper:
            return QStringLiteral("Displacement Alert (upper)");
        case DispActionUpper:
            return QStringLiteral("Displacement Action (upper)");
        case DispAlertLower:
            return QStringLiteral("Displacement Alert (lower)");
        case DispActionLower:
            return QStringLiteral("Displacement Action (lower)");
        case RateAlert:
            return QStringLiteral("Rate Alert");
        case RateAction:
            return QStringLiteral("Rate Action");
        case RateWindowDays:
            return QStringLiteral("Rate over (days)");
        case MarginPercent:
            return QStringLiteral("Margin to clear (%)");
        case StaleDays:
            return QStringLiteral("Stale after (days)");
        case FieldCount:
            break;
    }
    return QString();
}

Checked check(const Texts& texts)
{
    Checked c;
    std::array<std::optional<double>, FieldCount> v;
    for (int i = 0; i < FieldCount; ++i) {
        const QString t = texts[size_t(i)].trimmed();
        if (t.isEmpty()) continue;
        const std::optional<double> d = Numbers::tryLocaleValue(t);
        if (!d || !std::isfinite(*d)) {
            c.message = QStringLiteral("\"") + texts[size_t(i)] +
                        QStringLiteral("\" is not a number: please correct ") + fieldCaption(Field(i)) +
                        QStringLiteral(", or leave it empty to set no level.");
            c.field = i;
            return c;
        }
        v[size_t(i)] = d;
    }
    auto fail = [&](int field, const QString& message) {
        c.message = message;
        c.field = field;
        return c;
    };
    auto num = [&](int i) { return Numbers::plain(*v[size_t(i)]); };
    struct Side {
        int alertUp, actionUp, alertLow, actionLow;
        const char* name;
    };
    for (const Side& s : {Side{LoadAlertUpper, LoadActionUpper, LoadAlertLower, LoadActionLower, "load"},
                          Side{DispAlertUpper, DispActionUpper, DispAlertLower, DispActionLower, "displacement"}}) {
        const QString name = QLatin1String(s.name);
        if (v[size_t(s.alertUp)] && v[size_t(s.actionUp)] && !(*v[size_t(s.actionUp)] > *v[size_t(s.alertUp)]))
            return fail(s.actionUp, QStringLiteral("The upper Action level for ") + name + QStringLiteral(" (") +
                                        num(s.actionUp) + QStringLiteral(") must be above its upper Alert level (") +
                                        num(s.alertUp) + QStringLiteral(")."));
        if (v[size_t(s.alertLow)] && v[size_t(s.actionLow)] && !(*v[size_t(s.actionLow)] < *v[size_t(s.alertLow)]))
            return fail(s.actionLow, QStringLiteral("The lower Action level for ") + name + QStringLiteral(" (") +
                                         num(s.actionLow) + QStringLiteral(") must be below its lower Alert level (") +
                                         num(s.alertLow) + QStringLiteral(")."));
        // Every lower level lies below every upper level.
        double lowest = INFINITY, highest = -INFINITY;
        for (int i : {s.alertUp, s.actionUp})
            if (v[size_t(i)]) lowest = std::min(lowest, *v[size_t(i)]);
        for (int i : {s.alertLow, s.actionLow})
            if (v[size_t(i)]) highest = std::max(highest, *v[size_t(i)]);
        if (highest >= lowest)
            return fail(
                v[size_t(s.alertLow)] ? s.alertLow : s.actionLow,
                QStringLiteral("The lower levels for ") + name + QStringLiteral(" must be below its upper levels."));
    }
    for (int i : {int(RateAlert), int(RateAction), int(RateWindowDays), int(StaleDays)})
        if (v[size_t(i)] && !(*v[size_t(i)] > 0))
            return fail(i, fieldCaption(Field(i)) + QStringLiteral(" must be a number above 0."));
    if (v[RateAlert] && v[RateAction] && !(*v[RateAction] > *v[RateAlert]))
        return fail(RateAction, QStringLiteral("The rate Action level (") + num(RateAction) +
                                    QStringLiteral(") must be above the rate Alert level (") + num(RateAlert) +
                                    QStringLiteral(")."));
    if (v[MarginPercent] && (*v[MarginPercent] < 0 || *v[MarginPercent] > 50))
        return fail(MarginPercent, QStringLiteral("The margin to clear must be from 0 to 50 per cent."));

    Levels& l = c.levels;
    l.loadAlertUpper = v[LoadAlertUpper];
    l.loadActionUpper = v[LoadActionUpper];
    l.loadAlertLower = v[LoadAlertLower];
    l.loadActionLower = v[LoadActionLower];
    l.dispAlertUpper = v[DispAlertUpper];
    l.dispActionUpper = v[DispActionUpper];
    l.dispAlertLower = v[DispAlertLower];
    l.dispActionLower = v[DispActionLower];
    l.rateAlert = v[RateAlert];
    l.rateAction = v[RateAction];
    if (v[RateWindowDays]) l.rateWindowDays = *v[RateWindowDays];
    if (v[MarginPercent]) l.marginPercent = *v[MarginPercent];
    l.staleDays = v[StaleDays];
    return c;
}

Texts textsOf(const Levels& l)
{
    Texts t;
    auto put = [&](Field f, const std::optional<double>& v) {
        if (v) t[size_t(f)] = Numbers::plain(*v);
    };
    put(LoadAlertUpper, l.loadAlertUpper);
    put(LoadActionUpper, l.loadActionUpper);
    put(LoadAlertLower, l.loadAlertLower);
    put(LoadActionLower, l.loadActionLower);
    put(DispAlertUpper, l.dispAlertUpper);
    put(DispActionUpper, l.dispActionUpper);
    put(DispAlertLower, l.dispAlertLower);
    put(DispActionLower, l.dispActionLower);
    put(RateAlert, l.rateAlert);
    put(RateAction, l.rateAction);
    t[RateWindowDays] = Numbers::plain(l.rateWindowDays);
    t[MarginPercent] = Numbers::plain(l.marginPercent);
    put(StaleDays, l.staleDays);
    return t;
}

}  // namespace AlarmRules
