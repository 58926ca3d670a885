// Region geometry on the worked examples of its definition, plus the
// degenerate inputs that must leave a Region or Selection unchanged.
#include "engine/geometry.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

void ExpectRegion(const Region& r, double x1, double y1, double x2, double y2) {
    EXPECT_DOUBLE_EQ(r.X1, x1);
    EXPECT_DOUBLE_EQ(r.Y1, y1);
    EXPECT_DOUBLE_EQ(r.X2, x2);
    EXPECT_DOUBLE_EQ(r.Y2, y2);
}

bool SameBits(const Region& a, const Region& b) {
    return std::bit_cast<std::uint64_t>(a.X1) == std::bit_cast<std::uint64_t>(b.X1) &&
           std::bit_cast<std::uint64_t>(a.Y1) == std::bit_cast<std::uint64_t>(b.Y1) &&
           std::bit_cast<std::uint64_t>(a.X2) == std::bit_cast<std::uint64_t>(b.X2) &&
           std::bit_cast<std::uint64_t>(a.Y2) == std::bit_cast<std::uint64_t>(b.Y2);
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
    const Region matching{-2, -1.5, 2, 1.5};
    EXPECT_TRUE(SameBits(FittedRegion(400, 300, matching), matching));
    const Region nan{NAN, 0, 1, 1};
    EXPECT_TRUE(SameBits(FittedRegion(400, 300, nan), nan));
    const Region point{1, 1, 1, 1};  // 0 / 0
    EXPECT_TRUE(SameBits(FittedRegion(400, 300, point), point));
    const Region any{-2, -1, 2, 1};
    EXPECT_TRUE(SameBits(FittedRegion(0, 300, any), any));
    EXPECT_TRUE(SameBits(FittedRegion(400, 0, any), any));
}

TEST(FitSelectionToAspect, WorkedExamples) {
    EXPECT_EQ(FittedSelection(400, 300, Selection{10, 10, 111, 20}), (Selection{10, -22, 111, 53}));
    EXPECT_EQ(FittedSelection(400, 300, Selection{100, 50, 160, 50}),
              (Selection{100, 28, 160, 73}));
    EXPECT_EQ(FittedSelection(400, 300, Selection{100, 150, 300, 200}),
              (Selection{100, 100, 300, 250}));
    EXPECT_EQ(FittedSelection(400, 300, Selection{5, 5, 5, 5}), (Selection{5, 5, 5, 5}));
    EXPECT_EQ(FittedSelection(400, 300, Selection{0, 0, 400, 300}), (Selection{0, 0, 400, 300}));
}

TEST(FitSelectionToAspect, NeverConvertsAnOutOfRangeDouble) {
    // A very thin view would need a side of billions of pixels: unchanged.
    const Selection wide{0, 0, 2000000000, 10};
    EXPECT_EQ(FittedSelection(1, 30000, wide), wide);
    const Selection extreme{INT32_MIN, 0, INT32_MAX, 1};
    EXPECT_EQ(FittedSelection(1, 1, extreme), extreme);
    EXPECT_EQ(FittedSelection(0, 300, wide), wide);
    EXPECT_EQ(FittedSelection(300, 0, wide), wide);
    // Sides that fit but whose edge would leave the 32-bit range: unchanged.
    const Selection nearEdge{0, INT32_MAX - 10, 1000000000, INT32_MAX};
    EXPECT_EQ(FittedSelection(1, 1, nearEdge), nearEdge);
}

TEST(SelectionToRegion, MapsLinearlyAlsoOutsideTheClient) {
    const Region r{-2, -1.5, 2, 1.5};
    ExpectRegion(SelectionToRegion(r, {100, 75, 300, 225}, 400, 300), -1, -0.75, 1, 0.75);
    ExpectRegion(SelectionToRegion(r, {0, 0, 400, 300}, 400, 300), -2, -1.5, 2, 1.5);
    ExpectRegion(SelectionToRegion(r, {-400, -300, 800, 600}, 400, 300), -6, -4.5, 6, 4.5);
    EXPECT_TRUE(SameBits(SelectionToRegion(r, {1, 2, 3, 4}, 0, 300), r));
}

TEST(RescaleRegion, KeepsScaleAndCentre) {
    const SizingSnapshot snapshot{{-2, -1.5, 2, 1.5}, 400, 300};
    ExpectRegion(*RescaleRegion(snapshot, 600, 300), -3, -1.5, 3, 1.5);
    ExpectRegion(*RescaleRegion(snapshot, 400, 300), -2, -1.5, 2, 1.5);
    const Region collapsed = *RescaleRegion(snapshot, 0, 0);
    ExpectRegion(collapsed, 0, 0, 0, 0);
    EXPECT_FALSE(RescaleRegion(SizingSnapshot{}, 400, 300).has_value());
    EXPECT_FALSE(RescaleRegion(SizingSnapshot{{-2, -1.5, 2, 1.5}, 400, 0}, 400, 300));
    // Extreme sizes do not overflow the pixel difference.
    EXPECT_TRUE(RescaleRegion(SizingSnapshot{{-2, -1.5, 2, 1.5}, INT32_MIN, 1}, INT32_MAX, 1));
}

}  // namespace
