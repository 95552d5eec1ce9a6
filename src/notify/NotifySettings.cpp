#include "notify/NotifySettings.h"
#include "core/Paths.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

namespace NotifySettings {

namespace {

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

int rank(const QString& level)
{
    return level == QLatin1String("Action") ? 2 : level == QLatin1String("Alert") ? 1 : 0;
}

}  // namespace

Settings load(Database& db)
{
    QHash<QString, QString> v;
    QSqlQuery q = runQuery(db, QStringLiteral("SELECT Name, Value FROM AlarmNotifySettings"));
    while (q.next()) v.insert(q.value(0).toString(), q.value(1).toString());
    Settings s;
    s.smtpUrl = v.value(QStringLiteral("SmtpUrl"));
    s.smtpUser = v.value(QStringLiteral("SmtpUser"));
    s.smtpFrom = v.value(QStringLiteral("SmtpFrom"));
    s.requireTls = v.value(QStringLiteral("RequireTls")) == QLatin1String("1");
    s.hookCommand = v.value(QStringLiteral("HookCommand"));
    s.webAddress = v.value(QStringLiteral("WebAddress"));
    bool ok = false;
    if (const double h = v.value(QStringLiteral("ReminderHours")).toDouble(&ok); ok && h >= 0) s.reminderHours = h;
    if (const int m = v.value(QStringLiteral("CooldownMinutes")).toInt(&ok); ok && m >= 0) s.cooldownMinutes = m;
    return s;
}

void save(Database& db, const Settings& s)
{
    const QList<std::pair<QString, QString>> values = {
        {QStringLiteral("SmtpUrl"), s.smtpUrl.trimmed()},
        {QStringLiteral("SmtpUser"), s.smtpUser.trimmed()},
        {QStringLiteral("SmtpFrom"), s.smtpFrom.trimmed()},
        {QStringLiteral("RequireTls"), s.requireTls ? QStringLiteral("1") : QStringLiteral("0")},
        {QStringLiteral("HookCommand"), s.hookCommand.trimmed()},
        {QStringLiteral("ReminderHours"), QString::number(s.reminderHours)},
        {QStringLiteral("CooldownMinutes"), QString::number(s.cooldownMinutes)},
        {QStringLiteral("WebAddress"), s.webAddress.trimmed()},
    };
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM AlarmNotifySettings"));
    for (const auto& [name, value] : values)
        db.execute(QStringLiteral("INSERT INTO AlarmNotifySettings (Name, Value) VALUES (?, ?)"), {name, value});
    tx.commit();
}

bool webAddressAccepted(const QString& address)
{
    const QString a = address.trimmed();
    if (a.isEmpty()) return true;
    const QUrl url(a, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment() && url.userInfo().isEmpty();
}

std::vector<Recipient> recipients(Database& db)
{
    std::vector<Recipient> out;
    QSqlQuery q = runQuery(db, QStringLiteral("SELECT Address, MinLevel, MineLevel, Location FROM AlarmRecipients "
                                              "ORDER BY RecipientID"));
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toString(), {q.value(2).toString(), q.value(3).toString()}});
    return out;
}

void saveRecipients(Database& db, const std::vector<Recipient>& list)
{
    Transaction tx(db);
    db.execute(QStringLiteral("DELETE FROM AlarmRecipients"));
    for (const Recipient& r : list)
        db.execute(
            QStringLiteral("INSERT INTO AlarmRecipients (Address, MinLevel, MineLevel, Location) VALUES (?,?,?,?)"),
            {r.address.trimmed(), r.minLevel, r.group.mineLevel.trimmed(), r.group.location.trimmed()});
    tx.commit();
}

QStringList recipientsFor(Database& db, const QString& sensorId, const QString& level)
{
    return recipientsFor(recipients(db), groupOf(db, sensorId), level);
}

QStringList recipientsFor(const std::vector<Recipient>& list, const Group& g, const QString& level)
{
    QStringList out;
    for (const Recipient& r : list) {
        // Stale goes to everyone who gets Alert.
        const int needed = level == QLatin1String("Stale") ? 1 : rank(level);
        if (rank(r.minLevel) > needed || !matches(r.group, g)) continue;
        bool known = false;
        for (const QString& a : out) known = known || same(a, r.address);
        if (!known && !r.address.isEmpty()) out << r.address;
    }
    return out;
}

QString smtpPassword()
{
    if (qEnvironmentVariableIsSet("TARNWELL_SMTP_PASSWORD")) return qEnvironmentVariable("TARNWELL_SMTP_PASSWORD");
    QString path = qEnvironmentVariable("TARNWELL_SMTP_PASSWORD_FILE");
    if (path.isEmpty()) path = Paths::dataFolder() + QStringLiteral("/smtp-password");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readLine()).trimmed();
}

}  // namespace NotifySettings
