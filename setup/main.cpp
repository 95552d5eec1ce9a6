#include "setup/DemoData.h"
#include "setup/Installer.h"
#include "store/Database.h"
#include "store/Paths.h"

#include <QCoreApplication>
#include <QDate>
#include <QTextStream>

// tarnwell-setup: creates Tarnwell's data folder and database when they are missing.
// With --demo it also adds demonstration sensors to a database that has none.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    for (const QString& a : args) {
        if (a != QLatin1String("--demo")) {
            out << "Usage: tarnwell-setup [--demo]\n"
                   "  Creates the data folder and the database when they are missing.\n"
                   "  --demo  also adds three demonstration sensors to a database that has no sensor.\n";
            return a == QLatin1String("--help") ? 0 : 2;
        }
    }
    const Installer::Result r = Installer::install();
    for (const QString& line : r.lines) out << line << '\n';
    if (!r.ok) return 1;
    if (args.contains(QStringLiteral("--demo"))) {
        Database db(QStringLiteral("tarnwell-setup-demo"));
        if (!db.open(Paths::databasePath())) {
            out << "Cannot open the database to add the demo data\n";
            return 1;
        }
        const DemoData::Result d = DemoData::install(db, Paths::dataFolder(), QDate::currentDate());
        for (const QString& line : d.lines) out << line << '\n';
        if (!d.ok) return 1;
    }
    return 0;
}
