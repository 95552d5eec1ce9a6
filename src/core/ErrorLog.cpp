#include "core/ErrorLog.h"
#include "core/Paths.h"

#include <QFile>
#include <QLocale>

QByteArray logEntry(const QString& message, const QDateTime& when)
{
    const QString stamp = QLocale::system().toString(when, QLocale::ShortFormat);
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
