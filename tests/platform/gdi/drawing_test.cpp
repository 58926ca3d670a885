// Rectangle in copy and exclusive-or mode, DrawFocusRect, and BitBlt with
// clipping.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/gdi/pixels.h"

namespace {

using zembrix::test::Dib;
using zembrix::test::Legend;
using zembrix::test::PixelsAre;

// '.' the background, '#' the white pen, 'o' the blue brush, 'x' the pen
// mixed into the background by exclusive or.
const Legend kLegend = {{'.', 0x202020}, {'#', 0xFFFFFF}, {'o', 0x0000FF}, {'x', 0xDFDFDF}};

TEST(Rectangle, OutlinesWithThePenFillsWithTheBrushAndClips) {
    struct Case {
        int pen, brush, mix;
        std::vector<RECT> rects;
        const char* picture;  // 6 x 5
    };
    const int kBlue = -1;
    const Case cases[] = {
        // Right and bottom exclusive, the same given reversed.
        {WHITE_PEN, kBlue, R2_COPYPEN, {{1, 1, 5, 4}}, "....../.####./.#oo#./.####./......"},
        {WHITE_PEN, kBlue, R2_COPYPEN, {{5, 4, 1, 1}}, "....../.####./.#oo#./.####./......"},
        {WHITE_PEN, NULL_BRUSH, R2_COPYPEN, {{0, 0, 4, 5}}, "####../#..#../#..#../#..#../####.."},
        // Without a pen the fill is one pixel smaller in each direction.
        {NULL_PEN, kBlue, R2_COPYPEN, {{1, 1, 5, 4}}, "....../.ooo../.ooo../....../......"},
        // One column, one row reversed, no width, no height.
        {WHITE_PEN,
         kBlue,
         R2_COPYPEN,
         {{0, 0, 1, 5}, {2, 4, 6, 3}, {3, 1, 3, 3}, {2, 2, 5, 2}},
         "#...../#...../#...../#.####/#....."},
        {WHITE_PEN,
         NULL_BRUSH,
         R2_COPYPEN,
         {{-2, -3, 3, 3}, {4, 2, 9, 9}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {50, 50, 60, 60}},
         "..#.../..#.../###.##/....#./....#."},
        // Exclusive or changes each outline pixel exactly once.
        {WHITE_PEN, NULL_BRUSH, R2_XORPEN, {{1, 1, 5, 4}}, "....../.xxxx./.x..x./.xxxx./......"},
        {WHITE_PEN, NULL_BRUSH, R2_XORPEN, {{0, 0, 1, 5}}, "x...../x...../x...../x...../x....."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        Dib dib(6, 5);
        ASSERT_TRUE(dib.Valid());
        dib.Fill(0x202020);
        const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        SelectObject(dib.dc(), GetStockObject(c.pen));
        SelectObject(dib.dc(), c.brush == kBlue ? blue : GetStockObject(c.brush));
        SetROP2(dib.dc(), c.mix);
        for (const RECT& r : c.rects)
            ASSERT_TRUE(Rectangle(dib.dc(), r.left, r.top, r.right, r.bottom));
        EXPECT_TRUE(PixelsAre(dib, c.picture, kLegend));
        SelectObject(dib.dc(), GetStockObject(WHITE_BRUSH));
        DeleteObject(blue);
    }
}

// The view draws and erases its zoom rectangle by drawing it twice in
// exclusive-or mode: that must restore every pixel, on any background, with a
// brush, for rectangles reversed, thin, empty, partly or wholly outside, and
// keep the fourth byte of each pixel.
TEST(Rectangle, ExclusiveOrTwiceRestoresEveryPixel) {
    Dib dib(6, 5);
    ASSERT_TRUE(dib.Valid());
    std::vector<std::uint32_t> before;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            before.push_back(dib.At(x, y) = 0xA5000000u | (0x013579u * (x + 7 * y)));
    SetROP2(dib.dc(), R2_XORPEN);
    SelectObject(dib.dc(), GetStockObject(WHITE_PEN));
    SelectObject(dib.dc(), GetStockObject(GRAY_BRUSH));
    const RECT cases[] = {{1, 1, 5, 4},   {5, 4, 1, 1},   {2, 0, 3, 5},
                          {0, 2, 6, 3},   {3, 3, 3, 3},   {4, 1, 4, 1},
                          {-3, -3, 2, 2}, {4, 3, 20, 20}, {-9, 1, 12, 3},
                          {7, 7, 9, 9},   {0, 0, 6, 5},   {INT_MAX, INT_MIN, INT_MIN, INT_MAX}};
    for (const RECT& r : cases) {
        ASSERT_TRUE(Rectangle(dib.dc(), r.left, r.top, r.right, r.bottom));
        ASSERT_TRUE(Rectangle(dib.dc(), r.left, r.top, r.right, r.bottom));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(dib.At(x, y), before[y * 6 + x])
                    << "(" << x << ", " << y << ") after (" << r.left << ", " << r.top << ", "
                    << r.right << ", " << r.bottom << ") twice";
    }
}

TEST(Rectangle, FocusRectInvertsEveryOtherOutlinePixelAndTwiceRestores) {
    Dib dib(6, 5);
    ASSERT_TRUE(dib.Valid());
    dib.Fill(0x202020);
    // Whatever pen, brush and mix the DC holds; clipped like Rectangle.
    SetROP2(dib.dc(), R2_XORPEN);
    const RECT box{0, 1, 5, 5};
    const RECT outside{-3, 3, 2, 9};
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &box));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &outside));
    EXPECT_TRUE(PixelsAre(dib, "....../.x.x../x...x./.x..../x.x.x.", kLegend));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &outside));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &box));
    EXPECT_TRUE(PixelsAre(dib, "....../....../....../....../......", kLegend));
    EXPECT_FALSE(DrawFocusRect(dib.dc(), nullptr));
    EXPECT_FALSE(DrawFocusRect(nullptr, &box));
}

// Source pixels are numbered 0x10 * row + column + 1: 'a'..'d' the top row,
// 'e'..'h' the next and so on; '.' is a pixel left as it was (0).
const Legend kNumbered = {{'.', 0},    {'a', 0x01}, {'b', 0x02}, {'c', 0x03}, {'d', 0x04},
                          {'e', 0x11}, {'f', 0x12}, {'g', 0x13}, {'h', 0x14}, {'i', 0x21},
                          {'j', 0x22}, {'k', 0x23}, {'l', 0x24}, {'m', 0x31}, {'n', 0x32},
                          {'o', 0x33}, {'p', 0x34}};

// The view paints its image centred: a negative offset when the client is
// smaller cuts off columns and rows on both sides.
TEST(BitBlt, CopiesOneToOneClippedToBothSurfaces) {
    struct Case {
        int width, height;         // of the target
        int x, y, cx, cy, sx, sy;  // as BitBlt takes them
        const char* picture;
    };
    const Case cases[] = {
        {5, 4, 1, 2, 2, 2, 1, 0, "...../...../.bc../.fg.."},
        {3, 3, -1, -1, 4, 4, 0, 0, "fgh/jkl/nop"},
        {3, 3, 1, 2, 4, 4, 0, 0, ".../.../.ab"},
        {4, 4, 0, 0, 4, 4, -2, 3, "..mn/..../..../...."},
        {4, 4, 0, 1, 8, 8, 2, -1, "..../..../cd../gh.."},
        // Nothing in common: nothing changes, and no failure.
        {2, 2, 2, 0, 4, 4, 0, 0, "../.."},
        {2, 2, 0, 0, 4, 4, 4, 4, "../.."},
        {2, 2, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX, "../.."},
        {2, 2, 0, 0, -4, -4, 0, 0, "../.."},
    };
    Dib source(4, 4);
    ASSERT_TRUE(source.Valid());
    source.Number();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        Dib target(c.width, c.height);
        ASSERT_TRUE(BitBlt(target.dc(), c.x, c.y, c.cx, c.cy, source.dc(), c.sx, c.sy, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target, c.picture, kNumbered));
    }
}

TEST(BitBlt, CopiesWithinOneSurfaceAsIfThroughACopyAndFailsForOtherOperations) {
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    dib.Number();
    ASSERT_TRUE(BitBlt(dib.dc(), 1, 1, 3, 2, dib.dc(), 0, 0, SRCCOPY));  // down and right
    EXPECT_TRUE(PixelsAre(dib, "abcd/eabc/iefg", kNumbered));
    ASSERT_TRUE(BitBlt(dib.dc(), 0, 0, 3, 2, dib.dc(), 1, 1, SRCCOPY));  // back up and left
    EXPECT_TRUE(PixelsAre(dib, "abcd/efgc/iefg", kNumbered));

    Dib other(2, 2);
    EXPECT_FALSE(BitBlt(dib.dc(), 0, 0, 2, 2, other.dc(), 0, 0, 0x00660046));  // SRCINVERT
    EXPECT_FALSE(BitBlt(dib.dc(), 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 2, 2, other.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(
        BitBlt(dib.dc(), 0, 0, 2, 2, reinterpret_cast<HDC>(other.bitmap()), 0, 0, SRCCOPY));
}

}  // namespace
