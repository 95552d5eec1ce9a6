#pragma once
#include <QList>
#include <QPair>
#include <QString>
#include <string>

// The fields of a form a browser posts (application/x-www-form-urlencoded), read from the
// body only: a field in the address's query does not count as one of the form's.
class WebForm {
public:
    static WebForm fromBody(const std::string& contentType, const std::string& body);
    static WebForm fromText(const QByteArray& urlEncoded);

    // The first value of name (empty when none).
    QString value(const QString& name) const;
    // Every value of name, in order.
    QStringList values(const QString& name) const;
    bool has(const QString& name) const;

private:
    QList<QPair<QString, QString>> m_fields;
};
