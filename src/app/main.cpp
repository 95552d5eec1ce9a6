#include "app/frmTarnwell.h"
#include "core/DatabaseChoice.h"
#include "widgets/AppIcon.h"
#include "widgets/WindowPlacement.h"
#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
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
        } else if (args[i] == QLatin1String("--help")) {
            QTextStream(stdout) << "Usage: tarnwell [--database URI|PATH]\n"
                                   "  --database  the database of this run: a database file, or a team database on a\n"
                                   "              PostgreSQL server as postgresql://user@host:port/dbname\n";
            return 0;
        }
    }
    int rc = 0;
    {
        frmTarnwell w;
        // The size, place and maximised state the user left the window in.
        WindowPlacement::restore(&w, QStringLiteral("MainWindow"), frmTarnwell::defaultSize());
        w.show();
        rc = app.exec();
        if (w.startupRefused()) rc = 1;
        else WindowPlacement::save(&w, QStringLiteral("MainWindow"));
    }
    return rc;
}
