// Backup, restore and compaction commands of the Utilities page.
#include "core/AppInfo.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorTrap.h"
#include "core/Messages.h"
#include "core/Paths.h"
#include "database/ConnectFailure.h"
#include "maintenance/DatabaseDialog.h"
#include "database/DatabaseOpening.h"
#include "maintenance/UtilitiesController.h"
#include "store/Database.h"
#include "session/Shared.h"
#include "widgets/BusyProgress.h"
#include "widgets/PageHost.h"
#include "widgets/SavedTo.h"

#include <QApplication>
#include <QLabel>
#include <QDateTime>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QTimer>

namespace {
const QString DatabaseName = QString::fromLatin1(Paths::DatabaseFileName);

// The file work's hooks with the progress window's progress added.
DatabaseFiles::Hooks withProgress(BusyProgress& busy, const DatabaseFiles::Hooks& base)
{
    DatabaseFiles::Hooks h = base;
    h.progress = [&busy, inner = base.progress](int permille) {
        if (inner && !inner(permille)) return false;
        return busy.advance(permille);
    };
    return h;
}

}  // namespace

void UtilitiesController::ListBackups()
{
    lstFiles->clear();
    const QStringList files = DatabaseFiles::listBackups(m_s.dataFolder + QStringLiteral("/HALYXbackup"));
    if (files.isEmpty()) return;
    // The heading is not a backup: it cannot be chosen, by mouse or keys.
    auto* heading = new QListWidgetItem(QStringLiteral("List of Backups:"));
    heading->setFlags(Qt::NoItemFlags);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setForeground(lstFiles->palette().brush(QPalette::Active, QPalette::Text));
    lstFiles->addItem(heading);
    lstFiles->addItems(files);
    lstFiles->setCurrentRow(-1);
}

void UtilitiesController::flushPendingEdits()
{
    // An edit begun on a recordset is written before the database is copied or re-opened,
    // so nothing typed is lost.
    for (auto* rs : {m_s.rsSensors.get(), m_s.rsReadings.get(), m_s.rsGraph.get()})
        if (rs && rs->isOpen() && rs->isEditing()) rs->update();
}

void UtilitiesController::closeDatabase()
{
    ignoringErrors([&] { m_win.stopBackgroundPasses(); });
    DatabaseOpening::close(m_s);
}

void UtilitiesController::onBackupClicked()
{
    runTrapped(QStringLiteral(" imgBackup_Click"), [&] {
        // The backup is copied from the open connection, so nothing is closed: the user
        // stays on the same sensor, with the same filter, on the same tab.
        flushPendingEdits();
        GBackupDB(m_s.dataFolder + '/', DatabaseName);
        ListBackups();
    });
}

void UtilitiesController::GBackupDB(const QString& folder, const QString& fileName)
{
    const QDate day = backupDay.isValid() ? backupDay : QDate::currentDate();
    // A damaged database is never copied over a good backup.
    const QString damaged = QStringLiteral("Error encountered during backup process of ") + fileName +
                            QStringLiteral(
                                "\r\n\r\nThe database is damaged, so no backup was made: a damaged copy "
                                "must not replace a good backup. The backups already in HALYXbackup were "
                                "kept; restore the database from one of them.");
    if (m_s.db.isOpen() && !m_s.db.knownDamage().isEmpty()) {
        Messages::show(damaged);
        WriteLog(
            trapMessage(ErrNo::DatabaseError,
                        QStringLiteral("The database is damaged: ") + m_s.db.knownDamage().join(QStringLiteral("; ")),
                        QStringLiteral(" GBackupDB")));
        return;
    }
    QString made;
    try {
        BusyProgress busy(m_win.widget(), QStringLiteral("Backing up ") + fileName + QStringLiteral("..."));
        const QString backupFolder = folder + QStringLiteral("HALYXbackup");
        // Copied from the open connection with the engine's online backup: a consistent
        // snapshot, including anything written during this run.
        // A team database on a server is written as a database file of its own.
        made = m_s.db.isServer() ? DatabaseFiles::backupServer(m_s.db, backupFolder, day, withProgress(busy, fileHooks))
               : m_s.db.isOpen()
                   ? DatabaseFiles::backup(m_s.db.sqliteHandle(), backupFolder, day, withProgress(busy, fileHooks))
                   : DatabaseFiles::backupFile(folder + fileName, backupFolder, day, withProgress(busy, fileHooks));
        if (made.isEmpty()) {
            Messages::show(QStringLiteral("The backup was cancelled. No backup was made."), AppInfo::MessageTitle,
                           Messages::Icon::Information);
            return;
        }
    } catch (const TwError& e) {
        Messages::show(
            e.storage == StorageKind::Damaged
                ? damaged
                : QStringLiteral("Error encountered during backup process of ") + fileName +
                      QStringLiteral("\r\n\r\n") + e.description +
                      QStringLiteral("\r\nNo backup was made; the backups already in HALYXbackup were kept."));
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" GBackupDB")));
        return;
    }
    // The day's earlier backups are kept: the box says which file this one is.
    showSavedTo(m_win.widget(), AppInfo::MessageTitle, made, QStringLiteral("Backup was successful"));
}

void UtilitiesController::onRestoreClicked()
{
    runTrapped(QStringLiteral(" imgRestore_Click"), [&] {
        // The heading line, or no line at all, names no backup.
        const int row = lstFiles->currentRow();
        if (row <= 0 || lstFiles->count() < 2) {
            Messages::show(QStringLiteral("Please choose a file from the list to restore from"));
            return;
        }
        const QString name = lstFiles->item(row)->text();
        // When the backup was made, so an old one is not taken for yesterday's; No is the
        // answer Enter gives.
        const QString backupFolder = m_s.dataFolder + QStringLiteral("/HALYXbackup");
        const QDateTime made = QFileInfo(backupFolder + '/' + name).lastModified();
        const QDateTime now = QDateTime::currentDateTime();
        const QString when = made.isValid()
                                 ? QStringLiteral("The backup ") + name + QStringLiteral(" was made ") +
                                       QLocale::system().toString(made, QLocale::ShortFormat) + QStringLiteral(" (") +
                                       DatabaseFiles::ageText(made, now) + QStringLiteral(").\r\n\r\n")
                                 : QString();
        const auto answer =
            Messages::show(when + QStringLiteral("Restoring Tarnwell from backup ") + name +
                               QStringLiteral("\r\nwill permanently overwrite current database. Continue?"),
                           QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::Exclamation,
                           Messages::Buttons::YesNo, Messages::Answer::No);
        if (answer != Messages::Answer::Yes) return;
        // Everything that can be known about the backup is checked before anything is
        // copied or replaced: a backup that cannot be used leaves all as it was.
        const QString backupPath = backupFolder + '/' + name;
        QApplication::setOverrideCursor(Qt::WaitCursor);  // the integrity check reads the whole backup
        const QString refusal = DatabaseFiles::restoreRefusal(backupPath);
        QApplication::restoreOverrideCursor();
        if (!refusal.isEmpty()) {
            Messages::show(QStringLiteral("Error encountered during restore process\r\n\r\n") + refusal +
                           QStringLiteral("\r\nThe database was not changed."));
            WriteLog(QStringLiteral("Restore from ") + name + QStringLiteral(" refused: ") + refusal +
                     QStringLiteral(" G_RestoreDB"));
            return;
        }
        // The database about to be replaced can be kept first, under a name no day's backup
        // takes.
        const QString keep = DatabaseFiles::restoreBackupFileName(now);
        const auto first =
            Messages::show(QStringLiteral("Back up the current database before it is replaced?\r\n\r\n") +
                               QStringLiteral("The copy is kept in the backup folder as\r\n") + keep,
                           QStringLiteral("Orrisford's TARNWELL"), Messages::Icon::Question,
                           Messages::Buttons::YesNoCancel, Messages::Answer::Yes);
        if (first == Messages::Answer::Cancel) return;
        flushPendingEdits();
        if (first == Messages::Answer::Yes && !backupBeforeRestore(backupFolder, keep)) return;
        bool restored = false;
        if (m_s.db.isServer()) {
            // A team database is replaced on the server, in one transaction of its own.
            closeDatabase();
            restored = restoreServer(backupPath, name);
        } else {
            closeDatabase();
            restored = GRestoreDB(m_s.dataFolder + '/', DatabaseName, name);
        }
        reopenDatabase();
        if (m_s.db.isOpen() && m_s.rsSensors && m_s.rsSensors->recordCount() == 0) m_win.fillSensorFields();
        ListBackups();
        // Said only once the restored database is open and in use.
        if (restored && m_s.db.isOpen())
            Messages::show(QStringLiteral("Restore was successful"), AppInfo::MessageTitle,
                           Messages::Icon::Information);
    });
}

bool UtilitiesController::backupBeforeRestore(const QString& backupFolder, const QString& fileName)
{
    QString made;
    try {
        BusyProgress busy(m_win.widget(), QStringLiteral("Backing up ") + DatabaseName + QStringLiteral("..."));
        const QString made =
            m_s.db.isServer()
                ? DatabaseFiles::backupServerAs(m_s.db, backupFolder, fileName, withProgress(busy, fileHooks))
            : m_s.db.isOpen()
                ? DatabaseFiles::backupAs(m_s.db.sqliteHandle(), backupFolder, fileName, withProgress(busy, fileHooks))
                : QString();
        if (made.isEmpty()) {
            Messages::show(QStringLiteral("The backup was cancelled. The database was not restored."),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return false;
        }
    } catch (const TwError& e) {
        Messages::show(
            QStringLiteral("The current database could not be backed up, so it was not replaced.\r\n") + e.description,
            AppInfo::MessageTitle, Messages::Icon::Exclamation);
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" GBackupDB")));
        return false;
    }
    return true;
}

bool UtilitiesController::GRestoreDB(const QString& folder, const QString& fileName, const QString& backupName)
{
    try {
        BusyProgress busy(m_win.widget(), QStringLiteral("Restoring ") + fileName + QStringLiteral(" from ") +
                                              backupName + QStringLiteral("..."));
        const QString backupPath = folder + QStringLiteral("HALYXbackup/") + backupName;
        if (!DatabaseFiles::restore(backupPath, folder + fileName, withProgress(busy, fileHooks))) {
            Messages::show(QStringLiteral("The restore was cancelled. The database was not changed."),
                           AppInfo::MessageTitle, Messages::Icon::Information);
            return false;
        }
    } catch (const TwError& e) {
        // Whatever failed, the database file was not touched: the backup is copied and
        // checked aside, and only a sound copy replaces it.
        QString why = DatabaseFiles::restoreRefusal(folder + QStringLiteral("HALYXbackup/") + backupName);
        if (why.isEmpty()) why = QStringLiteral("The backup could not be copied: ") + e.description;
        Messages::show(QStringLiteral("Error encountered during restore process\r\n\r\n") + why +
                       QStringLiteral("\r\nThe database was not changed."));
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_CompactDB")));
        return false;
    }
    return true;
}

bool UtilitiesController::restoreServer(const QString& backupPath, const QString& backupName)
{
    try {
        BusyProgress busy(m_win.widget(),
                          QStringLiteral("Restoring the team database from ") + backupName + QStringLiteral("..."));
        Database server(QStringLiteral("tarnwell-restore"));
        if (!server.open(m_s.databasePath, DatabaseChoice::password(m_s.databasePath)))
            throw TwError(ErrNo::DatabaseError, Database::describe(server.openFailure()), StorageKind::ServerGone);
        DatabaseFiles::restoreServer(server, backupPath);
    } catch (const TwError& e) {
        Messages::show(QStringLiteral("Error encountered during restore process\r\n\r\n") + e.description +
                       QStringLiteral("\r\nThe team database on the server was not changed."));
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_RestoreDB")));
        return false;
    }
    return true;
}

void UtilitiesController::reopenDatabase()
{
    Shared& s = m_s;
    closeDatabase();
    // The database in use stays the one chosen (a server, or another file).
    if (s.databasePath.isEmpty()) s.databasePath = s.dataFolder + '/' + DatabaseName;
    const auto closeWindow = [this] { QTimer::singleShot(0, m_win.widget(), [this] { m_win.widget()->close(); }); };
    const auto connect = [&] {
        DatabaseOpening::openAskingPassword(s.db, s.databasePath);
        s.connectionString = s.db.connectionString();
        m_win.widget()->setWindowTitle(DatabaseChoice::windowTitle(s.databasePath));
        if (s.db.isOpen()) return true;
        Messages::show(ConnectFailure::message(s.db, DatabaseChoice::display(s.databasePath)),
                       QStringLiteral("Database connection error"), Messages::Icon::Critical);
        return false;
    };
    // A backup from an earlier release is upgraded like any database the program opens;
    // the file may be another one now (a restore), so its structure is checked again.
    QString refusal;
    const DatabaseOpening::Outcome opened =
        DatabaseOpening::open(s, {connect, [this] { m_win.checkDatabaseStructure(); }}, &refusal);
    if (opened == DatabaseOpening::Outcome::Refused)
        Messages::show(refusal + QStringLiteral("\r\nProgram must exit"), QStringLiteral("Database connection error"),
                       Messages::Icon::Critical);
    if (opened != DatabaseOpening::Outcome::Opened) {
        closeWindow();
        return;
    }
    // The new Sensors recordset carries no filter.
    showFilterState(false);
    m_win.showSensorsAfterReopen();
}

void UtilitiesController::onDatabaseClicked()
{
    runTrapped(QStringLiteral(" imgDatabase_Click"), [&] {
        // Nothing typed is left behind: the sensor and reading pages saved theirs when the
        // Utilities tab was entered; an edit begun on a recordset is written now.
        flushPendingEdits();
        const QString inUse = m_s.databasePath;
        while (true) {
            const std::optional<QString> chosen =
                DatabaseDialog::ask(m_win.widget(), inUse, QStringLiteral("The database in use:"));
            if (!chosen) return;
            const QString target = chosen->isEmpty() ? Paths::databasePath() : *chosen;
            if (DatabaseChoice::display(target) == DatabaseChoice::display(inUse)) {
                Messages::show(QStringLiteral("That is the database in use; nothing was changed."),
                               QStringLiteral("Database"), Messages::Icon::Information);
                return;
            }
            const QString problem = DatabaseOpening::tryTarget(target, m_s.dataFolder);
            if (!problem.isEmpty()) {
                Messages::show(problem + QStringLiteral("\r\n\r\nTarnwell goes on with the database in use:\r\n") +
                                   DatabaseChoice::display(inUse),
                               QStringLiteral("Database"), Messages::Icon::Exclamation);
                continue;
            }
            DatabaseChoice::remember(*chosen);
            m_s.databasePath = target;
            reopenDatabase();
            if (!m_s.db.isOpen()) return;  // told; the window closes
            if (m_s.rsSensors && m_s.rsSensors->recordCount() == 0) m_win.fillSensorFields();
            WriteLog(QStringLiteral("Database changed to ") + DatabaseChoice::display(target));
            Messages::show(QStringLiteral("Tarnwell now uses\r\n") + DatabaseChoice::display(target) +
                               QStringLiteral("\r\n\r\nIt opens this database at every start from now on."),
                           QStringLiteral("Database"), Messages::Icon::Information);
            return;
        }
    });
}

void UtilitiesController::compactDatabase(const QString& folder, const QString& fileName)
{
    // Runs as the program ends. On a big database it shows its progress and may be
    // cancelled; the file is rewritten in place under its lock, so a cancel or a failure
    // leaves it exactly as it was (just not compacted). A file that is not to be written,
    // or one another program is using, is left alone: that is logged, not told.
    const bool gui = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    QString skipped;
    try {
        DatabaseFiles::Compacted done;
        if (gui) {
            BusyProgress busy(nullptr, QStringLiteral("Compacting ") + fileName + QStringLiteral("..."));
            done = DatabaseFiles::compact(folder, fileName, withProgress(busy, fileHooks), &skipped);
        } else {
            done = DatabaseFiles::compact(folder, fileName, fileHooks, &skipped);
        }
        if (done == DatabaseFiles::Compacted::Skipped)
            WriteLog(QStringLiteral("The database was not compacted: ") + skipped + QStringLiteral(" G_CompactDB"));
    } catch (const TwError& e) {
        Messages::show(QStringLiteral("Error compacting ") + fileName);
        WriteLog(trapMessage(e.number, e.description, QStringLiteral(" G_CompactDB")));
    }
}
