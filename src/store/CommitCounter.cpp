#include "store/CommitCounter.h"
#include "store/Database.h"

#include <sqlite3.h>

namespace CommitCounter {

namespace {
// Where the header keeps the counter (4 bytes, big-endian).
constexpr int CounterOffset = 24;

bool rollbackJournal(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    bool wal = true;
    if (sqlite3_prepare_v2(h, "PRAGMA journal_mode", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
        const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        wal = !mode || sqlite3_stricmp(mode, "wal") == 0;
    }
    sqlite3_finalize(st);
    return !wal;
}
}  // namespace

std::optional<quint32> read(Database& db)
{
    if (!db.isOpen() || db.isServer()) return std::nullopt;
    sqlite3* h = db.sqliteHandle();
    if (!h || !rollbackJournal(h)) return std::nullopt;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(h, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return std::nullopt;
    unsigned char bytes[4] = {};
    if (file->pMethods->xRead(file, bytes, 4, CounterOffset) != SQLITE_OK) return std::nullopt;
    return (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) | (quint32(bytes[2]) << 8) | quint32(bytes[3]);
}

qint64 rowsChanged(Database& db)
{
    if (!db.isOpen() || db.isServer()) return 0;
    sqlite3* h = db.sqliteHandle();
    return h ? qint64(sqlite3_total_changes64(h)) : 0;
}

}  // namespace CommitCounter
