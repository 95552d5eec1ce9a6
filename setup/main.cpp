#include "setup/Installer.h"

#include <QCoreApplication>
#include <QTextStream>

// tarnwell-setup: creates Tarnwell's data folder and database when they are missing.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const Installer::Result r = Installer::install();
    for (const QString& line : r.lines) out << line << '\n';
    return r.ok ? 0 : 1;
}
