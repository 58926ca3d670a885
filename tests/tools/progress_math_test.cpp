#include "tools/progress_math.h"

#include <gtest/gtest.h>

#include <limits>

#include "tools/render_to_file_values.h"

namespace {

TEST(ProgressMathTest, PercentagesOfFinishedRows) {
    const struct {
        std::uint32_t position, total;
        const char* text;
    } cases[] = {{0, 600, "0.0%"},
                 {1, 3, "33.3%"},
                 {2, 3, "66.7%"},
                 {599, 600, "99.8%"},
                 {1, 400, "0.3%"},
                 {1999, 2000, "100.0%"},
                 {5, 0, "500.0%"},  // a total of 0 counts as 1
                 // x 100 wraps modulo 2^32: 4,294,967,300 becomes 4.
                 {42949673, 1, "4.0%"},
                 {42949672, 1, "4294967200.0%"}};
    for (const auto& c : cases) {
        char buffer[32];
        FormatProgress(c.position, c.total, buffer, sizeof buffer);
        EXPECT_STREQ(buffer, c.text) << c.position;
    }
}

TEST(ProgressMathTest, CentringTruncatesAndNeverOverflows) {
    EXPECT_EQ(CenterOver({100, 50, 301, 251}, 51, 40).x, 175);  // 100 + 100 - 25
    EXPECT_EQ(CenterOver({100, 50, 301, 251}, 51, 40).y, 130);
    const ScreenPoint far =
        CenterOver({INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}, INT32_MIN, INT32_MAX);
    EXPECT_EQ(far.x, INT32_MAX);
    EXPECT_EQ(far.y, INT32_MIN);
}

TEST(RenderToFileValuesTest, ProposedHeightKeepsTheProportionsOrIsZero) {
    // 550 x 495 for the default view is shown by the dialog's own test.
    EXPECT_EQ(ProposedHeight(550, {1, 1.35, -2, -1.35}), 495u);  // mirrored
    EXPECT_EQ(ProposedHeight(3, {0, 0, 3, 1.99}), 1u);           // truncated
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Region& r : {Region{0, 0, 0, 1}, Region{nan, 0, 1, 1}, Region{0, 0, 1e-300, 1}}) {
        EXPECT_EQ(ProposedHeight(550, r), 0u);
    }
}

}  // namespace
