#include "tools/XlsxExport.h"
#include "core/TwError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QVector>
#include <algorithm>
#include <charconv>
#include <xlsxwriter.h>

namespace XlsxExport {

namespace {

enum class Kind { Text, Number, Date, Time, Boolean };

struct Cell {
    Kind kind = Kind::Text;
    double number = 0;
    int decimals = 0;
    lxw_datetime when{};
    bool flag = false;
};

bool digits(QByteArrayView t, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i)
        if (t[i] < '0' || t[i] > '9') return false;
    return true;
}

int number(QByteArrayView t, qsizetype from, qsizetype count)
{
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) v = v * 10 + (t[i] - '0');
    return v;
}

bool validDate(int y, int m, int d)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// What a cell's text is written as; works on the UTF-8 bytes (every shape it recognises
// is ASCII).
Cell classify(QByteArrayView t)
{
    Cell c;
    if (t.isEmpty()) return c;
    if (t == "True" || t == "False") {
        c.kind = Kind::Boolean;
        c.flag = (t == "True");
        return c;
    }
    if (t.size() == 10 && t[4] == '/' && t[7] == '/' && digits(t, 0, 4) && digits(t, 5, 2) && digits(t, 8, 2)) {
        const int y = number(t, 0, 4), m = number(t, 5, 2), d = number(t, 8, 2);
        if (y >= 1900 && validDate(y, m, d)) {
            c.kind = Kind::Date;
            c.when = {y, m, d, 0, 0, 0};
        }
        return c;
    }
    if (t.size() == 8 && t[2] == ':' && t[5] == ':' && digits(t, 0, 2) && digits(t, 3, 2) && digits(t, 6, 2)) {
        const int h = number(t, 0, 2), mi = number(t, 3, 2), s = number(t, 6, 2);
        if (h < 24 && mi < 60 && s < 60) {
            c.kind = Kind::Time;
            c.when = {0, 0, 0, h, mi, double(s)};
        }
        return c;
    }
    // A plain decimal number: optional sign, digits, at most one ".".
    qsizetype i = 0;
    const bool negative = t[0] == '-';
    if (t[0] == '-' || t[0] == '+') ++i;
    const qsizetype start = i;
    int before = 0, after = 0;
    bool dot = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') (dot ? after : before)++;
        else if (t[i] == '.' && !dot) dot = true;
        else return c;
    }
    if (before + after == 0 || before + after > 15) return c;
    double v = 0;
    if (before == 0 || (dot && after == 0) || t[0] == '+') {
        // The rarer shapes (".5", "5.", "+5") as the C locale reads them.
        bool ok = false;
        v = QLocale::c().toDouble(QString::fromLatin1(t.data(), t.size()), &ok);
        if (!ok) return c;
    } else {
        char buf[24];
        qsizetype n = 0;
        for (qsizetype k = start; k < t.size(); ++k) buf[n++] = t[k];
        const auto r = std::from_chars(buf, buf + n, v);
        if (r.ec != std::errc() || r.ptr != buf + n) return c;
        if (negative) v = -v;
    }
    c.kind = Kind::Number;
    c.number = v;
    c.decimals = std::min(after, 6);
    return c;
}

int displayLength(QByteArrayView text, const Cell& c)
{
    switch (c.kind) {
    case Kind::Boolean: return 5;
    case Kind::Date: return 10;
    case Kind::Time: return 8;
    default: break;
    }
    // Characters, not bytes.
    int n = 0;
    for (char ch : text)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++n;
    return n;
}

QString errorText(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }

}  // namespace

QString sheetNameFor(const QString& name)
{
    QString out = name;
    for (QChar& ch : out)
        if (QStringLiteral("[]:*?/\\").contains(ch)) ch = u'_';
    out = out.left(31);
    if (out.startsWith(u'\'')) out[0] = u'_';
    if (out.endsWith(u'\'')) out[out.size() - 1] = u'_';
    if (out.trimmed().isEmpty()) out = QStringLiteral("Sheet1");
    return out;
}

Result writeRows(const QString& path, const QString& sheetName, const QStringList& header, qint64 dataRows,
                 const RowReader& reader, const LoggerFile::Progress& progress, const QList<TextSheet>& more)
{
    Result result;
    const int columns = int(header.size());
    const QByteArray tmp = QDir::tempPath().toLocal8Bit();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmp.constData());
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    if (!wb) {
        result.error = QStringLiteral("The workbook could not be created");
        return result;
    }
    const QByteArray name = sheetNameFor(sheetName).toUtf8();
    lxw_worksheet* ws = workbook_add_worksheet(wb, name.constData());
    if (!ws) ws = workbook_add_worksheet(wb, nullptr);

    lxw_format* dateFormat = workbook_add_format(wb);
    format_set_num_format(dateFormat, "yyyy/mm/dd");
    lxw_format* timeFormat = workbook_add_format(wb);
    format_set_num_format(timeFormat, "hh:mm:ss");
    lxw_format* headerFormat = workbook_add_format(wb);
    format_set_bold(headerFormat);
    lxw_format* numberFormats[7] = {};
    for (int d = 0; d <= 6; ++d) {
        numberFormats[d] = workbook_add_format(wb);
        const QByteArray pattern = d ? QByteArray("0.") + QByteArray(d, '0') : QByteArray("0");
        format_set_num_format(numberFormats[d], pattern.constData());
    }

    QVector<int> widths(columns, 0);
    for (int c = 0; c < columns; ++c) {
        const QByteArray h = header[c].toUtf8();
        widths[c] = int(header[c].size());
        if (!h.isEmpty()) worksheet_write_string(ws, 0, lxw_col_t(c), h.constData(), headerFormat);
    }

    // Rows are written as they come: the library keeps only the current one.
    const qint64 total = std::max<qint64>(dataRows, 0);
    qint64 done = 0;
    QByteArray text;
    if (progress && !progress(0, total)) result.cancelled = true;
    QString failure;
    if (!result.cancelled) {
        try {
            reader([&](const QByteArrayView* cells) {
                const lxw_row_t row = lxw_row_t(done + 1);
                for (int c = 0; c < columns; ++c) {
                    const QByteArrayView t = cells[c];
                    if (t.isEmpty()) continue;
                    const lxw_col_t col = lxw_col_t(c);
                    Cell k = classify(t);
                    widths[c] = std::max(widths[c], displayLength(t, k));
                    switch (k.kind) {
                    case Kind::Number: worksheet_write_number(ws, row, col, k.number, numberFormats[k.decimals]); break;
                    case Kind::Date: worksheet_write_datetime(ws, row, col, &k.when, dateFormat); break;
                    case Kind::Time: worksheet_write_datetime(ws, row, col, &k.when, timeFormat); break;
                    case Kind::Boolean: worksheet_write_boolean(ws, row, col, k.flag ? 1 : 0, nullptr); break;
                    default:
                        text = QByteArray(t.data(), t.size());   // the library wants a terminated string
                        worksheet_write_string(ws, row, col, text.constData(), nullptr);
                        break;
                    }
                }
                ++done;
                if (progress && done % 2048 == 0 && !progress(done, total)) {
                    result.cancelled = true;
                    return false;
                }
                return true;
            });
        } catch (const TwError& e) {
            failure = e.description;
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
    }
    // A last word before the file is finished.
    if (failure.isEmpty() && !result.cancelled && progress && !progress(done, total)) result.cancelled = true;

    // The widths found on the way (the column list is written ahead of the rows when the
    // workbook is assembled).
    for (int c = 0; c < columns; ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::clamp(widths[c] + 2, 6, 80), nullptr);
    for (const TextSheet& sheet : more) {
        if (result.cancelled || !failure.isEmpty()) break;
        const QByteArray sheetName8 = sheetNameFor(sheet.name).toUtf8();
        lxw_worksheet* extra = workbook_add_worksheet(wb, sheetName8.constData());
        if (!extra) continue;
        int longest = 0;
        for (const QStringList& row : sheet.rows)
            if (!row.isEmpty()) longest = std::max(longest, int(row.first().size()));
        worksheet_set_column(extra, 0, 0, std::clamp(longest + 2, 8, 40), nullptr);
        worksheet_set_column(extra, 1, 5, 22, nullptr);
        for (int r = 0; r < sheet.rows.size(); ++r)
            for (int c = 0; c < sheet.rows[r].size(); ++c)
                if (!sheet.rows[r][c].isEmpty())
                    worksheet_write_string(extra, lxw_row_t(r), lxw_col_t(c), sheet.rows[r][c].toUtf8().constData(),
                                           c == 0 ? headerFormat : nullptr);
    }
    const lxw_error closed = workbook_close(wb);
    if (result.cancelled || !failure.isEmpty()) {
        QFile::remove(path);
        result.error = failure;
        return result;
    }
    if (closed != LXW_NO_ERROR) {
        QFile::remove(path);
        result.error = errorText(closed);
        return result;
    }
    const QFileInfo written(path);
    if (!written.exists() || written.size() == 0) {
        result.error = QStringLiteral("The workbook is empty");
        return result;
    }
    result.ok = true;
    return result;
}

Result writeGrid(const QString& path, const QString& sheetName, int rows, int columns, const CellText& cell,
                 const LoggerFile::Progress& progress, const QList<TextSheet>& more)
{
    QStringList header;
    for (int c = 0; c < columns; ++c) header << (rows > 0 ? cell(0, c) : QString());
    return writeRows(path, sheetName, header, std::max(rows - 1, 0),
                     [&](const RowSink& sink) {
                         QVector<QByteArray> bytes(columns);
                         QVector<QByteArrayView> views(columns);
                         for (int r = 1; r < rows; ++r) {
                             for (int c = 0; c < columns; ++c) {
                                 bytes[c] = cell(r, c).toUtf8();
                                 views[c] = bytes[c];
                             }
                             if (!sink(views.constData())) return;
                         }
                     },
                     progress, more);
}

}  // namespace XlsxExport
