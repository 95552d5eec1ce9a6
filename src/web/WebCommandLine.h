#pragma once
#include "web/WebServer.h"

#include <QString>
#include <QStringList>

// The command line of tarnwell-web.
namespace WebCommandLine {

struct Parsed {
    WebOptions options;
    bool hashPassword = false;  // --hash-password: hash a password read on stdin, nothing else
    bool help = false;
    QString error;  // not empty: the line is wrong (the usage is shown, exit status 2)
};

// Reads the arguments (without the program's name).
Parsed parse(const QStringList& args);

QString usage();

// Whether the address only this machine reaches (127.0.0.0/8, ::1, "localhost").
bool isLoopback(const QString& address);
bool isIPv6(const QString& address);

}  // namespace WebCommandLine
