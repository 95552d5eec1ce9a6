#include "data/PassValues.h"
#include "calc/Formulas.h"
#include "core/TwError.h"
#include "data/PassEngine.h"
#include "data/NumberColumns.h"
#include "data/PassRows.h"
#include "data/Passes.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"

#include <QHash>
#include <QSet>
#include <limits>

namespace Calc {

namespace {

// Result columns of the read: rowid, Channel1..Channel10, ChannelT, FullDate, in the pass's
// selection, DateTimeKey, then the asked columns.
constexpr int DateColumn = 12;
constexpr int InPassColumn = 13;
constexpr int KeyColumn = 14;
constexpr int FirstAsked = 15;

int indexIgnoringCase(const QStringList& list, const QString& name)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// Thrown out of the row loop when a reading needs what only the pass may log.
struct NeedsThePass {};

double storedNumber(const Statement& q, int c)
{
    if (q.isNumber(c)) return q.number(c);
    if (q.isNull(c)) return std::numeric_limits<double>::quiet_NaN();
    bool ok = false;
    const double t = QByteArray(q.utf8(c).data(), q.utf8(c).size()).toDouble(&ok);
    return ok ? t : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

std::optional<ComputedColumns> computeColumns(Database& db, const SensorInputs& in, PassKind kind, GraphSelection drawn,
                                              const QStringList& columns,
                                              const std::function<double(QByteArrayView)>& dateKey,
                                              qsizetype expectedRows)
{
    if (!db.isOpen() || in.id.isEmpty() || in.id.contains(u'`')) return std::nullopt;
    try {
        QSet<QString> has;
        for (const Database::Column& c : db.columns(in.id)) has.insert(c.name.toLower());
        if (has.isEmpty()) return std::nullopt;
        const QString table = SqlDialect::quoteName(in.id);
        const QString passCondition = selectionCondition(passSelection(kind));
        const RowFailure needsThePass = [](const TwError&, const QString&) { throw NeedsThePass(); };

        const RejectedValues rejected(db, in.id);
        const std::optional<Baseline> base = readBaseline(db, table, passCondition, in, rejected, needsThePass);
        if (!base) return std::nullopt;  // the pass writes nothing and says so
        const PassExtra extra = passExtra(kind);
        const PassFormulas f(in.sensorType, in.stacked, in.kFactorText, in.gaugeLengthText);
        const int extraCount = extra == PassExtra::Disp    ? f.dispCount()
                               : extra == PassExtra::Shear ? f.shearCount()
                                                           : 0;

        // Where each asked column is among the values the pass writes (-1: it keeps what
        // is stored).
        const QStringList written = passColumns(f, extra, true);
        ComputedColumns out;
        std::vector<int> source;
        QString sql = QStringLiteral("SELECT rowid");
        for (int i = 1; i <= ChannelCount; ++i) sql += QStringLiteral(", Channel%1").arg(i);
        sql += QStringLiteral(", ChannelT, FullDate, CASE WHEN ") + passCondition +
               QStringLiteral(" THEN 1 ELSE 0 END, DateTimeKey");
        for (const QString& c : columns) {
            if (!has.contains(c.toLower()) || out.names.contains(c, Qt::CaseInsensitive)) continue;
            out.names << c;
            source.push_back(indexIgnoringCase(written, c));
            sql += ',' + SqlDialect::quoteName(c);
        }
        sql += QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") + selectionCondition(drawn) +
               QStringLiteral(" ORDER BY FullDate, rowid");

        // Room for every reading of the table at most (counted from its smallest index), so
        // the arrays are not grown and copied while a million readings come in.
        if (expectedRows <= 0)
            expectedRows = qsizetype(db.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong());
        out.dates = std::make_shared<std::vector<double>>();
        out.dates->reserve(size_t(expectedRows));
        out.rowIds.reserve(size_t(expectedRows));
        NumberColumns values(size_t(out.names.size()), size_t(expectedRows));
        // A file stores a whole number as an integer and gives it back as one: -0 comes
        // back as 0, so a computed -0 is given as 0 there too.
        const bool file = !db.isServer();
        constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
        Statement q(db, sql);
        RowValues row;
        double computed[ChannelCount + 1 + 6 + 6];
        while (q.next()) {
            out.rowIds.push_back(q.integer(0));
            out.dates->push_back(q.isNull(DateColumn) ? NaN : dateKey(q.utf8(DateColumn)));
            const bool inPass = q.integer(InPassColumn) != 0;
            if (inPass) {
                const quint16 mask = rejected.any() ? rejected.of(q.utf8(KeyColumn)) : 0;
                computeRow(q, f, base->offsets, mask, extra, needsThePass, row);
                if (!row.loads) throw NeedsThePass();
                row.flatten(f.loadCount(), extraCount, extra == PassExtra::Disp, computed);
            }
            for (size_t i = 0; i < source.size(); ++i) {
                const int from = source[i];
                if (inPass && from >= 0) values.push(i, file ? computed[from] + 0.0 : computed[from]);
                else values.push(i, storedNumber(q, FirstAsked + int(i)));
            }
        }
        // Kept as long as the chart shows them: much room left over is given back.
        const bool shrink = out.rowIds.capacity() > out.rowIds.size() + out.rowIds.size() / 4;
        if (shrink) {
            out.rowIds.shrink_to_fit();
            out.dates->shrink_to_fit();
        }
        out.values = values.finish(out.rowIds.size(), shrink);
        return out;
    } catch (const NeedsThePass&) {
        return std::nullopt;
    } catch (const TwError&) {
        return std::nullopt;
    }
}

qint64 passWork(Database& db, const SensorInputs& in, PassKind kind, qint64 atMost)
{
    const QString table = SqlDialect::quoteName(in.id);
    const QString condition = selectionCondition(passSelection(kind));
    const auto countUpTo = [&](const QString& where) {
        return db
            .scalar(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM ") + table + QStringLiteral(" WHERE ") + where +
                        QStringLiteral(" LIMIT ?) AS work"),
                    {atMost + 1})
            .toLongLong();
    };
    const RejectedValues rejected(db, in.id);
    int failures = 0;
    const std::optional<Baseline> base =
        readBaseline(db, table, condition, in, rejected, [&failures](const TwError&, const QString&) { ++failures; });
    if (!base) return 0;
    PassRecord record(db, in.id);
    if (failures == 0 && record.upToDate(kind, base->basis)) {
        const qint64 marked = countUpTo(PassRecord::markedCondition() + QStringLiteral(" AND ") + condition);
        const qint64 pending =
            db.scalar(QStringLiteral("SELECT count(*) FROM PassPending WHERE SensorID = ? AND Pass = ?"),
                      {in.id, passName(kind)})
                .toLongLong();
        return marked + pending;
    }
    return countUpTo(condition);
}

}  // namespace Calc
