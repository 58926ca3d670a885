#include "view/zoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// A 400 x 300 client.
constexpr std::int32_t kW = 400;
constexpr std::int32_t kH = 300;

Selection Zoom(Selection drawn, bool alt, std::int32_t w = kW, std::int32_t h = kH) {
    const std::optional<Selection> s = ZoomRectangle(drawn, w, h, alt);
    EXPECT_TRUE(s.has_value());
    return s.value_or(Selection{});
}

TEST(ZoomRectangleTest, AltReleaseZoomsOutAboutTheCentreOfWhatWasDrawn) {
    EXPECT_EQ(Zoom({200, 150, 200, 150}, true), (Selection{-400, -300, 800, 600}));
    EXPECT_EQ(Zoom({100, 100, 300, 200}, true), (Selection{-400, -300, 800, 600}));
    EXPECT_EQ(Zoom({300, 200, 100, 100}, true), (Selection{-400, -300, 800, 600}));
    // An odd client: the proportions already match, so the fit keeps it.
    EXPECT_EQ(Zoom({10, 10, 12, 12}, true, 401, 301), (Selection{-590, -440, 613, 463}));
}

TEST(ZoomRectangleTest, ClickZoomsInAThirdAboutTheClickInsideTheClient) {
    EXPECT_EQ(Zoom({200, 150, 200, 150}, false), (Selection{134, 100, 267, 200}));
    EXPECT_EQ(Zoom({50, 280, 51, 281}, false), (Selection{0, 200, 133, 300}));
    EXPECT_EQ(Zoom({390, 10, 390, 10}, false), (Selection{267, 0, 400, 100}));
}

TEST(ZoomRectangleTest, ThreePixelsApartInEitherDirectionIsADrag) {
    const Selection click{200, 150, 200, 150};
    EXPECT_EQ(Zoom({200, 150, 202, 152}, false), Zoom(click, false));
    EXPECT_EQ(Zoom({202, 152, 200, 150}, false), Zoom(click, false));  // normalised first
    EXPECT_NE(Zoom({200, 150, 203, 150}, false), Zoom(click, false));
    EXPECT_NE(Zoom({200, 150, 200, 153}, false), Zoom(click, false));
}

TEST(ZoomRectangleTest, DragsAreNormalisedThenFitted) {
    EXPECT_EQ(Zoom({300, 200, 100, 150}, false), (Selection{100, 100, 300, 250}));
    // A drag far outside a narrow view grows its short side like any other.
    EXPECT_EQ(Zoom({30000, 30000, -30000, -30000}, false, 10, 300),
              (Selection{-30000, -900000, 30000, 900000}));
}

TEST(ZoomRectangleTest, ExtremeCoordinatesNeverOverflow) {
    const Selection widest{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    // The centre of the widest drag is -1; zooming out about it fits.
    EXPECT_TRUE(ZoomRectangle(widest, kW, kH, true).has_value());
    // Three times a huge client about a far point does not fit 32 bits.
    EXPECT_FALSE(ZoomRectangle({INT32_MAX, 0, INT32_MAX, 0}, INT32_MAX, kH, true));
    EXPECT_FALSE(ZoomRectangle(widest, INT32_MAX, INT32_MAX, true));
    // A drag 2^32 pixels wide is fitted without overflow or is left alone.
    const std::optional<Selection> drag = ZoomRectangle(widest, kW, kH, false);
    ASSERT_TRUE(drag.has_value());
    EXPECT_LE(drag->left, drag->right);
    EXPECT_LE(drag->top, drag->bottom);
    // Clicks in huge clients.
    EXPECT_TRUE(
        ZoomRectangle({INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX, false));
}

TEST(ZoomRectangleTest, NoRectangleForAClientWithoutArea) {
    EXPECT_FALSE(ZoomRectangle({1, 1, 1, 1}, 0, kH, false));
    EXPECT_FALSE(ZoomRectangle({1, 1, 1, 1}, kW, -5, true));
}

TEST(ZoomRegionTest, MapsTheRectangleIntoThePlane) {
    const Region current{-2, -1.5, 2, 1.5};
    const std::optional<Region> out = ZoomRegion(current, {200, 150, 200, 150}, kW, kH, true);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->X1, -6.0);
    EXPECT_EQ(out->Y1, -4.5);
    EXPECT_EQ(out->X2, 6.0);
    EXPECT_EQ(out->Y2, 4.5);
    // A drag that ends outside the client reaches beyond the current Region.
    const std::optional<Region> beyond = ZoomRegion(current, {200, 150, -200, -150}, kW, kH, false);
    ASSERT_TRUE(beyond);
    EXPECT_LT(beyond->X1, current.X1);
}

TEST(ZoomRegionTest, ZoomsThatWouldLeaveNoPictureAreNotApplied) {
    // Repeated zoom-outs stop before the corners overflow.
    Region r{-2, -1.5, 2, 1.5};
    int applied = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::optional<Region> next = ZoomRegion(r, {200, 150, 200, 150}, kW, kH, true);
        if (!next) {
            break;
        }
        r = *next;
        ++applied;
    }
    EXPECT_GT(applied, 600);
    EXPECT_LT(applied, 2000);
    EXPECT_TRUE(IsShowableRegion(r));
    // A client of under 3 pixels gives a click rectangle of no size.
    EXPECT_FALSE(ZoomRegion({-2, -1.5, 2, 1.5}, {1, 1, 1, 1}, 2, 2, false));
    // A Region without area, or with a NaN corner, does not zoom.
    EXPECT_FALSE(ZoomRegion({1, 1, 1, 1}, {0, 0, 100, 75}, kW, kH, false));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(ZoomRegion({nan, -1, 1, 1}, {0, 0, 100, 75}, kW, kH, false));
}

TEST(ZoomRegionTest, ShowableRegions) {
    const double inf = std::numeric_limits<double>::infinity();
    const double max = std::numeric_limits<double>::max();
    EXPECT_TRUE(IsShowableRegion({-2, -1.5, 2, 1.5}));
    EXPECT_TRUE(IsShowableRegion({2, 1.5, -2, -1.5}));  // mirrored
    EXPECT_FALSE(IsShowableRegion({-2, 0, 2, 0}));
    EXPECT_FALSE(IsShowableRegion({-inf, -1, 1, 1}));
    EXPECT_FALSE(IsShowableRegion({-max, -1, max, 1}));  // span overflows
}

}  // namespace
