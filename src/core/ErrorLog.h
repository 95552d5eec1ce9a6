#pragma once
#include <QDateTime>
#include <QString>
#include <functional>

// The error log "HALYX_logfile.txt" in the data folder. Each entry is an empty line, a
// line of 89 asterisks, and a line "<local date-time> - <message>", all with CR LF ends;
// the date-time is "yyyy-MM-dd HH:mm:ss" in every locale. Writing never fails the caller:
// a log that cannot be written (or rotated) is simply not written (or not rotated).
//
// The log stays bounded: once the file has grown past RotateAtBytes, it becomes the older
// file "HALYX_logfile.1.txt" (the older ones moving up one number, the oldest dropped)
// and a new one is started.
void WriteLog(const QString& message);

// The entry's bytes, as WriteLog appends them (exposed for tests).
QByteArray logEntry(const QString& message, const QDateTime& when);

// A place in the source: as a default argument, CodePlace::here() is the caller's file,
// line and function (the compiler's own constants, valid for the whole run).
struct CodePlace {
    const char* file;
    const char* function;
    unsigned line;
    static constexpr CodePlace here(const char* file = __builtin_FILE(), const char* function = __builtin_FUNCTION(),
                                    unsigned line = __builtin_LINE()) noexcept
    {
        return {file, function, line};
    }
};

namespace ErrorLog {
constexpr qint64 RotateAtBytes = 2 * 1024 * 1024;
constexpr int KeptOlderFiles = 3;
// "HALYX_logfile.<n>.txt" in the data folder, n = 1 (the newest older file) .. KeptOlderFiles.
QString olderLogPath(int n);

// A step run with errors ignored failed (core/ErrorTrap.h). The first failure at a place
// with a cause (number and description) is one entry
// "Ignored error <n> (<description>) at <file>:<line> in <function>" (no " in <function>"
// within a lambda); the same failure again is only counted, at the cost of one look-up,
// so a pass that fails at every row writes one entry. Past 1000 different failures the
// others are only counted. Safe from any thread.
void ignored(int number, const QString& description, const CodePlace& where);

// One entry per ignored failure that repeated since its entry (or since the last call):
// "The entry \"<entry>\" happened <n> more times in this run". The programs call it as
// they end.
void writeIgnoredCounts();
}  // namespace ErrorLog

// A bulk operation (a calculation pass over many readings, an import) as one unit of the
// log: within it, identical entries (the same message: number, description and tag) are
// written once, as a single failure is, and when it ends one more entry per repeated
// message says how many more times it happened, and for which first and last key (a
// reading's key: keyOf gives the key of the item being worked on, and is asked only when
// an entry is written or repeated). Scopes nest: the outermost collects for all.
class LogBulkScope {
public:
    LogBulkScope(QString operation, std::function<QString()> keyOf);
    ~LogBulkScope();
    LogBulkScope(const LogBulkScope&) = delete;
    LogBulkScope& operator=(const LogBulkScope&) = delete;

private:
    std::function<QString()> m_previousKeyOf;
};
