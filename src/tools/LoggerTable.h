#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <vector>

// The rows of a comma-separated logger file, held compactly: the file's own bytes once,
// and for every row only where it starts and where each of its fields ends. A field's text
// is cut out (unquoted, trimmed, decoded) when it is asked for, so a file of a million
// lines costs little more than its size on disk.
//
// Splitting rules (the same for every logger format):
//  - fields are separated by ","; blanks and tabs around an unquoted field are dropped;
//  - a field may be enclosed in double quotes; inside it "" stands for one quote and a
//    comma is part of the text; text after the closing quote up to the separator is kept;
//  - lines end in CR LF, LF or CR; the last line need not end; blank lines are skipped;
//  - a quote never closed on its line marks the row as broken (the field runs to the
//    line's end); a line longer than MaxLineBytes is broken too and keeps no fields.
// Text encodings: UTF-8, with or without its byte-order mark, and UTF-16 (little or big
// endian) with its byte-order mark, which is turned into UTF-8 before splitting. Anything
// else is told by textProblem(): bytes that are not valid UTF-8 (the text is then shown
// as Latin-1, never stored), or NUL bytes on the first line (UTF-16 without its mark). A
// NUL byte on a later line marks that line only (hasNul), so one damaged line is refused
// on its own.
class LoggerTable {
public:
    // Progress of long work: done out of total; returning false asks the work to stop.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    static constexpr int MaxLineBytes = 65535;

    LoggerTable() = default;

    // Splits the bytes into rows. When progress asks to stop, *cancelled is set and the
    // rows split so far are kept.
    static LoggerTable fromBytes(QByteArray data, const Progress& progress = {}, bool* cancelled = nullptr);

    qsizetype rowCount() const { return qsizetype(m_rowStart.size()); }
    bool isEmpty() const { return m_rowStart.empty(); }

    int fieldCount(qsizetype row) const { return int(m_firstField[size_t(row) + 1] - m_firstField[size_t(row)]); }
    int line(qsizetype row) const { return int(m_line[size_t(row)]); }  // from 1
    bool broken(qsizetype row) const { return m_flags[size_t(row)] & Broken; }
    bool tooLong(qsizetype row) const { return m_flags[size_t(row)] & TooLong; }
    bool lineEnded(qsizetype row) const { return m_flags[size_t(row)] & Ended; }  // has a line end
    bool hasNul(qsizetype row) const { return m_flags[size_t(row)] & Nul; }       // holds a NUL byte

    // The field's text: unquoted, trimmed, decoded. Empty past the last field.
    QString field(qsizetype row, int i) const;
    // The field's bytes, unquoted and trimmed (scratch holds them when unquoting changed
    // them; the view is valid while scratch and the table live).
    QByteArrayView fieldBytes(qsizetype row, int i, QByteArray& scratch) const;
    // The line's bytes without its line end.
    QByteArrayView lineBytes(qsizetype row) const;

    // Drops the first n rows (header lines), keeping the rest in order.
    void dropLeadingRows(qsizetype n);

    bool utf8() const { return m_utf8; }
    // Why the bytes are not text this reader takes (empty when they are), and the line
    // the problem is first seen on.
    QString textProblem() const { return m_textProblem; }
    int textProblemLine() const { return m_textProblemLine; }
    // Turns UTF-16 with a byte-order mark (either byte order) into UTF-8 in place; true
    // when it did. Text that is not valid UTF-16 sets *problem. Other bytes are left alone.
    static bool convertUtf16(QByteArray& data, QString* problem = nullptr);
    QString decode(QByteArrayView bytes) const;

    // Bytes held (for figures).
    qint64 bytesHeld() const;

private:
    enum Flag : quint8 { Broken = 1, TooLong = 2, Ended = 4, Nul = 8 };
    QByteArrayView rawField(qsizetype row, int i) const;
    void checkText(qsizetype from);
    void markNulRows(qsizetype from);

    QByteArray m_data;
    bool m_utf8 = true;
    QString m_textProblem;
    int m_textProblemLine = 0;
    std::vector<quint32> m_rowStart;    // offset of the row's first byte in m_data
    std::vector<quint32> m_firstField;  // index of the row's first field end; one more entry at the end
    std::vector<quint16> m_ends;        // each field's end (its separator or the line's end), from the row's start
    std::vector<quint32> m_line;        // line number in the file
    std::vector<quint8> m_flags;
};
