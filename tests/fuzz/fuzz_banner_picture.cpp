// A banner body as the advertising service may send it, the way the window takes it: its
// kind recognised (the first byte of the input says whether the address it came from held
// ".jpg"), then a GIF decoded by Qt and played through as the window plays it, a JPEG by
// libjpeg with the program's error handler. Either a picture comes out whose visible part is
// at most 468 x 60 and whose frames stay within the pixel limit, or nothing is shown; never
// a crash.

#include "app/BannerPicture.h"
#include "online/Banner.h"

#include "FuzzSupport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QMovie>

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "fuzz_banner_picture";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
}

bool WithinBanner(const QImage& picture) {
    return !picture.isNull() && picture.width() <= bannerpicture::kBannerSize.width() &&
           picture.height() <= bannerpicture::kBannerSize.height();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    EnsureApp();
    const std::string location =
        (data[0] & 1) ? "http://ads.example/b.jpg" : "http://ads.example/b";
    const std::string body(fuzz::Bytes(data + 1, size - 1));

    const BannerPictureKind kind = RecogniseBannerBody(body, location);
    std::optional<bannerpicture::BannerFrames> frames = bannerpicture::DecodeBanner(kind, body);
    if (!frames) return 0;
    FUZZ_CHECK(kind == BannerPictureKind::Gif || kind == BannerPictureKind::Jpeg);
    FUZZ_CHECK(WithinBanner(frames->still));
    if (frames->animation.isEmpty()) return 0;

    // The animation as Image1 plays it, a few rounds' worth of frames.
    FUZZ_CHECK(kind == BannerPictureKind::Gif);
    QBuffer buffer(&frames->animation);
    buffer.open(QIODevice::ReadOnly);
    QMovie movie(&buffer, QByteArray("gif"));
    for (int i = 0; i < 64 && movie.jumpToNextFrame(); ++i) {
        const QImage frame = movie.currentImage();
        FUZZ_CHECK(static_cast<qint64>(frame.width()) * frame.height() <=
                   bannerpicture::kMaxPixels);
    }
    return 0;
}
