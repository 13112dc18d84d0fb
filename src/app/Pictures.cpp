#include "Pictures.h"

#include "LanguageChoice.h"
#include "ProgramPicture.h"

#include <QPainter>

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
                  [receiving](QPainter& p) { PaintProgramPicture(p, receiving); });
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
