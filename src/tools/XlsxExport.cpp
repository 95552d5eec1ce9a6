#include "tools/XlsxExport.h"
#include "core/TwError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QVector>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

namespace XlsxExport {

namespace {

enum class Kind { Text, Number, Date, Time, DateTime, Boolean };

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
    // A moment: "yyyy/MM/dd HH:mm:ss", one date-time cell.
    if (t.size() == 19 && t[10] == ' ') {
        const Cell day = classify(t.first(10)), time = classify(t.sliced(11));
        if (day.kind == Kind::Date && time.kind == Kind::Time) {
            c.kind = Kind::DateTime;
            c.when = day.when;
            c.when.hour = time.when.hour;
            c.when.min = time.when.min;
            c.when.sec = time.when.sec;
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
        case Kind::Boolean:
            return 5;
        case Kind::Date:
            return 10;
        case Kind::Time:
            return 8;
        case Kind::DateTime:
            return 19;
        default:
            break;
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

namespace {

// A write the library refused, with its words.
struct WriteFailed {
    QString what;
};

void check(lxw_error e, const char* what)
{
    if (e != LXW_NO_ERROR) throw WriteFailed{QString::fromLatin1(what) + QStringLiteral(": ") + errorText(e)};
}

template <class T>
T* check(T* made, const char* what)
{
    if (!made) throw WriteFailed{QString::fromLatin1(what)};
    return made;
}

// The workbook under construction: its formats, the data sheets (a further one each time
// a sheet is full), and the column widths found on the way.
class Book {
public:
    Book(lxw_workbook* wb, const QString& sheetName, const QStringList& header)
        : m_wb(wb),
          m_sheetName(sheetNameFor(sheetName)),
          m_header(header),
          m_widths(int(header.size()), 0)
    {
        m_dateFormat = check(workbook_add_format(wb), "A format could not be added");
        format_set_num_format(m_dateFormat, "yyyy/mm/dd");
        m_timeFormat = check(workbook_add_format(wb), "A format could not be added");
        format_set_num_format(m_timeFormat, "hh:mm:ss");
        m_dateTimeFormat = check(workbook_add_format(wb), "A format could not be added");
        format_set_num_format(m_dateTimeFormat, "yyyy/mm/dd hh:mm:ss");
        m_headerFormat = check(workbook_add_format(wb), "A format could not be added");
        format_set_bold(m_headerFormat);
        for (int d = 0; d <= 6; ++d) {
            m_numberFormats[d] = check(workbook_add_format(wb), "A format could not be added");
            const QByteArray pattern = d ? QByteArray("0.") + QByteArray(d, '0') : QByteArray("0");
            format_set_num_format(m_numberFormats[d], pattern.constData());
        }
        for (int c = 0; c < m_widths.size(); ++c) m_widths[c] = int(header[c].size());
        startSheet();
    }

    lxw_format* headerFormat() const { return m_headerFormat; }

    // Writes one data row, on a further sheet once the current one is full.
    void writeRow(const QByteArrayView* cells, QByteArray& text)
    {
        if (m_row == lxw_row_t(LXW_ROW_MAX)) startSheet();
        const lxw_row_t row = m_row++;
        for (int c = 0; c < m_widths.size(); ++c) {
            const QByteArrayView t = cells[c];
            if (t.isEmpty()) continue;
            const lxw_col_t col = lxw_col_t(c);
            Cell k = classify(t);
            m_widths[c] = std::max(m_widths[c], displayLength(t, k));
            lxw_error e = LXW_NO_ERROR;
            switch (k.kind) {
                case Kind::Number:
                    e = worksheet_write_number(m_sheet, row, col, k.number, m_numberFormats[k.decimals]);
                    break;
                case Kind::Date:
                    e = worksheet_write_datetime(m_sheet, row, col, &k.when, m_dateFormat);
                    break;
                case Kind::Time:
                    e = worksheet_write_datetime(m_sheet, row, col, &k.when, m_timeFormat);
                    break;
                case Kind::DateTime:
                    e = worksheet_write_datetime(m_sheet, row, col, &k.when, m_dateTimeFormat);
                    break;
                case Kind::Boolean:
                    e = worksheet_write_boolean(m_sheet, row, col, k.flag ? 1 : 0, nullptr);
                    break;
                default:
                    text = QByteArray(t.data(), t.size());  // the library wants a terminated string
                    e = worksheet_write_string(m_sheet, row, col, text.constData(), nullptr);
                    break;
            }
            check(e, "A cell could not be written");
        }
    }

    // The widths found on the way, on every data sheet (the column list is written ahead
    // of the rows when the workbook is assembled).
    void setWidths()
    {
        for (lxw_worksheet* ws : m_sheets)
            for (int c = 0; c < m_widths.size(); ++c)
                check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::clamp(m_widths[c] + 2, 6, 80), nullptr),
                      "A column width could not be set");
    }

private:
    // A sheet with the heading row: the first under the given name, the next ones under
    // that name with " (2)", " (3)", ... (within the 31 characters a sheet name may have).
    void startSheet()
    {
        QString name = m_sheetName;
        if (!m_sheets.isEmpty()) {
            const QString suffix = QStringLiteral(" (%1)").arg(m_sheets.size() + 1);
            name = m_sheetName.left(31 - suffix.size()) + suffix;
        }
        const QByteArray name8 = name.toUtf8();
        m_sheet = check(workbook_add_worksheet(m_wb, name8.constData()), "A sheet could not be added");
        m_sheets << m_sheet;
        // The heading stays in view while the readings scroll.
        worksheet_freeze_panes(m_sheet, 1, 0);
        for (int c = 0; c < m_header.size(); ++c) {
            const QByteArray h = m_header[c].toUtf8();
            if (!h.isEmpty())
                check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), h.constData(), m_headerFormat),
                      "A heading could not be written");
        }
        m_row = 1;
    }

    lxw_workbook* m_wb;
    QString m_sheetName;
    QStringList m_header;
    QVector<int> m_widths;
    QList<lxw_worksheet*> m_sheets;
    lxw_worksheet* m_sheet = nullptr;
    lxw_row_t m_row = 1;
    lxw_format* m_dateFormat = nullptr;
    lxw_format* m_timeFormat = nullptr;
    lxw_format* m_dateTimeFormat = nullptr;
    lxw_format* m_headerFormat = nullptr;
    lxw_format* m_numberFormats[7] = {};
};

void writeTextSheet(lxw_workbook* wb, const TextSheet& sheet, lxw_format* firstColumn)
{
    const QByteArray name = sheetNameFor(sheet.name).toUtf8();
    lxw_worksheet* ws = check(workbook_add_worksheet(wb, name.constData()), "A sheet could not be added");
    int longest = 0;
    for (const QStringList& row : sheet.rows)
        if (!row.isEmpty()) longest = std::max(longest, int(row.first().size()));
    check(worksheet_set_column(ws, 0, 0, std::clamp(longest + 2, 8, 40), nullptr), "A column width could not be set");
    check(worksheet_set_column(ws, 1, 5, 22, nullptr), "A column width could not be set");
    for (int r = 0; r < sheet.rows.size(); ++r)
        for (int c = 0; c < sheet.rows[r].size(); ++c)
            if (!sheet.rows[r][c].isEmpty())
                check(worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), sheet.rows[r][c].toUtf8().constData(),
                                             c == 0 ? firstColumn : nullptr),
                      "A cell could not be written");
}

}  // namespace

Result writeRows(const QString& path, const QString& sheetName, const QStringList& header, qint64 dataRows,
                 const RowReader& reader, const LoggerFile::Progress& progress, const QList<TextSheet>& more)
{
    Result result;
    const QByteArray tmp = QDir::tempPath().toLocal8Bit();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmp.constData());
    // The workbook is written under a name of its own and takes the file's name only once
    // it is complete: a failed or cancelled export never leaves a file that looks whole,
    // and an earlier file of that name stays as it was.
    const QString partial = path + QStringLiteral(".partial");
    const QByteArray file = QFile::encodeName(partial);
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    if (!wb) {
        result.error = QStringLiteral("The workbook could not be created");
        return result;
    }

    const qint64 total = std::max<qint64>(dataRows, 0);
    qint64 done = 0;
    QString failure;
    try {
        Book book(wb, sheetName, header);
        QByteArray text;
        if (progress && !progress(0, total)) result.cancelled = true;
        if (!result.cancelled) {
            // Rows are written as they come: the library keeps only the current one.
            reader([&](const QByteArrayView* cells) {
                book.writeRow(cells, text);
                ++done;
                if (progress && done % 2048 == 0 && !progress(done, total)) {
                    result.cancelled = true;
                    return false;
                }
                return true;
            });
        }
        // A last word before the file is finished.
        if (!result.cancelled && progress && !progress(done, total)) result.cancelled = true;
        if (!result.cancelled) {
            book.setWidths();
            for (const TextSheet& sheet : more) writeTextSheet(wb, sheet, book.headerFormat());
        }
    } catch (const WriteFailed& e) {
        failure = e.what;
    } catch (const TwError& e) {
        failure = e.description;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    const lxw_error closed = workbook_close(wb);
    if (failure.isEmpty() && !result.cancelled && closed != LXW_NO_ERROR) failure = errorText(closed);
    if (failure.isEmpty() && !result.cancelled && QFileInfo(partial).size() == 0)
        failure = QStringLiteral("The workbook is empty");
    if (failure.isEmpty() && !result.cancelled &&
        std::rename(file.constData(), QFile::encodeName(path).constData()) != 0)
        failure =
            QStringLiteral("The workbook could not be given its name: ") + QString::fromLocal8Bit(std::strerror(errno));
    if (result.cancelled || !failure.isEmpty()) {
        QFile::remove(partial);
        result.error = failure;
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
    return writeRows(
        path, sheetName, header, std::max(rows - 1, 0),
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
