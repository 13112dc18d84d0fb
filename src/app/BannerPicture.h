#pragma once

// The banner's pictures: decoding what a fetch brought, and Image1 showing it. A picture is
// drawn unscaled from Image1's top left corner; what lies beyond 468 x 60 is cut off, and
// a smaller one leaves the rest empty. GIF pictures are decoded by Qt and an animated one
// plays in a loop for as long as it is shown; JPEG pictures are decoded by libjpeg from
// memory. Corrupt, cut short or absurdly large pictures are decoding errors, never a crash.

#include "online/Banner.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QSize>

#include <memory>
#include <optional>
#include <string_view>

class QLabel;
class QMovie;

namespace bannerpicture {

inline constexpr QSize kBannerSize(468, 60);
// The most pixels a picture may have: anything larger is refused before memory is taken
// for it (about 35 times a banner).
inline constexpr qint64 kMaxPixels = 1024 * 1024;

// The visible part of a JPEG picture (at most 468 x 60, its top left corner), or nothing
// for data libjpeg cannot decode whole or a picture over kMaxPixels.
std::optional<QImage> DecodeJpeg(std::string_view bytes);

// What a GIF picture is: the visible part of its first frame, and how many frames it has.
struct GifPicture {
    QImage firstFrame;
    int frames = 0;
};
// Nothing for data Qt cannot decode or a picture over kMaxPixels.
std::optional<GifPicture> DecodeGif(const QByteArray& bytes);

// The visible part of a picture: its top left corner, at most 468 x 60.
QImage Visible(const QImage& picture);

// What Image1 is to show for a fetched picture: a still picture, or an animated GIF to be
// played from its bytes (its first frame decoded already). Nothing for a kind other than
// GIF or JPEG, or data that cannot be decoded.
struct BannerFrames {
    QImage still;          // the visible part of the picture or of the first frame
    QByteArray animation;  // an animated GIF's bytes; empty for a still picture
};
std::optional<BannerFrames> DecodeBanner(BannerPictureKind kind, const std::string& bytes);

}  // namespace bannerpicture

// What Image1 shows. It keeps the last banner until another one replaces it.
class BannerView final {
  public:
    explicit BannerView(QLabel& image);
    ~BannerView();
    BannerView(const BannerView&) = delete;
    BannerView& operator=(const BannerView&) = delete;

    // Decodes a GIF or JPEG picture and shows it; false, with the banner shown so far left
    // in place, when it cannot be decoded.
    bool Show(BannerPictureKind kind, const std::string& bytes);
    // An animation plays only while the window can be seen.
    void SetPlaying(bool playing);
    bool Animated() const { return movie_ != nullptr; }

  private:
    void ShowStill(const QImage& picture);
    void Animate(QByteArray bytes);
    void StopAnimation();

    QLabel& image_;
    // An animation reads its frames from here while it plays.
    QByteArray movieData_;
    QBuffer movieBuffer_;
    std::unique_ptr<QMovie> movie_;
    bool playing_ = true;
};
