#include "store/Statistics.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/ServerChanges.h"
#include "store/SqlDialect.h"

namespace Statistics {

void refreshAfter(Database& db, const QString& table, qint64 rowsChanged)
{
    if (!db.isOpen() || !db.isServer() || rowsChanged < LargeChange) return;
    try {
        // VACUUM as well: it marks the table's pages all-visible, so that a list of row
        // identities in date order is read from the date index alone (an index-only scan)
        // instead of the whole table being read and sorted; and after a pass it frees the
        // rows the pass replaced. (After a pass the import runs, so vacuuming after the
        // append alone would not leave the pages all-visible.) (Not possible inside a transaction: there the statistics only.)
        if (db.inTransaction()) {
            db.execute(table.isEmpty() ? QStringLiteral("ANALYZE")
                                       : QStringLiteral("ANALYZE ") + SqlDialect::quoteName(table));
            return;
        }
        db.executeOnServer(table.isEmpty()
                               ? QStringLiteral("VACUUM (ANALYZE)")
                               : QStringLiteral("VACUUM (ANALYZE) \"") + ServerChanges::serverName(table) + '"');
    } catch (const TwError&) {}
}

}  // namespace Statistics
