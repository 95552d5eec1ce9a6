#include "data/PassOutput.h"
#include "core/ErrorLog.h"
#include "store/RowUpdate.h"

namespace Calc {

namespace {
QString slotName(int slot)
{
    if (slot < NumTempSlot) return QStringLiteral("zero%1").arg(slot + 1);
    if (slot == NumTempSlot) return QStringLiteral("NumTemp");
    if (slot < DispSlot) return QStringLiteral("Load%1").arg(slot - LoadSlot + 1);
    if (slot < StretchSlot) return QStringLiteral("Disp%1").arg(slot - DispSlot + 1);
    return QStringLiteral("Stretch%1").arg(slot - StretchSlot + 1);
}
}  // namespace

RowWriter::RowWriter(Database& db, QString id) : m_db(db), m_id(std::move(id)) {}

RowWriter::~RowWriter() = default;

void RowWriter::write(qint64 rowId, SlotSet columns, const double* values)
{
    Prepared& e = statementFor(columns);
    double packed[SlotCount];
    int n = 0;
    for (int slot : e.order) packed[n++] = values[slot];
    e.update->write(rowId, packed);
}

void RowWriter::flush()
{
    for (Prepared& e : m_statements) e.update->flush();
}

RowWriter::Prepared& RowWriter::statementFor(SlotSet columns)
{
    if (m_last < m_statements.size() && m_statements[m_last].columns == columns) return m_statements[m_last];
    for (m_last = 0; m_last < m_statements.size(); ++m_last)
        if (m_statements[m_last].columns == columns) return m_statements[m_last];
    Prepared e;
    e.columns = columns;
    QStringList names;
    for (int slot = 0; slot < SlotCount; ++slot)
        if (columns & (SlotSet(1) << slot)) {
            e.order.push_back(slot);
            names << slotName(slot);
        }
    e.update = std::make_unique<RowUpdate>(m_db, m_id, names, QStringLiteral("IsDirty = 0"));
    m_statements.push_back(std::move(e));
    return m_statements.back();
}

void DeferredLog::add(const QString& message, const QString& key)
{
    const auto it = m_seen.find(message);
    if (it != m_seen.end()) {
        ++it->count;
        it->last = key;
        return;
    }
    m_seen.insert(message, {1, key, key});
    m_order << message;
}

void DeferredLog::write()
{
    for (const QString& m : std::as_const(m_before)) WriteLog(m);
    m_before.clear();
    if (m_order.isEmpty()) return;
    QString key;
    {
        // The bulk log asks for the reading's key of an entry's first and later times.
        const LogBulkScope scope(QStringLiteral("calculation pass"), [&key] { return key; });
        for (const QString& m : std::as_const(m_order)) {
            key = m_seen[m].first;
            WriteLog(m);
        }
        for (const QString& m : std::as_const(m_order)) {
            const Entry& e = m_seen[m];
            key = e.last;
            for (qint64 i = 1; i < e.count; ++i) WriteLog(m);
        }
    }
    m_order.clear();
    m_seen.clear();
}

}  // namespace Calc
