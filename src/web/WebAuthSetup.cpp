#include "web/WebAuthSetup.h"

#include "store/Database.h"
#include "web/AcknowledgeRoutes.h"
#include "web/PasswordFile.h"
#include "web/WebAuth.h"
#include "web/WebConnections.h"
#include "web/WebServer.h"

bool isLoopbackAddress(const QString& address)
{
    QString a = address.trimmed().toLower();
    if (a.startsWith(u'[') && a.endsWith(u']')) a = a.mid(1, a.size() - 2);
    if (a == QLatin1String("localhost") || a == QLatin1String("::1")) return true;
    const QStringList parts = a.split(u'.');
    if (parts.size() != 4 || parts.first() != QLatin1String("127")) return false;
    for (const QString& p : parts) {
        bool ok = false;
        const int n = p.toInt(&ok);
        if (!ok || n < 0 || n > 255) return false;
    }
    return true;
}

std::unique_ptr<WebAuth> makeWebAuth(const WebOptions& options, WebConnections& connections, QString* error,
                                     QString* warning)
{
    if (Database::isServerTarget(options.database)) {
        if (!options.passwordFile.isEmpty()) {
            *error = QStringLiteral(
                "--password-file is for a database file: on a database server people log in "
                "with their own database logins");
            return nullptr;
        }
        auto auth = std::make_unique<WebAuth>(WebAuth::Mode::ServerRoles, options.behindProxy);
        // A login is good when the server lets that role connect; its rights on the
        // alarm tables say whether it may acknowledge.
        auth->setServerLogin(
            [&connections](const Credentials& who) { return mayAcknowledge(connections.forThisThread(who)); });
        return auth;
    }
    if (options.passwordFile.isEmpty()) {
        if (!isLoopbackAddress(options.address)) {
            *error = QStringLiteral(
                         "Without --password-file the web view of a database file answers on the "
                         "loopback address only (127.0.0.1, ::1); give a password file to listen on %1")
                         .arg(options.address);
            return nullptr;
        }
        return std::make_unique<WebAuth>(WebAuth::Mode::OpenFile, options.behindProxy);
    }
    PasswordFile file;
    if (!file.load(options.passwordFile)) {
        *error = file.error();
        return nullptr;
    }
    if (file.size() == 0) {
        *error = QStringLiteral("%1: the password file names no login").arg(options.passwordFile);
        return nullptr;
    }
    *warning = PasswordFile::permissionWarning(options.passwordFile);
    auto auth = std::make_unique<WebAuth>(WebAuth::Mode::PasswordFile, options.behindProxy);
    auth->setPasswordFile(std::move(file));
    return auth;
}
