// libFuzzer target: any bytes as a logger data file. The reader, the pre-selection in the
// three date layouts and the reading built from each row must never crash, and a row that
// is pre-selected must always give a whole reading.
#include "tools/LoggerDates.h"
#include "tools/LoggerFile.h"
#include "tools/LoggerImport.h"

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
    const WrenImport::Target withTemp{QStringLiteral("123456789"), 10, true};
    const WrenImport::Target without{QStringLiteral("123456789"), 10, false};
    for (int l = 0; l < 3; ++l) {
        const auto layout = WrenDates::Layout(l);
        const auto selected = WrenDates::preselect(rows, layout, int(size % 30) - 2);
        if (selected.size() != rows.size()) abort();
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto a = WrenImport::readingFromRow(rows[i], layout, withTemp);
            const auto b = WrenImport::readingFromRow(rows[i], layout, without);
            if (selected[i] && (!a || !b)) abort();
            if (a && (a->channels.size() != 10 || a->readingDate.size() != 10 || a->readingTime.size() != 8)) abort();
        }
    }
    return 0;
}
