#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class Database;

// Copies a whole Tarnwell database into another, empty one, across engines: a database file
// to a server (tarnwell-setup --copy-to), or a server into a new database file (Backup
// Database of a team database). Every table and every row goes across with its values
// exactly (texts byte for byte, numbers as stored); the target gets the program's layout
// (fixed tables, template, every layout step) first, then each data table from the
// template. The copy is then checked: each table's row count and a checksum computed the
// same way on both sides must agree, or nothing stays in the target.
namespace DatabaseCopy {

struct TableCheck {
    qint64 rows = 0;
    QByteArray sum;  // order-independent: the rows' digests combined
};

// The row count and checksum of a table: each row's values in column order (null, number
// in its shortest exact form, text as its bytes), digested; the digests added together.
TableCheck check(Database& db, const QString& table);

struct Result {
    bool ok = false;
    QString message;  // why it failed, or what was copied
    qint64 tables = 0;
    qint64 rows = 0;
};

// Copies source into target (both open). Refuses a target that holds any table of the
// program, and a source whose layout is not up to date. beforeCheck (tests only) runs
// after the rows are written and before they are checked.
Result copy(Database& source, Database& target, const std::function<void()>& beforeCheck = {});

}  // namespace DatabaseCopy
