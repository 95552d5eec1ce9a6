#include "store/DatabaseCopy.h"
#include "store/Statistics.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/Migrations.h"
#include "store/ReadingEdits.h"
#include "store/Schema.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>
#include <QtEndian>
#include <optional>

namespace DatabaseCopy {

namespace {

QString numberText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

bool isDataTable(const QList<Database::Column>& cols)
{
    int found = 0;
    for (const Database::Column& c : cols)
        for (const char* want : {"DateTimeKey", "FullDate", "IsDirty"})
            if (c.name.compare(QLatin1String(want), Qt::CaseInsensitive) == 0) ++found;
    return found == 3;
}

QString selectAll(const QString& table, const QList<Database::Column>& cols)
{
    QStringList names;
    for (const Database::Column& c : cols) names << SqlDialect::quoteName(c.name);
    return QStringLiteral("SELECT ") + names.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
           SqlDialect::quoteName(table);
}

// Text in the server's copy format: backslash, tab and line ends escaped.
void appendCopyText(QByteArray& out, QByteArrayView text)
{
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

[[noreturn]] void refuse(const QString& why) { throw TwError(ErrNo::DatabaseError, why); }

}  // namespace

TableCheck check(Database& db, const QString& table)
{
    const QList<Database::Column> cols = db.columns(table);
    TableCheck out;
    if (cols.isEmpty()) return out;
    quint64 lanes[4] = {0, 0, 0, 0};
    Statement q(db, selectAll(table, cols));
    QByteArray row;
    while (q.next()) {
        row.clear();
        for (int i = 0; i < cols.size(); ++i) {
            if (q.isNull(i)) {
                row += "\x01N";
            } else if (q.isNumber(i)) {
                row += "\x01n";
                row += numberText(q.number(i)).toLatin1();
            } else {
                const QByteArrayView t = q.utf8(i);
                row += "\x01t";
                row += QByteArray::number(t.size());
                row += ':';
                row += t;
            }
        }
        const QByteArray d = QCryptographicHash::hash(row, QCryptographicHash::Sha256);
        for (int k = 0; k < 4; ++k) lanes[k] += qFromBigEndian<quint64>(d.constData() + 8 * k);
        ++out.rows;
    }
    for (quint64 lane : lanes) {
        char b[8];
        qToBigEndian(lane, b);
        out.sum += QByteArray(b, 8);
    }
    return out;
}

Result copy(Database& source, Database& target, const std::function<void()>& beforeCheck)
{
    Result r;
    try {
        const Migrations::Status st = Migrations::status(source);
        if (!st.upToDate())
            refuse(
                QStringLiteral("the database to copy is not at this version's layout; open it once in this "
                               "version of Tarnwell, which brings it up to date, and copy it then"));
        if (!target.tableNames().isEmpty())
            refuse(QStringLiteral("the target database is not empty; Tarnwell copies only into an empty database"));

        Transaction tx(target);
        // The program's layout first, emptied of the rows a new database starts with.
        Schema::createFixedTables(target);
        const Migrations::Result up = Migrations::upgrade(target, {});
        if (up.outcome != Migrations::Outcome::Upgraded && up.outcome != Migrations::Outcome::UpToDate)
            refuse(up.detail);
        for (const QString& t : target.tableNames())
            target.execute(QStringLiteral("DELETE FROM ") + SqlDialect::quoteName(t));

        const QString tmpl = QString::fromLatin1(Schema::TemplateName);
        QStringList tables = source.tableNames();
        tables.removeIf([](const QString& t) { return ReadingEdits::isCountTable(t); });
        for (const QString& t : tables) {
            const QList<Database::Column> cols = source.columns(t);
            if (!target.tableExists(t)) {
                if (isDataTable(cols) && t.compare(tmpl, Qt::CaseInsensitive) != 0) {
                    target.createTableLike(t, tmpl);
                } else {
                    QStringList defs;
                    for (const Database::Column& c : cols)
                        defs << SqlDialect::quoteName(c.name) + ' ' +
                                    (c.type.isEmpty() ? QStringLiteral("TEXT") : c.type);
                    target.execute(QStringLiteral("CREATE TABLE ") + SqlDialect::quoteName(t) + QStringLiteral(" (") +
                                   defs.join(QStringLiteral(", ")) + ')');
                }
            }
            // Columns the source has beyond the target's.
            QSet<QString> have;
            QHash<QString, QString> targetType;
            for (const Database::Column& c : target.columns(t)) {
                have.insert(c.name.toLower());
                targetType.insert(c.name.toLower(), c.type.toUpper());
            }
            for (const Database::Column& c : cols) {
                if (have.contains(c.name.toLower())) continue;
                target.execute(QStringLiteral("ALTER TABLE ") + SqlDialect::quoteName(t) +
                               QStringLiteral(" ADD COLUMN ") + SqlDialect::quoteName(c.name) + ' ' +
                               (c.type.isEmpty() ? QStringLiteral("TEXT") : c.type));
                targetType.insert(c.name.toLower(), c.type.toUpper());
            }

            // The rows, each value as stored; a value the target's column cannot hold
            // exactly stops the copy, naming it.
            Statement read(source, selectAll(t, cols));
            const int n = int(cols.size());
            QStringList names;
            for (const Database::Column& c : cols) names << SqlDialect::quoteName(c.name);
            std::optional<Statement> insert;
            QStringList marks;
            for (int i = 0; i < n; ++i) marks << QStringLiteral("?");
            if (!target.isServer())
                insert.emplace(target, QStringLiteral("INSERT INTO ") + SqlDialect::quoteName(t) +
                                           QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
                                           QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + ')');
            QByteArray copyRows;
            qint64 rowNo = 0;
            auto sendCopy = [&] {
                if (copyRows.isEmpty()) return;
                QStringList serverNames;
                for (const Database::Column& c : cols) serverNames << '"' + c.name.toLower() + '"';
                target.copyToServer('"' + t.toLower() + QStringLiteral("\" (") + serverNames.join(u',') + ')',
                                    copyRows);
                copyRows.clear();
            };
            while (read.next()) {
                ++rowNo;
                for (int i = 0; i < n; ++i) {
                    const QString type = targetType.value(cols[i].name.toLower());
                    const bool numeric = type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("INT")) ||
                                         type.contains(QLatin1String("BOOL"));
                    if (!read.isNull(i) && numeric && !read.isNumber(i))
                        refuse(QStringLiteral(
                                   "row %1 of table %2 holds the text \"%3\" in its number column %4, which the "
                                   "target cannot keep as it is; correct it in the datasheet and copy again")
                                   .arg(rowNo)
                                   .arg(t, read.text(i).left(40), cols[i].name));
                    if (!read.isNull(i) && !type.contains(QLatin1String("REAL")) && numeric &&
                        double(read.integer(i)) != read.number(i))
                        refuse(QStringLiteral(
                                   "row %1 of table %2 holds %3 in its whole-number column %4, which the target "
                                   "cannot keep as it is")
                                   .arg(rowNo)
                                   .arg(t, numberText(read.number(i)), cols[i].name));
                    if (insert) {
                        if (read.isNull(i)) insert->bindNull(i + 1);
                        else if (read.isNumber(i) && type.contains(QLatin1String("REAL")))
                            insert->bind(i + 1, read.number(i));
                        else if (read.isNumber(i)) insert->bind(i + 1, read.integer(i));
                        else insert->bindUtf8(i + 1, read.utf8(i));
                    } else {
                        if (i) copyRows += '\t';
                        if (read.isNull(i)) copyRows += "\\N";
                        else if (read.isNumber(i) && type.contains(QLatin1String("REAL")))
                            copyRows += numberText(read.number(i)).toLatin1();
                        else if (read.isNumber(i) && numeric) copyRows += QByteArray::number(read.integer(i));
                        else if (read.isNumber(i)) copyRows += numberText(read.number(i)).toLatin1();
                        else appendCopyText(copyRows, read.utf8(i));
                    }
                }
                if (insert) insert->run();
                else {
                    copyRows += '\n';
                    if (copyRows.size() > (8 << 20)) sendCopy();
                }
            }
            sendCopy();
            if (target.isServer()) {
                // The server's own counters of identity columns go on after the copied ids.
                QSqlQuery ids(target.handle());
                ids.prepare(
                    QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                   "current_schema() AND table_name = lower(?) AND is_identity = 'YES'"));
                ids.addBindValue(t);
                QStringList idColumns;
                if (ids.exec())
                    while (ids.next()) idColumns << ids.value(0).toString();
                for (const QString& c : idColumns) {
                    if (c == QLatin1String(SqlDialect::RowIdColumn)) continue;
                    const qint64 top = target
                                           .scalar(QStringLiteral("SELECT coalesce(max(") + SqlDialect::quoteName(c) +
                                                   QStringLiteral("), 0) FROM ") + SqlDialect::quoteName(t))
                                           .toLongLong();
                    target.executeOnServer(QStringLiteral("ALTER TABLE \"") + t.toLower() +
                                           QStringLiteral("\" ALTER COLUMN \"") + c +
                                           QStringLiteral("\" RESTART WITH %1").arg(top + 1));
                }
            }
            ++r.tables;
            r.rows += rowNo;
        }

        if (beforeCheck) beforeCheck();
        for (const QString& t : tables) {
            const TableCheck a = check(source, t);
            const TableCheck b = check(target, t);
            if (a.rows != b.rows)
                refuse(
                    QStringLiteral("the check after copying found %1 rows in table %2 of the target, %3 in the source")
                        .arg(b.rows)
                        .arg(t)
                        .arg(a.rows));
            if (a.sum != b.sum)
                refuse(QStringLiteral("the check after copying found table %1 of the target different from the source")
                           .arg(t));
        }
        tx.commit();
        Statistics::refreshAfter(target, QString(), r.rows);
        r.ok = true;
        r.message = QStringLiteral("%1 tables and %2 rows copied and checked").arg(r.tables).arg(r.rows);
    } catch (const TwError& e) {
        r.ok = false;
        r.message = e.description;
    }
    return r;
}

}  // namespace DatabaseCopy
