#include "core/ErrorLog.h"
#include "core/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

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
        QString summary =
            QStringLiteral("The entry \"") + message + QStringLiteral("\" happened ") + QString::number(r.more) +
            (r.more == 1 ? QStringLiteral(" more time in this ") : QStringLiteral(" more times in this ")) + operation;
        if (!r.firstKey.isEmpty() || !r.lastKey.isEmpty())
            summary += QStringLiteral(", first key ") + r.firstKey + QStringLiteral(", last key ") + r.lastKey;
        append(summary);
    }
}
