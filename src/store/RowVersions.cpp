#include "store/RowVersions.h"
#include "core/TwError.h"
#include "store/DataTables.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace RowVersions {

bool isBookkeeping(const QString& column)
{
    for (const char* c : {VersionColumn, ByColumn, AtColumn})
        if (column.compare(QLatin1String(c), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool present(Database& db, const QString& table)
{
    int found = 0;
    for (const Database::Column& c : db.columns(table))
        if (isBookkeeping(c.name)) ++found;
    return found == 3;
}

QString now() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QString setNext() { return QStringLiteral("RowVersion = RowVersion + 1, ChangedBy = ?, ChangedAt = ?"); }

QString insertColumns() { return QStringLiteral("RowVersion, ChangedBy, ChangedAt"); }

QString insertValues() { return QStringLiteral("1, ?, ?"); }

void addColumns(Database& db)
{
    QStringList tables = DataTables::all(db);
    tables.prepend(QStringLiteral("Sensors"));
    for (const QString& t : tables) {
        const QString name = SqlDialect::quoteName(t);
        db.execute(QStringLiteral("ALTER TABLE ") + name +
                   QStringLiteral(" ADD COLUMN RowVersion INTEGER NOT NULL DEFAULT 0"));
        db.execute(QStringLiteral("ALTER TABLE ") + name + QStringLiteral(" ADD COLUMN ChangedBy TEXT"));
        db.execute(QStringLiteral("ALTER TABLE ") + name + QStringLiteral(" ADD COLUMN ChangedAt TEXT"));
    }
}

QString changedMessage(const QString& what, const QString& by, const QString& at)
{
    const QString who = by.isEmpty() ? QStringLiteral("another user") : by;
    const QString when = at.isEmpty() ? QString() : QStringLiteral(" at ") + at;
    return QStringLiteral(
               "This %1 was changed by %2%3 after you read it.\r\n"
               "Your changes were not saved. The current values are shown: make your changes again "
               "if they are still needed.")
        .arg(what, who, when);
}

QString notDeletedMessage(const QString& what, const QString& by, const QString& at)
{
    const QString who = by.isEmpty() ? QStringLiteral("another user") : by;
    const QString when = at.isEmpty() ? QString() : QStringLiteral(" at ") + at;
    return QStringLiteral(
               "This %1 was changed by %2%3 after you read it.\r\n"
               "It was not deleted. Its current values are shown: delete it again if it is still to go.")
        .arg(what, who, when);
}

QString deletedMessage(const QString& what)
{
    return QStringLiteral("This %1 was deleted by another user.\r\nYour changes were not saved.").arg(what);
}

}  // namespace RowVersions
