#include "database/DatabaseOpening.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/TwError.h"
#include "data/Preferences.h"
#include "data/SensorData.h"
#include "database/ConnectFailure.h"
#include "database/DatabaseUpgrade.h"
#include "session/Shared.h"
#include "store/Database.h"

#include <QDir>

namespace DatabaseOpening {

namespace {

const QString Title = QStringLiteral("Database");

QString tryOpening(const QString& target, const QString& dataFolder);

}  // namespace

bool openAskingPassword(Database& db, const QString& target)
{
    if (db.open(target, DatabaseChoice::password(target))) return true;
    if (!db.isServerTarget(target)) return false;
    const bool hadPassword = !DatabaseChoice::password(target).isEmpty();
    if (db.openFailure() == Database::OpenFailure::NoPassword && !hadPassword) {
        const std::optional<QString> password = Messages::promptPassword(
            QStringLiteral("The database server asks for a password for\r\n") + DatabaseChoice::display(target), Title);
        if (!password || password->isEmpty()) return false;
        if (db.open(target, *password)) {
            DatabaseChoice::keepPassword(target, *password);
            return true;
        }
    }
    // A password that did not open it is not tried again.
    DatabaseChoice::keepPassword(target, QString());
    return false;
}

QString tryTarget(const QString& target, const QString& dataFolder)
{
    try {
        return tryOpening(target, dataFolder);
    } catch (const TwError& e) {
        return QStringLiteral("Tarnwell could not use\r\n") + DatabaseChoice::display(target) + QStringLiteral("\r\n") +
               e.description;
    }
}

namespace {

QString tryOpening(const QString& target, const QString& dataFolder)
{
    Database db(QStringLiteral("tarnwell-database-choice"));
    if (!openAskingPassword(db, target)) {
        QString text = ConnectFailure::message(db, DatabaseChoice::display(target));
        text.chop(QStringLiteral("\r\n\r\nProgram must exit").size());
        return text;
    }
    if (!db.tableExists(QStringLiteral("Sensors")))
        return DatabaseChoice::isServer(target)
                   ? DatabaseChoice::display(target) +
                         QStringLiteral(
                             "\r\nholds no Tarnwell tables yet. Its administrator makes it ready once with\r\n"
                             "tarnwell-setup --server ") +
                         DatabaseChoice::display(target)
                   : QDir::toNativeSeparators(target) +
                         QStringLiteral("\r\nis not a Tarnwell database (it has no sensors table).");
    QString refusal;
    if (!DatabaseUpgrade::upgradeOpenDatabase(db, dataFolder, &refusal)) return refusal;
    return QString();
}

}  // namespace

Outcome open(Shared& s, const Steps& steps, QString* refusal)
{
    if (!steps.connect()) return Outcome::NotConnected;
    QString why;
    if (!DatabaseUpgrade::upgradeOpenDatabase(s.db, s.dataFolder, &why)) {
        s.db.close();
        if (refusal) *refusal = why;
        return Outcome::Refused;
    }
    if (steps.whenUpgraded) steps.whenUpgraded();
    SessionData::openRecordset(s, s.rsConfig, QStringLiteral("SELECT * FROM Configuration ORDER BY SensorType"));
    s.rsConfig->moveFirst();
    SessionData::GetPrefs(s);
    SessionData::openRecordset(s, s.rsSensors, QStringLiteral("SELECT Sensors.* FROM Sensors ORDER BY InstrumentID;"));
    return Outcome::Opened;
}

void close(Shared& s)
{
    ignoringErrors([&] { s.rsGraph.reset(); });
    ignoringErrors([&] { s.rsReadings.reset(); });
    ignoringErrors([&] { s.rsSensors.reset(); });
    ignoringErrors([&] { s.rsPrefs.reset(); });
    ignoringErrors([&] { s.rsConfig.reset(); });
    s.savedReadingBookmark = 0;
    s.rememberedPosition = 0;
    if (s.db.isOpen()) s.db.close();
}

}  // namespace DatabaseOpening
