#include "maintenance/ErrorLog.h"
#include "store/Paths.h"

#include <QFile>

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

void WriteLog(const QString& message)
{
    try {
        QFile f(Paths::logFilePath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
        f.write(logEntry(message, QDateTime::currentDateTime()));
        f.close();
    } catch (...) {
        // Logging never troubles the caller.
    }
}
