#include "data/PassEngine.h"
#include "calc/Formulas.h"
#include "core/ErrorLog.h"
#include "core/ErrorTrap.h"
#include "data/PassRows.h"
#include "data/Passes.h"
#include "data/Rejections.h"
#include "session/Shared.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "store/SqlDialect.h"
#include "store/RowUpdate.h"
#include "store/Statement.h"
#include "store/Statistics.h"

#include <QByteArray>
#include <QHash>
#include <cmath>
#include <limits>

namespace Calc {

namespace {

const QString PassTag = QStringLiteral(" G_GetTemporalData");

constexpr qint64 ProgressEvery = 2048;

// Result columns of the row queries: rowid, Channel1..Channel10, ChannelT.
constexpr int RowIdColumn = 0;
constexpr int KeyColumn = 13;

QString channelList()
{
    QString cols;
    for (int i = 1; i <= ChannelCount; ++i) cols += QStringLiteral(", Channel%1").arg(i);
    return cols;
}

void logTrapped(const TwError& e, const QString& tag) { WriteLog(trapMessage(e.number, e.description, tag)); }

// The two UPDATE statements of a pass: one for a row whose loads were computed and one for
// a row whose loads failed (it keeps its Load columns, and its Disp columns in the
// displacement passes). Each writes a fixed list of columns and clears the mark.
class RowWriter {
public:
    RowWriter(Database& db, const QString& id, const PassFormulas& f, PassExtra extra)
        : m_withLoads(db, id, passColumns(f, extra, true), QStringLiteral("IsDirty = 0")),
          m_withoutLoads(db, id, passColumns(f, extra, false), QStringLiteral("IsDirty = 0")),
          m_loads(f.loadCount()),
          m_extra(extra == PassExtra::Disp    ? f.dispCount()
                  : extra == PassExtra::Shear ? f.shearCount()
                                              : 0),
          m_extraNeedsLoads(extra == PassExtra::Disp)
    {}

    void write(qint64 rowId, const RowValues& row)
    {
        double values[ChannelCount + 1 + 6 + 6];
        row.flatten(m_loads, m_extra, m_extraNeedsLoads, values);
        (row.loads ? m_withLoads : m_withoutLoads).write(rowId, values);
    }

    // Sends what a server's batches still hold.
    void flush()
    {
        m_withLoads.flush();
        m_withoutLoads.flush();
    }

private:
    RowUpdate m_withLoads;
    RowUpdate m_withoutLoads;
    int m_loads;
    int m_extra;
    bool m_extraNeedsLoads;
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

std::optional<PassResult> runQuickPass(Shared& s, const SensorInputs& in, GraphSelection selection, PassKind kind,
                                       PassExtra extra)
{
    if (!s.db.isOpen() || in.id.isEmpty() || in.id.contains(u'`')) return std::nullopt;
    const QString table = SqlDialect::quoteName(in.id);
    const QString condition = selectionCondition(selection);

    std::optional<Baseline> base;
    std::optional<RejectedValues> rejected;
    try {
        rejected.emplace(s.db, in.id);
        base = readBaseline(s.db, table, condition, in, *rejected, logTrapped);
    } catch (const TwError&) {
        return std::nullopt;  // no such table, or it cannot be read: the recordset road says so
    }
    if (!base) return std::nullopt;

    // From here on this is the pass: the previous graph data is released, as opening the
    // selection would.
    s.rsGraph = std::make_unique<Recordset>(s.db);
    s.offsets = base->offsets;
    PassResult result;
    result.open = GraphOpenStatus::Opened;

    std::optional<Transaction> tx;
    qint64 written = 0;
    qint64 failedRow = -1;
    int failures = base->failures;
    bool cancelled = false;
    bool quick = false;
    bool storing = false;  // a failure met while the database stores what the pass wrote
    qint64 selected = 0;
    const auto pass = [&] {
        // One snapshot for the whole pass: a reading another user changes meanwhile is not
        // overwritten with values computed from what it was, nor its mark cleared (the
        // write fails, the pass is rolled back, and the next pass computes it).
        tx.emplace(s.db, Transaction::Lock::Snapshot);
        PassRecord record(s.db, in.id);
        const qint64 marked = record.keepMarksForOthers(kind, condition);
        qint64 pending = 0;
        if (base->failures == 0 && marked <= PassRecord::PendingLimit && record.upToDate(kind, base->basis)) {
            pending = s.db.scalar(QStringLiteral("SELECT count(*) FROM PassPending WHERE SensorID = ? AND Pass = ?"),
                                  {in.id, passName(kind)})
                          .toLongLong();
            quick = pending <= PassRecord::PendingLimit;
        }
        const PassFormulas f(in.sensorType, in.stacked, in.kFactorText, in.gaugeLengthText);
        RowWriter writer(s.db, in.id, f, extra);

        const QString cols =
            QStringLiteral("rowid") + channelList() + QStringLiteral(", ChannelT, FullDate, DateTimeKey");
        QString sql;
        qint64 total = 0;
        if (quick) {
            // The marked readings of the selection and those pending for this pass, in no
            // particular order (each reading is computed on its own; ordering them would
            // cost a walk through the whole date index).
            sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") +
                  PassRecord::markedCondition() + QStringLiteral(" AND ") + condition +
                  QStringLiteral(" UNION ALL SELECT ") + cols + QStringLiteral(" FROM ") + table +
                  QStringLiteral(
                      " WHERE DateTimeKey IN (SELECT DateTimeKey FROM PassPending WHERE SensorID = ?1 AND "
                      "Pass = ?2) AND coalesce(IsDirty, 0) = 0 AND ") +
                  condition;
            total = marked + pending;
        } else {
            sql = QStringLiteral("SELECT ") + cols + QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") +
                  condition + QStringLiteral(" ORDER BY FullDate, rowid");
            total = s.db.scalar(QStringLiteral("SELECT count(*) FROM ") + table + QStringLiteral(" WHERE ") + condition)
                        .toLongLong();
        }
        selected = total;
        Statement read(s.db, sql);
        if (quick) {
            read.bind(1, in.id);
            read.bind(2, passName(kind));
        }
        // A pass is one unit of the log: a failure met on every reading (an empty k factor)
        // is written once, then how often it happened and for which readings.
        const LogBulkScope logScope(QStringLiteral("calculation pass"), [&read] { return read.text(KeyColumn); });
        const RowFailure countedFailure = [&failures](const TwError& e, const QString& tag) {
            logTrapped(e, tag);
            ++failures;
        };
        while (read.next()) {
            const qint64 rowId = read.integer(RowIdColumn);
            failedRow = rowId;
            const quint16 mask = rejected->any() ? rejected->of(read.utf8(KeyColumn)) : 0;
            RowValues row;
            computeRow(read, f, base->offsets, mask, extra, countedFailure, row);
            storing = true;
            writer.write(rowId, row);
            storing = false;
            ++written;
            failedRow = -1;
            if (in.progress && written % ProgressEvery == 0 && !in.progress(written, std::max(total, written))) {
                cancelled = true;
                return;
            }
        }
        storing = true;
        writer.flush();
        // Every marked reading of the selection is computed (and pending for the other
        // passes); the marks outside it stay for the passes that compute them.
        record.clearMarks(condition);
        record.clearPending(kind);
        if (failures > 0) record.forget(kind);
        else if (!quick) record.record(kind, base->basis, written);
        record.forgetOthersUnlike(kind, base->basis);
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
                if (e.storage != StorageKind::Locked || !storing || cancelled || conflictsLeft-- <= 0) throw;
                tx.reset();
                written = 0;
                failedRow = -1;
                failures = base->failures;
                quick = false;
                storing = false;
                selected = 0;
            }
        }
    });
    if (cancelled) {
        // Rolled back as a whole: the stored values stay as they were.
        tx.reset();
        result.cancelled = true;
        return result;
    }
    if (!ran && storing) {
        // The database refused a write (a server ends the transaction there anyway): the
        // pass is rolled back as a whole, so nothing is half-written and every mark is
        // still set for the next pass.
        tx.reset();
        written = 0;
    }
    if (!ran && tx) {
        // Ended early: the rows written so far stay, this pass's record is gone, and the
        // others are kept only where they still match what was written.
        runTrapped(PassTag, [&] {
            PassRecord record(s.db, in.id);
            record.forget(kind);
            record.forgetOthersUnlike(kind, base->basis);
        });
    }
    const bool committed = tx && runTrapped(PassTag, [&] { tx->commit(); });
    if (!committed) written = 0;
    else Statistics::refreshAfter(s.db, in.id, written);
    result.rowsWritten = written;
    result.completed = ran && committed;
    result.fullPass = !quick;
    result.selected = selected;
    if (!ran) {
        // As when the recordset road stops at a row: the graph data stays open on the
        // selection, at the row that failed.
        ignoringErrors([&] {
            s.rsGraph->open(graphQuery(in.id, selection));
            if (failedRow < 0 || !s.rsGraph->setBookmark(failedRow))
                if (s.rsGraph->recordCount() > 0) s.rsGraph->moveFirst();
        });
    }
    return result;
}

}  // namespace Calc
