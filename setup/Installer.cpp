#include "setup/Installer.h"
#include "store/Database.h"
#include "store/Paths.h"
#include "store/Schema.h"
#include "store/TwError.h"

#include <QDir>
#include <QFile>

namespace Installer {

bool createDatabase(const QString& path, QString* error)
{
    if (QFile::exists(path)) {
        if (error) *error = QStringLiteral("a file already exists at ") + path;
        return false;
    }
    // Build into a temporary name, then move into place: a failed set-up never leaves a
    // half-made database where the program would open it.
    const QString temp = path + QStringLiteral(".creating");
    QFile::remove(temp);
    bool ok = false;
    {
        Database db(QStringLiteral("tarnwell-setup"));
        if (!db.create(temp)) {
            if (error) *error = QStringLiteral("cannot create ") + temp;
            return false;
        }
        try {
            Transaction tx(db);
            Schema::createFixedTables(db);
            tx.commit();
            ok = true;
        } catch (const TwError& e) {
            if (error) *error = e.description;
        }
        db.close();
    }
    if (!ok || !QFile::rename(temp, path)) {
        QFile::remove(temp);
        if (ok && error) *error = QStringLiteral("cannot move the new database into place");
        return false;
    }
    return true;
}

Result install()
{
    Result r;
    const QString folder = Paths::dataFolder();
    if (QDir(folder).exists()) {
        r.lines << QStringLiteral("Data folder: %1 (already there)").arg(folder);
    } else if (QDir().mkpath(folder)) {
        r.lines << QStringLiteral("Data folder: %1 (created)").arg(folder);
    } else {
        r.ok = false;
        r.lines << QStringLiteral("Cannot create the data folder %1").arg(folder);
        return r;
    }
    const QString dbPath = Paths::databasePath();
    if (QFile::exists(dbPath)) {
        r.lines << QStringLiteral("Database: %1 (already there, left unchanged)").arg(dbPath);
    } else {
        QString error;
        if (createDatabase(dbPath, &error)) {
            r.lines << QStringLiteral("Database: %1 (created with the sensor types and preferences)").arg(dbPath);
        } else {
            r.ok = false;
            r.lines << QStringLiteral("Cannot create the database %1: %2").arg(dbPath, error);
        }
    }
    return r;
}

}  // namespace Installer
