#include "store/Migrations.h"
#include "core/TwError.h"
#include "store/AlarmEpisodeTables.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/ReadingEdits.h"
#include "store/RowVersions.h"
#include "store/ServerChanges.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSet>
#include <QVariant>

namespace Migrations {

namespace {

const QString RecordTable = QStringLiteral("SchemaMigrations");

// The record of applied steps itself. Its presence is what tells a database of release 1.0
// (no record, every step pending) from a later one.
void createRecordTable(Database& db)
{
    db.execute(
        QStringLiteral("CREATE TABLE SchemaMigrations (MigrationID TEXT PRIMARY KEY NOT NULL, "
                       "AppliedAt TEXT NOT NULL, AppliedBy TEXT, ProgramVersion TEXT)"));
}

bool hasRecordTable(Database& db) { return db.tableExists(RecordTable); }

QString loginName() { return Database::loginName(); }

QString programVersion()
{
    return QStringLiteral("%1.%2.%3")
        .arg(TARNWELL_VERSION_MAJOR)
        .arg(TARNWELL_VERSION_MINOR)
        .arg(TARNWELL_VERSION_PATCH);
}

// Column maps of logger files with named columns, per sensor and file layout, and the
// record of the files imported without anyone at the screen (each file once).
void createLoggerMapTables(Database& db)
{
    db.execute(
        QStringLiteral("CREATE TABLE LoggerMaps (SensorID TEXT NOT NULL, Signature TEXT NOT NULL, Format TEXT, "
                       "DateColumn TEXT, DateLayout INTEGER, TempColumn TEXT, GaugeColumns TEXT, "
                       "ClockOffsetHours REAL, SavedAt TEXT, PRIMARY KEY (SensorID, Signature))"));
    db.execute(
        QStringLiteral("CREATE TABLE ImportedFiles (ContentHash TEXT NOT NULL, FileSize INTEGER NOT NULL, "
                       "FileName TEXT NOT NULL, ImportedAt TEXT, Sensors TEXT, Appended INTEGER, "
                       "PRIMARY KEY (ContentHash, FileSize, FileName))"));
}

// The codes a logger writes for "no reading", kept with each column map.
void addMapMissingCodes(Database& db)
{
    db.execute(QStringLiteral("ALTER TABLE LoggerMaps ADD COLUMN MissingCodes TEXT"));
}

// Alarm levels per sensor, the events raised when a reading passes one (kept whatever
// happens to the readings: an event holds its reading's key, date and value), and each
// sensor's last evaluated state (its status, the level each gauge position stands at,
// and what the evaluation last saw, so the next one reads only what is new).
void createAlarmTables(Database& db)
{
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmLevels (SensorID TEXT PRIMARY KEY NOT NULL, "
        "LoadAlertUpper REAL, LoadActionUpper REAL, LoadAlertLower REAL, LoadActionLower REAL, "
        "DispAlertUpper REAL, DispActionUpper REAL, DispAlertLower REAL, DispActionLower REAL, "
        "RateAlert REAL, RateAction REAL, RateWindowDays REAL, MarginPercent REAL, StaleDays REAL, SavedAt TEXT)"));
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmEvents (EventID INTEGER PRIMARY KEY AUTOINCREMENT, SensorID TEXT NOT NULL, "
        "Quantity TEXT NOT NULL, Position INTEGER, Level TEXT NOT NULL, Direction TEXT, Threshold REAL, Value REAL, "
        "ReadingKey TEXT, ReadingDate TEXT, RaisedAt TEXT NOT NULL, Notified INTEGER NOT NULL DEFAULT 0, "
        "AckBy TEXT, AckAt TEXT, AckNote TEXT)"));
    db.execute(QStringLiteral("CREATE INDEX AlarmEvents_Sensor ON AlarmEvents (SensorID, ReadingDate)"));
    db.execute(QStringLiteral("CREATE INDEX AlarmEvents_Open ON AlarmEvents (AckAt, Notified)"));
    db.execute(QStringLiteral(
        "CREATE TABLE AlarmState (SensorID TEXT PRIMARY KEY NOT NULL, Status TEXT, Since TEXT, Headline TEXT, "
        "Positions TEXT, LastKey TEXT, LastFullDate TEXT, LastValues TEXT, Signature TEXT, EvaluatedAt TEXT)"));
}

// Values rejected without being deleted: per sensor, reading key and gauge (0 the whole
// reading, 1..10 the channels, 11 the temperature), with the reason, who and when. The
// passes count them, and missing gauges, as no value from this step on.
void createRejectionsTable(Database& db)
{
    db.execute(
        QStringLiteral("CREATE TABLE Rejections (SensorID TEXT NOT NULL, DateTimeKey TEXT NOT NULL, "
                       "Gauge INTEGER NOT NULL, Reason TEXT NOT NULL, RejectedBy TEXT, RejectedAt TEXT, "
                       "PRIMARY KEY (SensorID, DateTimeKey, Gauge))"));
    // What the passes stored so far was computed with 0 for a missing gauge: the first pass
    // of every sensor after this step is a full one.
    if (db.tableExists(QStringLiteral("PassInputs"))) {
        db.execute(QStringLiteral("DELETE FROM PassInputs"));
        db.execute(QStringLiteral("DELETE FROM PassPending"));
    }
}

// On a server, the change counters count the rows added to each table apart from the
// transactions that changed it otherwise, so that a list of rows read before can be
// extended by the added ones alone. A file keeps no such counters.
void countAddedRows(Database& db)
{
    if (!db.isServer()) return;
    QSqlError e;
    if (!ServerChanges::ensureSetUp(db.serverConnection(), &e)) throwSqlError(e);
}

// The readings marked for the length charts indexed by date in every data table (the
// template's index is copied to the tables made after).
void indexSpatialReadings(Database& db)
{
    for (const QString& t : DataTables::all(db)) DataTables::indexSpatialReadings(db, t);
}

}  // namespace

const std::vector<Migration>& all()
{
    static const std::vector<Migration> steps = {
        {"2026-12-schema-versions", "record of schema versions", &createRecordTable},
        {"2026-12-logger-maps", "column maps of logger files, record of imported files", &createLoggerMapTables},
        {"2026-12-alarms", "alarm levels, alarm events and each sensor's alarm state", &createAlarmTables},
        {"2026-12-pass-inputs", "record of what the calculation passes computed from", &PassTables::create},
        {"2026-12-row-versions", "version, changed by and changed at on every sensor and reading",
         &RowVersions::addColumns},
        {"2026-12-rejected-values", "values rejected without being deleted, with reason, who and when",
         &createRejectionsTable},
        {"2026-12-map-missing-codes", "codes for \"no reading\" kept with the column maps of logger files",
         &addMapMissingCodes},
        {"2026-12-alarm-episodes", "alarm episodes, the notification outbox, recipients, settings and response plans",
         &AlarmEpisodeTables::create},
        {"2026-12-server-added-rows", "the server's change counters tell added rows from edits and deletions",
         &countAddedRows},
        {"2026-12-reading-edits", "a file counts edits and deletions of readings apart from added readings",
         &ReadingEdits::create},
        {"2026-12-spatial-index", "an index of the readings marked for the length charts, by date",
         &indexSpatialReadings},
    };
    return steps;
}

Status status(Database& db, const std::vector<Migration>& steps)
{
    Status st;
    QSet<QString> recorded;
    if (hasRecordTable(db)) {
        QSqlQuery q(db.handle());
        if (!q.exec(QStringLiteral("SELECT MigrationID FROM SchemaMigrations ORDER BY AppliedAt, MigrationID")))
            throwSqlError(q.lastError());
        QStringList order;
        while (q.next()) {
            const QString id = q.value(0).toString();
            recorded.insert(id);
            order << id;
        }
        QSet<QString> known;
        for (const Migration& m : steps) known.insert(QString::fromLatin1(m.id));
        for (const QString& id : order)
            if (!known.contains(id)) st.unknown << id;
    }
    for (const Migration& m : steps) {
        const QString id = QString::fromLatin1(m.id);
        (recorded.contains(id) ? st.applied : st.pending) << id;
    }
    return st;
}

Result upgrade(Database& db, const BackupFn& backup, const std::vector<Migration>& steps)
{
    Result r;
    Status st;
    try {
        st = status(db, steps);
    } catch (const TwError& e) {
        r.outcome = Outcome::Failed;
        r.detail = e.description;
        return r;
    }
    if (st.newer()) {
        r.outcome = Outcome::Newer;
        r.detail = st.unknown.join(QStringLiteral(", "));
        return r;
    }
    if (st.pending.isEmpty()) return r;

    try {
        if (backup) r.backupPath = backup();
    } catch (const TwError& e) {
        r.outcome = Outcome::Failed;
        r.detail = QStringLiteral("no copy of it could be made first (") + e.description + QStringLiteral(")");
        return r;
    }

    try {
        Transaction tx(db);
        const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        for (const Migration& m : steps) {
            const QString id = QString::fromLatin1(m.id);
            if (!st.pending.contains(id)) continue;
            m.apply(db);
            db.execute(
                QStringLiteral("INSERT INTO SchemaMigrations (MigrationID, AppliedAt, AppliedBy, ProgramVersion) "
                               "VALUES (?,?,?,?)"),
                {id, when, loginName(), programVersion()});
            r.applied << id;
        }
        tx.commit();
        r.outcome = Outcome::Upgraded;
    } catch (const TwError& e) {
        r.outcome = Outcome::Failed;
        r.applied.clear();
        r.detail = QStringLiteral("Err #%1: %2").arg(e.number).arg(e.description);
    }
    return r;
}

QString logLine(const Result& r)
{
    switch (r.outcome) {
        case Outcome::UpToDate:
            return QString();
        case Outcome::Upgraded:
            return QStringLiteral("Database upgraded (%1)").arg(r.applied.join(QStringLiteral(", "))) +
                   (r.backupPath.isEmpty() ? QString() : QStringLiteral("; copy before the upgrade: ") + r.backupPath);
        case Outcome::Newer:
            return QStringLiteral("Database refused: changed by a newer version of Tarnwell (%1)").arg(r.detail);
        case Outcome::Failed:
            return QStringLiteral("Database upgrade failed, database unchanged: ") + r.detail;
    }
    return QString();
}

QString refusalMessage(const Result& r, const QString& databasePath)
{
    if (r.outcome == Outcome::Newer)
        return QStringLiteral("The database ") + databasePath +
               QStringLiteral(
                   " was changed by a newer version of Tarnwell than this one.\r\n"
                   "This version cannot work on it without risk to its data, so it was left as it is.\r\n"
                   "Install the newer version of Tarnwell, or restore a backup made with this version.");
    if (r.outcome == Outcome::Failed)
        return QStringLiteral("The database ") + databasePath +
               QStringLiteral(" comes from an earlier version of Tarnwell and could not be upgraded: ") + r.detail +
               QStringLiteral(".\r\nThe database was left exactly as it was.");
    return QString();
}

}  // namespace Migrations
