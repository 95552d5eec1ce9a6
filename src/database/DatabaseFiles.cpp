#include "database/DatabaseFiles.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/DatabaseCopy.h"
#include "store/Migrations.h"
#include "store/SqlDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DatabaseFiles {

namespace {

constexpr int PathFileAccessError = 75;
constexpr int UnrecognizedDatabase = 3049;

[[noreturn]] void fail(int number, const QString& text) { throw TwError(number, text); }

[[noreturn]] void failSqlite(sqlite3* db, int rc, const QString& what)
{
    const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    throw TwError(rc ? rc : ErrNo::DatabaseError, what + QStringLiteral(": ") + msg, storageKindOf(rc));
}

void step(const Hooks& hooks, Step s)
{
    if (hooks.beforeStep && !hooks.beforeStep(s)) {
        static const char* names[] = {"writing", "checking", "replacing"};
        fail(PathFileAccessError, QStringLiteral("Path/File access error (%1)").arg(QLatin1String(names[int(s)])));
    }
}

// A sqlite3 connection closed when it goes out of scope.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection()
    {
        if (db) sqlite3_close_v2(db);
    }
    void open(const QString& path, int flags)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
        if (rc != SQLITE_OK) failSqlite(db, rc, QStringLiteral("Cannot open ") + path);
    }
    void exec(const char* sql)
    {
        char* err = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            const QString msg = QString::fromUtf8(err ? err : "");
            sqlite3_free(err);
            fail(rc, msg);
        }
    }
};

// Removes a file unless released (the temporary files of the operations).
struct TempFile {
    QString path;
    bool keep = false;
    explicit TempFile(QString p) : path(std::move(p)) { QFile::remove(path); }
    ~TempFile()
    {
        if (!keep) QFile::remove(path);
    }
};

// Makes the file's bytes durable before it is renamed into place.
void syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) fail(PathFileAccessError, QStringLiteral("Cannot open ") + path);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0)
        fail(PathFileAccessError, QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                                      QString::fromLocal8Bit(std::strerror(errno)));
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Moves from over to in one step: to is either the old file or the new one, never a mix.
void replaceFile(const QString& from, const QString& to, const Hooks& hooks)
{
    step(hooks, Step::Replace);
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(PathFileAccessError, QStringLiteral("Cannot replace ") + to + QStringLiteral(": ") +
                                      QString::fromLocal8Bit(std::strerror(errno)));
    syncFolder(QFileInfo(to).absolutePath());
}

void checkWritten(const QString& path, const Hooks& hooks)
{
    if (hooks.afterWrite) hooks.afterWrite(path);
    step(hooks, Step::Check);
    checkOurDatabase(path);
}

// A copy written in full goes in place of the target: made durable, checked readable,
// then renamed over it in one step (from then on the copy is the target, not removed).
void putInPlace(TempFile& temp, const QString& target, const Hooks& hooks)
{
    syncFile(temp.path);
    checkWritten(temp.path, hooks);
    replaceFile(temp.path, target, hooks);
    temp.keep = true;
}

}  // namespace

QString backupFileName(const QDate& day)
{
    return QStringLiteral("HALYXbackup") + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".mdb");
}

QString nextBackupFileName(const QString& backupFolder, const QDate& day)
{
    const QDir folder(backupFolder);
    QString name = backupFileName(day);
    for (int n = 2; folder.exists(name); ++n)
        name = QStringLiteral("HALYXbackup") + day.toString(QStringLiteral("yyyy-MM-dd")) +
               QStringLiteral("_%1.mdb").arg(n);
    return name;
}

QString upgradeBackupFileName(const QDateTime& when)
{
    return QStringLiteral("HALYXbackup") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
           QStringLiteral("-before-upgrade.mdb");
}

QString restoreBackupFileName(const QDateTime& when)
{
    return QStringLiteral("HALYXbackup") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
           QStringLiteral("-before-restore.mdb");
}

QString ageText(const QDateTime& made, const QDateTime& now)
{
    const qint64 seconds = made.secsTo(now);
    if (seconds < 3600) return QStringLiteral("less than an hour ago");
    const qint64 days = made.date().daysTo(now.date());
    if (days == 0) {
        const qint64 hours = seconds / 3600;
        return hours == 1 ? QStringLiteral("an hour ago") : QStringLiteral("%1 hours ago").arg(hours);
    }
    if (days == 1) return QStringLiteral("yesterday");
    if (days < 62) return QStringLiteral("%1 days ago").arg(days);
    if (days < 730) return QStringLiteral("%1 months ago").arg(days * 12 / 365);
    return QStringLiteral("%1 years ago").arg(days / 365);
}

QStringList listBackups(const QString& backupFolder)
{
    QDir dir(backupFolder);
    if (!dir.exists()) return {};
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void checkOurDatabase(const QString& path, bool thorough)
{
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo(path).isFile()) fail(ErrNo::FileNotFound, QStringLiteral("File not found: ") + name);
    const QString notOurs = name + QStringLiteral(" is not a Tarnwell database");
    QFile readable(path);
    if (!readable.open(QIODevice::ReadOnly))
        throw TwError(ErrNo::PermissionDenied, name + QStringLiteral(" cannot be read: ") + readable.errorString(),
                      StorageKind::NoPermission);
    readable.close();
    if (!Database::looksLikeSqlite(path)) fail(UnrecognizedDatabase, notOurs);
    auto damaged = [&](const QString& verdict) {
        throw TwError(UnrecognizedDatabase, name + QStringLiteral(" is damaged: ") + verdict, StorageKind::Damaged);
    };
    Connection c;
    c.open(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    const char* check = thorough ? "PRAGMA integrity_check(20)" : "PRAGMA quick_check";
    if (sqlite3_prepare_v2(c.db, check, -1, &st, nullptr) != SQLITE_OK)
        damaged(QString::fromUtf8(sqlite3_errmsg(c.db)));
    QStringList verdict;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        verdict << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (rc != SQLITE_DONE) verdict << QString::fromUtf8(sqlite3_errmsg(c.db));
    sqlite3_finalize(st);
    if (verdict != QStringList{QStringLiteral("ok")}) damaged(verdict.join(QStringLiteral("; ")));

    QSet<QString> tables;
    if (sqlite3_prepare_v2(c.db, "SELECT lower(name) FROM sqlite_master WHERE type = 'table'", -1, &st, nullptr) !=
        SQLITE_OK)
        damaged(QString::fromUtf8(sqlite3_errmsg(c.db)));
    while (sqlite3_step(st) == SQLITE_ROW)
        tables.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
    sqlite3_finalize(st);
    for (const char* t : {"sensors", "configuration", "prefs", "sensordata"})
        if (!tables.contains(QLatin1String(t)))
            fail(UnrecognizedDatabase,
                 notOurs + QStringLiteral(" (it has no ") + QLatin1String(t) + QStringLiteral(" table)"));
}

QStringList unknownSteps(const QString& path)
{
    Connection c;
    c.open(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* st = nullptr;
    auto failed = [&] {
        failSqlite(c.db, sqlite3_errcode(c.db), QStringLiteral("Cannot read ") + QFileInfo(path).fileName());
    };
    if (sqlite3_prepare_v2(c.db,
                           "SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = 'schemamigrations'",
                           -1, &st, nullptr) != SQLITE_OK)
        failed();
    QByteArray table;
    if (sqlite3_step(st) == SQLITE_ROW) table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    // A database of release 1.0 has no record of steps: every step is still to come.
    if (table.isEmpty()) return {};
    QSet<QString> known;
    for (const Migrations::Migration& m : Migrations::all()) known.insert(QString::fromLatin1(m.id));
    const QByteArray sql = "SELECT MigrationID FROM \"" + table + "\" ORDER BY AppliedAt, MigrationID";
    if (sqlite3_prepare_v2(c.db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) failed();
    QStringList unknown;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QString id = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (!known.contains(id)) unknown << id;
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) failed();
    return unknown;
}

namespace {

// This release would not keep what a newer one added: its backup is never put in place.
void refuseNewer(const QString& backupPath)
{
    const QStringList newer = unknownSteps(backupPath);
    if (!newer.isEmpty())
        fail(UnrecognizedDatabase, QFileInfo(backupPath).fileName() +
                                       QStringLiteral(" was made by a newer version of Tarnwell (it has had ") +
                                       newer.join(QStringLiteral(", ")) + u')');
}

}  // namespace

QString restoreRefusal(const QString& backupPath)
{
    const QString name = QFileInfo(backupPath).fileName();
    const QString theBackup = QStringLiteral("The backup ") + name;
    QStringList newer;
    try {
        checkOurDatabase(backupPath, true);
        newer = unknownSteps(backupPath);
    } catch (const TwError& e) {
        if (e.number == ErrNo::FileNotFound) return theBackup + QStringLiteral(" could not be found.");
        if (e.storage == StorageKind::Damaged || e.storage == StorageKind::NoPermission)
            return theBackup + QStringLiteral(" is damaged or cannot be read.");
        if (e.number == UnrecognizedDatabase) return theBackup + QStringLiteral(" is not a Tarnwell database.");
        return theBackup + QStringLiteral(" cannot be read: ") + e.description;
    }
    if (!newer.isEmpty())
        return theBackup +
               QStringLiteral(
                   " was made by a newer version of Tarnwell than this one (its layout has "
                   "changes this version does not know: ") +
               newer.join(QStringLiteral(", ")) +
               QStringLiteral(
                   "). This version would not keep what they hold, so it does not restore it. Restore it "
                   "with the newer version, or choose a backup made with this version.");
    return QString();
}

QStringList removeLeftovers(const QString& backupFolder, const QString& databasePath)
{
    QStringList candidates;
    for (const QString& f :
         QDir(backupFolder)
             .entryList({QStringLiteral("*.partial"), QStringLiteral("*.partial-journal")}, QDir::Files | QDir::Hidden))
        candidates << QDir(backupFolder).filePath(f);
    if (!databasePath.isEmpty())
        candidates << databasePath + QStringLiteral(".restoring")
                   << databasePath + QStringLiteral(".restoring-journal");
    QStringList removed;
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile() && QFile::remove(path)) removed << path;
    return removed;
}

QString backupServer(Database& server, const QString& backupFolder, const QDate& day, const Hooks& hooks)
{
    return backupServerAs(server, backupFolder, nextBackupFileName(backupFolder, day), hooks);
}

void restoreServer(Database& server, const QString& backupPath)
{
    if (!server.isOpen() || !server.isServer()) fail(ErrNo::DatabaseError, QStringLiteral("The database is not open"));
    checkOurDatabase(backupPath);
    refuseNewer(backupPath);
    // The server takes the tables at this release's layout: a backup of an earlier one is
    // brought up to it in a copy of its own first.
    QTemporaryDir work;
    QString source = backupPath;
    bool older = false;
    {
        Database probe(QStringLiteral("tarnwell-server-restore-probe"));
        if (!probe.open(backupPath))
            fail(UnrecognizedDatabase,
                 QStringLiteral("The backup cannot be opened: ") + Database::describe(probe.openFailure()));
        older = !Migrations::status(probe).pending.isEmpty();
    }
    if (older) {
        if (!work.isValid()) fail(PathFileAccessError, QStringLiteral("Cannot make a temporary folder"));
        source = work.filePath(QStringLiteral("upgraded.mdb"));
        if (!QFile::copy(backupPath, source))
            fail(PathFileAccessError, QStringLiteral("Cannot copy ") + backupPath + QStringLiteral(" to ") + source);
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
        Database copy(QStringLiteral("tarnwell-server-restore-upgrade"));
        if (!copy.open(source))
            fail(UnrecognizedDatabase,
                 QStringLiteral("The backup cannot be opened: ") + Database::describe(copy.openFailure()));
        const Migrations::Result up = Migrations::upgrade(copy, {});
        if (up.outcome == Migrations::Outcome::Failed || up.outcome == Migrations::Outcome::Newer)
            fail(UnrecognizedDatabase,
                 QStringLiteral("The backup could not be brought up to this version's layout: ") + up.detail);
    }
    Database backup(QStringLiteral("tarnwell-server-restore"));
    if (!backup.open(source))
        fail(UnrecognizedDatabase,
             QStringLiteral("The backup cannot be opened: ") + Database::describe(backup.openFailure()));
    Transaction tx(server);
    for (const QString& t : server.tableNames())
        server.execute(QStringLiteral("DROP TABLE ") + SqlDialect::quoteName(t));
    const DatabaseCopy::Result r = DatabaseCopy::copy(backup, server);
    if (!r.ok) fail(ErrNo::DatabaseError, r.message);
    tx.commit();
}

QString backupServerAs(Database& server, const QString& backupFolder, const QString& fileName, const Hooks& hooks)
{
    if (!server.isOpen() || !server.isServer()) fail(ErrNo::DatabaseError, QStringLiteral("The database is not open"));
    if (!QDir().mkpath(backupFolder)) fail(PathFileAccessError, QStringLiteral("Cannot create ") + backupFolder);
    const QString target = QDir(backupFolder).filePath(fileName);
    TempFile temp(target + QStringLiteral(".partial"));
    step(hooks, Step::Write);
    if (hooks.progress) hooks.progress(0);
    {
        Database file(QStringLiteral("tarnwell-server-backup"));
        if (!file.create(temp.path)) fail(PathFileAccessError, QStringLiteral("Cannot create ") + temp.path);
        // Every table read in one snapshot of the server, whatever others write meanwhile.
        Transaction snapshot(server);
        server.executeOnServer(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        const DatabaseCopy::Result r = DatabaseCopy::copy(server, file);
        if (!r.ok) fail(ErrNo::DatabaseError, QStringLiteral("Backup failed: ") + r.message);
        file.close();
    }
    putInPlace(temp, target, hooks);
    if (hooks.progress) hooks.progress(1000);
    return target;
}

QString backup(sqlite3* source, const QString& backupFolder, const QDate& day, const Hooks& hooks)
{
    return backupAs(source, backupFolder, nextBackupFileName(backupFolder, day), hooks);
}

QString backupAs(sqlite3* source, const QString& backupFolder, const QString& fileName, const Hooks& hooks)
{
    if (!source) fail(ErrNo::DatabaseError, QStringLiteral("The database is not open"));
    if (!QDir().mkpath(backupFolder)) fail(PathFileAccessError, QStringLiteral("Cannot create ") + backupFolder);
    const QString target = QDir(backupFolder).filePath(fileName);
    TempFile temp(target + QStringLiteral(".partial"));

    step(hooks, Step::Write);
    {
        Connection dst;
        dst.open(temp.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        dst.exec("PRAGMA synchronous = OFF");
        dst.exec("PRAGMA journal_mode = OFF");
        sqlite3_backup* b = sqlite3_backup_init(dst.db, "main", source, "main");
        if (!b) failSqlite(dst.db, sqlite3_errcode(dst.db), QStringLiteral("Cannot start the backup"));
        // 1 MB of pages per step at the usual page size: progress without slowing the copy.
        const int pagesPerStep = 256;
        qint64 pageSize = 4096;
        {
            sqlite3_stmt* ps = nullptr;
            if (sqlite3_prepare_v2(source, "PRAGMA page_size", -1, &ps, nullptr) == SQLITE_OK &&
                sqlite3_step(ps) == SQLITE_ROW)
                pageSize = sqlite3_column_int64(ps, 0);
            sqlite3_finalize(ps);
        }
        int rc = SQLITE_OK;
        bool cancelled = false;
        while (true) {
            rc = sqlite3_backup_step(b, pagesPerStep);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                sqlite3_sleep(5);
                continue;
            }
            if (rc != SQLITE_OK && rc != SQLITE_DONE) break;
            const int total = sqlite3_backup_pagecount(b);
            const int left = sqlite3_backup_remaining(b);
            if (hooks.failAfterBytes >= 0 && qint64(total - left) * pageSize > hooks.failAfterBytes) {
                sqlite3_backup_finish(b);
                fail(PathFileAccessError, QStringLiteral("Disk write failed while writing ") + temp.path);
            }
            if (hooks.progress && !hooks.progress(total > 0 ? int(1000LL * (total - left) / total) : 1000)) {
                cancelled = true;
                break;
            }
            if (rc == SQLITE_DONE) break;
        }
        sqlite3_backup_finish(b);
        if (cancelled) return QString();
        if (rc != SQLITE_DONE) failSqlite(dst.db, rc, QStringLiteral("Backup failed"));
    }
    putInPlace(temp, target, hooks);
    if (hooks.progress) hooks.progress(1000);
    return target;
}

QString backupFile(const QString& databasePath, const QString& backupFolder, const QDate& day, const Hooks& hooks)
{
    if (!Database::looksLikeSqlite(databasePath))
        fail(UnrecognizedDatabase, QFileInfo(databasePath).fileName() + QStringLiteral(" is not a database"));
    Connection src;
    src.open(databasePath, SQLITE_OPEN_READONLY);
    return backup(src.db, backupFolder, day, hooks);
}

bool restore(const QString& backupPath, const QString& databasePath, const Hooks& hooks)
{
    checkOurDatabase(backupPath);
    refuseNewer(backupPath);
    const QString folder = QFileInfo(databasePath).absolutePath();
    TempFile temp(databasePath + QStringLiteral(".restoring"));

    step(hooks, Step::Write);
    QFile in(backupPath);
    if (!in.open(QIODevice::ReadOnly)) fail(PathFileAccessError, QStringLiteral("Cannot read ") + backupPath);
    QFile out(temp.path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(PathFileAccessError, QStringLiteral("Cannot write in ") + folder);
    const qint64 size = in.size();
    qint64 written = 0;
    constexpr qint64 Chunk = 4 * 1024 * 1024;
    while (!in.atEnd()) {
        QByteArray buf = in.read(Chunk);
        if (buf.isEmpty() && in.error() != QFile::NoError)
            fail(PathFileAccessError, QStringLiteral("Cannot read ") + backupPath);
        if (hooks.failAfterBytes >= 0 && written + buf.size() > hooks.failAfterBytes) {
            out.write(buf.constData(), hooks.failAfterBytes - written);
            fail(PathFileAccessError, QStringLiteral("Disk write failed while writing ") + temp.path);
        }
        if (out.write(buf) != buf.size())
            fail(PathFileAccessError,
                 QStringLiteral("Cannot write ") + temp.path + QStringLiteral(": ") + out.errorString());
        written += buf.size();
        if (hooks.progress && !hooks.progress(size > 0 ? int(1000 * written / size) : 1000)) return false;
    }
    if (!out.flush()) fail(PathFileAccessError, QStringLiteral("Cannot write ") + temp.path);
    out.close();
    in.close();
    // The restored file keeps the permissions of the one it replaces.
    if (QFileInfo::exists(databasePath)) QFile::setPermissions(temp.path, QFile::permissions(databasePath));
    putInPlace(temp, databasePath, hooks);
    // A journal left beside the old file by a crashed run belongs to that file, not to
    // the restored one: it must not be played into it.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) QFile::remove(databasePath + QLatin1String(suffix));
    return true;
}

namespace {

// Whether a file or folder may be written, by its permission bits (which count whoever
// runs the program, an administrator too) and by the system's answer for this user.
bool writable(const QString& path, bool folder)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return false;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return false;
    return ::access(name.constData(), folder ? (W_OK | X_OK) : W_OK) == 0;
}

}  // namespace

Compacted compact(const QString& folder, const QString& fileName, const Hooks& hooks, QString* skippedBecause)
{
    const QString path = folder + fileName;
    auto skip = [&](const QString& why) {
        if (skippedBecause) *skippedBecause = why;
        return Compacted::Skipped;
    };
    // A copy left beside the database by an earlier kind of compaction is a leftover.
    QFile::remove(folder + QStringLiteral("Copy_") + fileName);
    if (!QFileInfo(path).isFile()) fail(ErrNo::FileNotFound, QStringLiteral("File not found: ") + fileName);
    if (!Database::looksLikeSqlite(path))
        fail(UnrecognizedDatabase, fileName + QStringLiteral(" is not a database, or the file is damaged"));
    // The file is compacted where it is, so it keeps its identity, owner and permissions;
    // a file or folder that is not to be written is left alone.
    if (!writable(path, false)) return skip(QStringLiteral("the file is read-only"));
    if (!writable(QFileInfo(path).absolutePath(), true)) return skip(QStringLiteral("its folder is read-only"));

    step(hooks, Step::Write);
    Connection c;
    c.open(path, SQLITE_OPEN_READWRITE);
    if (sqlite3_db_readonly(c.db, "main") == 1) return skip(QStringLiteral("the file is read-only"));
    // VACUUM takes the database's exclusive lock for its whole run and rewrites the file
    // through its journal: a write of another connection is either in the file before it
    // starts or waits until it has finished, and a failure or a cancel rolls it all back.
    // While another connection holds a lock, it does not run at all.
    sqlite3_busy_timeout(c.db, 200);
    const qint64 sourceSize = QFileInfo(path).size();
    int rc = SQLITE_OK;
    bool cancelled = false;
    if (hooks.progress) {
        if (!hooks.progress(0)) return Compacted::Cancelled;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            rc = sqlite3_exec(c.db, "VACUUM", nullptr, nullptr, nullptr);
            done = true;
        });
        // The engine first builds the compacted content aside, then writes it into the file
        // (keeping the replaced pages in the journal): the first half of the bar is an
        // estimate from the time taken so far, the second follows the journal.
        const QString journal = path + QStringLiteral("-journal");
        const auto start = std::chrono::steady_clock::now();
        const double expectedBuildMs = 200.0 + double(sourceSize) / (150.0 * 1024 * 1024) * 1000.0;
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            const qint64 journaled = QFileInfo(journal).size();
            int permille = 0;
            if (journaled > 0 && sourceSize > 0) {
                permille = 500 + int(std::min<qint64>(499, journaled * 500 / sourceSize));
            } else {
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                permille = int(std::min(480.0, 500.0 * ms / expectedBuildMs));
            }
            // A cancel stops the work while the compacted content is being built; once it is
            // being written into the file, the engine finishes that (it is quick).
            if (!cancelled && !hooks.progress(permille)) {
                cancelled = true;
                sqlite3_interrupt(c.db);
            }
        }
        worker.join();
    } else {
        rc = sqlite3_exec(c.db, "VACUUM", nullptr, nullptr, nullptr);
    }
    if (cancelled && rc != SQLITE_OK) return Compacted::Cancelled;
    if (rc == SQLITE_OK) {
        if (hooks.progress) hooks.progress(1000);
        return Compacted::Done;
    }
    switch (storageKindOf(rc)) {
        case StorageKind::Locked:
            return skip(QStringLiteral("another connection is using the database"));
        case StorageKind::ReadOnly:
            return skip(QStringLiteral("the file or its folder is read-only"));
        default:
            break;
    }
    failSqlite(c.db, rc, QStringLiteral("Cannot compact"));
}

}  // namespace DatabaseFiles
