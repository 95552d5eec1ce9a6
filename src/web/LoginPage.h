#pragma once
#include <QByteArray>
#include <QString>

// The login form in plain HTML, in the look of the other pages (their style sheet, class
// names they can restyle), and the rule for where a login goes next.
namespace LoginPage {

// The page: a form posting user, password and next to /login; message (may be empty) is
// shown above it, e.g. "Wrong user name or password.".
QByteArray html(const QString& next, const QString& message, const QString& whatToEnter);

// next when it is a path on this site ("/alarms?x=1"), "/" otherwise: never another site
// ("//evil.example", "https://…", "/\\evil"), never anything with control characters.
QString safeNext(const QString& next);

}  // namespace LoginPage
