#include "traffic/DiagramRaster.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

static_assert(std::numeric_limits<long double>::digits >= 64,
              "samples and heights are worked out with at least a 64-bit mantissa");

DiagramRaster::DiagramRaster(int width, int height, std::uint32_t colour)
    : width_(width), height_(height) {
    if (width < 1 || height < 1) throw std::invalid_argument("diagram surface must not be empty");
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), colour);
}

void DiagramRaster::Fill(std::uint32_t colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour);
}

void DiagramRaster::FillRect(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                             std::uint32_t colour) {
    x0 = std::max<std::int64_t>(x0, 0);
    x1 = std::min<std::int64_t>(x1, width_ - 1);
    y0 = std::max<std::int64_t>(y0, 0);
    y1 = std::min<std::int64_t>(y1, height_ - 1);
    if (x0 > x1) return;
    for (std::int64_t y = y0; y <= y1; ++y) {
        const auto row = pixels_.begin() + static_cast<std::ptrdiff_t>(y * width_);
        std::fill(row + x0, row + x1 + 1, colour);
    }
}

void DiagramRaster::DrawSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                std::uint32_t colour) {
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const std::int64_t adx = std::llabs(dx);
    const std::int64_t ady = std::llabs(dy);
    const bool yMajor = ady > adx;
    const std::int64_t steps = yMajor ? ady : adx;  // pixels painted: the end point is left out
    const std::int64_t minorDelta = yMajor ? adx : ady;
    if (steps == 0) return;
    if (minorDelta != 0 && steps > std::numeric_limits<std::int64_t>::max() / 4 / minorDelta) {
        throw std::overflow_error("diagram line segment too long");
    }

    const std::int64_t major0 = yMajor ? y0 : x0;
    const std::int64_t minor0 = yMajor ? x0 : y0;
    const std::int64_t majorStep = (yMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t minorStep = (yMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t majorLimit = (yMajor ? height_ : width_) - 1;

    // Only the steps whose major coordinate lies on the surface can paint anything; a
    // point far above or below it must not cost a loop over millions of rows.
    std::int64_t first = majorStep > 0 ? -major0 : major0 - majorLimit;
    std::int64_t last = majorStep > 0 ? majorLimit - major0 : major0;
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, steps - 1);

    if (first > last) return;

    // Step i lies i × minorDelta / steps off the start along the shorter axis, rounded to
    // nearest with halves towards the start: (2 i minorDelta + steps - 1) div (2 steps).
    // Worked out once, then carried along as Bresenham's running remainder.
    const std::int64_t denominator = 2 * steps;
    const std::int64_t numerator = 2 * first * minorDelta + steps - 1;
    std::int64_t offset = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    for (std::int64_t i = first; i <= last; ++i) {
        const std::int64_t major = major0 + majorStep * i;
        const std::int64_t minor = minor0 + minorStep * offset;
        if (yMajor) {
            SetPixel(minor, major, colour);
        } else {
            SetPixel(major, minor, colour);
        }
        remainder += 2 * minorDelta;
        if (remainder >= denominator) {  // minorDelta <= steps: at most one step at a time
            remainder -= denominator;
            ++offset;
        }
    }
}

std::int64_t RoundHalfEven(long double value) {
    // The processor rounds to nearest with halves to even in its default mode, which this
    // program never changes; the long way is only for a caller that did.
    if (std::fegetround() == FE_TONEAREST) return std::llrint(value);
    auto whole = static_cast<std::int64_t>(value);  // towards zero
    if (static_cast<long double>(whole) > value) --whole;
    const long double fraction = value - static_cast<long double>(whole);
    if (fraction > 0.5L || (fraction == 0.5L && (whole & 1) != 0)) ++whole;
    return whole;
}

std::int64_t SampleHeight(std::uint64_t sample, std::uint64_t scaleKb,
                          std::uint32_t diagramHeight) {
    // The scale is never below 1; a 0 here would only come from a caller's mistake.
    const long double scale = static_cast<long double>(std::max<std::uint64_t>(scaleKb, 1));
    const long double fraction = static_cast<long double>(sample) * 100.0L / (scale * 1000.0L);
    return RoundHalfEven(fraction * static_cast<long double>(diagramHeight) / 100.0L);
}

namespace {

// The polyline through slots 0 .. pos - 1; each segment leaves out its end point.
void PaintLine(DiagramRaster& raster, const std::vector<std::uint64_t>& history,
               const DiagramView& view, std::uint32_t colour) {
    if (view.pos < 2) return;
    const std::int64_t dh = view.diagramHeight;
    std::int64_t fromX = view.pos;
    std::int64_t fromY = dh - SampleHeight(history[0], view.scaleKb, view.diagramHeight);
    for (std::uint32_t i = 1; i < view.pos; ++i) {
        const std::int64_t toX = static_cast<std::int64_t>(view.pos) - i;
        const std::int64_t toY = dh - SampleHeight(history[i], view.scaleKb, view.diagramHeight);
        raster.DrawSegment(fromX, fromY, toX, toY, colour);
        fromX = toX;
        fromY = toY;
    }
}

void CheckView(const DiagramView& view) {
    if (view.pos >= view.readHistory.size() || view.pos >= view.writeHistory.size()) {
        throw std::out_of_range("diagram position outside the history");
    }
}

}  // namespace

void DrawBars(DiagramRaster& raster, const DiagramView& view, std::uint32_t buttonFace) {
    CheckView(view);
    const std::int64_t dh = view.diagramHeight;
    for (std::uint32_t i = 0; i <= view.pos; ++i) {
        const std::int64_t x = static_cast<std::int64_t>(view.pos) - i;
        if (x >= raster.Width()) continue;
        const std::int64_t hr = SampleHeight(view.readHistory[i], view.scaleKb, view.diagramHeight);
        const std::int64_t hw =
            SampleHeight(view.writeHistory[i], view.scaleKb, view.diagramHeight);
        // One pass down the column: row y shows height k = dh - y. Background where k is
        // at or above the received bar (rows 0 to dh - hr), the received bar's shade below
        // that, and the sent bar's shade over both.
        std::uint32_t* pixel = raster.MutablePixels() + x;
        for (std::int64_t y = 0; y < raster.Height(); ++y, pixel += raster.Width()) {
            const std::int64_t k = dh - y;
            if (k >= 0 && k < hw) {
                *pixel = Rgb(255, 64, static_cast<std::uint32_t>(7 * BarBlueStep(k)));
            } else if (k >= 0 && k < hr) {
                *pixel = Rgb(0, 128, static_cast<std::uint32_t>(7 * BarBlueStep(k)));
            } else if (k >= hr) {
                *pixel = buttonFace;
            }
        }
    }
}

void DrawLines(DiagramRaster& raster, const DiagramView& view, std::uint32_t buttonFace) {
    CheckView(view);
    const std::int64_t dh = view.diagramHeight;
    raster.FillRect(0, 0, view.pos, dh, buttonFace);
    PaintLine(raster, view.readHistory, view, Rgb(0, 128, 0));
    PaintLine(raster, view.writeHistory, view, Rgb(255, 0, 0));
}
