#include "store/DataTables.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/PassTables.h"
#include "store/Schema.h"
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
    {
        if (!Database::looksLikeSqlite(path)) {
            failed = true;
            failure = QStringLiteral("Could not find file '") + path + QStringLiteral("'.");
            kind = QFile::exists(path) ? StorageKind::NoPermission : StorageKind::DiskError;
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(Database::BusyWaitMs));
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
                    if (t == name) { found = true; break; }
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
    QStringList names;
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'")))
        throwSqlError(q.lastError());
    while (q.next()) names << q.value(0).toString();
    q.finish();
    QStringList out;
    for (const QString& t : names) {
        QSqlQuery cols(db.handle());
        if (!cols.exec(QStringLiteral("PRAGMA table_info(") + SqlDialect::quoteName(t) + ')')) throwSqlError(cols.lastError());
        int found = 0;
        while (cols.next()) {
            const QString c = cols.value(1).toString();
            for (const char* want : {"DateTimeKey", "FullDate", "IsDirty"})
                if (c.compare(QLatin1String(want), Qt::CaseInsensitive) == 0) ++found;
        }
        if (found == 3) out << t;
    }
    return out;
}

void createDataTable(Database& db, const QString& id)
{
    const QString tmpl = QString::fromLatin1(Schema::TemplateName);
    const QString tableSql =
        db.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"), {tmpl}).toString();
    if (tableSql.isEmpty())
        throw TwError(-1, QStringLiteral("The database has no table or query named 'sensordata'."));

    // Replace the name in "CREATE TABLE <name>" by the new table's quoted name.
    static const QRegularExpression head(QStringLiteral("^\\s*CREATE\\s+TABLE\\s+(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = head.match(tableSql);
    if (!m.hasMatch()) throw TwError(ErrNo::DatabaseError, QStringLiteral("The template's definition cannot be read"));
    const QString newTable = QStringLiteral("CREATE TABLE ") + SqlDialect::quoteName(id) + tableSql.mid(m.capturedEnd());

    QSqlQuery iq(db.handle());
    iq.setForwardOnly(true);
    if (!iq.prepare(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL")))
        throwSqlError(iq.lastError());
    iq.addBindValue(tmpl);
    if (!iq.exec()) throwSqlError(iq.lastError());
    QStringList indexSql;
    static const QRegularExpression idx(
        QStringLiteral("^\\s*CREATE\\s+(UNIQUE\\s+)?INDEX\\s+(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|\\w+)\\s+ON\\s+(\"[^\"]*\"|`[^`]*`|\\[[^\\]]*\\]|\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    while (iq.next()) {
        const QString name = iq.value(0).toString();
        const QString sql = iq.value(1).toString();
        const auto im = idx.match(sql);
        if (!im.hasMatch()) continue;
        QString suffix = name;
        if (suffix.startsWith(tmpl, Qt::CaseInsensitive)) suffix = suffix.mid(tmpl.size());
        indexSql << QStringLiteral("CREATE ") + im.captured(1) + QStringLiteral("INDEX ") +
                        SqlDialect::quoteName(id + suffix) + QStringLiteral(" ON ") + SqlDialect::quoteName(id) +
                        sql.mid(im.capturedEnd());
    }
    iq.finish();

    Transaction tx(db);
    db.execute(newTable);
    for (const QString& s : indexSql) db.execute(s);
    // A new table starts with nothing computed, whatever a table of that name had before.
    PassTables::forgetSensor(db, id);
    tx.commit();
}

void dropDataTable(Database& db, const QString& id)
{
    Transaction tx(db);
    db.execute(dropStatement(id));
    PassTables::forgetSensor(db, id);
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
