#include "ProgramPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QString>

namespace {

constexpr qreal kDesign = 16;  // the design grid

// The tile: a rounded square with a vertical gradient and a dark rim.
const QRectF kTile(0.5, 0.5, 15, 15);
constexpr qreal kTileRadius = 3;
constexpr qreal kRimWidth = 0.8;
const QColor kTileTop(0x3a, 0x4d, 0x61);
const QColor kTileBottom(0x1c, 0x27, 0x33);
const QColor kRim(0x10, 0x17, 0x1f);

const QColor kIdle(0xa7, 0xb2, 0xbe);
const QColor kReceiving(0x4c, 0xe0, 0x6a);
const QColor kSendingBeside(0xc9, 0xd1, 0xd9);  // the send arrow while the other is lit

// Shaft 4..6 wide, head pointing down to y 13.
const QPolygonF kReceiveArrow(
    {{4, 2.5}, {6, 2.5}, {6, 8.5}, {8.5, 8.5}, {5, 13}, {1.5, 8.5}, {4, 8.5}});
// Shaft 10..12 wide, head pointing up to y 3.
const QPolygonF kSendArrow(
    {{10, 13.5}, {10, 7.5}, {7.5, 7.5}, {11, 3}, {14.5, 7.5}, {12, 7.5}, {12, 13.5}});

QString Points(const QPolygonF& polygon) {
    QStringList points;
    for (const QPointF& point : polygon)
        points << QStringLiteral("%1,%2").arg(point.x()).arg(point.y());
    return points.join(QLatin1Char(' '));
}

}  // namespace

void PaintProgramPicture(QPainter& p, bool receiving) {
    QLinearGradient tile(0, 0, 0, kDesign);
    tile.setColorAt(0, kTileTop);
    tile.setColorAt(1, kTileBottom);
    p.setPen(QPen(kRim, kRimWidth));
    p.setBrush(tile);
    p.drawRoundedRect(kTile, kTileRadius, kTileRadius);

    p.setPen(Qt::NoPen);
    p.setBrush(receiving ? kReceiving : kIdle);
    p.drawPolygon(kReceiveArrow);
    p.setBrush(receiving ? kSendingBeside : kIdle);
    p.drawPolygon(kSendArrow);
}

QImage ProgramPicture(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kDesign, size / kDesign);
    PaintProgramPicture(p, false);
    return image;
}

QByteArray ProgramPictureSvg() {
    const QString svg =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
            "viewBox=\"0 0 %1 %1\">\n"
            "  <defs>\n"
            "    <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"0\" "
            "x2=\"0\" y2=\"%1\">\n"
            "      <stop offset=\"0\" stop-color=\"%2\"/>\n"
            "      <stop offset=\"1\" stop-color=\"%3\"/>\n"
            "    </linearGradient>\n"
            "  </defs>\n"
            "  <rect x=\"%4\" y=\"%5\" width=\"%6\" height=\"%7\" rx=\"%8\" ry=\"%8\" "
            "fill=\"url(#tile)\" stroke=\"%9\" stroke-width=\"%10\"/>\n"
            "  <polygon points=\"%11\" fill=\"%12\"/>\n"
            "  <polygon points=\"%13\" fill=\"%12\"/>\n"
            "</svg>\n")
            .arg(kDesign)
            .arg(kTileTop.name(), kTileBottom.name())
            .arg(kTile.x())
            .arg(kTile.y())
            .arg(kTile.width())
            .arg(kTile.height())
            .arg(kTileRadius)
            .arg(kRim.name())
            .arg(kRimWidth)
            .arg(Points(kReceiveArrow), kIdle.name(), Points(kSendArrow));
    return svg.toUtf8();
}
