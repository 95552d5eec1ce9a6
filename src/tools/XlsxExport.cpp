#include "tools/XlsxExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QVector>
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

bool digits(QStringView t, qsizetype from, qsizetype count)
{
    for (qsizetype i = from; i < from + count; ++i)
        if (t[i] < u'0' || t[i] > u'9') return false;
    return true;
}

Cell classify(const QString& text)
{
    Cell c;
    const QStringView t(text);
    if (t.isEmpty()) return c;
    if (t == u"True" || t == u"False") {
        c.kind = Kind::Boolean;
        c.flag = (t == u"True");
        return c;
    }
    if (t.size() == 10 && t[4] == u'/' && t[7] == u'/' && digits(t, 0, 4) && digits(t, 5, 2) && digits(t, 8, 2)) {
        const int y = t.mid(0, 4).toInt(), m = t.mid(5, 2).toInt(), d = t.mid(8, 2).toInt();
        if (y >= 1900 && QDate(y, m, d).isValid()) {
            c.kind = Kind::Date;
            c.when = {y, m, d, 0, 0, 0};
            return c;
        }
        return c;
    }
    if (t.size() == 8 && t[2] == u':' && t[5] == u':' && digits(t, 0, 2) && digits(t, 3, 2) && digits(t, 6, 2)) {
        const int h = t.mid(0, 2).toInt(), mi = t.mid(3, 2).toInt(), s = t.mid(6, 2).toInt();
        if (h < 24 && mi < 60 && s < 60) {
            c.kind = Kind::Time;
            c.when = {0, 0, 0, h, mi, double(s)};
        }
        return c;
    }
    // A plain decimal number: optional sign, digits, at most one ".".
    qsizetype i = 0;
    if (t[0] == u'-' || t[0] == u'+') ++i;
    int before = 0, after = 0;
    bool dot = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= u'0' && t[i] <= u'9') (dot ? after : before)++;
        else if (t[i] == u'.' && !dot) dot = true;
        else return c;
    }
    if (before + after == 0 || before + after > 15) return c;
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok) return c;
    c.kind = Kind::Number;
    c.number = v;
    c.decimals = std::min(after, 6);
    return c;
}

int displayLength(const QString& text, const Cell& c)
{
    switch (c.kind) {
    case Kind::Boolean: return 5;
    case Kind::Date: return 10;
    case Kind::Time: return 8;
    default: return int(text.size());
    }
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

Result writeGrid(const QString& path, const QString& sheetName, int rows, int columns, const CellText& cell,
                 const LoggerFile::Progress& progress, const QList<TextSheet>& more)
{
    Result result;
    const qint64 total = qint64(rows) * 2;

    // First pass: the widths, so the columns can be set before the rows are streamed.
    QVector<int> widths(columns, 0);
    for (int r = 0; r < rows; ++r) {
        if (progress && r % 2048 == 0 && !progress(r, total)) {
            result.cancelled = true;
            return result;
        }
        for (int c = 0; c < columns; ++c) {
            const QString t = cell(r, c);
            widths[c] = std::max(widths[c], r == 0 ? int(t.size()) : displayLength(t, classify(t)));
        }
    }

    const QString tmpDir = QDir::tempPath();
    QByteArray tmp = tmpDir.toLocal8Bit();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmp.data();
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
    QHash<int, lxw_format*> numberFormats;
    auto numberFormat = [&](int decimals) {
        auto it = numberFormats.find(decimals);
        if (it != numberFormats.end()) return *it;
        lxw_format* f = workbook_add_format(wb);
        const QByteArray pattern = decimals ? QByteArray("0.") + QByteArray(decimals, '0') : QByteArray("0");
        format_set_num_format(f, pattern.constData());
        numberFormats.insert(decimals, f);
        return f;
    };

    for (int c = 0; c < columns; ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::clamp(widths[c] + 2, 6, 80), nullptr);

    for (int r = 0; r < rows; ++r) {
        if (progress && r % 2048 == 0 && !progress(rows + r, total)) {
            result.cancelled = true;
            break;
        }
        for (int c = 0; c < columns; ++c) {
            const QString t = cell(r, c);
            if (t.isEmpty()) continue;
            const lxw_row_t row = lxw_row_t(r);
            const lxw_col_t col = lxw_col_t(c);
            if (r == 0) {
                worksheet_write_string(ws, row, col, t.toUtf8().constData(), headerFormat);
                continue;
            }
            Cell k = classify(t);
            switch (k.kind) {
            case Kind::Number: worksheet_write_number(ws, row, col, k.number, numberFormat(k.decimals)); break;
            case Kind::Date: worksheet_write_datetime(ws, row, col, &k.when, dateFormat); break;
            case Kind::Time: worksheet_write_datetime(ws, row, col, &k.when, timeFormat); break;
            case Kind::Boolean: worksheet_write_boolean(ws, row, col, k.flag ? 1 : 0, nullptr); break;
            default: worksheet_write_string(ws, row, col, t.toUtf8().constData(), nullptr); break;
            }
        }
    }
    for (const TextSheet& sheet : more) {
        if (result.cancelled) break;
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
    if (result.cancelled) {
        QFile::remove(path);
        return result;
    }
    if (closed != LXW_NO_ERROR) {
        QFile::remove(path);
        result.error = errorText(closed);
        return result;
    }
    if (progress) progress(total, total);
    const QFileInfo written(path);
    if (!written.exists() || written.size() == 0) {
        result.error = QStringLiteral("The workbook is empty");
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace XlsxExport
