#include "web/WebAuthSetup.h"

#include "store/Database.h"
#include "web/AcknowledgeRoutes.h"
#include "web/PasswordFile.h"
#include "web/WebAuth.h"
#include "web/WebConnections.h"
#include "web/WebServer.h"

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
    // Without a password file: everyone on the address may look (WebServer::checkStart keeps
    // that address to this machine's own).
    if (options.passwordFile.isEmpty()) return std::make_unique<WebAuth>(WebAuth::Mode::OpenFile, options.behindProxy);
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
