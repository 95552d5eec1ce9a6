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
// The bytes are read as UTF-8 when the whole file is valid UTF-8, else as Latin-1; a
// UTF-8 byte-order mark is skipped.
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
    int line(qsizetype row) const { return int(m_line[size_t(row)]); }         // from 1
    bool broken(qsizetype row) const { return m_flags[size_t(row)] & Broken; }
    bool tooLong(qsizetype row) const { return m_flags[size_t(row)] & TooLong; }
    bool lineEnded(qsizetype row) const { return m_flags[size_t(row)] & Ended; }   // has a line end

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
    QString decode(QByteArrayView bytes) const;

    // Bytes held (for figures).
    qint64 bytesHeld() const;

private:
    enum Flag : quint8 { Broken = 1, TooLong = 2, Ended = 4 };
    QByteArrayView rawField(qsizetype row, int i) const;

    QByteArray m_data;
    bool m_utf8 = true;
    std::vector<quint32> m_rowStart;     // offset of the row's first byte in m_data
    std::vector<quint32> m_firstField;   // index of the row's first field end; one more entry at the end
    std::vector<quint16> m_ends;         // each field's end (its separator or the line's end), from the row's start
    std::vector<quint32> m_line;         // line number in the file
    std::vector<quint8> m_flags;
};
