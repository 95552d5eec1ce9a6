#include "setup/Installer.h"
#include "store/Paths.h"

#include <QGuiApplication>
#include <QTextStream>

// tarnwell-setup: creates Tarnwell's data folder and database when they are missing, and
// writes the user manual "TarnwellManual.pdf" into the data folder.
int main(int argc, char* argv[])
{
    // The manual is typeset with Qt's text engine, which needs a graphical application
    // object; without a display it renders offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    Installer::Result r = Installer::install();
    if (r.ok) {
        const QString manual = Paths::dataFolder() + QStringLiteral("/TarnwellManual.pdf");
        QString error;
        if (Installer::writeManual(manual, &error)) {
            r.lines << QStringLiteral("Manual: %1 (written)").arg(manual);
        } else {
            r.ok = false;
            r.lines << QStringLiteral("Cannot write the manual %1: %2").arg(manual, error);
        }
    }
    for (const QString& line : r.lines) out << line << '\n';
    return r.ok ? 0 : 1;
}
