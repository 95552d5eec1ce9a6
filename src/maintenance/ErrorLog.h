#pragma once
#include <QDateTime>
#include <QString>

// The error log "HALYX_logfile.txt" in the data folder. Each entry is an empty line, a
// line of 89 asterisks, and a line "<local date-time> - <message>", all with CR LF ends;
// the date-time is "yyyy-MM-dd HH:mm:ss" in every locale.
// The file is appended to and never truncated. Writing never fails the caller: a log
// that cannot be written is simply not written.
void WriteLog(const QString& message);

// The entry's bytes, as WriteLog appends them (exposed for tests).
QByteArray logEntry(const QString& message, const QDateTime& when);
