#include "store/ReadingEdits.h"
#include "core/TwError.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/ReadingMarks.h"
#include "store/SqlDialect.h"

#include <QStringList>

namespace ReadingEdits {

namespace {
const QString Table = QStringLiteral("ReadingEdits");

QString triggerName(const QString& table, const char* what)
{
    return SqlDialect::quoteName(table + QLatin1String(what));
}

const char* const Triggers[] = {"_Deleted", "_Edited"};

std::optional<qint64> countOf(Database& db, const QString& table)
{
    // Counted only while every trigger is in place.
    const QVariant triggers = db.scalar(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND lower(tbl_name) = lower(?) "
                       "AND lower(name) IN (lower(?), lower(?))"),
        {table, table + QLatin1String(Triggers[0]), table + QLatin1String(Triggers[1])});
    if (triggers.toInt() != 2) return std::nullopt;
    const QVariant edits = db.scalar(QStringLiteral("SELECT Edits FROM ReadingEdits WHERE TableName = ?"), {table});
    if (edits.isNull()) return std::nullopt;
    return edits.toLongLong();
}
}  // namespace

void create(Database& db)
{
    if (db.isServer()) return;
    db.execute(
        QStringLiteral("CREATE TABLE ReadingEdits (TableName TEXT PRIMARY KEY NOT NULL COLLATE NOCASE, "
                       "Edits INTEGER NOT NULL DEFAULT 0)"));
    for (const QString& t : DataTables::all(db)) track(db, t);
}

void track(Database& db, const QString& table)
{
    if (db.isServer() || !db.tableExists(Table)) return;
    QStringList inputs;
    for (const Database::Column& c : db.columns(table))
        if (ReadingMarks::isInputColumn(c.name)) inputs << SqlDialect::quoteName(c.name);
    if (inputs.isEmpty()) return;
    const QString quoted = SqlDialect::quoteName(table);
    QString name = table;
    name.replace('\'', QLatin1String("''"));
    const QString bump =
        QStringLiteral(" BEGIN UPDATE ReadingEdits SET Edits = Edits + 1 WHERE TableName = '") + name + "'; END";
    db.execute(QStringLiteral("INSERT OR IGNORE INTO ReadingEdits (TableName, Edits) VALUES (?, 0)"), {table});
    db.execute(QStringLiteral("CREATE TRIGGER IF NOT EXISTS ") + triggerName(table, Triggers[0]) +
               QStringLiteral(" AFTER DELETE ON ") + quoted + bump);
    // Only statements that name an input column run it: a pass's never do.
    db.execute(QStringLiteral("CREATE TRIGGER IF NOT EXISTS ") + triggerName(table, Triggers[1]) +
               QStringLiteral(" AFTER UPDATE OF ") + inputs.join(',') + QStringLiteral(" ON ") + quoted + bump);
}

void deleteInBulk(Database& db, const QString& table, const std::function<void()>& deleteRows)
{
    if (!count(db, table)) {
        deleteRows();
        return;
    }
    db.execute(QStringLiteral("DROP TRIGGER ") + triggerName(table, Triggers[0]));
    deleteRows();
    db.execute(QStringLiteral("UPDATE ReadingEdits SET Edits = Edits + 1 WHERE TableName = ?"), {table});
    track(db, table);
}

bool isCountTable(const QString& table) { return table.compare(Table, Qt::CaseInsensitive) == 0; }

std::optional<qint64> count(Database& db, const QString& table)
{
    if (db.isServer()) return std::nullopt;
    try {
        return countOf(db, table);
    } catch (const TwError&) {
        return std::nullopt;  // (the table of counts is gone)
    }
}

}  // namespace ReadingEdits
