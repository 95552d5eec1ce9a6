#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <string>

// What an acknowledgement asks for, read from a form (fields ids, repeated or separated
// by commas, note, csrf) or a JSON object {"ids":[…],"note":"…","csrf":"…"}. Only whole
// positive numbers are ids; anything else makes the request bad (error says why).
struct AcknowledgeRequest {
    QList<qint64> ids;
    QString note;
    QByteArray csrf;
    QString error;  // empty: the request is well formed

    static constexpr int MaxIds = 1000;
    static constexpr int MaxNoteLength = 2000;

    static AcknowledgeRequest parse(const std::string& contentType, const std::string& body);
};
