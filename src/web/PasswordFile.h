#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

// The web view's own logins on a database file: a text file of lines "name:rights:hash"
// (rights "view" or "acknowledge", the hash an Argon2id string from libsodium's
// crypto_pwhash_str), with blank lines and "#" comments. The file holds no password,
// only hashes, but it still names who may log in, so it should be readable by its owner
// alone.
class PasswordFile {
public:
    enum class Rights { View, Acknowledge };
    struct Entry {
        QString name;
        Rights rights = Rights::View;
        QByteArray hash;
    };

    // Reads the file; false with error() set ("FILE:LINE: what is wrong", or why it cannot
    // be read) on the first bad line. A name appears at most once.
    bool load(const QString& path);
    // The same from text already read (for the tests and load()).
    bool parse(const QByteArray& text, const QString& sourceName);
    const QString& error() const { return m_error; }
    // A warning when the file can be read by others than its owner (empty when not).
    static QString permissionWarning(const QString& path);

    // The rights of name when password matches its hash. An unknown name costs the same
    // time as a wrong password, so the answer does not tell which of the two it was.
    std::optional<Rights> verify(const QString& name, const QByteArray& password) const;
    int size() const { return int(m_entries.size()); }

    // A new Argon2id hash of password (libsodium's interactive limits). Throws TwError when
    // the library cannot make one (out of memory).
    static QByteArray hash(const QByteArray& password);
    // Whether password matches hash, in constant time.
    static bool matches(const QByteArray& hash, const QByteArray& password);

private:
    QHash<QString, Entry> m_entries;
    QString m_error;
};

// libsodium's one-time start, safe to call from any thread, as often as wanted. Throws
// TwError when the library cannot start (no random source).
void initSodium();
