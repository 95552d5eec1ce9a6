// libFuzzer target: any bytes as a logger data file. The reader, the pre-selection in the
// three date layouts and the reading built from each row must never crash, and a row that
// is pre-selected must always give a whole reading.
#include "tools/ImportChecks.h"
#include "tools/LoggerFile.h"
#include "tools/WrenDates.h"
#include "tools/WrenImport.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto rows = LoggerFile::parse(bytes);
    for (const auto& row : rows) {
        int last = 0;
        for (int i = 0; i <= LoggerFile::FieldCount; ++i) {
            if (row.bounds[size_t(i)] < last || row.bounds[size_t(i)] > row.chars.size()) abort();
            last = row.bounds[size_t(i)];
        }
    }
    const WrenImport::Target withTemp{QStringLiteral("123456789"), 10, true, {10, true, -10000, 10000, -20, 60}};
    const WrenImport::Target without{QStringLiteral("123456789"), 10, false, {10, false, -10000, 10000, 0, 0}};
    for (int l = 0; l < 3; ++l) {
        const auto layout = WrenDates::Layout(l);
        const auto selected = WrenDates::preselect(rows, layout, int(size % 30) - 2);
        if (selected.size() != rows.size()) abort();
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto a = WrenImport::readingFromRow(rows[i], layout, withTemp);
            const auto b = WrenImport::readingFromRow(rows[i], layout, without);
            if (selected[i] && (!a || !b)) abort();
            if (a && (a->channels.size() != 10 || a->readingDate.size() != 10 || a->readingTime.size() != 8)) abort();
            // The import checks decide on any line without failing, and a line they pass
            // always gives a reading.
            const bool passes = ImportChecks::refusal(WrenImport::lineValues(rows[i], layout, withTemp), withTemp.limits).isEmpty();
            if (passes && !rows[i].broken && !a) abort();
        }
    }
    return 0;
}
