#include "ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap globe(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32-unit grid and scaled, so both sizes show the same map.
    painter.scale(size / 32.0, size / 32.0);

    const QRectF ball(1.5, 1.5, 29, 29);
    QPainterPath sea;
    sea.addEllipse(ball);
    QRadialGradient water(QPointF(11, 10), 22);
    water.setColorAt(0, QColor(90, 160, 255));
    water.setColorAt(1, QColor(0, 50, 170));
    painter.setPen(Qt::NoPen);
    painter.setBrush(water);
    painter.drawPath(sea);

    painter.setClipPath(sea);
    painter.setBrush(QColor(30, 160, 40));
    QPainterPath land;
    // A continent in the north-west, a smaller one to the south-east, an island between.
    land.moveTo(5, 9);
    land.cubicTo(8, 3, 17, 3, 18, 8);
    land.cubicTo(19, 12, 14, 12, 13, 16);
    land.cubicTo(12, 20, 7, 19, 6, 15);
    land.cubicTo(5, 13, 3, 12, 5, 9);
    land.moveTo(18, 17);
    land.cubicTo(23, 14, 29, 17, 28, 22);
    land.cubicTo(27, 27, 21, 29, 19, 26);
    land.cubicTo(17, 23, 16, 20, 18, 17);
    land.addEllipse(QRectF(22, 7, 4, 3));
    painter.drawPath(land);

    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 30, 110), 1.0));
    painter.drawEllipse(ball);
    return pixmap;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(globe(32));
    icon.addPixmap(globe(16));
    return icon;
}
