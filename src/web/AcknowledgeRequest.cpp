#include "web/AcknowledgeRequest.h"

#include "web/WebForm.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace {

// A whole positive number written in digits only ("12"; never "12 OR 1=1", "-1", "1e3").
bool addId(const QString& text, QList<qint64>& ids)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,15}$"));
    const QString t = text.trimmed();
    if (!digits.match(t).hasMatch()) return false;
    const qint64 id = t.toLongLong();
    if (id <= 0) return false;
    if (!ids.contains(id)) ids << id;
    return true;
}

}  // namespace

AcknowledgeRequest AcknowledgeRequest::parse(const std::string& contentType, const std::string& body)
{
    AcknowledgeRequest r;
    bool idsOk = true;
    const QByteArray type = QByteArray::fromStdString(contentType).trimmed().toLower();
    if (type.startsWith("application/json")) {
        QJsonParseError parseError{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body), &parseError);
        if (!doc.isObject()) {
            r.error = QStringLiteral("The body is not a JSON object");
            return r;
        }
        const QJsonObject o = doc.object();
        for (const QJsonValue v : o.value(QStringLiteral("ids")).toArray()) {
            if (v.isDouble()) {
                const double d = v.toDouble();
                idsOk = idsOk && d == std::floor(d) && d > 0 && d < 1e15 && addId(QString::number(qint64(d)), r.ids);
            } else {
                idsOk = idsOk && v.isString() && addId(v.toString(), r.ids);
            }
        }
        if (!o.value(QStringLiteral("ids")).isArray()) idsOk = false;
        r.note = o.value(QStringLiteral("note")).toString();
        r.csrf = o.value(QStringLiteral("csrf")).toString().toLatin1();
    } else {
        const WebForm form = WebForm::fromBody(contentType, body);
        QStringList texts = form.values(QStringLiteral("ids"));
        texts += form.values(QStringLiteral("id"));
        for (const QString& field : std::as_const(texts))
            for (const QString& part : field.split(u','))
                if (!part.trimmed().isEmpty()) idsOk = idsOk && addId(part, r.ids);
        r.note = form.value(QStringLiteral("note"));
        r.csrf = form.value(QStringLiteral("csrf")).toLatin1();
    }
    r.note = r.note.trimmed();
    if (!idsOk) r.error = QStringLiteral("The alarm ids must be whole positive numbers");
    else if (r.ids.isEmpty()) r.error = QStringLiteral("No alarm to acknowledge");
    else if (r.ids.size() > MaxIds) r.error = QStringLiteral("At most %1 alarms at once").arg(MaxIds);
    else if (r.note.isEmpty()) r.error = QStringLiteral("An acknowledgement needs a note");
    else if (r.note.size() > MaxNoteLength)
        r.error = QStringLiteral("The note is longer than %1 characters").arg(MaxNoteLength);
    return r;
}
