#include "BannerPicture.h"

#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPixmap>

#include <algorithm>
#include <cctype>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <vector>

// libjpeg's header wants FILE and size_t declared before it.
#include <jpeglib.h>

namespace bannerpicture {

namespace {

// libjpeg's own error handler ends the process. This one leaves the decoding by longjmp
// back to where it began, so that bad data is an ordinary decoding error.
struct JpegErrors {
    jpeg_error_mgr manager;  // first, so that libjpeg's pointer to it points here as well
    std::jmp_buf escape;
};

[[noreturn]] void LeaveDecoding(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Warnings mark corrupt data or data that ends too early (libjpeg would fill the rest with
// grey): a banner is shown whole or not at all.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0) LeaveDecoding(info);
}

void Quiet(j_common_ptr) {}

// libjpeg's working memory for one picture; a progressive picture of kMaxPixels needs less.
constexpr long kJpegMemory = 32L * 1024 * 1024;

// Adobe's CMYK pictures store their inks inverted.
QRgb FromInvertedCmyk(const JSAMPLE* ink) {
    const int k = ink[3];
    return qRgb(ink[0] * k / 255, ink[1] * k / 255, ink[2] * k / 255);
}

// The decoding itself, from `data` into `canvas` (the visible part). Holds nothing that
// needs destroying: an error leaves it by longjmp, straight from inside libjpeg, and every
// result goes through the pointers. False when libjpeg reported an error or the picture is
// too large.
bool DecodeInto(jpeg_decompress_struct* info, JpegErrors* errors, const unsigned char* data,
                unsigned long size, QImage* canvas, std::vector<JSAMPLE>* row) {
    if (setjmp(errors->escape) != 0) return false;
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = kJpegMemory;
    jpeg_mem_src(info, data, size);
    jpeg_read_header(info, TRUE);
    if (info->image_width == 0 || info->image_height == 0 ||
        static_cast<qint64>(info->image_width) * info->image_height > kMaxPixels)
        return false;
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(info);
    const int channels = info->output_components;
    if ((cmyk && channels != 4) || (!cmyk && channels != 3)) return false;
    const int width = static_cast<int>(info->output_width);
    const int visibleWidth = std::min(width, kBannerSize.width());
    const int visibleHeight = std::min(static_cast<int>(info->output_height), kBannerSize.height());
    *canvas = QImage(visibleWidth, visibleHeight, QImage::Format_RGB32);
    if (canvas->isNull()) return false;
    row->resize(static_cast<std::size_t>(width) * channels);
    // Every row is read, also those below the visible part, so that damage anywhere counts.
    while (info->output_scanline < info->output_height) {
        const int y = static_cast<int>(info->output_scanline);
        JSAMPROW line = row->data();
        if (jpeg_read_scanlines(info, &line, 1) != 1) return false;
        if (y >= visibleHeight) continue;
        auto* target = reinterpret_cast<QRgb*>(canvas->scanLine(y));
        for (int x = 0; x < visibleWidth; ++x) {
            const JSAMPLE* pixel = line + static_cast<std::ptrdiff_t>(x) * channels;
            target[x] = cmyk ? FromInvertedCmyk(pixel) : qRgb(pixel[0], pixel[1], pixel[2]);
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

int Le16(const QByteArray& bytes, int at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

}  // namespace

std::optional<QImage> DecodeJpeg(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > ULONG_MAX) return std::nullopt;
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = LeaveDecoding;
    errors.manager.emit_message = OnMessage;
    errors.manager.output_message = Quiet;
    QImage canvas;
    std::vector<JSAMPLE> row;
    const bool decoded =
        DecodeInto(&info, &errors, reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<unsigned long>(bytes.size()), &canvas, &row);
    jpeg_destroy_decompress(&info);
    if (!decoded) return std::nullopt;
    return canvas;
}

std::optional<GifPicture> DecodeGif(const QByteArray& bytes) {
    // The size of the picture's screen, from its header, before Qt takes memory for it.
    if (bytes.size() < 10) return std::nullopt;
    const qint64 width = Le16(bytes, 6);
    const qint64 height = Le16(bytes, 8);
    if (width == 0 || height == 0 || width * height > kMaxPixels) return std::nullopt;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const int frames = reader.imageCount();
    const QImage first = reader.read();
    if (first.isNull() || frames < 1) return std::nullopt;
    return GifPicture{Visible(first), frames};
}

QImage Visible(const QImage& picture) {
    return picture.copy(0, 0, std::min(picture.width(), kBannerSize.width()),
                        std::min(picture.height(), kBannerSize.height()));
}

std::optional<BannerFrames> DecodeBanner(BannerPictureKind kind, const std::string& bytes) {
    if (kind == BannerPictureKind::Jpeg) {
        std::optional<QImage> picture = DecodeJpeg(bytes);
        if (!picture) return std::nullopt;
        return BannerFrames{std::move(*picture), {}};
    }
    if (kind != BannerPictureKind::Gif || bytes.size() < 3) return std::nullopt;
    // The signature is taken in any case; Qt's reader knows it in capitals only.
    QByteArray data = QByteArray::fromStdString(bytes);
    for (int i = 0; i < 3; ++i)
        data[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(data[i])));
    std::optional<GifPicture> picture = DecodeGif(data);
    if (!picture) return std::nullopt;
    if (picture->frames < 2) data.clear();
    return BannerFrames{std::move(picture->firstFrame), std::move(data)};
}

}  // namespace bannerpicture

BannerView::BannerView(QLabel& image) : image_(image) {}

BannerView::~BannerView() {
    StopAnimation();
}

bool BannerView::Show(BannerPictureKind kind, const std::string& bytes) {
    std::optional<bannerpicture::BannerFrames> frames = bannerpicture::DecodeBanner(kind, bytes);
    if (!frames) return false;
    if (frames->animation.isEmpty()) {
        ShowStill(frames->still);
    } else {
        Animate(std::move(frames->animation));
    }
    return true;
}

void BannerView::SetPlaying(bool playing) {
    playing_ = playing;
    if (!movie_) return;
    if (!playing) {
        if (movie_->state() == QMovie::Running) movie_->setPaused(true);
    } else if (movie_->state() == QMovie::Paused) {
        movie_->setPaused(false);
    } else if (movie_->state() == QMovie::NotRunning) {
        movie_->start();
    }
}

void BannerView::ShowStill(const QImage& picture) {
    image_.setPixmap(QPixmap::fromImage(picture));
    StopAnimation();
}

void BannerView::Animate(QByteArray bytes) {
    image_.clear();
    StopAnimation();
    movieData_ = std::move(bytes);
    movieBuffer_.setBuffer(&movieData_);
    movieBuffer_.open(QIODevice::ReadOnly);
    movie_ = std::make_unique<QMovie>(&movieBuffer_, QByteArray("gif"));
    // Round and round, whatever loop count the picture names.
    QObject::connect(
        movie_.get(), &QMovie::finished, movie_.get(),
        [this] {
            if (playing_ && movie_) movie_->start();
        },
        Qt::QueuedConnection);
    image_.setMovie(movie_.get());
    if (playing_) {
        movie_->start();
    } else {
        movie_->jumpToFrame(0);
    }
}

void BannerView::StopAnimation() {
    if (!movie_) return;
    if (image_.movie() == movie_.get()) image_.clear();
    movie_.reset();
    movieBuffer_.close();
    movieBuffer_.setBuffer(nullptr);
    movieData_.clear();
}
