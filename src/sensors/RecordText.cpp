#include "sensors/RecordText.h"
#include "core/TwError.h"

#include <QLocale>

namespace RecordText {

QString shortDateFormat()
{
    QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QStringLiteral("yyyy"))) f.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return f;
}

QDate parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return QDate();
    for (const QString& f :
         {StoredDateFormat, QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy-M-d")}) {
        const QDate d = QDate::fromString(t.left(10).trimmed(), f);
        if (d.isValid() && (t.size() <= 10 || t.at(10) == QLatin1Char(' ') || t.at(10) == QLatin1Char('T'))) return d;
    }
    QDate d = QLocale::system().toDate(t, shortDateFormat());
    if (d.isValid()) return d;
    d = QLocale::system().toDate(t, QLocale::ShortFormat);
    return d;
}

QString installDateForDisplay(const QString& stored)
{
    const QDate d = parseDate(stored);
    return d.isValid() ? d.toString(StoredDateFormat) : stored;
}

QString destructionDateForDisplay(const QString& stored)
{
    const QDate d = parseDate(stored);
    return d.isValid() ? QLocale::system().toString(d, shortDateFormat()) : stored;
}

QString todayForDestruction(const QDate& today) { return QLocale::system().toString(today, shortDateFormat()); }

QString destructionDateToStore(const QString& typed)
{
    const QDate d = parseDate(typed);
    if (!d.isValid()) throw TwError(ErrNo::TypeMismatch, QStringLiteral("Type mismatch"));
    return d.toString(StoredDateFormat);
}

}  // namespace RecordText
