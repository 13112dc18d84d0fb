// The diagram's pixels: bar colours and heights, samples above the scale and below zero,
// the line mode's segments, and switching between the two. Expected columns are worked
// out by hand from the samples; row y shows height k = 40 - y.

#include "test_speed_diagram_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace diagram_test;

namespace {

class DiagramPixels : public DiagramTest {
  protected:
    std::vector<std::uint32_t> Column(int x) const {
        std::vector<std::uint32_t> column;
        for (int y = 0; y < 39; ++y)
            column.push_back(Px(x, y));
        return column;
    }
    // A column of button face with rows `from` to `to` in the given shade family.
    static std::vector<std::uint32_t> Shaded(std::vector<std::uint32_t> column, int from, int to,
                                             std::uint32_t (*shade)(int)) {
        for (int y = from; y <= to; ++y)
            column[static_cast<std::size_t>(y)] = shade(40 - y);
        return column;
    }
    static std::vector<std::uint32_t> Plain(std::vector<std::uint32_t> column, int from, int to,
                                            std::uint32_t colour) {
        for (int y = from; y <= to; ++y)
            column[static_cast<std::size_t>(y)] = colour;
        return column;
    }
    const std::vector<std::uint32_t> face = std::vector<std::uint32_t>(39, kFace);
    const std::vector<std::uint32_t> untouched = std::vector<std::uint32_t>(39, kOld);
    const std::vector<std::uint32_t> fullBar = Shaded(face, 1, 38, ReadShade);
};

constexpr std::uint32_t kGreenPen = Rgb(0, 128, 0);
constexpr std::uint32_t kRedPen = Rgb(255, 0, 0);

}  // namespace

TEST(DiagramRasterColours, BlueStepsMatchTheListedTable) {
    for (int k = 0; k <= 40; ++k)
        EXPECT_EQ(BarBlueStep(k), kBlue.at(k)) << "k = " << k;
    EXPECT_EQ(ReadShade(39), Rgb(0, 128, 245));
}

TEST_F(DiagramPixels, FullScaleBarLeavesTheTopRow) {
    Start();
    Tick(1000);  // exactly the scale: height 40, rows 38 up to 1
    EXPECT_EQ(Column(0), fullBar);
    EXPECT_EQ(Px(0, 38), Rgb(0, 128, 14));
    EXPECT_EQ(Px(0, 1), Rgb(0, 128, 245));
    EXPECT_EQ(Column(1), face);  // the zero sample
    for (int x = 2; x < 342; ++x)
        ASSERT_EQ(Column(x), untouched) << x;
}

TEST_F(DiagramPixels, OlderSampleAboveTheScaleRunsPastTheTop) {
    Start();
    Tick(2000000000);  // slot 1: out of the scale's range by p = 3
    Tick(1000);
    Tick(1000);
    EXPECT_EQ(diagram.ScaleKb(), 1u);
    EXPECT_EQ(Column(2), Shaded(face, 0, 38, ReadShade));
    EXPECT_EQ(Px(2, 0), Rgb(0, 128, 252));
    EXPECT_EQ(Column(1), fullBar);
    EXPECT_EQ(Column(0), fullBar);
    EXPECT_EQ(Column(3), face);
    EXPECT_EQ(Column(4), untouched);
}

TEST_F(DiagramPixels, ThirtyMillionBytesPerSecond) {
    Start();
    // 30,000,000 received is the scale (height 40); 12,000,000 sent is 16 rows high.
    EXPECT_EQ(Tick(30000000, 12000000).scaleText, "30000Kb");
    auto expected = Shaded(face, 1, 24, ReadShade);
    expected = Shaded(expected, 25, 38, WriteShade);
    EXPECT_EQ(Column(0), expected);
    EXPECT_EQ(Px(0, 25), Rgb(255, 64, 7 * 14));
}

TEST_F(DiagramPixels, HeightHalvesGoToEven) {
    Start();
    // Scale 2: a sent sample of 225 is 4.5 rows, drawn 4 high; 275 is 5.5, drawn 6 high.
    Tick(2000, 225);
    EXPECT_EQ(Column(0), Shaded(Shaded(face, 1, 36, ReadShade), 37, 38, WriteShade));
    Tick(2000, 275);
    EXPECT_EQ(Column(0), Shaded(Shaded(face, 1, 34, ReadShade), 35, 38, WriteShade));
}

TEST_F(DiagramPixels, NothingReceivedShowsTheSentBarAlone) {
    Start();
    Tick(1000);  // column 0 holds a full bar now
    Tick(0, 500);
    // Nothing received to draw: background down to the 20-row sent bar.
    EXPECT_EQ(Column(0), Shaded(face, 21, 38, WriteShade));
    EXPECT_EQ(Column(1), fullBar);
    EXPECT_EQ(Column(2), face);
}

TEST_F(DiagramPixels, LinesJoinSlotsZeroToPMinusOne) {
    Start();  // slot 0: 0 / 0
    Tick(500, 250);
    Tick(1000, 250);
    Tick(250, 0, 1000, /*bars=*/false);  // p = 3, scale 1
    // Received points: (3, 40), (2, 20), (1, 0); sent: (3, 40), (2, 30), (1, 30). Slot 3
    // (column 0) is not part of the lines, and the last point, (1, 0), is not painted.
    EXPECT_EQ(Column(0), face);
    EXPECT_EQ(Column(1), Plain(face, 1, 9, kGreenPen));
    EXPECT_EQ(Column(2), Plain(Plain(face, 10, 29, kGreenPen), 30, 34, kRedPen));
    EXPECT_EQ(Column(3), Plain(Plain(face, 30, 34, kGreenPen), 35, 38, kRedPen));
    EXPECT_EQ(Column(4), untouched);
}

TEST_F(DiagramPixels, HundredGigabytesPerSecondInLinesRunsFarAboveTheSurface) {
    Start();
    Tick(100'000'000'000);  // 4,000,000,000 rows high at the scale of p = 3
    Tick(500);
    EXPECT_EQ(Tick(1000, 0, 1000, false).scaleText, "1Kb");
    // Green climbs from (3, 40) to (2, far above) and comes down to (1, 20): each half of
    // the two steep segments lies in one column.
    EXPECT_EQ(Column(0), face);
    EXPECT_EQ(Column(1), Plain(face, 0, 19, kGreenPen));
    EXPECT_EQ(Column(2), face);
    EXPECT_EQ(Column(3), Plain(face, 0, 38, kGreenPen));
}

TEST_F(DiagramPixels, SwitchingModeRepaintsAtTheNextTick) {
    Start();
    Tick(1000);
    ASSERT_EQ(Column(0), fullBar);
    Tick(1000, 0, 1000, false);
    // One segment from (2, 40) to (1, 0); the newest sample's column is background.
    EXPECT_EQ(Column(0), face);
    EXPECT_EQ(Column(1), Plain(face, 1, 19, kGreenPen));
    EXPECT_EQ(Column(2), Plain(face, 20, 38, kGreenPen));
    Tick(1000);
    EXPECT_EQ(Column(0), fullBar);
    EXPECT_EQ(Column(1), fullBar);
    EXPECT_EQ(Column(2), fullBar);
    EXPECT_EQ(Column(3), face);
}

TEST(DiagramRasterSegments, EndPointLeftOutHalvesStayOnTheStartSide) {
    const std::uint32_t ink = Rgb(9, 9, 9);
    DiagramRaster raster(8, 6, kOld);
    raster.DrawSegment(2, 2, 2, 2, ink);  // no length, no pixel
    EXPECT_EQ(raster.Pixel(2, 2), kOld);

    raster.DrawSegment(5, 1, 0, 1, ink);  // leftwards: 5 .. 1
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(raster.Pixel(x, 1), x >= 1 && x <= 5 ? ink : kOld) << x;

    // From (0, 3) to (4, 4): the halfway step x = 2 (y = 3.5) stays on row 3.
    raster.DrawSegment(0, 3, 4, 4, ink);
    EXPECT_EQ(raster.Pixel(2, 3), ink);
    EXPECT_EQ(raster.Pixel(2, 4), kOld);
    EXPECT_EQ(raster.Pixel(3, 4), ink);
    EXPECT_EQ(raster.Pixel(4, 4), kOld);

    // Far outside at both ends: only the visible rows, all of them.
    raster.DrawSegment(7, -4000000000LL, 7, 4000000000LL, ink);
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(raster.Pixel(7, y), ink);
}
