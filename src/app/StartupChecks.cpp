// The main window's start-up checks and what it tells about the database file: the
// single-copy lock, the connection (with the offer to set up a database on an account
// that has none), whether the database can be written, the structural check in the
// background, and the faults of the file met later on.
#include "app/MainWindow.h"
#include "core/AppInfo.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorLog.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "core/StorageFault.h"
#include "database/ConnectFailure.h"
#include "maintenance/DatabaseDialog.h"
#include "database/DatabaseOpening.h"
#include "database/DatabaseFiles.h"
#include "setup/Installer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

namespace {

bool g_structureCheck = true;
MainWindow::DatabaseChooser g_chooser;

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The tags of the calculation passes, which store derived values rather than anything
// the user typed.
bool isCalculationTag(const QString& tag) { return tag == QLatin1String(" G_GetTemporalData"); }

// A backup or restore cut short (the program killed, the machine off) leaves its
// unfinished copy under a temporary name; before the database is opened no copy of the
// program on this machine is writing one.
void removeLeftoverCopies(const QString& databasePath)
{
    const QString database = DatabaseChoice::isServer(databasePath) ? QString() : databasePath;
    for (const QString& path : DatabaseFiles::removeLeftovers(Paths::backupFolder(), database))
        WriteLog(QStringLiteral("Removed ") + path + QStringLiteral(", left by an interrupted backup or restore"));
}

}  // namespace

void MainWindow::setStructureCheckEnabled(bool enabled) { g_structureCheck = enabled; }
void MainWindow::setDatabaseChooser(DatabaseChooser chooser) { g_chooser = std::move(chooser); }

QString MainWindow::instanceLockPath()
{
    QString host = QSysInfo::machineHostName();
    host.replace(u'/', u'_');
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tarnwell-") +
           (host.isEmpty() ? QStringLiteral("localhost") : host) + QStringLiteral(".lock");
}

bool MainWindow::takeInstanceLock()
{
    const QString path = instanceLockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_instanceLock = std::make_unique<QLockFile>(path);
    m_instanceLock->setStaleLockTime(0);
    if (m_instanceLock->tryLock(0)) return true;
    const QLockFile::LockError error = m_instanceLock->error();
    m_instanceLock.reset();
    // Only a lock held by a running copy turns this one away. A lock file that cannot be
    // made is said as such, and the program starts.
    if (error == QLockFile::LockFailedError) return false;
    const QString why = error == QLockFile::PermissionError
                            ? QStringLiteral("permission denied")
                            : QStringLiteral("its folder is missing or cannot be written");
    Messages::show(QStringLiteral("Tarnwell could not make its lock file\r\n") + native(path) +
                       QStringLiteral("\r\n(") + why +
                       QStringLiteral(").\r\n\r\nTarnwell uses that file to notice a second copy of itself; ") +
                       QStringLiteral("it starts anyway, so make sure it is not already running."),
                   AppInfo::MessageTitle, Messages::Icon::Exclamation);
    return true;
}

bool MainWindow::connectDatabase()
{
    Shared& s = m_shared;
    removeLeftoverCopies(s.databasePath);
    bool chosenNow = false;  // chosen in the Database dialog below: remembered once it opens
    while (true) {
        DatabaseOpening::openAskingPassword(s.db, s.databasePath);
        if (!s.db.isOpen() && s.db.openFailure() == Database::OpenFailure::NoFile &&
            DatabaseChoice::isDefault(s.databasePath)) {
            if (!offerNewDatabase()) return false;  // the user chose to quit
            s.db.open(s.databasePath);
        }
        s.connectionString = s.db.connectionString();
        if (s.db.isOpen()) {
            if (chosenNow)
                DatabaseChoice::remember(DatabaseChoice::isDefault(s.databasePath) ? QString() : s.databasePath);
            setWindowTitle(DatabaseChoice::windowTitle(s.databasePath));
            return true;
        }
        if (!s.db.isServerTarget(s.databasePath) && DatabaseChoice::isDefault(s.databasePath)) {
            Messages::show(ConnectFailure::message(s.db, s.databasePath), QStringLiteral("Database connection error"),
                           Messages::Icon::Critical);
            return false;
        }
        // Another database was chosen: the user may choose again.
        QString text = ConnectFailure::message(s.db, DatabaseChoice::display(s.databasePath));
        text.chop(QStringLiteral("\r\n\r\nProgram must exit").size());
        const int choice = Messages::choose(text, QStringLiteral("Database connection error"), Messages::Icon::Critical,
                                            {QStringLiteral("Database..."), QStringLiteral("Quit")}, 1);
        if (choice != 0) return false;
        const std::optional<QString> chosen =
            DatabaseDialog::ask(this, s.databasePath, QStringLiteral("The database that could not be opened:"));
        if (!chosen) return false;
        s.databasePath = chosen->isEmpty() ? Paths::databasePath() : *chosen;
        chosenNow = true;
    }
}

bool MainWindow::offerNewDatabase()
{
    const QString path = m_shared.databasePath;
    QString text = QStringLiteral("Tarnwell found no database for this account. It looked for\r\n") + native(path);
    if (!QFileInfo(m_shared.dataFolder).isDir()) text += QStringLiteral("\r\n(that folder does not exist yet)");
    text += QStringLiteral(
        "\r\n\r\nTarnwell can make the folder and a new database there, with the sensor types, the preferences "
        "and the manual; or the same with three demonstration sensors to try the program on. "
        "Or it can take a copy of a database file you already have, for example from another computer "
        "or a backup.");
    const QStringList choices = {QStringLiteral("Create an empty database"),
                                 QStringLiteral("Create it with demonstration data"),
                                 QStringLiteral("Use a copy of a database file..."), QStringLiteral("Quit")};
    while (true) {
        const int choice = Messages::choose(text, AppInfo::MessageTitle, Messages::Icon::Question, choices, 0);
        Installer::Options options;
        if (choice == 0 || choice == 1) {
            options.demo = choice == 1;
        } else if (choice == 2) {
            options.copyFrom =
                g_chooser ? g_chooser(this)
                          : QFileDialog::getOpenFileName(this, QStringLiteral("Database file to use"), QDir::homePath(),
                                                         QStringLiteral("Tarnwell databases (*.mdb);;All files (*)"));
            if (options.copyFrom.isEmpty()) continue;
        } else {
            return false;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const Installer::Result r = Installer::setUp(options);
        QApplication::restoreOverrideCursor();
        if (r.ok) return true;
        const bool made = QFileInfo::exists(path);
        Messages::show((made ? QStringLiteral("The database was set up, but not everything went well:\r\n\r\n")
                             : QStringLiteral("Tarnwell could not set up the database; nothing was changed:\r\n\r\n")) +
                           r.lines.join(QStringLiteral("\r\n")),
                       AppInfo::MessageTitle, Messages::Icon::Exclamation);
        if (made) return true;
    }
}

void MainWindow::tellWriteAccess()
{
    const Shared& s = m_shared;
    QString found;
    QString until = QStringLiteral("the file and its folder can be written and Tarnwell is started again.");
    const Database::WriteAccess access = m_shared.db.probeWriteAccess();
    switch (access) {
        case Database::WriteAccess::Writable:
            return;
        case Database::WriteAccess::ReadOnlyFile:
            found = QStringLiteral("the file is read-only");
            break;
        case Database::WriteAccess::ReadOnlyFolder:
            found = QStringLiteral(
                "its folder is read-only, and every save keeps a journal file there while it is written");
            break;
        case Database::WriteAccess::Locked:
            found = QStringLiteral("another program is using it and has locked it");
            until = QStringLiteral("that program lets it go; every save tries again.");
            break;
    }
    m_viewOnly = true;
    m_toldKinds.insert(int(access == Database::WriteAccess::Locked ? StorageKind::Locked : StorageKind::ReadOnly));
    WriteLog(QStringLiteral("The database ") + s.databasePath + QStringLiteral(" cannot be written: ") + found);
    Messages::show(QStringLiteral("Tarnwell can show this database but cannot save to it: ") + found +
                       QStringLiteral(".\r\n\r\n") + native(s.databasePath) +
                       QStringLiteral("\r\n\r\nYou can look at sensors, readings and charts (as last calculated). "
                                      "Nothing you change can be saved until ") +
                       until,
                   AppInfo::MessageTitle, Messages::Icon::Exclamation);
}

void MainWindow::checkDatabaseStructure()
{
    if (!g_structureCheck || !m_shared.db.isOpen() || m_shared.db.structureCheckRunning()) return;
    m_shared.db.startStructureCheck([this](const StructureCheck::Outcome& o) { onStructureChecked(o); });
}

void MainWindow::onStructureChecked(const StructureCheck::Outcome& outcome)
{
    if (!outcome.damaged) return;
    WriteLog(QStringLiteral("The structural check of ") + m_shared.databasePath + QStringLiteral(" found damage: ") +
             outcome.problems.join(QStringLiteral("; ")));
    QStringList shown = outcome.problems.mid(0, 3);
    if (outcome.problems.size() > 3) shown << QStringLiteral("...");
    m_toldKinds.insert(int(StorageKind::Damaged));
    Messages::show(
        QStringLiteral("The database ") + QString::fromLatin1(Paths::DatabaseFileName) +
            QStringLiteral(" is damaged. The check of its structure found:\r\n") + shown.join(QStringLiteral("\r\n")) +
            QStringLiteral("\r\n\r\nWhat can still be read is shown, but saving into a damaged database may "
                           "lose more. Restore it from a backup: on the \"9. Utilities\" tab choose a backup "
                           "and click \"Restore from Backup\". Backup Database refuses to copy a damaged "
                           "database, so the backups you have stay as they are."),
        AppInfo::MessageTitle, Messages::Icon::Critical);
}

void MainWindow::tellStorageFault(const TwError& error, const QString& tag)
{
    const int kind = int(error.storage);
    // One action tells one fault once, though several of its steps may meet it.
    if (m_toldThisAction.contains(kind)) return;
    // The calculation passes store derived values: once told, the charts simply show
    // what is stored.
    const bool derived = isCalculationTag(tag);
    if (derived && m_toldKinds.contains(kind)) return;
    if (m_toldThisAction.isEmpty()) QTimer::singleShot(0, this, [this] { m_toldThisAction.clear(); });
    m_toldThisAction.insert(kind);
    m_toldKinds.insert(kind);
    const QString reason = StorageFault::reason(error);
    const QString text =
        derived
            ? QStringLiteral("The calculated values could not be stored: ") + reason +
                  QStringLiteral(".\r\nThe chart shows the values stored by the last calculation that could be saved.")
            : QStringLiteral("Tarnwell could not finish that: ") + reason +
                  QStringLiteral(".\r\nIt was not saved; everything saved before is kept.");
    Messages::show(text + QStringLiteral("\r\n\r\n") + StorageFault::remedy(error), AppInfo::MessageTitle,
                   Messages::Icon::Exclamation);
}

bool MainWindow::askKeepTyped(const TwError& error, const QString& what)
{
    m_toldThisAction.insert(int(error.storage));
    if (m_toldThisAction.size() == 1) QTimer::singleShot(0, this, [this] { m_toldThisAction.clear(); });
    m_toldKinds.insert(int(error.storage));
    const int choice =
        Messages::choose(what + QStringLiteral(" could not be saved: ") + StorageFault::reason(error) +
                             QStringLiteral(".\r\n\r\n") + StorageFault::remedy(error) +
                             QStringLiteral("\r\n\r\nKeep what you typed on screen, to save it later, or discard it?"),
                         AppInfo::MessageTitle, Messages::Icon::Exclamation,
                         {QStringLiteral("Keep it on screen"), QStringLiteral("Discard it")}, 0);
    return choice != 1;
}
