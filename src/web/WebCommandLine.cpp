#include "web/WebCommandLine.h"

#include <arpa/inet.h>

namespace WebCommandLine {

namespace {

constexpr int MaxThreads = 64;

// The address's bytes: 4 for IPv4, 16 for IPv6, none for a text that is neither.
QByteArray addressBytes(const QString& text)
{
    const QByteArray latin = text.toLatin1();
    unsigned char bytes[16];
    if (inet_pton(AF_INET, latin.constData(), bytes) == 1) return QByteArray(reinterpret_cast<char*>(bytes), 4);
    if (inet_pton(AF_INET6, latin.constData(), bytes) == 1) return QByteArray(reinterpret_cast<char*>(bytes), 16);
    return QByteArray();
}

// "ADDRESS:PORT", "[v6]:PORT" or ":PORT"; false when it is not one.
bool parseListen(const QString& text, QString& address, int& port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon < 0) return false;
    QString host = text.left(colon);
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p < 0 || p > 65535) return false;
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    if (host.isEmpty()) host = QStringLiteral("0.0.0.0");
    if (host != QLatin1String("localhost") && addressBytes(host).isEmpty()) return false;
    address = host;
    port = p;
    return true;
}

}  // namespace

Parsed parse(const QStringList& args)
{
    Parsed r;
    auto fail = [&r](const QString& why) {
        r.error = why;
        return r;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString name = a;
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(u'=')) {
            name = a.section(u'=', 0, 0);
            value = a.section(u'=', 1);
            inlineValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            r.help = true;
        } else if (name == QLatin1String("--hash-password")) {
            r.hashPassword = true;
        } else if (name == QLatin1String("--behind-proxy")) {
            r.options.behindProxy = true;
        } else if (name == QLatin1String("--database")) {
            if (!takeValue() || value.isEmpty()) return fail(QStringLiteral("--database needs a file or a server URI"));
            r.options.database = value;
        } else if (name == QLatin1String("--listen")) {
            if (!takeValue() || !parseListen(value, r.options.address, r.options.port))
                return fail(QStringLiteral("--listen needs ADDRESS:PORT (for example 127.0.0.1:8470)"));
        } else if (name == QLatin1String("--password-file")) {
            if (!takeValue() || value.isEmpty()) return fail(QStringLiteral("--password-file needs a file"));
            r.options.passwordFile = value;
        } else if (name == QLatin1String("--threads")) {
            bool ok = false;
            const int n = takeValue() ? value.toInt(&ok) : 0;
            if (!ok || n < 1 || n > MaxThreads)
                return fail(QStringLiteral("--threads needs a number from 1 to %1").arg(MaxThreads));
            r.options.threads = n;
        } else {
            return fail(QStringLiteral("unknown option: ") + a);
        }
    }
    if (!r.help && !r.hashPassword && r.options.database.isEmpty()) return fail(QStringLiteral("--database is needed"));
    return r;
}

QString usage()
{
    // The layout of the other programs' --help (headings, two-space indents), which the
    // manual page repeats word for word.
    return QStringLiteral(
               "Usage: tarnwell-web --database PATH|URI [--listen ADDRESS:PORT] [--password-file FILE]\n"
               "                    [--behind-proxy] [--threads N]\n"
               "       tarnwell-web --hash-password\n"
               "\n"
               "Shows Tarnwell's database in a browser: the sensors' status, alarms and charts.\n"
               "\n"
               "Options:\n"
               "  --database PATH|URI    the database file, or a team server's postgresql:// URI\n"
               "  --listen ADDRESS:PORT  where to answer (default 127.0.0.1:8470; port 0: any free port)\n"
               "  --password-file FILE   logins for a database file (lines name:view|acknowledge:hash)\n"
               "  --behind-proxy         TLS ends at a reverse proxy: cookies are marked Secure\n"
               "  --threads N            requests served at once (default 8)\n"
               "  --hash-password        reads a password on stdin and prints its hash for the\n"
               "                         password file\n"
               "  --help                 this text\n"
               "\n"
               "Exit status:\n"
               "  0  stopped by SIGINT or SIGTERM, or the hash printed\n"
               "  2  it did not start: the command was used wrongly, the database cannot be opened\n"
               "     or needs an upgrade, the address cannot be taken, or a database file would\n"
               "     answer without logins on an address other than the loopback\n"
               "\n"
               "Files:\n"
               "  %1  dygraphs, the charts' library, served under /static/dygraphs/\n"
               "\n"
               "Environment:\n"
               "  TARNWELL_DYGRAPHS_DIR  another folder to serve dygraphs from\n")
        .arg(QStringLiteral(TARNWELL_DYGRAPHS_DIR));
}

bool isIPv6(const QString& address) { return addressBytes(address).size() == 16; }

bool isLoopback(const QString& address)
{
    if (address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QByteArray bytes = addressBytes(address);
    if (bytes.size() == 4) return bytes[0] == 127;
    return bytes == QByteArray(15, '\0') + '\1';
}

}  // namespace WebCommandLine
