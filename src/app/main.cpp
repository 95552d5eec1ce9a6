#include "app/MainWindow.h"
#include "core/DatabaseChoice.h"
#include "core/ErrorLog.h"
#include "widgets/AppIcon.h"
#include "widgets/WindowPlacement.h"
#include <QApplication>
#include <cstdio>
#include <cstring>

// The manual page (tarnwell.1) gives the same options, exit status, files and environment
// word for word; a test compares the two.
static const char helpText[] =
    "Usage: tarnwell [--database URI|PATH]\n"
    "\n"
    "Keeps the records and readings of instrumented rock bolts and charts their load,\n"
    "displacement and shear strain.\n"
    "\n"
    "Options:\n"
    "  --database URI|PATH  the database of this run: a database file, or a team database on a\n"
    "                       PostgreSQL server as postgresql://user@host:port/dbname; the\n"
    "                       database chosen in the Database dialog stays as it is\n"
    "  --help               this text\n"
    "\n"
    "Exit status:\n"
    "  0  the window was closed\n"
    "  1  Tarnwell did not start: no database could be opened, or another copy of it runs\n"
    "     on this account and machine\n"
    "\n"
    "Files:\n"
    "  ~/Documents/Orrisford/Tarnwell/TarnwellHALYX.mdb  the database file\n"
    "  ~/Documents/Orrisford/Tarnwell/HALYX_logfile.txt  the error log\n"
    "  ~/Documents/Orrisford/Tarnwell/HALYXbackup        the backups\n"
    "  ~/.config/Orrisford/Tarnwell.conf                 the chosen database and the window's\n"
    "                                                    place\n"
    "\n"
    "Environment:\n"
    "  PGPASSWORD       the password of a team database; without it, the one ~/.pgpass gives,\n"
    "                   or Tarnwell asks once per run\n"
    "  USER             the login name recorded with each change and acknowledgement\n"
    "  QT_SCALE_FACTOR  enlarges or shrinks the whole window\n";

int main(int argc, char* argv[])
{
    // Answered before the window system is reached, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(helpText, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QApplication::setOrganizationName(QStringLiteral("Orrisford"));
    QApplication::setWindowIcon(appIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwell"));
    // --database URI|PATH: the database of this run (a file, or a team database on a
    // PostgreSQL server); what the Database dialog remembers stays as it is.
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--database") && i + 1 < args.size()) {
            DatabaseChoice::setForThisRun(args[++i]);
        } else if (args[i].startsWith(QLatin1String("--database="))) {
            DatabaseChoice::setForThisRun(args[i].mid(int(sizeof("--database=")) - 1));
        }
    }
    int rc = 0;
    {
        MainWindow w;
        // The size, place and maximised state the user left the window in.
        WindowPlacement::restore(&w, QStringLiteral("MainWindow"), MainWindow::defaultSize());
        w.show();
        rc = app.exec();
        if (w.startupRefused()) rc = 1;
        else WindowPlacement::save(&w, QStringLiteral("MainWindow"));
    }
    // The steps whose errors were ignored again and again: how many times.
    ErrorLog::writeIgnoredCounts();
    return rc;
}
