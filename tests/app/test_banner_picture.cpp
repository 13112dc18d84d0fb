// The banner's pictures: what Image1 gets from GIF and JPEG data of every size, what it
// refuses, and an animation that loops and rests while the window is hidden.

#include "AppFakes.h"
#include "Eventually.h"
#include "TestPictures.h"
#include "app/BannerPicture.h"

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace testpictures;

namespace {

// Left half red, right half blue.
QImage Halves(int width, int height, QImage::Format format = QImage::Format_RGB32) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    return picture.convertToFormat(format);
}

std::string Jpeg(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, "JPG", 95));
    return bytes.toStdString();
}

// `bytes` with the picture size of its first frame header (SOF0) replaced.
std::string JpegClaiming(std::string bytes, int width, int height) {
    const std::size_t sof = bytes.find("\xFF\xC0");
    bytes[sof + 5] = static_cast<char>(height >> 8), bytes[sof + 6] = static_cast<char>(height);
    bytes[sof + 7] = static_cast<char>(width >> 8), bytes[sof + 8] = static_cast<char>(width);
    return bytes;
}

std::string StripedGif(int width, int height) {
    return Gif({.width = width,
                .height = height,
                .palette = kPalette,
                .frames = {Stripes(width, height, 117, 4)}});
}

bool Near(QRgb actual, QRgb expected) {
    return std::abs(qRed(actual) - qRed(expected)) < 12 &&
           std::abs(qGreen(actual) - qGreen(expected)) < 12 &&
           std::abs(qBlue(actual) - qBlue(expected)) < 12;
}

struct Decoded {
    const char* name;
    BannerPictureKind kind;
    std::string bytes;
    QSize size;                                  // of what Image1 shows
    std::vector<std::pair<QPoint, QRgb>> spots;  // colours Image1 shows there
};

TEST(BannerPicture, Image1ShowsThePictureUnscaledFromItsTopLeftCorner) {
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 160, 0), blue = qRgb(0, 0, 255);
    const QImage grey = Halves(200, 60, QImage::Format_Grayscale8);
    const auto gif = BannerPictureKind::Gif;
    const auto jpeg = BannerPictureKind::Jpeg;
    const Decoded cases[] = {
        {"gif",
         gif,
         StripedBanner(),
         {468, 60},
         {{{5, 5}, red}, {{120, 30}, green}, {{300, 59}, blue}, {{467, 0}, qRgb(255, 255, 255)}}},
        {"small gif", gif, StripedGif(130, 20), {130, 20}, {{{0, 0}, red}, {{129, 19}, green}}},
        {"large gif", gif, StripedGif(800, 100), {468, 60}, {{{467, 59}, qRgb(255, 255, 255)}}},
        {"lower-case gif", gif, "gif" + StripedBanner().substr(3), {468, 60}, {{{5, 5}, red}}},
        {"jpeg", jpeg, Jpeg(Halves(468, 60)), {468, 60}, {{{5, 5}, red}, {{460, 55}, blue}}},
        {"large jpeg", jpeg, Jpeg(Halves(1200, 90)), {468, 60}, {{{467, 59}, red}}},
        {"grey jpeg",
         jpeg,
         Jpeg(grey),
         {200, 60},
         {{{5, 5}, grey.pixel(5, 5)}, {{150, 5}, grey.pixel(150, 5)}}},
    };
    for (const Decoded& given : cases) {
        SCOPED_TRACE(given.name);
        QLabel image;
        BannerView view(image);
        ASSERT_TRUE(view.Show(given.kind, given.bytes));
        const QImage shown = image.pixmap().toImage();
        EXPECT_EQ(shown.size(), given.size);
        for (const auto& [spot, colour] : given.spots)
            EXPECT_TRUE(Near(shown.pixel(spot), colour))
                << spot.x() << "," << spot.y() << " " << std::hex << shown.pixel(spot);
    }
}

TEST(BannerPicture, BadPicturesAreDecodingErrorsAndLeaveTheLastBanner) {
    const std::string jpeg = Jpeg(Halves(468, 60));
    std::string corrupt = jpeg;
    for (std::size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 40; ++i)
        corrupt[i] = static_cast<char>(i * 37);
    std::string badPrecision = jpeg;
    badPrecision[badPrecision.find("\xFF\xC0") + 4] = 7;
    std::string hugeGif = StripedBanner();
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = '\xFF';
    const std::vector<std::pair<BannerPictureKind, std::string>> bad = {
        {BannerPictureKind::Jpeg, jpeg.substr(0, jpeg.size() / 2)},  // cut short
        {BannerPictureKind::Jpeg, jpeg.substr(0, jpeg.size() - 2)},  // no end marker
        {BannerPictureKind::Jpeg, corrupt},
        {BannerPictureKind::Jpeg, badPrecision},
        {BannerPictureKind::Jpeg, JpegClaiming(jpeg, 60000, 60000)},  // refused, not allocated
        {BannerPictureKind::Jpeg, StripedBanner()},
        {BannerPictureKind::Gif, hugeGif},
        {BannerPictureKind::Gif, StripedBanner().substr(0, 790)},  // no frame
        {BannerPictureKind::Gif, PaddedTo("GIF89a", 2000)},
        {BannerPictureKind::OtherPicture, StripedBanner()},
    };
    QLabel image;
    BannerView view(image);
    ASSERT_TRUE(view.Show(BannerPictureKind::Gif, StripedBanner()));
    const QImage shown = image.pixmap().toImage();
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(view.Show(bad[i].first, bad[i].second));
        EXPECT_EQ(image.pixmap().toImage(), shown);
    }
}

TEST(BannerPicture, AnAnimationLoopsWhileShownAndRestsWhileHidden) {
    // Two frames, no loop count: played once by itself, round and round here.
    const std::string animation =
        Gif({.palette = kPalette,
             .frames = {Stripes(468, 60, 117, 4), Stripes(468, 60, 117, 4, 1)},
             .delayCs = 2});
    QLabel image;
    BannerView view(image);
    ASSERT_TRUE(view.Show(BannerPictureKind::Gif, animation));
    ASSERT_TRUE(view.Animated());
    ASSERT_NE(image.movie(), nullptr);
    std::set<QRgb> corners;
    int frames = 0;
    QObject::connect(image.movie(), &QMovie::frameChanged, [&] {
        ++frames;
        corners.insert(image.movie()->currentImage().pixel(0, 0));
    });
    EXPECT_EVENTUALLY(frames >= 6, 5000);  // past the end, three times
    EXPECT_EQ(corners, (std::set<QRgb>{qRgb(255, 0, 0), qRgb(0, 160, 0)}));

    view.SetPlaying(false);
    const int rested = frames;
    // Deliberately a fixed time: ten frame delays in which a resting animation shows nothing
    // new.
    QTest::qWait(200);
    EXPECT_EQ(frames, rested);
    view.SetPlaying(true);
    EXPECT_EVENTUALLY(frames > rested + 2, 5000);

    // A still picture replaces the animation.
    ASSERT_TRUE(view.Show(BannerPictureKind::Jpeg, Jpeg(Halves(468, 60))));
    EXPECT_FALSE(view.Animated());
    EXPECT_EQ(image.movie(), nullptr);
}

}  // namespace
