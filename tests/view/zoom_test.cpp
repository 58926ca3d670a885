#include "view/zoom.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ZoomRectangleTest, GesturesInA400By300Client) {
    const struct {
        Selection drawn;
        bool alt;
        std::int32_t w, h;
        Selection zoom;
    } cases[] = {
        // Alt: three times the client about the centre of what was drawn.
        {{200, 150, 200, 150}, true, 400, 300, {-400, -300, 800, 600}},
        {{100, 100, 300, 200}, true, 400, 300, {-400, -300, 800, 600}},
        {{10, 10, 12, 12}, true, 401, 301, {-590, -440, 613, 463}},
        // Clicks: a third about the click, pushed back inside the client.
        {{200, 150, 200, 150}, false, 400, 300, {134, 100, 267, 200}},
        {{50, 280, 51, 281}, false, 400, 300, {0, 200, 133, 300}},
        {{390, 10, 390, 10}, false, 400, 300, {267, 0, 400, 100}},
        {{202, 152, 200, 150}, false, 400, 300, {134, 100, 267, 200}},  // 2 apart
        // Drags: normalised, then fitted, also far outside a narrow view.
        {{200, 150, 203, 150}, false, 400, 300, {200, 149, 203, 151}},  // 3 apart
        {{300, 200, 100, 150}, false, 400, 300, {100, 100, 300, 250}},
        {{30000, 30000, -30000, -30000}, false, 10, 300, {-30000, -900000, 30000, 900000}},
    };
    for (const auto& c : cases) {
        const std::optional<Selection> s = ZoomRectangle(c.drawn, c.w, c.h, c.alt);
        ASSERT_TRUE(s);
        EXPECT_EQ(*s, c.zoom) << c.drawn.left << "," << c.drawn.top << " alt " << c.alt;
    }
}

TEST(ZoomRegionTest, MapsIntoThePlaneAndRefusesRegionsWithoutAPicture) {
    const Region start{-2, -1.5, 2, 1.5};
    const std::optional<Region> out = ZoomRegion(start, {200, 150, 200, 150}, 400, 300, true);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->X1, -6.0);
    EXPECT_EQ(out->Y2, 4.5);
    // Repeated zoom-outs stop before a corner or span leaves the doubles.
    Region r = start;
    int applied = 0;
    for (auto next = out; next && applied < 2000;
         next = ZoomRegion(r, {200, 150, 200, 150}, 400, 300, true)) {
        r = *next;
        ++applied;
    }
    EXPECT_GT(applied, 600);
    EXPECT_LT(applied, 2000);
    // A click in a client under 3 pixels wide, or in one without area, has no
    // size (overflows on extreme values are the geometry fuzz target's); a
    // Region without area or with a NaN corner does not zoom.
    EXPECT_FALSE(ZoomRegion(start, {1, 1, 1, 1}, 2, 2, false));
    EXPECT_FALSE(ZoomRectangle({1, 1, 1, 1}, 400, -5, true));
    EXPECT_FALSE(ZoomRegion({1, 1, 1, 1}, {0, 0, 100, 75}, 400, 300, false));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(ZoomRegion({nan, -1, 1, 1}, {0, 0, 100, 75}, 400, 300, false));
    const double max = std::numeric_limits<double>::max();
    EXPECT_FALSE(IsShowableRegion({-max, -1, max, 1}));  // the span overflows
    EXPECT_TRUE(IsShowableRegion({2, 1.5, -2, -1.5}));   // mirrored is fine
}

}  // namespace
