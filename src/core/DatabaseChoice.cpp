#include "core/DatabaseChoice.h"
#include "core/AppInfo.h"
#include "core/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace DatabaseChoice {

namespace {
QString& forThisRun()
{
    static QString target;
    return target;
}
QHash<QString, QString>& passwords()
{
    static QHash<QString, QString> kept;
    return kept;
}
const QString SettingsKey = QStringLiteral("Database/Target");

// A server URI never carries its password into what is kept or shown.
QString withoutPassword(const QString& target)
{
    if (!isServer(target)) return target;
    QUrl url(target.trimmed());
    if (!url.isValid()) return target.trimmed();
    url.setPassword(QString());
    return url.toString();
}
}  // namespace

bool isServer(const QString& target)
{
    const QString t = target.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString remembered() { return QSettings().value(SettingsKey).toString(); }

QString current()
{
    if (!forThisRun().isEmpty()) return forThisRun();
    const QString kept = remembered();
    return kept.isEmpty() ? Paths::databasePath() : kept;
}

void setForThisRun(const QString& target) { forThisRun() = target.trimmed(); }

void remember(const QString& target)
{
    QSettings settings;
    const QString t = withoutPassword(target.trimmed());
    if (t.isEmpty() || isDefault(t)) settings.remove(SettingsKey);
    else settings.setValue(SettingsKey, t);
    forThisRun().clear();
}

bool isDefault(const QString& target) { return target.isEmpty() || target == Paths::databasePath(); }

QString display(const QString& target) { return withoutPassword(target); }

Checked check(const QString& typed)
{
    Checked c;
    const QString t = typed.trimmed();
    if (t.isEmpty()) return c;  // the data folder's own file
    const QString example = QStringLiteral("\r\nA server address looks like postgresql://user@host:5432/dbname.");
    if (isServer(t)) {
        const QUrl url(t, QUrl::StrictMode);
        if (!url.isValid()) {
            c.problem = QStringLiteral("This is not a valid server address: ") + url.errorString() + u'.' + example;
            return c;
        }
        QString db = url.path(QUrl::FullyDecoded);
        if (db.startsWith(u'/')) db = db.mid(1);
        if (db.contains(u'/')) {
            c.problem = QStringLiteral("After the server comes one database name, without further \"/\": ") + db +
                        u'.' + example;
            return c;
        }
        for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
            if (item.first.isEmpty() || item.first.contains(u';') || item.second.contains(u';')) {
                c.problem =
                    QStringLiteral("The options after \"?\" must be name=value pairs joined by \"&\".") + example;
                return c;
            }
        if (!url.fragment().isEmpty()) {
            c.problem = QStringLiteral("A server address has no \"#\" part.") + example;
            return c;
        }
        c.password = url.password(QUrl::FullyDecoded);
        c.target = withoutPassword(t);
        return c;
    }
    if (t.contains(QLatin1String("://"))) {
        c.problem = QStringLiteral(
                        "Tarnwell can use a database file or a PostgreSQL server (an address beginning "
                        "postgresql://), not ") +
                    t.left(t.indexOf(QLatin1String("://")) + 3) + u'.' + example;
        return c;
    }
    const QFileInfo file(QDir::fromNativeSeparators(t));
    const QString shown = QDir::toNativeSeparators(file.absoluteFilePath());
    if (file.isRelative())
        c.problem = QStringLiteral("Give the whole path of the database file, from the top folder (\"/\"): ") + t;
    else if (file.isDir())
        c.problem = shown + QStringLiteral("\r\nis a folder. Choose the database file in it (usually ending .mdb).");
    else if (!file.exists()) c.problem = QStringLiteral("There is no file\r\n") + shown;
    else if (!file.isReadable())
        c.problem = QStringLiteral("The file\r\n") + shown + QStringLiteral("\r\ncannot be read (permission denied).");
    else c.target = file.absoluteFilePath();
    return c;
}

QString windowTitle(const QString& target)
{
    return isDefault(target) ? AppInfo::MainWindowTitle
                             : AppInfo::MainWindowTitle + QStringLiteral(" - ") + display(target);
}

void keepPassword(const QString& target, const QString& password)
{
    passwords().insert(withoutPassword(target), password);
}

QString password(const QString& target) { return passwords().value(withoutPassword(target)); }

}  // namespace DatabaseChoice
