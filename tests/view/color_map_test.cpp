#include "view/color_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "view/image_placement.h"

namespace {

constexpr ColorRef kStartupColors[3] = {0x000000, 0x000000, 0xFF0000};
constexpr ColorRef kWhiteToBlack[3] = {0x0000FF, 0xFFFFFF, 0x000000};

std::uint32_t Blue(ImagePixel p) {
    return p & 0xFF;
}
std::uint32_t Green(ImagePixel p) {
    return (p >> 8) & 0xFF;
}
std::uint32_t Red(ImagePixel p) {
    return (p >> 16) & 0xFF;
}

TEST(ColorMapTest, SplitsStartBytesAndSignedDifferences) {
    const ColorRef colors[3] = {0x112233, 0x80FF10, 0x0000FF};
    const GradientParameters g = SplitColors(colors);
    EXPECT_EQ(g.setPixel, 0x332211u);  // COLORREF red byte becomes the pixel's red
    EXPECT_EQ(g.startRed, 0x10);
    EXPECT_EQ(g.startGreen, 0xFF);
    EXPECT_EQ(g.startBlue, 0x80);
    EXPECT_EQ(g.deltaRed, 0xFF - 0x10);
    EXPECT_EQ(g.deltaGreen, -0xFF);
    EXPECT_EQ(g.deltaBlue, -0x80);
}

TEST(ColorMapTest, StartupColoursWrapTheBlueChannel) {
    const GradientParameters g = SplitColors(kStartupColors);
    const struct {
        std::uint32_t count;
        std::uint32_t blue;
    } cases[] = {{1, 32}, {2, 65}, {7, 228}, {8, 5}, {100, 192}, {499, 159}};
    for (const auto& c : cases) {
        const ImagePixel p = MapColor(g, c.count, 500);
        EXPECT_EQ(Blue(p), c.blue) << c.count;
        EXPECT_EQ(Red(p), 0u);
        EXPECT_EQ(Green(p), 0u);
        EXPECT_EQ(p >> 24, 0u);
    }
    EXPECT_EQ(MapColor(g, 500, 500), 0u);  // the set colour, black
}

TEST(ColorMapTest, NegativeDifferencesDivideAsUnsigned) {
    const GradientParameters g = SplitColors(kWhiteToBlack);
    const ImagePixel one = MapColor(g, 1, 500);
    EXPECT_EQ(Red(one), 76u);  // a signed division would give 223
    EXPECT_EQ(Green(one), 76u);
    EXPECT_EQ(Blue(one), 76u);
    EXPECT_EQ(Red(MapColor(g, 100, 500)), 173u);  // not 63
    EXPECT_EQ(MapColor(g, 500, 500), 0xFF0000u);  // set colour red
}

TEST(ColorMapTest, LimitZeroCountsAsOneAndProductsWrap) {
    const GradientParameters g = SplitColors(kStartupColors);
    EXPECT_EQ(MapColor(g, 1, 0), 0u);  // count 1 is the set colour
    // Count 2 with L = 1: 255 * 128 = 32640, low byte 128.
    EXPECT_EQ(Blue(MapColor(g, 2, 0)), 128u);
    // From count 263,173 on, 255 * count * 64 passes 2^32 and wraps.
    const std::uint32_t count = 263173;
    const std::uint32_t wrapped = static_cast<std::uint32_t>(255u * (count * 64u)) / 1000000u;
    EXPECT_EQ(Blue(MapColor(g, count, 1000000)), wrapped & 0xFF);
    EXPECT_EQ(Blue(MapColor(g, 0xFFFFFFFFu, 1000000)),
              (static_cast<std::uint32_t>(255u * (0xFFFFFFFFu * 64u)) / 1000000u) & 0xFF);
}

TEST(ColorMapTest, CountRowZeroBecomesTheTopRowOfTheBottomUpImage) {
    const GradientParameters g = SplitColors(kStartupColors);
    const std::uint32_t counts[] = {1, 2, 3,  // row 0, at Y1: top on screen
                                    7, 8, 500};
    std::vector<ImagePixel> pixels(6, 0xDEADBEEF);
    ASSERT_TRUE(ColorCounts({counts, 3, 2}, 500, g, pixels));
    // The first row in memory is the bottom row on screen: count row 1.
    EXPECT_EQ(pixels[0], MapColor(g, 7, 500));
    EXPECT_EQ(pixels[2], 0u);
    EXPECT_EQ(pixels[3], MapColor(g, 1, 500));
    EXPECT_EQ(pixels[5], MapColor(g, 3, 500));
}

TEST(ColorMapTest, NeverReadsOrWritesPastEitherBuffer) {
    const GradientParameters g = SplitColors(kStartupColors);
    const std::vector<std::uint32_t> counts(12, 1);
    std::vector<ImagePixel> small(11, 7);
    EXPECT_FALSE(ColorCounts({counts.data(), 4, 3}, 500, g, small));
    EXPECT_EQ(small[0], 7u);  // nothing written
    EXPECT_FALSE(ColorCounts({nullptr, 4, 3}, 500, g, small));
    EXPECT_FALSE(ColorCounts({counts.data(), -4, 3}, 500, g, small));
    EXPECT_TRUE(ColorCounts({counts.data(), 0, 3}, 500, g, small));
    EXPECT_EQ(small[0], 7u);
    // A huge grid is refused by its size, before any count is read.
    EXPECT_FALSE(ColorCounts({counts.data(), INT32_MAX, INT32_MAX}, 500, g, small));
    std::vector<ImagePixel> larger(20, 7);
    EXPECT_TRUE(ColorCounts({counts.data(), 4, 3}, 500, g, larger));
    EXPECT_EQ(larger[12], 7u);  // only the grid's own pixels are written
}

TEST(ImagePlacementTest, CentredOffsetsTruncateTowardZero) {
    EXPECT_EQ(CenteredOffset(101, 100), 0);
    EXPECT_EQ(CenteredOffset(99, 100), 0);
    EXPECT_EQ(CenteredOffset(97, 100), -1);
    EXPECT_EQ(CenteredOffset(200, 100), 50);
    EXPECT_EQ(CenteredOffset(INT32_MAX, INT32_MIN), INT32_MAX);
    EXPECT_EQ(CenteredOffset(INT32_MIN, INT32_MAX), -INT32_MAX);
}

}  // namespace
