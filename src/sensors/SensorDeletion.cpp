#include "sensors/SensorDeletion.h"
#include "core/TwError.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

namespace SensorDeletion {

namespace {

// FullDate is stored as "yyyy-MM-dd HH:mm:ss" (text order is time order); an engine that
// hands back a date-time value is read as one.
QDate dayOf(const QVariant& fullDate)
{
    if (fullDate.isNull()) return QDate();
    if (fullDate.typeId() == QMetaType::QDateTime) return fullDate.toDateTime().date();
    const QString text = fullDate.toString().trimmed();
    QDate d = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid()) d = QDateTime::fromString(text, Qt::ISODate).date();
    return d;
}

QString shortDate(const QDate& d) { return QLocale::system().toString(d, QLocale::ShortFormat); }

}  // namespace

WhatGoes survey(Database& db, const QString& id)
{
    WhatGoes w;
    if (db.tableExists(id)) {
        QSqlQuery q(db.handle());
        if (!q.exec(QStringLiteral("SELECT COUNT(*), MIN(FullDate), MAX(FullDate) FROM ") +
                    SqlDialect::quoteName(id)) ||
            !q.next())
            throwSqlError(q.lastError());
        w.readings = q.value(0).toLongLong();
        w.first = dayOf(q.value(1));
        w.last = dayOf(q.value(2));
    }
    w.alarmLevels =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM AlarmLevels WHERE SensorID = ?"), {id}).toLongLong() > 0;
    w.alarmEvents = db.scalar(QStringLiteral("SELECT COUNT(*) FROM AlarmEvents WHERE SensorID = ?"), {id}).toLongLong();
    return w;
}

QString question(const QString& id, const WhatGoes& what)
{
    QStringList lines{QStringLiteral("Permanently delete Sensor ") + id + QStringLiteral(" from database?"), QString()};
    if (what.readings == 0) {
        lines << QStringLiteral("It has no readings.");
    } else {
        QString readings = what.readings == 1 ? QStringLiteral("Its only reading")
                                              : QStringLiteral("All its %1 readings").arg(what.readings);
        if (what.first.isValid() && what.last.isValid())
            readings += what.first == what.last ? QStringLiteral(", of ") + shortDate(what.first)
                                                : QStringLiteral(", from ") + shortDate(what.first) +
                                                      QStringLiteral(" to ") + shortDate(what.last);
        lines << readings + (what.readings == 1 ? QStringLiteral(", is deleted with it.")
                                                : QStringLiteral(", are deleted with it."));
    }
    lines << (what.alarmLevels ? QStringLiteral("Its alarm levels are deleted with it.")
                               : QStringLiteral("It has no alarm levels."));
    if (what.alarmEvents == 1) lines << QStringLiteral("Its 1 alarm event stays in the alarm history.");
    else if (what.alarmEvents > 1)
        lines << QStringLiteral("Its %1 alarm events stay in the alarm history.").arg(what.alarmEvents);
    lines << QString() << QStringLiteral("This cannot be undone.");
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace SensorDeletion
