// tarnwell-import: logger files into Tarnwell's database without a window.
#include "core/ErrorLog.h"
#include "importer/ImportRun.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwell-import"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const int rc = ImportRun::run(args, out, err);
    ErrorLog::writeIgnoredCounts();
    return rc;
}
