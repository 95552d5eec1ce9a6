#include "core/DatabaseChoice.h"
#include "core/Paths.h"

#include <QHash>
#include <QSettings>
#include <QUrl>

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

QString remembered()
{
    return QSettings().value(SettingsKey).toString();
}

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

void keepPassword(const QString& target, const QString& password) { passwords().insert(withoutPassword(target), password); }

QString password(const QString& target) { return passwords().value(withoutPassword(target)); }

}  // namespace DatabaseChoice
