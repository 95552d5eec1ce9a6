// libFuzzer target: any bytes as a logger data file, in every format the import reads.
// The readers, the pre-selection, the column map's guesses and the reading built from each
// row must never crash; a row that is pre-selected by the comma-separated layout must
// always give a whole reading; the compact rows must give the same fields as the
// comma-separated reader, and the dates and numbers read from bytes the same as that
// layout's own conversions.
#include "tools/ColumnMap.h"
#include "tools/LoggerClock.h"
#include "tools/LoggerDates.h"
#include "tools/LoggerFile.h"
#include "tools/LoggerFormats.h"
#include "tools/LoggerImport.h"
#include "tools/LoggerReadings.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool ascii(QByteArrayView v)
{
    for (char c : v)
        if (uchar(c) >= 0x80) return false;
    return true;
}

void checkRows(const LoggerFormats::Opened& file, const LoggerReadings::Target& t)
{
    const ColumnMap guess = ColumnMaps::guess(file.names, file.firstRows(10), t.gauges, t.tempChannel);
    LoggerReadings::Mapping m;
    if (!LoggerFormats::mappingFor(file, guess, m).isEmpty()) return;
    const auto moments = LoggerReadings::moments(file.table, m);
    const auto selected = LoggerReadings::preselect(moments, 1);
    const auto survey = LoggerReadings::survey(file.table, selected, m, t);
    LoggerReadings::Built b;
    for (qsizetype r = 0; r < file.table.rowCount(); ++r)
        if (survey.storable[size_t(r)]) {
            if (!LoggerReadings::build(file.table, r, m, t, b).isEmpty()) abort();
            if (std::strlen(b.when.stored) != 19) abort();
        }
}

}  // namespace

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
    const LoggerImport::Target withTemp{QStringLiteral("123456789"), 10, true};
    const LoggerImport::Target without{QStringLiteral("123456789"), 10, false};
    for (int l = 0; l < 3; ++l) {
        const auto layout = LoggerDates::Layout(l);
        const auto selected = LoggerDates::preselect(rows, layout, int(size % 30) - 2);
        if (selected.size() != rows.size()) abort();
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto a = LoggerImport::readingFromRow(rows[i], layout, withTemp);
            const auto b = LoggerImport::readingFromRow(rows[i], layout, without);
            if (selected[i] && (!a || !b)) abort();
            if (a && (a->channels.size() != 10 || a->readingDate.size() != 10 || a->readingTime.size() != 8)) abort();
        }
    }

    // The byte-level conversions agree with the comma-separated layout's own (on ASCII).
    const QByteArrayView whole(bytes);
    const QByteArrayView head = whole.first(std::min<qsizetype>(whole.size(), 40));
    if (ascii(head)) {
        const QString text = QString::fromLatin1(head);
        for (int l = 0; l < 3; ++l) {
            const auto old = LoggerDates::read(text, LoggerDates::Layout(l));
            const auto now = LoggerClock::read(head, LoggerClock::Layout(l));
            if (old.has_value() != now.has_value()) abort();
            if (old && LoggerClock::display(*now) != old->fullText()) abort();
        }
        char buf[32];
        for (int d : {1, 2}) {
            const int n = LoggerReadings::leadingFixed(head, d, buf, sizeof buf);
            if (n >= 0 && QString::fromLatin1(buf, n) != LoggerImport::leadingFixed(text, d)) abort();
        }
        int len = 0;
        LoggerReadings::strictFixed(head, 2, buf, sizeof buf, &len);
    }

    // Every format, as detected and as each reader alone.
    const LoggerFormats::Opened file = LoggerFormats::open(bytes);
    if (file.format == LoggerFormats::Format::CommaSeparated) {
        if (file.table.rowCount() != qsizetype(rows.size())) abort();
        for (size_t i = 0; i < rows.size(); ++i)
            for (int f = 0; f < LoggerFile::FieldCount; ++f)
                if (file.table.field(qsizetype(i), f) != rows[i].fieldText(f)) abort();
        const auto m = LoggerFormats::commaSeparatedMapping(int(size % 3), withTemp);
        const auto selected = LoggerReadings::preselect(LoggerReadings::moments(file.table, m), 24);
        const auto survey = LoggerReadings::survey(file.table, selected, m, withTemp);
        if (!survey.refused.empty() && survey.refused.size() > size_t(file.table.rowCount())) abort();
    } else if (file.ok()) {
        checkRows(file, {QStringLiteral("123456789"), 3, true});
    }
    return 0;
}
