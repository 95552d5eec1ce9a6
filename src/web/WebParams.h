#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

namespace httplib {
struct Request;
}

// The checks of a request's parameters. A value that does not pass throws WebRefusal with
// the status to answer (400 for a malformed value, 404 for something that does not
// exist), so a handler reads its parameters first and never goes on with a bad one.
struct WebRefusal : std::runtime_error {
    WebRefusal(int status, const QString& text) : std::runtime_error(text.toStdString()), status(status), text(text) {}
    int status;
    QString text;
};

namespace WebParams {

// The parameter's text (empty when not given). A parameter given twice is refused.
QString text(const httplib::Request& req, const char* name);

// A date-time "yyyy-MM-ddTHH:mm:ss" (or "yyyy-MM-dd", or with a space for the T) in the
// mine's time as stored, as seconds since 1970 read as UTC, the charts' keys; none when
// not given.
std::optional<double> dateKey(const httplib::Request& req, const char* name);
// The same from a text; none for an empty text; throws WebRefusal 400 when it is not a date.
std::optional<double> parseDateKey(const QString& text, const char* name);
// An integer within [lowest, highest]; fallback when not given.
int integer(const httplib::Request& req, const char* name, int lowest, int highest, int fallback);
// One of the allowed words (compared exactly); fallback when not given.
QString oneOf(const httplib::Request& req, const char* name, const QStringList& allowed, const QString& fallback);

// A key back as the API's date text "yyyy-MM-ddTHH:mm:ss".
QString dateText(double key);
// A stored "yyyy-MM-dd HH:mm:ss" text as the API's date text; empty stays empty.
QString apiDate(const QString& stored);

}  // namespace WebParams
