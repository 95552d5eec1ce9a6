#include "store/Statistics.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

namespace Statistics {

void refreshAfter(Database& db, const QString& table, qint64 rowsChanged)
{
    if (!db.isOpen() || !db.isServer() || rowsChanged < LargeChange) return;
    try {
        db.execute(table.isEmpty() ? QStringLiteral("ANALYZE")
                                   : QStringLiteral("ANALYZE ") + SqlDialect::quoteName(table));
    } catch (const TwError&) {}
}

}  // namespace Statistics
