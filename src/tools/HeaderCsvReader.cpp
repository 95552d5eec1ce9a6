#include "tools/HeaderCsvReader.h"
#include "tools/LoggerClock.h"

#include <QSet>

namespace HeaderCsvReader {

bool looksLike(QByteArrayView head)
{
    const qsizetype end = head.indexOf('\n');
    QByteArray first = (end < 0 ? head : head.first(end)).toByteArray();
    const LoggerTable t = LoggerTable::fromBytes(first);
    if (t.rowCount() < 1 || t.broken(0) || t.fieldCount(0) < 2) return false;
    QByteArray scratch;
    for (int i = 0; i < t.fieldCount(0); ++i) {
        const QByteArrayView f = t.fieldBytes(0, i, scratch);
        if (f.isEmpty()) return false;
        if (i == 0)
            for (int l = 0; l < LoggerClock::LayoutCount; ++l)
                if (LoggerClock::read(f, LoggerClock::Layout(l))) return false;
        // A name holds at least one letter; a reading's first field would not.
        bool letter = false;
        for (char c : f) letter = letter || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || uchar(c) >= 0x80;
        if (i == 0 && !letter) return false;
    }
    return true;
}

Result read(QByteArray data, const LoggerTable::Progress& progress)
{
    Result r;
    r.table = LoggerTable::fromBytes(std::move(data), progress, &r.cancelled);
    if (r.cancelled) return r;
    if (!r.table.textProblem().isEmpty()) {
        r.error = r.table.textProblem();
        r.errorLine = r.table.textProblemLine();
        r.table = LoggerTable();
        return r;
    }
    if (r.table.rowCount() == 0) {
        r.errorLine = 1;
        r.error = QStringLiteral("the file is empty: its first line should name the columns");
        r.table = LoggerTable();
        return r;
    }
    r.errorLine = r.table.line(0);
    if (r.table.broken(0)) {
        r.error = QStringLiteral("a quote is not closed on the line of column names");
    } else {
        QSet<QString> seen;
        for (int i = 0; i < r.table.fieldCount(0) && r.error.isEmpty(); ++i) {
            const QString name = r.table.field(0, i);
            if (name.isEmpty()) r.error = QStringLiteral("column %1 has no name").arg(i + 1);
            else if (seen.contains(name.toLower()))
                r.error = QStringLiteral("the column name %1 appears twice").arg(name);
            seen.insert(name.toLower());
            r.names << name;
        }
        if (r.error.isEmpty() && r.names.size() < 2)
            r.error = QStringLiteral("the first line names fewer than two columns");
    }
    if (!r.error.isEmpty()) {
        r.names.clear();
        r.table = LoggerTable();
        return r;
    }
    r.errorLine = 0;
    r.table.dropLeadingRows(1);
    r.ok = true;
    return r;
}

}  // namespace HeaderCsvReader
