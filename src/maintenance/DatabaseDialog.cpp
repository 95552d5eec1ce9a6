#include "maintenance/DatabaseDialog.h"
#include "core/DatabaseChoice.h"
#include "core/TwError.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "store/Database.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace DatabaseDialog {

namespace {

FileChooser g_chooser;
const QString Title = QStringLiteral("Database");

QString chooseFile(QWidget* parent, const QString& startFolder)
{
    if (g_chooser) return g_chooser(parent, startFolder);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Database file to use"), startFolder,
                                        QStringLiteral("Tarnwell databases (*.mdb);;All files (*)"));
}

QString describe(const QString& target)
{
    if (DatabaseChoice::isDefault(target))
        return QDir::toNativeSeparators(Paths::databasePath()) +
               QStringLiteral("\r\n(this account's own database file)");
    if (DatabaseChoice::isServer(target))
        return DatabaseChoice::display(target) + QStringLiteral("\r\n(a team database on a PostgreSQL server)");
    return QDir::toNativeSeparators(target) + QStringLiteral("\r\n(a database file)");
}

// The address of a server, asked until it is a usable one or the user cancels.
std::optional<QString> askAddress(const QString& now)
{
    QString typed = DatabaseChoice::isServer(now) ? DatabaseChoice::display(now)
                                                  : QStringLiteral("postgresql://") + qEnvironmentVariable("USER") +
                                                        QStringLiteral("@localhost:5432/tarnwell");
    while (true) {
        const std::optional<QString> answer = Messages::prompt(
            QStringLiteral("The address of the team database on its PostgreSQL server:\r\n"
                           "postgresql://user@host:port/dbname\r\n\r\n"
                           "Leave the password out: it comes from ~/.pgpass, or Tarnwell asks for it once per run "
                           "and never keeps it."),
            Title, typed);
        if (!answer) return std::nullopt;
        typed = answer->trimmed();
        if (!DatabaseChoice::isServer(typed)) {
            Messages::show(QStringLiteral("A server address begins postgresql:// (for example "
                                          "postgresql://user@host:5432/tarnwell). For a database file, choose "
                                          "\"Database file...\" instead."),
                           Title, Messages::Icon::Exclamation);
            continue;
        }
        const DatabaseChoice::Checked c = DatabaseChoice::check(typed);
        if (!c.problem.isEmpty()) {
            Messages::show(c.problem, Title, Messages::Icon::Exclamation);
            continue;
        }
        if (!c.password.isEmpty()) {
            DatabaseChoice::keepPassword(c.target, c.password);
            Messages::show(QStringLiteral("The password was taken out of the address: Tarnwell never keeps a "
                                          "password. It is used for this run only. For later runs put it in "
                                          "~/.pgpass, or Tarnwell asks for it."),
                           Title, Messages::Icon::Information);
        }
        return c.target;
    }
}

}  // namespace

void setFileChooser(FileChooser chooser) { g_chooser = std::move(chooser); }

std::optional<QString> ask(QWidget* parent, const QString& now, const QString& heading)
{
    const QStringList choices = {QStringLiteral("Database file..."), QStringLiteral("Server address..."),
                                 QStringLiteral("This account's own file"), QStringLiteral("Cancel")};
    while (true) {
        const int choice = Messages::choose(
            heading + QStringLiteral("\r\n") + describe(now) +
                QStringLiteral("\r\n\r\nTarnwell's data can be in a database file, in a team database on a PostgreSQL "
                               "server, or in this account's own database file. Tarnwell remembers the choice for "
                               "you; it never keeps a password."),
            Title, Messages::Icon::Question, choices, 3);
        if (choice == 0) {
            const QString start = !DatabaseChoice::isServer(now) && !DatabaseChoice::isDefault(now)
                                      ? QFileInfo(now).absolutePath()
                                      : Paths::dataFolder();
            const QString path = chooseFile(parent, start);
            if (path.isEmpty()) continue;
            const DatabaseChoice::Checked c = DatabaseChoice::check(path);
            if (!c.problem.isEmpty()) {
                Messages::show(c.problem, Title, Messages::Icon::Exclamation);
                continue;
            }
            return DatabaseChoice::isDefault(c.target) ? QString() : c.target;
        }
        if (choice == 1) {
            if (const std::optional<QString> address = askAddress(now)) return address;
            continue;
        }
        if (choice == 2) return QString();
        return std::nullopt;
    }
}

}  // namespace DatabaseDialog
