#include "view/color_map.h"

#include <gtest/gtest.h>

#include <vector>

#include "view/image_placement.h"

namespace {

constexpr ColorRef kStartupColors[3] = {0x000000, 0x000000, 0xFF0000};

TEST(ColorMapTest, GradientsWrapAndNegativeDifferencesDivideAsUnsigned) {
    const GradientParameters blue = SplitColors(kStartupColors);
    const std::uint32_t counts[] = {1, 2, 7, 8, 100, 499};
    const std::uint32_t blues[] = {32, 65, 228, 5, 192, 159};  // red and green stay 0
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(MapColor(blue, counts[i], 500), blues[i]) << counts[i];
    }
    EXPECT_EQ(MapColor(blue, 500, 500), 0u);  // the set colour, black
    // Limit 0 counts as 1: count 1 takes the set colour, and 255 x 128 / 1
    // leaves 128 for count 2.
    EXPECT_EQ(MapColor(blue, 1, 0), 0u);
    EXPECT_EQ(MapColor(blue, 2, 0), 128u);

    const ColorRef whiteToBlack[3] = {0x0000FF, 0xFFFFFF, 0x000000};
    const GradientParameters grey = SplitColors(whiteToBlack);
    EXPECT_EQ(MapColor(grey, 1, 500), 0x4C4C4Cu);    // 76, not 223
    EXPECT_EQ(MapColor(grey, 100, 500), 0xADADADu);  // 173, not 63
    EXPECT_EQ(MapColor(grey, 500, 500), 0xFF0000u);  // COLORREF red as pixel red
}

TEST(ColorMapTest, CountRowZeroBecomesTheTopRowOfTheBottomUpImage) {
    const GradientParameters g = SplitColors(kStartupColors);
    const std::uint32_t counts[] = {1, 2, 3, 7, 8, 500};  // row 0 first, at Y1
    std::vector<ImagePixel> pixels(7, 0xDEADBEEF);
    ASSERT_TRUE(ColorCounts({counts, 3, 2}, 500, g, pixels));
    const std::vector<ImagePixel> expected{228, 5, 0, 32, 65, 97, 0xDEADBEEF};
    EXPECT_EQ(pixels, expected);
}

TEST(ColorMapTest, NeverReadsOrWritesPastEitherBuffer) {
    const GradientParameters g = SplitColors(kStartupColors);
    const std::vector<std::uint32_t> counts(12, 1);
    std::vector<ImagePixel> small(11, 7);
    for (const CountGrid grid :
         {CountGrid{counts.data(), 4, 3}, CountGrid{nullptr, 4, 3}, CountGrid{counts.data(), -4, 3},
          CountGrid{counts.data(), INT32_MAX, INT32_MAX}}) {
        EXPECT_FALSE(ColorCounts(grid, 500, g, small)) << grid.width << " x " << grid.height;
    }
    EXPECT_TRUE(ColorCounts({counts.data(), 0, 3}, 500, g, small));
    EXPECT_EQ(small, std::vector<ImagePixel>(11, 7));
}

TEST(ImagePlacementTest, CentredOffsetsTruncateTowardZero) {
    EXPECT_EQ(CenteredOffset(101, 100), 0);
    EXPECT_EQ(CenteredOffset(99, 100), 0);
    EXPECT_EQ(CenteredOffset(97, 100), -1);
    EXPECT_EQ(CenteredOffset(INT32_MAX, INT32_MIN), INT32_MAX);
    EXPECT_EQ(CenteredOffset(INT32_MIN, INT32_MAX), -INT32_MAX);
}

}  // namespace
