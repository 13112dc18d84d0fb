#pragma once

// The pixels of the rate diagram: a plain 32-bit buffer and the two ways of painting the
// sample history into it (bars and lines). No toolkit is involved, so every pixel is
// exactly what the code below decides, and the tests can check it without a display.

#include <cstdint>
#include <vector>

// An opaque colour as 0xFFRRGGBB.
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return 0xFF000000u | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}

// Row-major 0xFFRRGGBB pixels without padding between rows. That is the memory layout of
// QImage::Format_RGB32, so the window can wrap Pixels() in a QImage without copying.
// Drawing clips: points outside the buffer are ignored.
class DiagramRaster {
  public:
    // Width and height must be at least 1 (std::invalid_argument otherwise).
    DiagramRaster(int width, int height, std::uint32_t colour = Rgb(0, 0, 0));

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BytesPerLine() const { return width_ * static_cast<int>(sizeof(std::uint32_t)); }
    const std::uint32_t* Pixels() const { return pixels_.data(); }
    // The pixel at (x, y); both must lie inside the buffer.
    std::uint32_t Pixel(int x, int y) const {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)];
    }

    std::uint32_t* MutablePixels() { return pixels_.data(); }

    void Fill(std::uint32_t colour);
    void SetPixel(std::int64_t x, std::int64_t y, std::uint32_t colour) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)] = colour;
    }
    // Columns x0 to x1 and rows y0 to y1, inclusive; an empty range paints nothing.
    void FillRect(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  std::uint32_t colour);

    // One straight segment of a one-pixel solid pen from (x0, y0) towards (x1, y1). The
    // start point is painted, the end point is not: a polyline drawn as consecutive
    // segments paints each joint once, and its very last point not at all. The segment
    // takes max(|dx|, |dy|) pixels, one per step along the longer axis; the other
    // coordinate is the exact line's value rounded to the nearest integer, with a value
    // exactly halfway kept on the side of the start point (Bresenham's rule). Coordinates
    // may lie far outside the buffer; only the visible steps are visited. |dx| × |dy| must
    // stay below 2^61 (std::overflow_error otherwise); the diagram's segments join
    // neighbouring columns.
    void DrawSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                     std::uint32_t colour);

  private:
    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;
};

// Rounds to the nearest integer with exact halves going to the even one. The value must
// be finite and well inside the range of std::int64_t.
std::int64_t RoundHalfEven(long double value);

// The height of a sample in diagram rows: round(((v × 100) / (scaleKb × 1000)) ×
// diagramHeight / 100), worked out in extended precision so that no step overflows.
// A sample at the full scale (scaleKb × 1000) gets diagramHeight, samples above the scale
// heights above diagramHeight.
std::int64_t SampleHeight(std::uint64_t sample, std::uint64_t scaleKb, std::uint32_t diagramHeight);

// The blue step n of bar row k (counted from 0 at the base): 0.9 × k rounded to nearest,
// halves to even. The blue part of the bar colour is 7 × n.
constexpr std::int64_t BarBlueStep(std::int64_t k) {
    // In exact integer arithmetic, so that the halves (k = 5, 15, 25, ...) are halves.
    const std::int64_t tenths = 9 * k;
    const std::int64_t n = tenths / 10;
    const std::int64_t rest = tenths % 10;
    return rest > 5 || (rest == 5 && n % 2 != 0) ? n + 1 : n;
}

// What both painters need: the histories (slot 0 oldest), the newest slot `pos`, the
// diagram height (surface height + 1) and the scale. Sample i is drawn in column pos - i,
// a height k in row diagramHeight - k. Only columns 0 to pos are touched.
struct DiagramView {
    const std::vector<std::uint64_t>& readHistory;
    const std::vector<std::uint64_t>& writeHistory;
    std::uint32_t pos;
    std::uint32_t diagramHeight;
    std::uint64_t scaleKb;
};

// Bars: per column, background above the received bar, the received bar in green shades
// RGB(0, 128, 7n), the sent bar over it in RGB(255, 64, 7n).
void DrawBars(DiagramRaster& raster, const DiagramView& view, std::uint32_t buttonFace);

// Lines: columns 0 to pos cleared to the background, then the received samples of slots
// 0 to pos - 1 joined in green RGB(0, 128, 0) and the sent ones in red RGB(255, 0, 0) over
// it. The newest sample is not part of either line.
void DrawLines(DiagramRaster& raster, const DiagramView& view, std::uint32_t buttonFace);
