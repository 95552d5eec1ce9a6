#include "app/frmTarnwell.h"
#include "widgets/AppIcon.h"
#include "widgets/WindowPlacement.h"
#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QApplication::setOrganizationName(QStringLiteral("Orrisford"));
    QApplication::setWindowIcon(appIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwell"));
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
