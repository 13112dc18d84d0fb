// Decoding a 468 x 60 banner as the window does when a fetch ends: a JPEG of photograph-like
// content through libjpeg, and a GIF of 64 colours through Qt (the frame count, the first
// frame, its visible part).

#include "TestPictures.h"
#include "app/BannerPicture.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cmath>

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_picture_decode";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
}

// Smooth colour waves with a little grain: what a photograph gives a JPEG encoder to do.
std::string PhotoJpeg() {
    QImage picture(468, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x) {
            const int grain = (x * 7 + y * 13) % 9;
            picture.setPixel(x, y,
                             qRgb(128 + 100 * std::sin(x / 30.0) + grain,
                                  128 + 100 * std::cos(y / 9.0 + x / 70.0) - grain, (x + y) % 256));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 85);
    return bytes.toStdString();
}

// 64 colours in diagonal bands.
std::string BandedGif() {
    testpictures::GifDesign design;
    for (int i = 0; i < 64; ++i)
        design.palette.push_back({static_cast<std::uint8_t>(i * 4),
                                  static_cast<std::uint8_t>(255 - i * 4),
                                  static_cast<std::uint8_t>(i * 2)});
    testpictures::Frame frame(468 * 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x)
            frame[y * 468 + x] = static_cast<std::uint8_t>(((x + 2 * y) / 8) % 64);
    design.frames = {frame};
    return testpictures::Gif(design);
}

void Decode(benchmark::State& run, BannerPictureKind kind, const std::string& bytes) {
    EnsureApp();
    for (auto _ : run) {
        auto frames = bannerpicture::DecodeBanner(kind, bytes);
        if (!frames) run.SkipWithError("the picture did not decode");
        benchmark::DoNotOptimize(frames);
    }
    run.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_DecodeJpeg468x60(benchmark::State& run) {
    Decode(run, BannerPictureKind::Jpeg, PhotoJpeg());
}
void BM_DecodeGif468x60(benchmark::State& run) {
    Decode(run, BannerPictureKind::Gif, BandedGif());
}

}  // namespace

BENCHMARK(BM_DecodeJpeg468x60)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeGif468x60)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
