#include "core/ErrorLog.h"
#include "core/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStringList>
#include <cstring>

QByteArray logEntry(const QString& message, const QDateTime& when)
{
    // Fixed, whatever the locale: a four-digit year and the seconds, so an entry can be
    // matched to a reading's key.
    const QString stamp = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QByteArray out;
    out += "\r\n";
    out += QByteArray(89, '*');
    out += "\r\n";
    out += (stamp + QStringLiteral(" - ") + message).toLatin1();
    out += "\r\n";
    return out;
}

namespace ErrorLog {

QString olderLogPath(int n) { return Paths::dataFolder() + QStringLiteral("/HALYX_logfile.%1.txt").arg(n); }

}  // namespace ErrorLog

namespace {

// The log file has grown past its size: it becomes the first older file. Whatever
// fails here is left as it is; the entry is written all the same.
void rotateIfFull(const QString& path)
{
    if (QFileInfo(path).size() < ErrorLog::RotateAtBytes) return;
    QFile::remove(ErrorLog::olderLogPath(ErrorLog::KeptOlderFiles));
    for (int n = ErrorLog::KeptOlderFiles - 1; n >= 1; --n)
        if (QFile::exists(ErrorLog::olderLogPath(n)))
            QFile::rename(ErrorLog::olderLogPath(n), ErrorLog::olderLogPath(n + 1));
    QFile::rename(path, ErrorLog::olderLogPath(1));
}

void append(const QString& message)
{
    try {
        const QString path = Paths::logFilePath();
        rotateIfFull(path);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
        f.write(logEntry(message, QDateTime::currentDateTime()));
        f.close();
    } catch (...) {
        // Logging never troubles the caller.
    }
}

// The bulk operation open on this thread (depth 0: none).
struct Bulk {
    struct Repeat {
        qint64 more = 0;
        QString firstKey;
        QString lastKey;
    };
    int depth = 0;
    QString operation;
    std::function<QString()> keyOf;
    QHash<QString, Repeat> seen;
    QStringList order;  // messages in the order first written
};
thread_local Bulk t_bulk;

// "The entry "<message>" happened <n> more time(s) in this <within>".
QString repeatedEntry(const QString& message, qint64 more, const QString& within)
{
    return QStringLiteral("The entry \"") + message + QStringLiteral("\" happened ") + QString::number(more) +
           (more == 1 ? QStringLiteral(" more time in this ") : QStringLiteral(" more times in this ")) + within;
}

QString currentKey()
{
    try {
        return t_bulk.keyOf ? t_bulk.keyOf() : QString();
    } catch (...) {
        return QString();
    }
}

}  // namespace

void WriteLog(const QString& message)
{
    if (t_bulk.depth > 0) {
        auto it = t_bulk.seen.find(message);
        if (it != t_bulk.seen.end()) {
            ++it->more;
            it->lastKey = currentKey();
            return;
        }
        const QString key = currentKey();
        t_bulk.seen.insert(message, {0, key, key});
        t_bulk.order << message;
    }
    append(message);
}

LogBulkScope::LogBulkScope(QString operation, std::function<QString()> keyOf)
{
    m_previousKeyOf = t_bulk.keyOf;
    if (t_bulk.depth++ == 0) {
        t_bulk.operation = std::move(operation);
        t_bulk.seen.clear();
        t_bulk.order.clear();
    }
    // An inner operation names the items it works on; the outer one's come back after it.
    if (keyOf) t_bulk.keyOf = std::move(keyOf);
}

LogBulkScope::~LogBulkScope()
{
    t_bulk.keyOf = m_previousKeyOf;
    if (--t_bulk.depth > 0) return;
    const QStringList order = t_bulk.order;
    const auto seen = t_bulk.seen;
    const QString operation = t_bulk.operation;
    t_bulk.seen.clear();
    t_bulk.order.clear();
    t_bulk.keyOf = nullptr;
    for (const QString& message : order) {
        const Bulk::Repeat& r = seen[message];
        if (r.more == 0) continue;
        QString summary = repeatedEntry(message, r.more, operation);
        if (!r.firstKey.isEmpty() || !r.lastKey.isEmpty())
            summary += QStringLiteral(", first key ") + r.firstKey + QStringLiteral(", last key ") + r.lastKey;
        append(summary);
    }
}

// ----- failures of steps run with errors ignored ------------------------------------------

namespace {

// Where a step failed and why. The file and function texts are the compiler's constants;
// the same place in another translation unit may have its own copy, so they are compared
// by their text.
struct IgnoredFailure {
    CodePlace place;
    int number;
    QString description;

    bool operator==(const IgnoredFailure& o) const
    {
        return place.line == o.place.line && number == o.number && description == o.description &&
               std::strcmp(place.file, o.place.file) == 0 && std::strcmp(place.function, o.place.function) == 0;
    }
};

size_t qHash(const IgnoredFailure& f, size_t hashSeed = 0)
{
    return qHashMulti(hashSeed, f.place.line, f.number, f.description);
}

struct IgnoredCount {
    QString entry;
    qint64 more = 0;
};

// Different failures written and counted one by one: past this many (descriptions that
// name a row, say) the others are only counted together, so that memory and log stay
// bounded.
constexpr qsizetype KeptFailures = 1000;

struct IgnoredFailures {
    QMutex mutex;
    QHash<IgnoredFailure, IgnoredCount> seen;
    QList<IgnoredFailure> order;  // as first met
    qint64 unkept = 0;            // failures met once the table was full
};

IgnoredFailures& ignoredFailures()
{
    static IgnoredFailures failures;
    return failures;
}

// "SensorRecord.cpp:100 in fillfields": the file without its folder; no function within
// a lambda (its name says nothing).
QString placeText(const CodePlace& place)
{
    const char* slash = std::strrchr(place.file, '/');
    QString text = QString::fromLatin1(slash ? slash + 1 : place.file) + u':' + QString::number(place.line);
    if (*place.function && std::strcmp(place.function, "operator()") != 0)
        text += QStringLiteral(" in ") + QLatin1String(place.function);
    return text;
}

}  // namespace

namespace ErrorLog {

void ignored(int number, const QString& description, const CodePlace& where)
{
    IgnoredFailure failure{where, number, description};
    IgnoredFailures& all = ignoredFailures();
    QString entry;
    {
        const QMutexLocker lock(&all.mutex);
        const auto it = all.seen.find(failure);
        if (it != all.seen.end()) {
            ++it->more;
            return;
        }
        if (all.seen.size() >= KeptFailures) {
            ++all.unkept;
            return;
        }
        entry = QStringLiteral("Ignored error ") + QString::number(number) + QStringLiteral(" (") + description +
                QStringLiteral(") at ") + placeText(where);
        all.seen.insert(failure, {entry, 0});
        all.order << std::move(failure);
    }
    WriteLog(entry);
}

void writeIgnoredCounts()
{
    QStringList entries;
    {
        IgnoredFailures& all = ignoredFailures();
        const QMutexLocker lock(&all.mutex);
        for (const IgnoredFailure& f : std::as_const(all.order)) {
            IgnoredCount& count = all.seen[f];
            if (count.more == 0) continue;
            entries << repeatedEntry(count.entry, count.more, QStringLiteral("run"));
            count.more = 0;
        }
        if (all.unkept > 0)
            entries << QStringLiteral("Ignored errors not written, beyond %1 different places and causes: %2")
                           .arg(KeptFailures)
                           .arg(all.unkept);
        all.unkept = 0;
    }
    for (const QString& e : std::as_const(entries)) WriteLog(e);
}

}  // namespace ErrorLog
