#pragma once

// Pictures for the banner's tests, made byte by byte so that every colour and size is known:
// GIF pictures (one frame or an animation, with LZW compression) and the signatures of other
// formats. JPEG pictures come from Qt's writer where a test needs a real one.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testpictures {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// One frame: a colour index (into the palette) per pixel, row by row.
using Frame = std::vector<std::uint8_t>;

struct GifDesign {
    int width = 468;
    int height = 60;
    std::vector<Rgb> palette;  // up to 256 colours
    std::vector<Frame> frames;
    int delayCs = 10;                 // per frame, hundredths of a second
    int loops = -1;                   // -1: no loop extension; 0: loop for ever; n: n times
    bool lowerCaseSignature = false;  // "gif89a"
};

namespace detail {

// Variable-length codes packed from the lowest bit, as GIF wants them.
class BitWriter {
  public:
    void Put(int code, int bits) {
        buffer_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            bytes.push_back(static_cast<char>(buffer_ & 0xFF));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    void Flush() {
        if (count_ > 0) bytes.push_back(static_cast<char>(buffer_ & 0xFF));
        buffer_ = 0;
        count_ = 0;
    }
    std::string bytes;

  private:
    std::uint32_t buffer_ = 0;
    int count_ = 0;
};

// LZW with 8-bit symbols: clear 256, end 257, the table restarted when it is full.
inline std::string Lzw(const Frame& pixels) {
    constexpr int kClear = 256, kEnd = 257;
    BitWriter out;
    std::map<std::pair<int, int>, int> table;
    int width = 9, next = kEnd + 1;
    out.Put(kClear, width);
    int prefix = -1;
    for (const std::uint8_t symbol : pixels) {
        if (prefix < 0) {
            prefix = symbol;
            continue;
        }
        const auto found = table.find({prefix, symbol});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        out.Put(prefix, width);
        table[{prefix, symbol}] = next++;
        if (next > (1 << width) && width < 12) ++width;
        if (next >= 4095) {
            out.Put(kClear, width);
            table.clear();
            width = 9;
            next = kEnd + 1;
        }
        prefix = symbol;
    }
    if (prefix >= 0) {
        out.Put(prefix, width);
        // The reader adds a table entry for this code too, and may widen the end code.
        if (++next > (1 << width) && width < 12) ++width;
    }
    out.Put(kEnd, width);
    out.Flush();
    return out.bytes;
}

inline void Put16(std::string& out, int value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace detail

inline std::string Gif(const GifDesign& design) {
    std::string out = design.lowerCaseSignature ? "gif89a" : "GIF89a";
    detail::Put16(out, design.width);
    detail::Put16(out, design.height);
    out += "\xF7";  // a global table of 256 colours
    out.push_back('\0');
    out.push_back('\0');
    for (int i = 0; i < 256; ++i) {
        const Rgb colour = i < static_cast<int>(design.palette.size()) ? design.palette[i] : Rgb{};
        out.push_back(static_cast<char>(colour.r));
        out.push_back(static_cast<char>(colour.g));
        out.push_back(static_cast<char>(colour.b));
    }
    if (design.loops >= 0) {
        out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        detail::Put16(out, design.loops);
        out.push_back('\0');
    }
    for (const Frame& frame : design.frames) {
        out += std::string("\x21\xF9\x04\x04", 4);  // graphic control: keep the frame
        detail::Put16(out, design.delayCs);
        out += std::string("\0\0", 2);
        out += "\x2C";
        detail::Put16(out, 0);
        detail::Put16(out, 0);
        detail::Put16(out, design.width);
        detail::Put16(out, design.height);
        out.push_back('\0');
        out.push_back('\x08');  // LZW minimum code size
        const std::string data = detail::Lzw(frame);
        for (std::size_t at = 0; at < data.size(); at += 255) {
            const std::string block = data.substr(at, 255);
            out.push_back(static_cast<char>(block.size()));
            out += block;
        }
        out.push_back('\0');
    }
    out += "\x3B";
    return out;
}

// A frame of vertical stripes, each `stripe` pixels wide, cycling through `colours` indices.
inline Frame Stripes(int width, int height, int stripe, int colours, int shift = 0) {
    Frame frame(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            frame[static_cast<std::size_t>(y) * width + x] =
                static_cast<std::uint8_t>((x / stripe + shift) % colours);
    return frame;
}

// Red, green, blue, white.
inline const std::vector<Rgb> kPalette = {{255, 0, 0}, {0, 160, 0}, {0, 0, 255}, {255, 255, 255}};

// A 468 x 60 banner of four stripes, red, green, blue, white, from left to right.
inline std::string StripedBanner() {
    return Gif({.palette = kPalette, .frames = {Stripes(468, 60, 117, 4)}});
}

// `bytes` lengthened to `size` with bytes after the end of the picture, which readers skip.
inline std::string PaddedTo(std::string bytes, std::size_t size) {
    bytes.resize(std::max(bytes.size(), size), '\0');
    return bytes;
}

}  // namespace testpictures
