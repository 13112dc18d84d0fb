#include "Pictures.h"

#include "LanguageChoice.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

// Draws a picture designed on a grid of `design` units into a square pixmap of `size`
// device pixels.
QPixmap Draw(int size, qreal design, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / design, size / design);
    paint(p);
    return pixmap;
}

QIcon IconOf(qreal design, std::initializer_list<int> sizes,
             const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int size : sizes)
        icon.addPixmap(Draw(size, design, paint));
    return icon;
}

// Tray: a dark tile with a receive arrow (down, left) and a send arrow (up, right). While
// bytes arrive the receive arrow lights up green.
void PaintTray(QPainter& p, bool receiving) {
    QLinearGradient tile(0, 0, 0, 16);
    tile.setColorAt(0, QColor(0x3a, 0x4d, 0x61));
    tile.setColorAt(1, QColor(0x1c, 0x27, 0x33));
    p.setPen(QPen(QColor(0x10, 0x17, 0x1f), 0.8));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);

    const QColor idle(0xa7, 0xb2, 0xbe);
    const QColor receive = receiving ? QColor(0x4c, 0xe0, 0x6a) : idle;
    const QColor send = receiving ? QColor(0xc9, 0xd1, 0xd9) : idle;
    p.setPen(Qt::NoPen);

    QPainterPath down;  // shaft 4..6 wide, head pointing down to y 13
    down.addRect(QRectF(4, 2.5, 2, 6.5));
    down.moveTo(1.5, 8.5);
    down.lineTo(8.5, 8.5);
    down.lineTo(5, 13);
    down.closeSubpath();
    p.setBrush(receive);
    p.drawPath(down.simplified());

    QPainterPath up;  // shaft 10..12 wide, head pointing up to y 3
    up.addRect(QRectF(10, 7.5, 2, 6));
    up.moveTo(7.5, 7.5);
    up.lineTo(14.5, 7.5);
    up.lineTo(11, 3);
    up.closeSubpath();
    p.setBrush(send);
    p.drawPath(up.simplified());
}

// Banner refresh: a circular arrow.
void PaintRefresh(QPainter& p) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2a, 0x6f, 0xc9), 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x6f, 0xc9));
    p.drawPolygon(QPolygonF({QPointF(9.5, 0.5), QPointF(13.8, 4.2), QPointF(8.6, 6.4)}));
}

}  // namespace

QIcon TrayPicture(int index) {
    const bool receiving = index == 1;
    return IconOf(16, {16, 22, 24, 32, 48, 64},
                  [receiving](QPainter& p) { PaintTray(p, receiving); });
}

QIcon PictureOf(form::Picture picture) {
    switch (picture) {
        case form::Picture::SelectLanguage:
            return SelectLanguagePicture();
        case form::Picture::SaveOptions:
            return SaveOptionsPicture();
        case form::Picture::BannerRefresh:
            return IconOf(16, {16, 32}, PaintRefresh);
        case form::Picture::None:
        case form::Picture::BuiltInBanner:
            break;
    }
    return {};
}

QPixmap BuiltInBanner() {
    return QPixmap(QStringLiteral(":/torvane/banner.png"));
}
