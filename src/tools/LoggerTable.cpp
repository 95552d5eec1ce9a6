#include "tools/LoggerTable.h"

#include <QUtf8StringView>
#include <QStringDecoder>

namespace {

constexpr int ProgressEvery = 8192;   // lines between two progress reports

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

QByteArrayView trimmedBlanks(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front())) v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back())) v.chop(1);
    return v;
}

bool validUtf8(const QByteArray& data, qsizetype from)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // Decoding in slices keeps the memory of the check small.
    constexpr qsizetype Slice = 1 << 20;
    qsizetype p = from;
    while (p < data.size()) {
        // A slice must not cut a character in two: end it on a character's first byte.
        qsizetype end = std::min(p + Slice, data.size());
        while (end < data.size() && (uchar(data[end]) & 0xC0) == 0x80) ++end;
        const QString decoded = dec.decode(QByteArrayView(data).sliced(p, end - p));
        if (dec.hasError()) return false;
        p = end;
    }
    return true;
}

}  // namespace

LoggerTable LoggerTable::fromBytes(QByteArray data, const Progress& progress, bool* cancelled)
{
    if (cancelled) *cancelled = false;
    LoggerTable t;
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    t.m_utf8 = validUtf8(data, pos);
    t.m_data = std::move(data);
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
                        if (p + 1 < n && d[p + 1] == '"') { p += 2; continue; }
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
            if (p < n && d[p] == ',') { ++p; continue; }
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
    t.m_rowStart.shrink_to_fit();
    t.m_firstField.shrink_to_fit();
    t.m_ends.shrink_to_fit();
    t.m_line.shrink_to_fit();
    t.m_flags.shrink_to_fit();
    return t;
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
            if (p + 1 < n && raw[p + 1] == '"') { doubled = true; p += 2; continue; }
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
    return m_data.capacity() + qint64(m_rowStart.capacity() * 4 + m_firstField.capacity() * 4 +
                                       m_ends.capacity() * 2 + m_line.capacity() * 4 + m_flags.capacity());
}
