// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// The globe is drawn on a 32-unit grid and scaled, so every size shows the same map.
const QRectF Ball(1.5, 1.5, 29, 29);
const QColor LandColour(30, 160, 40);
const QColor OutlineColour(0, 30, 110);
constexpr qreal OutlineWidth = 1.0;

QRadialGradient water()
{
    QRadialGradient gradient(QPointF(11, 10), 22);
    gradient.setColorAt(0, QColor(90, 160, 255));
    gradient.setColorAt(1, QColor(0, 50, 170));
    return gradient;
}

QPainterPath land()
{
    QPainterPath path;
    // A continent in the north-west, a smaller one to the south-east, an island between.
    path.moveTo(5, 9);
    path.cubicTo(8, 3, 17, 3, 18, 8);
    path.cubicTo(19, 12, 14, 12, 13, 16);
    path.cubicTo(12, 20, 7, 19, 6, 15);
    path.cubicTo(5, 13, 3, 12, 5, 9);
    path.moveTo(18, 17);
    path.cubicTo(23, 14, 29, 17, 28, 22);
    path.cubicTo(27, 27, 21, 29, 19, 26);
    path.cubicTo(17, 23, 16, 20, 18, 17);
    path.addEllipse(QRectF(22, 7, 4, 3));
    return path;
}

void paintGlobe(QPaintDevice& device, int size)
{
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath sea;
    sea.addEllipse(Ball);
    painter.setPen(Qt::NoPen);
    painter.setBrush(water());
    painter.drawPath(sea);

    painter.setClipPath(sea);
    painter.setBrush(LandColour);
    painter.drawPath(land());

    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(OutlineColour, OutlineWidth));
    painter.drawEllipse(Ball);
}

QPixmap globe(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    paintGlobe(pixmap, size);
    return pixmap;
}

QString svgNumber(qreal value)
{
    return QString::number(value, 'g', 6);
}

QString svgPathData(const QPainterPath& path)
{
    QStringList data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QString point = svgNumber(element.x) + u' ' + svgNumber(element.y);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            data << u'M' + point;
            break;
        case QPainterPath::LineToElement:
            data << u'L' + point;
            break;
        case QPainterPath::CurveToElement:
            data << u'C' + point;
            break;
        case QPainterPath::CurveToDataElement:
            data << point;
            break;
        }
    }
    return data.join(u' ');
}

QString svgColour(const QColor& colour)
{
    return colour.name(QColor::HexRgb);
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(globe(32));
    icon.addPixmap(globe(16));
    return icon;
}

QImage programIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    paintGlobe(image, size);
    return image;
}

QByteArray programIconSvg()
{
    const QRadialGradient gradient = water();
    QString stops;
    for (const auto& [offset, colour] : gradient.stops())
        stops += QStringLiteral("<stop offset=\"%1\" stop-color=\"%2\"/>")
                     .arg(svgNumber(offset), svgColour(colour));
    const QString ellipse = QStringLiteral("cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                                .arg(svgNumber(Ball.center().x()), svgNumber(Ball.center().y()),
                                     svgNumber(Ball.width() / 2), svgNumber(Ball.height() / 2));
    const QString svg =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 32 32\">\n"
            "<defs>\n"
            "<radialGradient id=\"water\" gradientUnits=\"userSpaceOnUse\" cx=\"%1\" cy=\"%2\" r=\"%3\" "
            "fx=\"%4\" fy=\"%5\">%6</radialGradient>\n"
            "<clipPath id=\"sea\"><ellipse %7/></clipPath>\n"
            "</defs>\n"
            "<ellipse %7 fill=\"url(#water)\"/>\n"
            "<path clip-path=\"url(#sea)\" fill=\"%8\" fill-rule=\"evenodd\" d=\"%9\"/>\n"
            "<ellipse %7 fill=\"none\" stroke=\"%10\" stroke-width=\"%11\"/>\n"
            "</svg>\n")
            .arg(svgNumber(gradient.center().x()), svgNumber(gradient.center().y()),
                 svgNumber(gradient.radius()), svgNumber(gradient.focalPoint().x()),
                 svgNumber(gradient.focalPoint().y()), stops, ellipse, svgColour(LandColour),
                 svgPathData(land()))
            .arg(svgColour(OutlineColour), svgNumber(OutlineWidth));
    return svg.toUtf8();
}
