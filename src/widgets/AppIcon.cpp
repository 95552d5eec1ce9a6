#include "widgets/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

QImage drawAppIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 48.0, size / 48.0);
    p.setPen(Qt::NoPen);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
    p.fillPath(frame, QColor(0x3b, 0x42, 0x52));
    QPainterPath rock;
    rock.moveTo(2, 30);
    rock.lineTo(14, 22);
    rock.lineTo(22, 27);
    rock.lineTo(34, 16);
    rock.lineTo(46, 20);
    rock.lineTo(46, 46);
    rock.lineTo(2, 46);
    rock.closeSubpath();
    p.fillPath(rock.intersected(frame), QColor(0x5e, 0x6b, 0x7d));
    p.setBrush(QColor(0xd8, 0xde, 0xe9));
    p.drawRoundedRect(QRectF(21, 6, 6, 34), 1.5, 1.5);
    p.setBrush(QColor(0xec, 0xef, 0xf4));
    p.drawRoundedRect(QRectF(13, 36, 22, 4), 1, 1);
    p.setBrush(QColor(0xe5, 0xe9, 0xf0));
    p.drawRoundedRect(QRectF(19, 40, 10, 4), 1, 1);
    p.setBrush(QColor(0xf2, 0x8c, 0x28));
    for (int y : {11, 19, 27}) p.drawRect(QRectF(20, y, 8, 3));
    return img;
}

QIcon appIcon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(drawAppIcon(s)));
    return icon;
}
