#include "web/PasswordFile.h"

#include "core/TwError.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <mutex>
#include <semaphore>
#include <sodium.h>

void initSodium()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = sodium_init() >= 0; });
    if (!ok) throw TwError(ErrNo::DatabaseError, QStringLiteral("The cryptography library could not start"));
}

bool PasswordFile::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: cannot read the password file (%2)").arg(path, f.errorString());
        return false;
    }
    return parse(f.readAll(), path);
}

bool PasswordFile::parse(const QByteArray& text, const QString& sourceName)
{
    m_entries.clear();
    m_error.clear();
    int lineNo = 0;
    for (QByteArray line : text.split('\n')) {
        ++lineNo;
        if (line.endsWith('\r')) line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#')) continue;
        auto bad = [&](const QString& why) {
            m_error = QStringLiteral("%1:%2: %3").arg(sourceName).arg(lineNo).arg(why);
            m_entries.clear();
            return false;
        };
        // The hash holds no ':' (only '$', ',', '=' and base64), so the line splits in three.
        const QList<QByteArray> parts = trimmed.split(':');
        if (parts.size() != 3) return bad(QStringLiteral("expected name:rights:hash"));
        const QString name = QString::fromUtf8(parts[0]);
        if (name.isEmpty()) return bad(QStringLiteral("the name is empty"));
        if (m_entries.contains(name)) return bad(QStringLiteral("the name %1 appears twice").arg(name));
        Entry e;
        e.name = name;
        if (parts[1] == "view") e.rights = Rights::View;
        else if (parts[1] == "acknowledge") e.rights = Rights::Acknowledge;
        else
            return bad(
                QStringLiteral("rights must be view or acknowledge, not \"%1\"").arg(QString::fromUtf8(parts[1])));
        if (!parts[2].startsWith("$argon2id$"))
            return bad(QStringLiteral("the hash is not one made by tarnwell-web --hash-password"));
        e.hash = parts[2];
        m_entries.insert(name, e);
    }
    return true;
}

QString PasswordFile::permissionWarning(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) return QString();
    const auto others =
        QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!(info.permissions() & others)) return QString();
    return QStringLiteral(
               "Warning: %1 can be read or written by others than its owner; "
               "chmod 600 it")
        .arg(path);
}

std::optional<PasswordFile::Rights> PasswordFile::verify(const QString& name, const QByteArray& password) const
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.constEnd()) {
        // Spend the time a real check takes, against a hash no password matches in practice.
        static const QByteArray decoy = hash(QByteArray(24, '\x01'));
        matches(decoy, password);
        return std::nullopt;
    }
    if (!matches(it->hash, password)) return std::nullopt;
    return it->rights;
}

QByteArray PasswordFile::hash(const QByteArray& password)
{
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.constData(), quint64(password.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw TwError(ErrNo::DatabaseError, QStringLiteral("Out of memory while hashing a password"));
    return QByteArray(out);
}

bool PasswordFile::matches(const QByteArray& hash, const QByteArray& password)
{
    initSodium();
    if (hash.size() >= crypto_pwhash_STRBYTES) return false;
    // Each check takes 64 MiB for a tenth of a second or so: a few at a time keep a burst of
    // logins from taking the machine's memory (more would not finish sooner on two cores).
    static std::counting_semaphore<2> checks(2);
    checks.acquire();
    const bool ok = crypto_pwhash_str_verify(hash.constData(), password.constData(), quint64(password.size())) == 0;
    checks.release();
    return ok;
}
