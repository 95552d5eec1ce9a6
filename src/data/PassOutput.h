#pragma once
#include "calc/Formulas.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <vector>

class Database;
class RowUpdate;

// What a calculation pass puts out: the computed columns of each reading, written in one
// UPDATE, and its log lines, written kind after kind once the readings have been read.
namespace Calc {

// The computed columns of a row, in the order a row's statement lists them.
constexpr int NumTempSlot = ChannelCount;  // zero1..zero10 come first
constexpr int LoadSlot = NumTempSlot + 1;
constexpr int DispSlot = LoadSlot + 6;
constexpr int StretchSlot = DispSlot + 6;
constexpr int SlotCount = StretchSlot + 4;
using SlotSet = quint32;  // bit n: the column of slot n is written

// Writes each row's computed columns in one UPDATE: one prepared statement per set of
// columns met (a row whose loads failed keeps its Load columns, and kinds write different
// columns), each clearing the row's mark.
class RowWriter {
public:
    RowWriter(Database& db, QString id);
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // values: SlotCount numbers, of which those of the columns in `columns` are written.
    void write(qint64 rowId, SlotSet columns, const double* values);
    // Sends what a server's batches still hold.
    void flush();

private:
    struct Prepared {
        SlotSet columns = 0;
        std::vector<int> order;
        std::unique_ptr<RowUpdate> update;
    };
    Prepared& statementFor(SlotSet columns);

    Database& m_db;
    QString m_id;
    std::vector<Prepared> m_statements;
    size_t m_last = 0;
};

// The log lines of one kind, kept while the read computes every kind and written after it,
// kind after kind, as the kind's own pass writes them: its baseline's failures, then its
// readings' failures as one unit of the log (each once, then how often and for which
// readings).
class DeferredLog {
public:
    void before(const QString& message) { m_before << message; }
    void add(const QString& message, const QString& key);
    // Writes what is kept, and forgets it.
    void write();

private:
    struct Entry {
        qint64 count = 0;
        QString first;
        QString last;
    };
    QStringList m_before;
    QStringList m_order;
    QHash<QString, Entry> m_seen;
};

}  // namespace Calc
