#include "setup/Installer.h"

#include <QGuiApplication>
#include <QTextStream>

// tarnwell-setup: creates Tarnwell's data folder and database when they are missing, and
// writes the user manual "TarnwellManual.pdf" into the data folder.
// With --demo it also adds demonstration sensors to a database that has none.
int main(int argc, char* argv[])
{
    // The manual is typeset with Qt's text engine, which needs a graphical application
    // object; without a display it renders offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    // The manual page (tarnwell-setup.1) gives the same options, exit status, files and
    // environment word for word; a test compares the two.
    const QString usage = QStringLiteral(
        "Usage: tarnwell-setup [--demo]\n"
        "       tarnwell-setup --server URI\n"
        "       tarnwell-setup --copy-to URI [--from FILE]\n"
        "\n"
        "Creates Tarnwell's data folder and database when they are missing, and writes the\n"
        "manual. An existing database is never changed.\n"
        "\n"
        "Options:\n"
        "  --demo          also adds three demonstration sensors to a database that has no sensor\n"
        "  --server URI    makes the database on a PostgreSQL server ready for Tarnwell (tables,\n"
        "                  template, every layout step); running it again changes nothing.\n"
        "                  URI: postgresql://user@host:port/dbname\n"
        "  --copy-to URI   copies the database file into the empty database on a server, every\n"
        "                  table and reading, checked by row counts and a checksum per table\n"
        "  --from FILE     the database file --copy-to copies (default: Tarnwell's own)\n"
        "  --help          this text\n"
        "\n"
        "Exit status:\n"
        "  0  done, or nothing was missing\n"
        "  1  it failed; the lines printed say why\n"
        "  2  the command was used wrongly\n"
        "\n"
        "Files:\n"
        "  ~/Documents/Orrisford/Tarnwell/TarnwellHALYX.mdb    the database file\n"
        "  ~/Documents/Orrisford/Tarnwell/TarnwellManual.pdf  the manual\n"
        "\n"
        "Environment:\n"
        "  PGPASSWORD  the server's password, when the URI and ~/.pgpass give none\n");
    if (!args.isEmpty() && args.front() == QLatin1String("--server")) {
        if (args.size() != 2 || args[1].startsWith(QLatin1String("--"))) {
            out << usage;
            return 2;
        }
        const Installer::Result r = Installer::setUpServer(args[1]);
        for (const QString& line : r.lines) out << line << '\n';
        return r.ok ? 0 : 1;
    }
    if (!args.isEmpty() && args.front() == QLatin1String("--copy-to")) {
        QString from;
        if (args.size() == 4 && args[2] == QLatin1String("--from")) from = args[3];
        else if (args.size() != 2) {
            out << usage;
            return 2;
        }
        const Installer::Result r = Installer::copyToServer(args[1], from);
        for (const QString& line : r.lines) out << line << '\n';
        return r.ok ? 0 : 1;
    }
    for (const QString& a : args) {
        if (a != QLatin1String("--demo")) {
            out << usage;
            return a == QLatin1String("--help") ? 0 : 2;
        }
    }
    Installer::Options options;
    options.demo = args.contains(QStringLiteral("--demo"));
    const Installer::Result r = Installer::setUp(options);
    for (const QString& line : r.lines) out << line << '\n';
    if (!r.ok) return 1;
    return 0;
}
