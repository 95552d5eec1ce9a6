#include "tools/LoggerTable.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstring>

namespace {

constexpr int ProgressEvery = 8192;  // lines between two progress reports

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

QByteArrayView trimmedBlanks(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front())) v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back())) v.chop(1);
    return v;
}

// The offset of the first byte that is not part of valid UTF-8 (an overlong form, a
// surrogate or a code point past U+10FFFF counts as invalid), or -1 when all are valid.
qsizetype firstInvalidUtf8(const char* s, qsizetype from, qsizetype n)
{
    const auto* d = reinterpret_cast<const uchar*>(s);
    qsizetype i = from;
    while (i < n) {
        // Runs of ASCII go eight bytes at a time.
        if (i + 8 <= n) {
            quint64 w;
            std::memcpy(&w, d + i, 8);
            if ((w & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const uchar c = d[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        uchar lo = 0x80, hi = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c == 0xE0) {
            len = 3;
            lo = 0xA0;
        } else if (c == 0xED) {
            len = 3;
            hi = 0x9F;
        } else if (c >= 0xE1 && c <= 0xEF) len = 3;
        else if (c == 0xF0) {
            len = 4;
            lo = 0x90;
        } else if (c >= 0xF1 && c <= 0xF3) len = 4;
        else if (c == 0xF4) {
            len = 4;
            hi = 0x8F;
        } else return i;
        if (i + len > n || d[i + 1] < lo || d[i + 1] > hi) return i;
        for (int k = 2; k < len; ++k)
            if ((d[i + k] & 0xC0) != 0x80) return i;
        i += len;
    }
    return -1;
}

// The line (from 1, counted as the splitter counts them) that holds the byte at offset.
int lineAt(const QByteArray& data, qsizetype from, qsizetype offset)
{
    int line = 1;
    for (qsizetype i = from; i < offset; ++i)
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 >= data.size() || data[i + 1] != '\n'))) ++line;
    return line;
}

}  // namespace

LoggerTable LoggerTable::fromBytes(QByteArray data, const Progress& progress, bool* cancelled)
{
    if (cancelled) *cancelled = false;
    LoggerTable t;
    QString utf16Problem;
    convertUtf16(data, &utf16Problem);
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    t.m_data = std::move(data);
    if (!utf16Problem.isEmpty()) {
        t.m_textProblem = utf16Problem;
        t.m_textProblemLine = 1;
    } else {
        t.checkText(pos);
    }
    const qsizetype textStart = pos;
    const char* d = t.m_data.constData();
    // Offsets are kept in 32 bits: callers refuse larger files; past that nothing is read.
    const qsizetype n = std::min<qsizetype>(t.m_data.size(), 0xFFFFFFFFLL);
    const size_t guess = size_t(n / 64 + 1);
    t.m_rowStart.reserve(guess);
    t.m_firstField.reserve(guess + 1);
    t.m_line.reserve(guess);
    t.m_flags.reserve(guess);
    t.m_ends.reserve(guess * 10);
    t.m_firstField.push_back(0);

    quint32 line = 0;
    while (pos < n) {
        ++line;
        if (progress && line % ProgressEvery == 0 && !progress(pos, n)) {
            if (cancelled) *cancelled = true;
            break;
        }
        // Blank lines are skipped.
        qsizetype p = pos;
        while (p < n && isBlank(d[p])) ++p;
        if (p >= n || isLineEnd(d[p])) {
            if (p < n && d[p] == '\r') ++p;
            if (p < n && d[p] == '\n') ++p;
            pos = p;
            continue;
        }
        const qsizetype start = pos;
        quint8 flags = 0;
        const size_t firstEnd = t.m_ends.size();
        p = pos;
        bool lineDone = false;
        while (!lineDone) {
            while (p < n && isBlank(d[p])) ++p;
            if (p < n && d[p] == '"') {
                ++p;
                bool closed = false;
                while (p < n && !isLineEnd(d[p])) {
                    if (d[p] == '"') {
                        if (p + 1 < n && d[p + 1] == '"') {
                            p += 2;
                            continue;
                        }
                        ++p;
                        closed = true;
                        break;
                    }
                    ++p;
                }
                if (!closed) flags |= Broken;
            }
            while (p < n && d[p] != ',' && !isLineEnd(d[p])) ++p;
            const qsizetype rel = p - start;
            if (rel > MaxLineBytes) flags |= TooLong;
            else t.m_ends.push_back(quint16(rel));
            if (p < n && d[p] == ',') {
                ++p;
                continue;
            }
            lineDone = true;
        }
        if (flags & TooLong) {
            t.m_ends.resize(firstEnd);
            flags |= Broken;
        }
        if (p < n) {
            flags |= Ended;
            if (d[p] == '\r') ++p;
            if (p < n && d[p] == '\n') ++p;
        }
        pos = p;
        t.m_rowStart.push_back(quint32(start));
        t.m_firstField.push_back(quint32(t.m_ends.size()));
        t.m_line.push_back(line);
        t.m_flags.push_back(flags);
    }
    if (progress && !(cancelled && *cancelled)) progress(n, n);
    if (t.m_textProblem.isEmpty()) t.markNulRows(textStart);
    t.m_rowStart.shrink_to_fit();
    t.m_firstField.shrink_to_fit();
    t.m_ends.shrink_to_fit();
    t.m_line.shrink_to_fit();
    t.m_flags.shrink_to_fit();
    return t;
}

bool LoggerTable::convertUtf16(QByteArray& data, QString* problem)
{
    const bool little = data.startsWith("\xFF\xFE"), big = data.startsWith("\xFE\xFF");
    if (!little && !big) return false;
    QStringDecoder decoder(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(data).sliced(2));
    if (problem && (decoder.hasError() || data.size() % 2 != 0 || !text.isValidUtf16()))
        *problem = QStringLiteral("the file is not valid UTF-16 text (%1 endian, as its byte-order mark says)")
                       .arg(little ? QStringLiteral("little") : QStringLiteral("big"));
    data = text.toUtf8();
    return true;
}

void LoggerTable::checkText(qsizetype from)
{
    const char* d = m_data.constData();
    const qsizetype n = m_data.size();
    const qsizetype bad = firstInvalidUtf8(d, from, n);
    m_utf8 = bad < 0;
    if (bad >= 0) {
        m_textProblemLine = lineAt(m_data, from, bad);
        m_textProblem = QStringLiteral(
            "the file is not UTF-8 text: it holds bytes that are not valid UTF-8 "
            "(save it as UTF-8 or UTF-16)");
        return;
    }
    // A NUL byte on the first line that holds anything is no damaged line but text in
    // another encoding (UTF-16 without its mark holds one in every other byte).
    const void* nul = from < n ? std::memchr(d + from, 0, size_t(n - from)) : nullptr;
    if (!nul) return;
    const qsizetype at = static_cast<const char*>(nul) - d;
    qsizetype p = from;
    while (p < at && (isBlank(d[p]) || isLineEnd(d[p]))) ++p;
    if (std::any_of(d + p, d + at, isLineEnd)) return;
    m_textProblemLine = lineAt(m_data, from, at);
    m_textProblem = QStringLiteral(
        "the file is not UTF-8 text: it holds NUL bytes (UTF-16 text needs its "
        "byte-order mark)");
}

void LoggerTable::markNulRows(qsizetype from)
{
    const char* d = m_data.constData();
    const qsizetype n = m_data.size();
    for (qsizetype p = from; p < n;) {
        const void* nul = std::memchr(d + p, 0, size_t(n - p));
        if (!nul) break;
        const qsizetype at = static_cast<const char*>(nul) - d;
        const auto next = std::upper_bound(m_rowStart.begin(), m_rowStart.end(), quint32(at));
        if (next != m_rowStart.begin()) m_flags[size_t(next - m_rowStart.begin() - 1)] |= Nul;
        p = at + 1;
    }
}

QByteArrayView LoggerTable::rawField(qsizetype row, int i) const
{
    if (row < 0 || row >= rowCount() || i < 0 || i >= fieldCount(row)) return {};
    const size_t f = m_firstField[size_t(row)] + size_t(i);
    const qsizetype from = i == 0 ? 0 : qsizetype(m_ends[f - 1]) + 1;
    const qsizetype to = m_ends[f];
    return QByteArrayView(m_data).sliced(qsizetype(m_rowStart[size_t(row)]) + from, to - from);
}

QByteArrayView LoggerTable::fieldBytes(qsizetype row, int i, QByteArray& scratch) const
{
    QByteArrayView raw = rawField(row, i);
    while (!raw.isEmpty() && isBlank(raw.front())) raw = raw.sliced(1);
    if (raw.isEmpty() || raw.front() != '"') return trimmedBlanks(raw);
    // Quoted: the text inside, "" as one quote, then whatever follows the closing quote.
    qsizetype p = 1;
    const qsizetype n = raw.size();
    qsizetype close = -1;
    bool doubled = false;
    while (p < n) {
        if (raw[p] == '"') {
            if (p + 1 < n && raw[p + 1] == '"') {
                doubled = true;
                p += 2;
                continue;
            }
            close = p;
            break;
        }
        ++p;
    }
    if (close < 0) {
        const QByteArrayView inside = raw.sliced(1);
        if (!doubled) return inside;
        scratch = inside.toByteArray().replace("\"\"", "\"");
        return scratch;
    }
    const QByteArrayView inside = raw.sliced(1, close - 1);
    QByteArrayView tail = raw.sliced(close + 1);
    while (!tail.isEmpty() && isBlank(tail.back())) tail.chop(1);
    if (!doubled && tail.isEmpty()) return inside;
    scratch = inside.toByteArray();
    if (doubled) scratch.replace("\"\"", "\"");
    scratch += tail;
    return scratch;
}

QString LoggerTable::field(qsizetype row, int i) const
{
    QByteArray scratch;
    return decode(fieldBytes(row, i, scratch));
}

QByteArrayView LoggerTable::lineBytes(qsizetype row) const
{
    if (row < 0 || row >= rowCount()) return {};
    const qsizetype start = m_rowStart[size_t(row)];
    qsizetype end = start;
    while (end < m_data.size() && !isLineEnd(m_data[end])) ++end;
    return QByteArrayView(m_data).sliced(start, end - start);
}

QString LoggerTable::decode(QByteArrayView bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

void LoggerTable::dropLeadingRows(qsizetype n)
{
    n = std::clamp<qsizetype>(n, 0, rowCount());
    if (n == 0) return;
    const quint32 firstEnd = m_firstField[size_t(n)];
    m_rowStart.erase(m_rowStart.begin(), m_rowStart.begin() + n);
    m_line.erase(m_line.begin(), m_line.begin() + n);
    m_flags.erase(m_flags.begin(), m_flags.begin() + n);
    m_firstField.erase(m_firstField.begin(), m_firstField.begin() + n);
    for (quint32& f : m_firstField) f -= firstEnd;
    m_ends.erase(m_ends.begin(), m_ends.begin() + firstEnd);
}

qint64 LoggerTable::bytesHeld() const
{
    return m_data.capacity() + qint64(m_rowStart.capacity() * 4 + m_firstField.capacity() * 4 + m_ends.capacity() * 2 +
                                      m_line.capacity() * 4 + m_flags.capacity());
}
