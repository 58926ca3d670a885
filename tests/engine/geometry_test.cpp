// Region geometry on the worked examples of its definition, plus the
// degenerate inputs that must leave a Region or Selection unchanged.
#include "engine/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void ExpectRegion(const Region& r, double x1, double y1, double x2, double y2) {
    EXPECT_DOUBLE_EQ(r.X1, x1);
    EXPECT_DOUBLE_EQ(r.Y1, y1);
    EXPECT_DOUBLE_EQ(r.X2, x2);
    EXPECT_DOUBLE_EQ(r.Y2, y2);
}

bool SameBits(const Region& a, const Region& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

Region FittedRegion(std::int32_t w, std::int32_t h, Region r) {
    FitRegionToAspect(w, h, r);
    return r;
}

Selection FittedSelection(std::int32_t w, std::int32_t h, Selection s) {
    FitSelectionToAspect(w, h, s);
    return s;
}

TEST(FitRegionToAspect, GrowsTheShortSpanAboutTheCentre) {
    ExpectRegion(FittedRegion(300, 200, Region{-2, -1, 2, 1}), -2, -4.0 / 3.0, 2, 4.0 / 3.0);
    ExpectRegion(FittedRegion(300, 200, Region{-1, -2, 1, 2}), -3, -2, 3, 2);
    ExpectRegion(FittedRegion(250, 200, Region{-2, -2, 2, 2}), -2.5, -2, 2.5, 2);
    ExpectRegion(FittedRegion(200, 300, Region{-2, -1, 2, 1}), -2, -3, 2, 3);
    // Reversed X: spanX = -2, ratio -1 < 1.5: the corners come out in order.
    ExpectRegion(FittedRegion(300, 200, Region{1, -1, -1, 1}), -1.5, -1, 1.5, 1);
}

TEST(FitRegionToAspect, LeavesMatchingUnorderedAndEmptyInputsBitForBit) {
    // Matching, a NaN corner, a point (0 / 0), and clients without area.
    const struct {
        Region region;
        std::int32_t w, h;
    } cases[] = {{{-2, -1.5, 2, 1.5}, 400, 300},
                 {{NAN, 0, 1, 1}, 400, 300},
                 {{1, 1, 1, 1}, 400, 300},
                 {{-2, -1, 2, 1}, 0, 300},
                 {{-2, -1, 2, 1}, 400, 0}};
    for (const auto& c : cases) {
        EXPECT_TRUE(SameBits(FittedRegion(c.w, c.h, c.region), c.region)) << c.w << " x " << c.h;
    }
}

TEST(FitSelectionToAspect, WorkedExamplesAndNoOutOfRangeConversion) {
    const struct {
        std::int32_t w, h;
        Selection in, out;
    } cases[] = {
        {400, 300, {10, 10, 111, 20}, {10, -22, 111, 53}},
        {400, 300, {100, 50, 160, 50}, {100, 28, 160, 73}},
        {400, 300, {100, 150, 300, 200}, {100, 100, 300, 250}},
        {400, 300, {5, 5, 5, 5}, {5, 5, 5, 5}},
        {400, 300, {0, 0, 400, 300}, {0, 0, 400, 300}},
        // A side of billions of pixels, or an edge past the 32-bit range,
        // would be needed: unchanged.
        {1, 30000, {0, 0, 2000000000, 10}, {0, 0, 2000000000, 10}},
        {1, 1, {INT32_MIN, 0, INT32_MAX, 1}, {INT32_MIN, 0, INT32_MAX, 1}},
        {0, 300, {0, 0, 2000000000, 10}, {0, 0, 2000000000, 10}},
        {300, 0, {0, 0, 2000000000, 10}, {0, 0, 2000000000, 10}},
        {1,
         1,
         {0, INT32_MAX - 10, 1000000000, INT32_MAX},
         {0, INT32_MAX - 10, 1000000000, INT32_MAX}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FittedSelection(c.w, c.h, c.in), c.out) << c.in.left << ", " << c.in.top;
    }
}

TEST(SelectionToRegion, MapsLinearlyAlsoOutsideTheClient) {
    const Region r{-2, -1.5, 2, 1.5};
    ExpectRegion(SelectionToRegion(r, {100, 75, 300, 225}, 400, 300), -1, -0.75, 1, 0.75);
    ExpectRegion(SelectionToRegion(r, {0, 0, 400, 300}, 400, 300), -2, -1.5, 2, 1.5);
    ExpectRegion(SelectionToRegion(r, {-400, -300, 800, 600}, 400, 300), -6, -4.5, 6, 4.5);
    EXPECT_TRUE(SameBits(SelectionToRegion(r, {1, 2, 3, 4}, 0, 300), r));
}

}  // namespace
