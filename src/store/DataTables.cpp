#include "store/DataTables.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/Schema.h"
#include "store/ServerDriver.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace DataTables {

bool TableExists(const QString& path, const QString& name)
{
    static QAtomicInt counter;
    const QString conn = QStringLiteral("tarnwell-tableexists-%1").arg(counter.fetchAndAddRelaxed(1));
    bool found = false;
    bool failed = false;
    QString failure;
    StorageKind kind = StorageKind::None;
    if (ServerAddresses::isServerUri(path)) {
        Database server(conn);
        if (!server.open(path))
            throw TwError(ErrNo::DatabaseError,
                          Database::describe(server.openFailure()) + QStringLiteral(": ") + server.openFailureDetail(),
                          StorageKind::ServerGone);
        return !name.startsWith(QLatin1String("MSys")) && server.tableNames().contains(name);
    }
    {
        if (!Database::looksLikeSqlite(path)) {
            failed = true;
            failure = QStringLiteral("Could not find file '") + path + QStringLiteral("'.");
            kind = QFile::exists(path) ? StorageKind::NoPermission : StorageKind::DiskError;
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            db.setDatabaseName(path);
            db.setConnectOptions(
                QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(Database::BusyWaitMs));
            auto note = [&](const QSqlError& e) {
                failed = true;
                failure = e.text();
                bool numeric = false;
                const int code = e.nativeErrorCode().toInt(&numeric);
                kind = numeric ? storageKindOf(code) : StorageKind::DiskError;
            };
            if (!db.open()) {
                note(db.lastError());
            } else {
                QSqlQuery q(db);
                q.setForwardOnly(true);
                if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) note(q.lastError());
                while (!failed && q.next()) {
                    const QString t = q.value(0).toString();
                    if (t.startsWith(QLatin1String("MSys"))) continue;
                    if (t == name) {
                        found = true;
                        break;
                    }
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    // A check that could not be made is a failure, never a "no": the caller must not go
    // on to create a table that is there.
    if (failed) throw TwError(ErrNo::DatabaseError, failure, kind);
    return found;
}

QStringList all(Database& db)
{
    QStringList out;
    for (const QString& t : db.tableNames()) {
        int found = 0;
        for (const Database::Column& c : db.columns(t))
            for (const char* want : {"DateTimeKey", "FullDate", "IsDirty"})
                if (c.name.compare(QLatin1String(want), Qt::CaseInsensitive) == 0) ++found;
        if (found == 3) out << t;
    }
    return out;
}

void indexSpatialReadings(Database& db, const QString& table)
{
    // The condition is the length charts' own, word for word: only a query that names it
    // may use the index.
    db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS ") +
               SqlDialect::quoteName(table + QStringLiteral("_Spatial")) + QStringLiteral(" ON ") +
               SqlDialect::quoteName(table) + QStringLiteral(" (FullDate) WHERE PlotSpatial = True"));
}

namespace {

// Drops the sensor's rejected-value marks (its data table was created or dropped).
void forgetRejections(Database& db, const QString& id)
{
    if (db.tableExists(QStringLiteral("Rejections")))
        db.execute(QStringLiteral("DELETE FROM Rejections WHERE SensorID = ?"), {id});
}

}  // namespace

void createDataTable(Database& db, const QString& id)
{
    Transaction tx(db);
    db.createTableLike(id, QString::fromLatin1(Schema::TemplateName));
    // A new table starts with nothing computed, whatever a table of that name had before.
    PassTables::forgetSensor(db, id);
    forgetRejections(db, id);
    tx.commit();
}

void dropDataTable(Database& db, const QString& id)
{
    Transaction tx(db);
    db.execute(dropStatement(id));
    PassTables::forgetSensor(db, id);
    forgetRejections(db, id);
    tx.commit();
}

QString readingsQuery(const QString& id)
{
    return QStringLiteral("SELECT * FROM `") + id + QStringLiteral("` ORDER BY FullDate");
}

QString createStatement(const QString& id)
{
    return QStringLiteral("SELECT * INTO `") + id + QStringLiteral("` FROM sensordata WHERE DateTimeKey is null");
}

QString dropStatement(const QString& id) { return QStringLiteral("DROP TABLE `") + id + '`'; }

QString deleteAllStatement(const QString& id) { return QStringLiteral("DELETE * FROM `") + id + '`'; }

}  // namespace DataTables
