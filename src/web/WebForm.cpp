#include "web/WebForm.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

WebForm WebForm::fromBody(const std::string& contentType, const std::string& body)
{
    const QByteArray type = QByteArray::fromStdString(contentType).trimmed().toLower();
    if (!type.startsWith("application/x-www-form-urlencoded")) return WebForm();
    return fromText(QByteArray::fromStdString(body));
}

WebForm WebForm::fromText(const QByteArray& urlEncoded)
{
    WebForm form;
    for (const QByteArray& pair : urlEncoded.split('&')) {
        if (pair.isEmpty()) continue;
        const int eq = pair.indexOf('=');
        auto decode = [](QByteArray part) {
            part.replace('+', ' ');
            return QString::fromUtf8(QByteArray::fromPercentEncoding(part));
        };
        if (eq < 0) form.m_fields.append({decode(pair), QString()});
        else form.m_fields.append({decode(pair.left(eq)), decode(pair.mid(eq + 1))});
    }
    return form;
}

QString WebForm::value(const QString& name) const
{
    for (const auto& [key, value] : m_fields)
        if (key == name) return value;
    return QString();
}

QStringList WebForm::values(const QString& name) const
{
    QStringList out;
    for (const auto& [key, value] : m_fields)
        if (key == name) out << value;
    return out;
}

bool WebForm::has(const QString& name) const
{
    for (const auto& field : m_fields)
        if (field.first == name) return true;
    return false;
}
