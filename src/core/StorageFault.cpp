#include "core/StorageFault.h"

namespace StorageFault {

namespace {
Teller& teller()
{
    static Teller t;
    return t;
}
Asker& asker()
{
    static Asker a;
    return a;
}
}  // namespace

QString reason(StorageKind kind)
{
    switch (kind) {
        case StorageKind::ReadOnly:
            return QStringLiteral("the database file or its folder is read-only");
        case StorageKind::Locked:
            return QStringLiteral("another program is using the database and has locked it");
        case StorageKind::Damaged:
            return QStringLiteral("the database file is damaged");
        case StorageKind::DiskFull:
            return QStringLiteral("the disk is full");
        case StorageKind::NoPermission:
            return QStringLiteral("Tarnwell is not allowed to open the database file");
        case StorageKind::DiskError:
            return QStringLiteral("the disk could not be read or written");
        case StorageKind::ServerGone:
            return QStringLiteral("the connection to the database server was lost");
        case StorageKind::None:
            break;
    }
    return QStringLiteral("the database could not be used");
}

QString remedy(StorageKind kind)
{
    switch (kind) {
        case StorageKind::ReadOnly:
            return QStringLiteral("Make the file and its folder writable, then start Tarnwell again.");
        case StorageKind::Locked:
            return QStringLiteral("Try again once the other program has finished with the database.");
        case StorageKind::Damaged:
            return QStringLiteral(
                "Restore the database from a backup on the \"9. Utilities\" tab (Restore from Backup).");
        case StorageKind::DiskFull:
            return QStringLiteral("Free some space on the disk and try again.");
        case StorageKind::NoPermission:
            return QStringLiteral("Ask whoever looks after this computer to give you access to the file.");
        case StorageKind::DiskError:
            return QStringLiteral("Check the disk, then try again.");
        case StorageKind::ServerGone:
            return QStringLiteral(
                "Tarnwell connects again at the next action; if the server still cannot be reached, "
                "check the network or ask whoever looks after the server.");
        case StorageKind::None:
            break;
    }
    return QString();
}

void installTeller(Teller t) { teller() = std::move(t); }
void installAsker(Asker a) { asker() = std::move(a); }

void tell(const TwError& error, const QString& tag)
{
    if (!error.isStorageFault() || error.told) return;
    if (teller()) teller()(error, tag);
}

bool askKeep(TwError& error, const QString& what)
{
    error.told = true;
    return asker() ? asker()(error, what) : false;
}

QString reason(const TwError& error)
{
    if (error.storage == StorageKind::ServerGone && error.description.startsWith(NoReconnect))
        return QStringLiteral("the database server cannot be reached (") +
               error.description.mid(NoReconnect.size()).simplified() + u')';
    return reason(error.storage);
}

QString remedy(const TwError& error)
{
    if (error.storage == StorageKind::ServerGone && error.description.startsWith(NoReconnect))
        return QStringLiteral(
            "Tarnwell tries to connect again at every action. If it keeps failing, check the network "
            "or ask whoever looks after the server.");
    return remedy(error.storage);
}

}  // namespace StorageFault
