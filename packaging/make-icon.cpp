// Writes Tarnwell's icon as a PNG of the given size (used by the build for installation).
#include "widgets/AppIcon.h"
#include <QGuiApplication>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) return 2;
    return drawAppIcon(QString::fromLocal8Bit(argv[2]).toInt()).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
