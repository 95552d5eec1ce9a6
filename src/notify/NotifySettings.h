#pragma once
#include "data/AlarmPlans.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Database;

// What the team set for alarm notifications, kept in the database so every program that
// records alarms sends alike: the mail server and sender, the command hook, the reminder
// and cool-down times, the web view's address, the recipients per level and group of sensors, and the response
// plans. The mail server's password is never stored: see smtpPassword. Failures throw
// TwError.
namespace NotifySettings {

struct Settings {
    QString smtpUrl;           // "smtp://host:587" (STARTTLS when offered) or "smtps://host:465" (TLS)
    QString smtpUser;          // empty: no login
    QString smtpFrom;          // the sender's address
    bool requireTls = false;   // refuse to send over a connection that is not encrypted
    QString hookCommand;       // a program (and its arguments) given each notification as JSON
    double reminderHours = 4;  // an unacknowledged Action episode is sent again after this
    int cooldownMinutes = 60;  // a crossing of the same position and level within this is held back
    QString webAddress;        // the web view's base address ("https://tarnwell.mine.example"); empty: no links
    bool mailOn() const { return !smtpUrl.trimmed().isEmpty() && !smtpFrom.trimmed().isEmpty(); }
    bool hookOn() const { return !hookCommand.trimmed().isEmpty(); }
};

Settings load(Database& db);
void save(Database& db, const Settings& s);

// Whether the messages can link to this web view address: empty (no links), or an http or
// https address with a host and nothing after its path (no query, no fragment).
bool webAddressAccepted(const QString& address);

// Groups of sensors and the response plans live with the alarm data (the report shows
// the plans too).
using AlarmPlans::Group;
using AlarmPlans::groupOf;
using AlarmPlans::matches;
using AlarmPlans::Plan;
using AlarmPlans::planFor;
using AlarmPlans::plans;
using AlarmPlans::savePlans;

// Who gets mail: an address, from which level ("Alert" takes Alert and Action; "Action"
// only Action), for which group.
struct Recipient {
    QString address;
    QString minLevel = QStringLiteral("Alert");
    Group group;
};
std::vector<Recipient> recipients(Database& db);
void saveRecipients(Database& db, const std::vector<Recipient>& list);

// The addresses that get mail for a sensor at a level (each once, in the order set).
QStringList recipientsFor(Database& db, const QString& sensorId, const QString& level);
// The same from a list of recipients and the sensor's group already read.
QStringList recipientsFor(const std::vector<Recipient>& list, const Group& sensor, const QString& level);
// The mail server's password: the environment variable TARNWELL_SMTP_PASSWORD, else the
// first line of the file named by TARNWELL_SMTP_PASSWORD_FILE, else of the file
// "smtp-password" in the program's settings folder. Empty when none is given.
QString smtpPassword();

}  // namespace NotifySettings
