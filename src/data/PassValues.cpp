#include "data/PassValues.h"
#include "calc/Formulas.h"
#include "core/TwError.h"
#include "data/PassEngine.h"
#include "data/NumberColumns.h"
#include "data/PassRows.h"
#include "data/Passes.h"
#include "store/Database.h"
#include "store/SqlDialect.h"
#include "store/CommitCounter.h"
#include "store/Statement.h"

#include <QHash>
#include <QSet>
#include <future>
#include <limits>
#include <thread>

namespace Calc {

namespace {

// Result columns of the read: rowid, Channel1..Channel10, ChannelT, FullDate, in the pass's
// selection, DateTimeKey, then the asked columns the pass does not write.
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

// The stored values of the asked columns the pass writes, for the readings outside its
// selection (the pass computes every other reading, so these are rarely wanted): looked up
// by rowid on the reading's connection, prepared at the first such reading.
class StoredValues {
public:
    StoredValues(Database& db, const QString& sql) : m_db(db), m_sql(sql) {}

    const Statement& of(qint64 rowId)
    {
        if (!m_read) m_read = std::make_unique<Statement>(m_db, m_sql);
        m_read->bind(1, rowId);
        if (!m_read->next()) throw NeedsThePass();  // (read in the same snapshot: it is there)
        return *m_read;
    }
    // Lets the row go, so the next lookup starts afresh.
    void done() { m_read->reset(); }

private:
    Database& m_db;
    QString m_sql;
    std::unique_ptr<Statement> m_read;
};

// The rows of one stretch of the drawn selection, read and computed.
struct Part {
    std::vector<qint64> rowIds;
    std::vector<double> dates;
    NumberColumns values;
    RowValues row;  // the reading being computed

    Part(size_t columns, size_t expectedRows) : values(columns, expectedRows)
    {
        rowIds.reserve(expectedRows);
        dates.reserve(expectedRows);
    }
    // Appends the rows of the stretch that follows this one, letting go of each of its
    // arrays once copied (this one's have room for them), so the copy takes little more
    // memory than the two parts already hold.
    void append(Part&& later)
    {
        rowIds.insert(rowIds.end(), later.rowIds.begin(), later.rowIds.end());
        later.rowIds = {};
        dates.insert(dates.end(), later.dates.begin(), later.dates.end());
        later.dates = {};
        values.append(std::move(later.values));
    }
};

// What every row of the read needs; only read while rows are computed, so two stretches
// of the selection may be computed at once.
struct RowComputer {
    const PassFormulas& f;
    const Baseline& base;
    const RejectedValues& rejected;
    PassExtra extra = PassExtra::None;
    int extraCount = 0;
    std::vector<int> source;     // per asked column: where the pass writes it, -1: as stored
    std::vector<int> column;     // per asked column: its result column, or among the stored values
    std::vector<char> lookedUp;  // per asked column: read from the stored values
    // A file stores a whole number as an integer and gives it back as one: -0 comes back
    // as 0, so a computed -0 is given as 0 there too.
    bool file = true;
    const std::function<double(QByteArrayView)>& dateKey;
    const RowFailure& needsThePass;

    void add(const Statement& q, StoredValues& stored, Part& out) const
    {
        constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
        out.rowIds.push_back(q.integer(0));
        const QByteArrayView date = q.utf8(DateColumn);  // (no bytes at all for null)
        out.dates.push_back(date.data() ? dateKey(date) : NaN);
        const bool inPass = q.integer(InPassColumn) != 0;
        double computed[ChannelCount + 1 + 6 + 6];
        if (inPass) {
            RowValues& row = out.row;
            const quint16 mask = rejected.any() ? rejected.of(q.utf8(KeyColumn)) : 0;
            computeRow(q, f, base.offsets, mask, extra, needsThePass, row);
            if (!row.loads) throw NeedsThePass();
            row.flatten(f.loadCount(), extraCount, extra == PassExtra::Disp, computed);
            for (size_t i = 0; i < source.size(); ++i) {
                const int from = source[i];
                if (from >= 0) out.values.push(i, file ? computed[from] + 0.0 : computed[from]);
                else out.values.push(i, storedNumber(q, column[i]));
            }
            return;
        }
        const Statement* kept = nullptr;
        for (size_t i = 0; i < source.size(); ++i) {
            if (!lookedUp[i]) {
                out.values.push(i, storedNumber(q, column[i]));
                continue;
            }
            if (!kept) kept = &stored.of(q.integer(0));
            out.values.push(i, storedNumber(*kept, column[i]));
        }
        if (kept) stored.done();
    }
};

qint64 g_splitFrom = 200000;

// Where a large selection of a file is cut in two, each half read on its own thread: the
// date in the middle of the table's date order. Only where that order comes from an index
// (both halves are then ranges of it) and no reading lacks a date (the halves are cut by
// comparing dates).
std::optional<QByteArray> middleDate(Database& db, const QString& table, const QString& id, qint64 rows)
{
    if (db.isServer() || rows < g_splitFrom || !CommitCounter::read(db)) return std::nullopt;
    const bool dateIndex = db.scalar(QStringLiteral("SELECT count(*) FROM pragma_index_list(?) AS l, "
                                                    "pragma_index_info(l.name) AS i WHERE l.partial = 0 AND "
                                                    "i.seqno = 0 AND i.name = 'FullDate' COLLATE NOCASE"),
                                     {id})
                               .toLongLong() > 0;
    if (!dateIndex) return std::nullopt;
    if (db.scalar(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM ") + table +
                  QStringLiteral(" WHERE FullDate IS NULL LIMIT 1) AS undated"))
            .toLongLong() > 0)
        return std::nullopt;
    Statement q(
        db, QStringLiteral("SELECT FullDate FROM ") + table + QStringLiteral(" ORDER BY FullDate LIMIT 1 OFFSET ?"));
    q.bind(1, rows / 2);
    if (!q.next() || q.isNull(0)) return std::nullopt;
    const QByteArrayView mid = q.utf8(0);
    QByteArray out(mid.data(), mid.size());
    q.reset();
    return out;
}

// The later half of a split read, on a connection of its own in a thread of its own.
// It takes its snapshot while the window's connection holds the same one, and tells so
// through `started`.
struct LaterHalf {
    enum class Outcome { Read, NeedsThePass, Unread };
    Outcome outcome = Outcome::Unread;
    std::optional<Part> part;

    void read(const QString& path, const QString& sql, const QString& storedSql, const QByteArray& from,
              quint32 commits, const RowComputer& rows, size_t columns, size_t expectedRows,
              std::promise<void>& started, const std::stop_token& stop)
    {
        bool told = false;
        const auto tell = [&] {
            if (!told) started.set_value();
            told = true;
        };
        try {
            Database own;
            if (own.open(path)) {
                Statement q(own, sql);
                StoredValues stored(own, storedSql);
                q.bindUtf8(1, from);
                bool more = q.next();
                // The same snapshot as the window's connection, or nothing read here.
                if (CommitCounter::read(own) == commits) {
                    tell();
                    part.emplace(columns, expectedRows);
                    for (; more && !stop.stop_requested(); more = q.next()) rows.add(q, stored, *part);
                    if (!more) outcome = Outcome::Read;
                }
            }
        } catch (const NeedsThePass&) {
            outcome = Outcome::NeedsThePass;
        } catch (const TwError&) {
            outcome = Outcome::Unread;
        }
        if (outcome == Outcome::Unread) part.reset();
        tell();
    }
};

}  // namespace

std::optional<ComputedColumns> computeColumns(Database& db, const SensorInputs& in, PassKind kind, GraphSelection drawn,
                                              const QStringList& columns,
                                              const std::function<double(QByteArrayView)>& dateKey,
                                              qsizetype expectedRows, const std::vector<qint64>& onlyRows)
{
    if (!db.isOpen() || in.id.isEmpty() || in.id.contains(u'`')) return std::nullopt;
    try {
        QSet<QString> has;
        for (const Database::Column& c : db.columns(in.id)) has.insert(c.name.toLower());
        if (has.isEmpty()) return std::nullopt;
        const QString table = SqlDialect::quoteName(in.id);
        const QString passCondition = selectionCondition(passSelection(kind));
        const RowFailure needsThePass = [](const TwError&, const QString&) { throw NeedsThePass(); };

        // Counting the readings takes the snapshot every read below shares (on a file no
        // other connection commits until the count is let go at the end). Only the asked
        // readings are counted when there are some: a count of the whole table walks it.
        const QString asked = onlyRows.empty() ? QString() : SqlDialect::rowIdsIn(onlyRows);
        Statement snapshot(db, QStringLiteral("SELECT count(*) FROM ") + table +
                                   (asked.isEmpty() ? QString() : QStringLiteral(" WHERE ") + asked));
        const qint64 tableRows = snapshot.next() ? snapshot.integer(0) : 0;
        // Room for every reading of the table at most, so the arrays are not grown and
        // copied while a million readings come in.
        if (expectedRows <= 0) expectedRows = qsizetype(tableRows);

        const RejectedValues rejected(db, in.id);
        const std::optional<Baseline> base = readBaseline(db, table, passCondition, in, rejected, needsThePass);
        if (!base) return std::nullopt;  // the pass writes nothing and says so
        const PassFormulas f(in.sensorType, in.stacked, in.kFactorText, in.gaugeLengthText);
        const PassExtra extra = passExtra(kind);
        RowComputer rows{f, *base, rejected, extra, 0, {}, {}, {}, !db.isServer(), dateKey, needsThePass};
        rows.extraCount = extra == PassExtra::Disp ? f.dispCount() : extra == PassExtra::Shear ? f.shearCount() : 0;

        // Where each asked column is among the values the pass writes (-1: it keeps what
        // is stored).
        const QStringList written = passColumns(f, extra, true);
        ComputedColumns out;
        QString sql = QStringLiteral("SELECT rowid");
        for (int i = 1; i <= ChannelCount; ++i) sql += QStringLiteral(", Channel%1").arg(i);
        // (The reading's key only where values are rejected: it finds them.)
        sql += QStringLiteral(", ChannelT, FullDate, CASE WHEN ") + passCondition +
               QStringLiteral(" THEN 1 ELSE 0 END, ") +
               (rejected.any() ? QStringLiteral("DateTimeKey") : QStringLiteral("NULL"));
        // The asked columns the pass writes are read from a file only for readings outside
        // its selection, one by one (on a server each would be a round trip); the others
        // with every reading.
        const bool lookUp = !db.isServer();
        QString storedSql;
        int read = FirstAsked, looked = 0;
        for (const QString& c : columns) {
            if (!has.contains(c.toLower()) || out.names.contains(c, Qt::CaseInsensitive)) continue;
            out.names << c;
            const int from = indexIgnoringCase(written, c);
            rows.source.push_back(from);
            rows.lookedUp.push_back(lookUp && from >= 0);
            if (!rows.lookedUp.back()) {
                rows.column.push_back(read++);
                sql += ',' + SqlDialect::quoteName(c);
            } else {
                rows.column.push_back(looked++);
                storedSql +=
                    (storedSql.isEmpty() ? QStringLiteral("SELECT ") : QStringLiteral(", ")) + SqlDialect::quoteName(c);
            }
        }
        if (looked == 0) storedSql = QStringLiteral("SELECT NULL");
        storedSql += QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE rowid = ?");
        sql += QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE (") + selectionCondition(drawn) + ')';
        if (!asked.isEmpty()) sql += QStringLiteral(" AND ") + asked;
        const QString order = QStringLiteral(" ORDER BY FullDate, rowid");
        const size_t columnCount = size_t(out.names.size());

        // A large selection of a file is read in two halves at once, the later one by a
        // helper thread on its own connection.
        const std::optional<QByteArray> middle =
            onlyRows.empty() ? middleDate(db, table, in.id, tableRows) : std::nullopt;
        LaterHalf later;
        std::promise<void> started;
        std::jthread helper;
        if (middle) {
            const QString laterSql = sql + QStringLiteral(" AND FullDate >= ?") + order;
            const size_t laterRows = size_t(tableRows - tableRows / 2);
            // (Given up when this thread stops first: the helper is then told to stop.)
            helper = std::jthread([&, laterSql, commits = *CommitCounter::read(db)](const std::stop_token& stop) {
                later.read(db.path(), laterSql, storedSql, *middle, commits, rows, columnCount, laterRows, started,
                           stop);
            });
            started.get_future().wait();
        }
        Part first(columnCount, size_t(expectedRows));
        StoredValues stored(db, storedSql);
        Statement q(db, middle ? sql + QStringLiteral(" AND FullDate < ?") + order : sql + order);
        if (middle) q.bindUtf8(1, *middle);
        while (q.next()) rows.add(q, stored, first);
        if (middle) {
            helper.join();
            if (later.outcome == LaterHalf::Outcome::NeedsThePass) return std::nullopt;
            if (later.outcome == LaterHalf::Outcome::Unread) {
                // Read here after all, still in the same snapshot.
                later.part.emplace(columnCount, size_t(tableRows - tableRows / 2));
                Statement rest(db, sql + QStringLiteral(" AND FullDate >= ?") + order);
                rest.bindUtf8(1, *middle);
                while (rest.next()) rows.add(rest, stored, *later.part);
            }
            first.append(std::move(*later.part));
        }
        snapshot.reset();

        // Kept as long as the chart shows them: much room left over is given back.
        const size_t count = first.rowIds.size();
        const bool shrink = first.rowIds.capacity() > count + count / 4;
        if (shrink) {
            first.rowIds.shrink_to_fit();
            first.dates.shrink_to_fit();
        }
        out.rowIds = std::move(first.rowIds);
        out.dates = std::make_shared<std::vector<double>>(std::move(first.dates));
        out.values = first.values.finish(count, shrink);
        return out;
    } catch (const NeedsThePass&) {
        return std::nullopt;
    } catch (const TwError&) {
        return std::nullopt;
    }
}

qint64 splitReadingsFrom() { return g_splitFrom; }
void setSplitReadingsFrom(qint64 readings) { g_splitFrom = std::max<qint64>(readings, 2); }

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
