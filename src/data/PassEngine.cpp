#include "data/PassEngine.h"
#include "data/PassOutput.h"
#include "calc/Formulas.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "data/PassRows.h"
#include "data/Passes.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "store/Statement.h"
#include "store/Statistics.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace Calc {

namespace {

const QString PassTag = QStringLiteral(" G_GetTemporalData");

constexpr qint64 ProgressEvery = 2048;

// Result columns of the row queries: rowid, Channel1..Channel10, ChannelT, FullDate,
// DateTimeKey, then (in a read shared by several kinds) one flag per selection.
constexpr int RowIdColumn = 0;
constexpr int KeyColumn = 13;
constexpr int FirstFlagColumn = 14;

QString channelList()
{
    QString cols;
    for (int i = 1; i <= ChannelCount; ++i) cols += QStringLiteral(", Channel%1").arg(i);
    return cols;
}

QString trapped(const TwError& e, const QString& tag) { return trapMessage(e.number, e.description, tag); }

// Whether a pass from these formulas ends at the first reading it computes: the loads can
// be computed and the displacements cannot (both depend on the inputs alone).
bool displacementsFail(const PassFormulas& f)
{
    Columns loads;
    try {
        loads = f.loads(ChannelValues{});
    } catch (const TwError&) {
        return false;  // no loads, so no displacement is tried
    }
    try {
        (void)f.displacements(loads);
    } catch (const TwError&) {
        return true;
    }
    return false;
}

// One kind of the request: its selection, baseline, plan and outcome.
struct KindRun {
    const KindRequest* req = nullptr;
    QString condition;
    std::optional<Baseline> base;  // none: its selection is empty
    DeferredLog log;

    // The plan, made in the kind's turn.
    bool skipped = false;  // no record at its turn, and it runs only with one
    bool runs = false;
    std::optional<PassFormulas> f;
    PassExtra extra = PassExtra::None;
    int zeroGroup = 0;    // kinds with the same baseline share the zeros
    int loadGroup = 0;    // ... and with the same type, layout and k factor the loads
    int flagColumn = -1;  // its selection's flag in a shared read
    bool byRow = false;   // quick, in a shared read: its readings are known by their rows
    int pendingBind = 2;
    bool quick = false;
    bool ends = false;       // a displacement that cannot be computed ends it at its first reading
    bool overLimit = false;  // forgotten for the readings pending for it
    QString pendingName;
    qint64 total = 0;
    std::unordered_set<qint64> rows;  // quick, in a read shared with other kinds

    // The outcome.
    qint64 written = 0;
    int failures = 0;
    bool ended = false;
    QString endLine;
    qint64 failedRow = -1;
};

bool sameOffsets(const std::array<double, 11>& a, const std::array<double, 11>& b)
{
    return std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

// The passes of a request over one sensor's table, in one transaction.
class MergedPass {
public:
    MergedPass(Shared& s, const std::vector<KindRequest>& request, QString table)
        : m_s(s),
          m_id(request.front().in.id),
          m_table(std::move(table)),
          m_runs(request.size())
    {
        for (size_t i = 0; i < request.size(); ++i) {
            m_runs[i].req = &request[i];
            m_runs[i].condition = selectionCondition(passSelection(request[i].kind));
        }
    }

    std::vector<KindRun>& runs() { return m_runs; }

    // Reads the baselines; throws when the table cannot be read.
    void readBaselines(const RejectedValues& rejected)
    {
        for (KindRun& k : m_runs)
            k.base = readBaseline(m_s.db, m_table, k.condition, k.req->in, rejected,
                                  [&k](const TwError& e, const QString& tag) { k.log.before(trapped(e, tag)); });
    }

    // The kinds' turns before the read: what each takes as marked, whether it computes only
    // the changed readings, and the records as its pass leaves them before it writes.
    void plan(PassRecord& record)
    {
        int bind = 2;
        for (size_t i = 0; i < m_runs.size(); ++i) {
            KindRun& k = m_runs[i];
            const PassKind kind = k.req->kind;
            k.runs = k.quick = k.ends = k.overLimit = false;
            k.skipped = k.req->onlyIfRecorded && !record.recorded(kind);
            if (k.skipped || !k.base) continue;
            k.runs = true;
            // The earlier kinds to be recorded when the read ends count as recorded, as
            // they are by now when the kinds run one after another.
            std::vector<PassKind> soon, forgotten;
            for (size_t j = 0; j < i; ++j)
                if (recordedAtTheEnd(m_runs[j])) soon.push_back(m_runs[j].req->kind);
            const qint64 marked = record.keepMarksForOthers(kind, seenCondition(i), soon, &forgotten);
            for (size_t j = 0; j < i; ++j)
                if (std::find(forgotten.begin(), forgotten.end(), m_runs[j].req->kind) != forgotten.end())
                    m_runs[j].overLimit = true;
            qint64 pending = 0;
            if (k.base->failures == 0 && marked <= PassRecord::PendingLimit && record.upToDate(kind, k.base->basis)) {
                pending =
                    m_s.db
                        .scalar(QStringLiteral("SELECT count(*) FROM PassPending WHERE SensorID = ? AND Pass = ?"),
                                {m_id, passName(kind)})
                        .toLongLong();
                k.quick = pending <= PassRecord::PendingLimit;
            }
            const SensorInputs& in = k.req->in;
            k.f.emplace(in.sensorType, in.stacked, in.kFactorText, in.gaugeLengthText);
            k.extra = passExtra(kind);
            k.pendingName = passName(kind);
            if (k.quick && i + 1 < m_runs.size()) {
                // Its pending readings are read under a name of their own: those the later
                // kinds remember for it from here on stay for its next pass.
                k.pendingName += QStringLiteral(" (being computed)");
                m_s.db.execute(QStringLiteral("UPDATE PassPending SET Pass = ? WHERE SensorID = ? AND Pass = ?"),
                               {k.pendingName, m_id, passName(kind)});
            }
            k.total = k.quick ? marked + pending
                              : m_s.db
                                    .scalar(QStringLiteral("SELECT count(*) FROM ") + m_table +
                                            QStringLiteral(" WHERE ") + k.condition)
                                    .toLongLong();
            if (writesDisplacements(kind) && displacementsFail(*k.f)) k.ends = !k.quick || quickRowCount(i) > 0;
            if (k.ends) record.forget(kind);
            else if (!k.quick) record.clearPending(kind);
            record.forgetOthersUnlike(kind, k.base->basis);
            if (k.quick) k.pendingBind = bind++;  // its pending name's number in a shared read
        }
        groupKinds();
    }

    // The read of every reading some kind computes.
    QString readQuery(std::vector<std::pair<int, QString>>& binds)
    {
        const QString cols =
            QStringLiteral("rowid") + channelList() + QStringLiteral(", ChannelT, FullDate, DateTimeKey");
        binds.clear();
        std::vector<size_t> running;
        for (size_t i = 0; i < m_runs.size(); ++i)
            if (m_runs[i].runs) running.push_back(i);
        if (running.size() == 1) {
            KindRun& k = m_runs[running.front()];
            k.flagColumn = -1;
            k.byRow = false;
            if (!k.quick)
                return QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + m_table +
                       QStringLiteral(" WHERE ") + k.condition + QStringLiteral(" ORDER BY FullDate, rowid");
            // The marked readings of the selection and those pending for this pass, in no
            // particular order (each reading is computed on its own; ordering them would
            // cost a walk through the whole date index).
            binds = {{1, m_id}, {2, k.pendingName}};
            return quickQuery(running.front(), cols, 2);
        }
        // Several kinds: each full one's selection (a flag tells whether a reading is in
        // it), and the readings the quick ones compute (known by their row).
        QStringList where, quickParts, flagConditions;
        QString flags;
        for (size_t i : running) {
            KindRun& k = m_runs[i];
            if (k.quick) {
                if (binds.empty()) binds.push_back({1, m_id});
                binds.push_back({k.pendingBind, k.pendingName});
                quickParts << quickQuery(i, QStringLiteral("rowid"), k.pendingBind);
                k.flagColumn = -1;
                k.byRow = true;
                k.rows = quickRows(i);
                continue;
            }
            k.byRow = false;
            qsizetype at = flagConditions.indexOf(k.condition);
            if (at < 0) {
                at = flagConditions.size();
                flagConditions << k.condition;
                flags += QStringLiteral(", CASE WHEN ") + k.condition + QStringLiteral(" THEN 1 ELSE 0 END");
                where << k.condition;
            }
            k.flagColumn = FirstFlagColumn + int(at);
        }
        if (!quickParts.isEmpty())
            where << QStringLiteral("rowid IN (") + quickParts.join(QStringLiteral(" UNION ")) + ')';
        return QStringLiteral("SELECT ") + cols + flags + QStringLiteral(" FROM ") + m_table +
               QStringLiteral(" WHERE (") + where.join(QStringLiteral(") OR (")) + ')' +
               (flagConditions.isEmpty() ? QString() : QStringLiteral(" ORDER BY FullDate, rowid"));
    }

    // After the read: the marks and pending readings each kind computed are cleared, and
    // each kind's record kept, made or forgotten as its own pass would leave it.
    void finish(PassRecord& record)
    {
        for (size_t i = 0; i < m_runs.size(); ++i) {
            KindRun& k = m_runs[i];
            if (!k.runs) continue;
            const PassKind kind = k.req->kind;
            if (!k.ends) record.clearMarks(k.condition);
            if (k.quick) {
                if (k.pendingName == passName(kind)) record.clearPending(kind);
                else
                    m_s.db.execute(QStringLiteral("DELETE FROM PassPending WHERE SensorID = ? AND Pass = ?"),
                                   {m_id, k.pendingName});
            }
            if (k.ends) continue;
            if (k.failures > 0) record.forget(kind);
            else if (!k.quick) {
                // A later kind that wrote other values into the rows they share forgets it.
                bool kept = !k.overLimit;
                for (size_t l = i + 1; l < m_runs.size(); ++l)
                    if (m_runs[l].runs && !storesAlike(m_runs[l].req->kind, m_runs[l].base->basis, kind, k.base->basis))
                        kept = false;
                if (kept) record.record(kind, k.base->basis, k.written);
                else record.forget(kind);
            }
        }
    }

    // Before the pass runs (again): the outcome so far is dropped, its log lines written
    // when it is run again.
    void resetOutcome(bool again)
    {
        for (KindRun& k : m_runs) {
            if (again) k.log.write();
            k.written = 0;
            k.failures = k.base ? k.base->failures : 0;
            k.ended = false;
            k.endLine.clear();
            k.failedRow = -1;
            k.rows.clear();
        }
    }

private:
    // What kind i takes as marked: the marked readings of its selection that no earlier
    // kind's pass cleared.
    QString seenCondition(size_t i) const
    {
        QString c = m_runs[i].condition;
        for (size_t j = 0; j < i; ++j)
            if (m_runs[j].runs && !m_runs[j].ends)
                c += QStringLiteral(" AND CASE WHEN ") + m_runs[j].condition + QStringLiteral(" THEN 0 ELSE 1 END = 1");
        return c;
    }
    // Whether a kind may be recorded when the read ends (a full pass that has not failed so
    // far).
    static bool recordedAtTheEnd(const KindRun& k)
    {
        return k.runs && !k.quick && !k.ends && !k.overLimit && k.base->failures == 0;
    }
    // A reading not marked at kind i's turn.
    QString unmarkedCondition(size_t i) const
    {
        QString c = QStringLiteral("coalesce(IsDirty, 0) = 0");
        bool cleared = false;
        for (size_t j = 0; j < i; ++j)
            if (m_runs[j].runs && !m_runs[j].ends) {
                c += QStringLiteral(" OR ") + m_runs[j].condition;
                cleared = true;
            }
        return cleared ? '(' + c + ')' : c;
    }
    QString quickQuery(size_t i, const QString& what, int pendingBind) const
    {
        return QStringLiteral("SELECT ") + what + QStringLiteral(" FROM ") + m_table + QStringLiteral(" WHERE ") +
               PassRecord::markedCondition() + QStringLiteral(" AND ") + seenCondition(i) +
               QStringLiteral(" UNION ALL SELECT ") + what + QStringLiteral(" FROM ") + m_table +
               QStringLiteral(
                   " WHERE DateTimeKey IN (SELECT DateTimeKey FROM PassPending WHERE SensorID = ?1 AND "
                   "Pass = ?") +
               QString::number(pendingBind) + QStringLiteral(") AND ") + unmarkedCondition(i) +
               QStringLiteral(" AND ") + m_runs[i].condition;
    }
    std::unordered_set<qint64> quickRows(size_t i)
    {
        std::unordered_set<qint64> rows;
        Statement q(m_s.db, quickQuery(i, QStringLiteral("rowid"), 2));
        q.bind(1, m_id);
        q.bind(2, m_runs[i].pendingName);
        while (q.next()) rows.insert(q.integer(0));
        return rows;
    }
    qint64 quickRowCount(size_t i) { return qint64(quickRows(i).size()); }

    void groupKinds()
    {
        for (size_t i = 0; i < m_runs.size(); ++i) {
            KindRun& k = m_runs[i];
            k.zeroGroup = k.loadGroup = int(i);
            if (!k.runs) continue;
            for (size_t j = 0; j < i; ++j) {
                const KindRun& o = m_runs[j];
                if (!o.runs || !sameOffsets(o.base->offsets, k.base->offsets)) continue;
                k.zeroGroup = o.zeroGroup;
                const SensorInputs &a = o.req->in, &b = k.req->in;
                if (a.sensorType == b.sensorType && a.stacked == b.stacked && a.kFactorText == b.kFactorText) {
                    k.loadGroup = o.loadGroup;
                    break;
                }
            }
        }
    }

    Shared& m_s;
    QString m_id;
    QString m_table;
    std::vector<KindRun> m_runs;
};

// What the kinds computing one reading share of it.
struct SharedRow {
    std::vector<RowValues> zeros;               // by zero group
    std::vector<std::optional<Columns>> loads;  // by load group
    std::vector<QString> loadFailure;           // by load group, empty when none
    std::vector<char> zerosDone, loadsDone;
    QStringList zeroFailures;  // a channel text that is not a number
};

}  // namespace

QString selectionCondition(GraphSelection selection)
{
    switch (selection) {
        case GraphSelection::Plottable:
            return QStringLiteral("DoNotPlot = False");
        case GraphSelection::Temporal:
            return QStringLiteral("Plottemporal = True");
        case GraphSelection::Spatial:
            break;
    }
    return QStringLiteral("PlotSpatial = True");
}

std::optional<std::vector<PassResult>> runQuickPasses(Shared& s, const std::vector<KindRequest>& request,
                                                      const EmptySelectionRoad& emptySelection)
{
    if (request.empty()) return std::vector<PassResult>{};
    const QString id = request.front().in.id;
    if (!s.db.isOpen() || id.isEmpty() || id.contains(u'`')) return std::nullopt;
    MergedPass merged(s, request, SqlDialect::quoteName(id));
    std::vector<KindRun>& runs = merged.runs();
    std::optional<RejectedValues> rejected;
    try {
        rejected.emplace(s.db, id);
        merged.readBaselines(*rejected);
    } catch (const TwError&) {
        return std::nullopt;  // no such table, or it cannot be read: the recordset road says so
    }
    std::vector<PassResult> results(request.size());
    bool anyBaseline = false;
    for (const KindRun& k : runs) anyBaseline = anyBaseline || k.base.has_value();
    if (!anyBaseline) {
        // Nothing to compute: each kind's empty selection is told in its turn.
        for (size_t i = 0; i < runs.size(); ++i) {
            const KindRequest& r = request[i];
            bool recorded = !r.onlyIfRecorded;
            if (!recorded) ignoringErrors([&] { recorded = PassRecord(s.db, id).recorded(r.kind).has_value(); });
            if (recorded) results[i] = emptySelection(r);
        }
        return results;
    }
    const std::function<bool(qint64, qint64)>& progress = request.front().in.progress;
    const std::function<void()>& snapshotTaken = request.front().in.snapshotTaken;

    std::optional<Transaction> tx;
    qint64 written = 0;
    qint64 failedRow = -1;
    bool cancelled = false;
    bool storing = false;  // a failure met while the database stores what the pass wrote
    merged.resetOutcome(false);
    const auto pass = [&] {
        // One snapshot for the whole pass: a reading another user changes meanwhile is not
        // overwritten with values computed from what it was, nor its mark cleared (the
        // write fails, the pass is rolled back, and the next pass computes it).
        tx.emplace(s.db, Transaction::Lock::Snapshot);
        if (snapshotTaken) snapshotTaken();
        PassRecord record(s.db, id);
        merged.plan(record);
        std::vector<std::pair<int, QString>> binds;
        Statement read(s.db, merged.readQuery(binds));
        for (const auto& [index, value] : binds) read.bind(index, value);
        qint64 total = 0;
        for (const KindRun& k : runs)
            if (k.runs) total = std::max(total, k.total);
        RowWriter writer(s.db, id);

        SharedRow row;
        row.zeros.resize(runs.size());
        row.loads.resize(runs.size());
        row.loadFailure.resize(runs.size());
        const RowFailure zeroFailed = [&row](const TwError& e, const QString& tag) {
            row.zeroFailures << trapped(e, tag);
        };
        const RowFailure ignored = [](const TwError&, const QString&) {};
        size_t failing = 0;
        const RowFailure loadFailed = [&row, &failing](const TwError& e, const QString& tag) {
            row.loadFailure[failing] = trapped(e, tag);
        };
        double values[SlotCount];
        while (read.next()) {
            const qint64 rowId = read.integer(RowIdColumn);
            failedRow = rowId;
            row.zerosDone.assign(runs.size(), 0);
            row.loadsDone.assign(runs.size(), 0);
            row.zeroFailures.clear();
            bool anyZeros = false;
            quint16 mask = 0;
            QString key;
            bool keyRead = false;
            SlotSet columns = 0;
            for (KindRun& k : runs) {
                if (!k.runs || k.ended) continue;
                const bool in =
                    k.flagColumn >= 0 ? read.integer(k.flagColumn) != 0 : !k.byRow || k.rows.count(rowId) > 0;
                if (!in) continue;
                if (!anyZeros) mask = rejected->any() ? rejected->of(read.utf8(KeyColumn)) : 0;
                const size_t zg = size_t(k.zeroGroup), lg = size_t(k.loadGroup);
                if (!row.zerosDone[zg]) {
                    computeZeros(read, k.base->offsets, mask, anyZeros ? ignored : zeroFailed, row.zeros[zg]);
                    row.zerosDone[zg] = 1;
                    anyZeros = true;
                }
                const RowValues& z = row.zeros[zg];
                if (!row.loadsDone[lg]) {
                    failing = lg;
                    row.loadFailure[lg].clear();
                    row.loads[lg] = loadsOrNone(*k.f, z.zero, loadFailed);
                    row.loadsDone[lg] = 1;
                }
                const std::optional<Columns>& loads = row.loads[lg];
                if (!keyRead && (!row.zeroFailures.isEmpty() || !row.loadFailure[lg].isEmpty())) {
                    key = read.text(KeyColumn);
                    keyRead = true;
                }
                for (const QString& m : std::as_const(row.zeroFailures)) k.log.add(m, key);
                k.failures += int(row.zeroFailures.size());
                if (!row.loadFailure[lg].isEmpty()) {
                    k.log.add(row.loadFailure[lg], key);
                    ++k.failures;
                }
                Columns more;
                if (k.extra == PassExtra::Disp && loads) {
                    try {
                        more = k.f->displacements(*loads);
                    } catch (const TwError& e) {
                        // Ends this kind's pass here; the other kinds go on.
                        k.ended = true;
                        k.endLine = trapped(e, PassTag);
                        k.failedRow = rowId;
                        continue;
                    }
                } else if (k.extra == PassExtra::Shear) more = k.f->shears(z.zero);
                for (int c = 1; c <= ChannelCount; ++c) values[c - 1] = z.zero[size_t(c)];
                values[NumTempSlot] = z.numTemp;
                columns |= (SlotSet(1) << LoadSlot) - 1;
                if (loads) {
                    for (int c = 1; c <= loads->count; ++c) values[LoadSlot + c - 1] = (*loads)[c];
                    columns |= ((SlotSet(1) << loads->count) - 1) << LoadSlot;
                }
                const int moreSlot = k.extra == PassExtra::Disp ? DispSlot : StretchSlot;
                if (k.extra == PassExtra::Shear || (k.extra == PassExtra::Disp && loads)) {
                    for (int c = 1; c <= more.count; ++c) values[moreSlot + c - 1] = more[c];
                    columns |= ((SlotSet(1) << more.count) - 1) << moreSlot;
                }
                ++k.written;
            }
            if (columns == 0) {
                failedRow = -1;
                continue;
            }
            storing = true;
            writer.write(rowId, columns, values);
            storing = false;
            ++written;
            failedRow = -1;
            if (progress && written % ProgressEvery == 0 && !progress(written, std::max(total, written))) {
                cancelled = true;
                return;
            }
        }
        storing = true;
        writer.flush();
        merged.finish(record);
    };
    // A server refuses the pass's write when another user changed the row since the pass
    // read it: the pass is run once more, on a new snapshot, before anything is told.
    int conflictsLeft = s.db.isServer() ? 1 : 0;
    const bool ran = runTrapped(PassTag, [&] {
        for (;;) {
            try {
                pass();
                return;
            } catch (const TwError& e) {
                const bool again = e.storage == StorageKind::Locked && storing && !cancelled && conflictsLeft-- > 0;
                if (!again) {
                    // What the kinds logged comes before the failure's own line.
                    for (KindRun& k : runs) k.log.write();
                    throw;
                }
                tx.reset();
                written = 0;
                failedRow = -1;
                storing = false;
                merged.resetOutcome(true);
            }
        }
    });
    if (cancelled) {
        // Rolled back as a whole: the stored values stay as they were.
        tx.reset();
        for (size_t i = 0; i < runs.size(); ++i) {
            runs[i].log.write();
            if (!runs[i].runs) continue;
            s.rsGraph = std::make_unique<Recordset>(s.db);
            s.offsets = runs[i].base->offsets;
            results[i].open = GraphOpenStatus::Opened;
            results[i].cancelled = true;
        }
        return results;
    }
    if (!ran && storing) {
        // The database refused a write (a server ends the transaction there anyway): the
        // pass is rolled back as a whole, so nothing is half-written and every mark is
        // still set for the next pass.
        tx.reset();
        written = 0;
    }
    if (!ran && tx) {
        // Ended early: the rows written so far stay, these kinds' records are gone, and the
        // others are kept only where they still match what was written.
        runTrapped(PassTag, [&] {
            PassRecord record(s.db, id);
            for (const KindRun& k : runs)
                if (k.runs) {
                    record.forget(k.req->kind);
                    record.forgetOthersUnlike(k.req->kind, k.base->basis);
                }
        });
    }
    const bool committed = tx && runTrapped(PassTag, [&] { tx->commit(); });
    // Each kind in its turn: its log lines, the graph data and offsets it leaves, and the
    // recordset road for an empty selection.
    for (size_t i = 0; i < runs.size(); ++i) {
        KindRun& k = runs[i];
        if (k.skipped) continue;
        if (!k.base) {
            results[i] = emptySelection(request[i]);
            continue;
        }
        s.rsGraph = std::make_unique<Recordset>(s.db);
        s.offsets = k.base->offsets;
        k.log.write();
        if (k.ended) WriteLog(k.endLine);
        PassResult& r = results[i];
        r.open = GraphOpenStatus::Opened;
        r.rowsWritten = committed ? k.written : 0;
        r.completed = ran && committed && !k.ended;
        r.fullPass = !k.quick;
        r.selected = k.total;
        if (committed) Statistics::refreshAfter(s.db, id, r.rowsWritten);
        if (!ran || k.ended) {
            // As when the recordset road stops at a row: the graph data stays open on the
            // selection, at the row that failed.
            const qint64 at = k.ended ? k.failedRow : failedRow;
            ignoringErrors([&] {
                s.rsGraph->open(graphQuery(id, passSelection(k.req->kind)));
                if (at < 0 || !s.rsGraph->setBookmark(at))
                    if (s.rsGraph->recordCount() > 0) s.rsGraph->moveFirst();
            });
        }
    }
    return results;
}

}  // namespace Calc
