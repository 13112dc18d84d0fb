// The program's picture as the icon theme gets it: the SVG shows what the painter draws.

#include "app/ProgramPicture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include <cstdlib>

namespace {

// The mean difference of two pictures of one size, over every channel, from 0 to 255.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    return sum / (4.0 * x.width() * x.height());
}

TEST(ProgramPicture, TheScalablePictureDrawsWhatThePainterDraws) {
    if (!QImageReader::supportedImageFormats().contains("svg"))
        GTEST_SKIP() << "no SVG reader among Qt's image formats";
    for (int size : {16, 64, 256}) {
        QByteArray svg = ProgramPictureSvg();
        QBuffer buffer(&svg);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(QSize(size, size));
        const QImage read = reader.read();
        ASSERT_FALSE(read.isNull()) << reader.errorString().toStdString();
        const QImage painted = ProgramPicture(size);
        ASSERT_EQ(painted.size(), QSize(size, size));
        EXPECT_LT(MeanDifference(read, painted), 2.0) << "at " << size << " px";
        // Not empty: the tile covers the middle, the corners stay clear.
        EXPECT_EQ(qAlpha(painted.pixel(size / 2, size / 2)), 255);
        EXPECT_EQ(qAlpha(painted.pixel(0, 0)), 0);
    }
}

}  // namespace
