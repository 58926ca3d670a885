#include "tools/progress_math.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/color_set_data.h"

namespace {

std::string Progress(std::uint32_t position, std::uint32_t total) {
    char buffer[32];
    FormatProgress(position, total, buffer, sizeof buffer);
    return buffer;
}

TEST(ProgressMathTest, PercentagesOfFinishedRows) {
    EXPECT_EQ(Progress(0, 600), "0.0%");
    EXPECT_EQ(Progress(1, 3), "33.3%");
    EXPECT_EQ(Progress(2, 3), "66.7%");
    EXPECT_EQ(Progress(599, 600), "99.8%");
    EXPECT_EQ(Progress(1, 400), "0.3%");  // 0.25, half up
    EXPECT_EQ(Progress(1999, 2000), "100.0%");
    EXPECT_EQ(Progress(4999, 5000), "100.0%");
    EXPECT_EQ(Progress(5, 0), "500.0%");  // a total of 0 counts as 1
}

TEST(ProgressMathTest, TheProductWrapsAsUnsigned32BitArithmetic) {
    // 50,000,000 x 100 = 5e9 wraps to 705,032,704.
    EXPECT_EQ(ProgressPercent(50000000u, 1u), 705032704.0);
    char buffer[32];
    EXPECT_EQ(FormatProgress(42949672u, 1u, buffer, sizeof buffer), 13u);
    EXPECT_STREQ(buffer, "4294967200.0%");
}

TEST(ProgressMathTest, CentringTruncatesEachHalf) {
    // Owner 100..301 wide, client 51: 100 + 100 - 25.
    EXPECT_EQ(CenterOver({100, 50, 301, 251}, 51, 40).x, 175);
    EXPECT_EQ(CenterOver({100, 50, 301, 251}, 51, 40).y, 50 + 100 - 20);
    // Negative halves truncate toward zero.
    EXPECT_EQ(CenterOver({0, 0, -5, -5}, -3, -3).x, -2 + 1);
    // Extreme rectangles neither overflow nor wrap.
    const ScreenPoint far =
        CenterOver({INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}, INT32_MIN, INT32_MAX);
    EXPECT_EQ(far.x, INT32_MAX);
    EXPECT_EQ(far.y, INT32_MIN);
}

TEST(ColorSetDataTest, ButtonsColoursAndCopying) {
    EXPECT_EQ(ColorIndexForButton(1039), 0);
    EXPECT_EQ(ColorIndexForButton(1037), 1);
    EXPECT_EQ(ColorIndexForButton(1038), 2);
    EXPECT_EQ(ColorIndexForButton(1036), -1);
    EXPECT_EQ(ColorIndexForButton(1040), -1);
    EXPECT_EQ(kDefaultColors[2], 0xFF0000u);  // blue in a COLORREF

    ColorRef out[3] = {7, 7, 7};
    EXPECT_EQ(CopyColors(kDefaultColors, 0, out), 0u);
    EXPECT_EQ(out[0], 7u);
    EXPECT_EQ(CopyColors(kDefaultColors, 2, out), 2u);
    EXPECT_EQ(out[1], 0u);
    EXPECT_EQ(out[2], 7u);
    EXPECT_EQ(CopyColors(kDefaultColors, 0xFFFFFFFFu, out), 3u);
    EXPECT_EQ(out[2], 0xFF0000u);
    EXPECT_EQ(CopyColors(kDefaultColors, 3, nullptr), 0u);
}

}  // namespace
