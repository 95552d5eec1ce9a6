#pragma once
#include <QString>
#include <memory>

class WebAuth;
class WebConnections;
struct WebOptions;

// The logins the options ask for: a team server's roles (a password file makes no sense
// there), a database file's password file, or an open read-only view of a file. Null with
// error set (the program then exits 2): a bad line of the password file (with its number),
// a password file naming nobody. warning: said on stderr, not fatal (a password file
// others can read).
std::unique_ptr<WebAuth> makeWebAuth(const WebOptions& options, WebConnections& connections, QString* error,
                                     QString* warning);
