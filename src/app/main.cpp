#include "app/frmTarnwell.h"
#include "widgets/AppIcon.h"
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
        w.show();
        rc = app.exec();
        if (w.startupRefused()) rc = 1;
    }
    return rc;
}
