#include "notify/Senders.h"

#include <QDateTime>
#include <QLocale>
#include <QProcess>
#include <QUuid>
#include <curl/curl.h>
#include <cstring>

namespace Senders {

namespace {

// The message as the mail server receives it, with its lines ending in CR LF.
QByteArray mailText(const QString& from, const QStringList& to, const QString& subject, const QString& body)
{
    QByteArray m;
    auto header = [&](const char* name, const QString& value) {
        m += name;
        m += ": ";
        m += value.toUtf8();
        m += "\r\n";
    };
    header("Date",
           QLocale::c().toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss +0000")));
    header("From", from);
    header("To", to.join(QStringLiteral(", ")));
    // A subject outside ASCII goes encoded, as mail headers must be.
    bool ascii = true;
    for (QChar c : subject) ascii = ascii && c.unicode() < 128;
    header("Subject", ascii ? subject
                            : QStringLiteral("=?UTF-8?B?") + QString::fromLatin1(subject.toUtf8().toBase64()) +
                                  QStringLiteral("?="));
    header("Message-ID",
           QStringLiteral("<") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@tarnwell>"));
    header("MIME-Version", QStringLiteral("1.0"));
    header("Content-Type", QStringLiteral("text/plain; charset=UTF-8"));
    header("Content-Transfer-Encoding", QStringLiteral("8bit"));
    m += "\r\n";
    QByteArray b = body.toUtf8();
    b.replace("\r\n", "\n").replace("\n", "\r\n");
    m += b;
    return m;
}

struct Upload {
    QByteArray data;
    qsizetype sent = 0;
};

size_t readChunk(char* buffer, size_t size, size_t count, void* user)
{
    auto* u = static_cast<Upload*>(user);
    const size_t room = size * count;
    const size_t left = size_t(u->data.size() - u->sent);
    const size_t n = std::min(room, left);
    std::memcpy(buffer, u->data.constData() + u->sent, n);
    u->sent += qsizetype(n);
    return n;
}

// Mail addresses go to the server in angle brackets.
QByteArray bracketed(const QString& address)
{
    const QString a = address.trimmed();
    return (a.startsWith(u'<') ? a : QStringLiteral("<") + a + u'>').toUtf8();
}

}  // namespace

QString sendMail(const NotifySettings::Settings& s, const QString& password, const QStringList& to,
                 const QString& subject, const QString& body, int timeoutSeconds)
{
    if (to.isEmpty()) return QString();
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!ready) return QStringLiteral("the mail library could not start");
    CURL* curl = curl_easy_init();
    if (!curl) return QStringLiteral("the mail library could not start");
    Upload upload{mailText(s.smtpFrom, to, subject, body)};
    const QByteArray url = s.smtpUrl.trimmed().toUtf8();
    const QByteArray from = bracketed(s.smtpFrom);
    const QByteArray user = s.smtpUser.toUtf8();
    const QByteArray pass = password.toUtf8();
    curl_slist* rcpt = nullptr;
    std::vector<QByteArray> keep;
    for (const QString& a : to) {
        keep.push_back(bracketed(a));
        rcpt = curl_slist_append(rcpt, keep.back().constData());
    }
    char error[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &readChunk);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL, long(s.requireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(std::min(timeoutSeconds, 20)));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, long(timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, pass.constData());
    }
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (rc == CURLE_OK) return QString();
    const QString detail = QString::fromUtf8(error).trimmed();
    return QStringLiteral("mail not sent: ") + (detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(rc)) : detail);
}

QString runHook(const QString& command, const QByteArray& json, int timeoutSeconds)
{
    QStringList parts = QProcess::splitCommand(command);
    if (parts.isEmpty()) return QStringLiteral("no hook command");
    const QString program = parts.takeFirst();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, parts);
    if (!p.waitForStarted(10000))
        return QStringLiteral("the hook ") + program + QStringLiteral(" could not be started");
    p.write(json);
    p.write("\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutSeconds * 1000)) {
        p.kill();
        p.waitForFinished(5000);
        return QStringLiteral("the hook ") + program +
               QStringLiteral(" did not finish within %1 s").arg(timeoutSeconds);
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("the hook ") + program + QStringLiteral(" crashed");
    if (p.exitCode() != 0)
        return QStringLiteral("the hook ") + program + QStringLiteral(" exited with %1").arg(p.exitCode());
    return QString();
}

}  // namespace Senders
