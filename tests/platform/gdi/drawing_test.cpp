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

const Legend kLegend = {{'.', 0x202020}, {'#', 0xFFFFFF}, {'o', 0x0000FF}};

class RectangleTest : public ::testing::Test {
protected:
    RectangleTest() : dib(6, 5) {
        dib.Fill(0x202020);
        brush = CreateSolidBrush(RGB(0, 0, 255));
        SelectObject(dib.dc(), GetStockObject(WHITE_PEN));
        previousBrush = SelectObject(dib.dc(), brush);
    }
    ~RectangleTest() override {
        SelectObject(dib.dc(), previousBrush);
        DeleteObject(brush);
    }
    Dib dib;
    HBRUSH brush = nullptr;
    HGDIOBJ previousBrush = nullptr;
};

TEST_F(RectangleTest, OutlinesWithThePenAndFillsWithTheBrushRightAndBottomExclusive) {
    ASSERT_TRUE(dib.Valid());
    ASSERT_TRUE(Rectangle(dib.dc(), 1, 1, 5, 4));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              ".####.",
                              ".#oo#.",
                              ".####.",
                              "......",
                          },
                          kLegend));
}

TEST_F(RectangleTest, IsTheSameGivenReversed) {
    ASSERT_TRUE(Rectangle(dib.dc(), 5, 4, 1, 1));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              ".####.",
                              ".#oo#.",
                              ".####.",
                              "......",
                          },
                          kLegend));
}

TEST_F(RectangleTest, WithTheNullBrushDrawsOnlyTheOutline) {
    SelectObject(dib.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 4, 5));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "####..",
                              "#..#..",
                              "#..#..",
                              "#..#..",
                              "####..",
                          },
                          kLegend));
}

TEST_F(RectangleTest, WithTheNullPenFillsOnePixelLessInEachDirection) {
    SelectObject(dib.dc(), GetStockObject(NULL_PEN));
    ASSERT_TRUE(Rectangle(dib.dc(), 1, 1, 5, 4));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              ".ooo..",
                              ".ooo..",
                              "......",
                              "......",
                          },
                          kLegend));
}

TEST_F(RectangleTest, ThinRectanglesAreSingleLinesAndEmptyOnesDrawNothing) {
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 1, 5));  // one column
    ASSERT_TRUE(Rectangle(dib.dc(), 2, 4, 6, 3));  // one row, reversed
    ASSERT_TRUE(Rectangle(dib.dc(), 3, 1, 3, 3));  // no width
    ASSERT_TRUE(Rectangle(dib.dc(), 2, 2, 5, 2));  // no height
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "#.....",
                              "#.....",
                              "#.....",
                              "#.####",
                              "#.....",
                          },
                          kLegend));
}

TEST_F(RectangleTest, IsClippedToTheSurfaceOnEverySide) {
    SelectObject(dib.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dib.dc(), -2, -3, 3, 3));
    ASSERT_TRUE(Rectangle(dib.dc(), 4, 2, 9, 9));
    ASSERT_TRUE(Rectangle(dib.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX));
    ASSERT_TRUE(Rectangle(dib.dc(), 50, 50, 60, 60));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "..#...",
                              "..#...",
                              "###.##",
                              "....#.",
                              "....#.",
                          },
                          kLegend));
}

TEST_F(RectangleTest, FocusRectInvertsEveryOtherOutlinePixelAndTwiceRestores) {
    const Legend inverted = {{'.', 0x202020}, {'x', 0xDFDFDF}};
    // Whatever pen, brush and mix the DC holds; clipped like Rectangle.
    SetROP2(dib.dc(), R2_XORPEN);
    const RECT box{0, 1, 5, 5};
    const RECT outside{-3, 3, 2, 9};
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &box));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &outside));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              ".x.x..",
                              "x...x.",
                              ".x....",
                              "x.x.x.",
                          },
                          inverted));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &outside));
    ASSERT_TRUE(DrawFocusRect(dib.dc(), &box));
    EXPECT_TRUE(PixelsAre(dib, {"......", "......", "......", "......", "......"}, kLegend));
    EXPECT_FALSE(DrawFocusRect(dib.dc(), nullptr));
    EXPECT_FALSE(DrawFocusRect(nullptr, &box));
}

TEST_F(RectangleTest, ExclusiveOrChangesExactlyTheOutlineAndTwiceRestoresEveryPixel) {
    SetROP2(dib.dc(), R2_XORPEN);
    SelectObject(dib.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dib.dc(), 1, 1, 5, 4));
    // 0x202020 ^ 0xFFFFFF
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              ".xxxx.",
                              ".x..x.",
                              ".xxxx.",
                              "......",
                          },
                          {{'.', 0x202020}, {'x', 0xDFDFDF}}));
    ASSERT_TRUE(Rectangle(dib.dc(), 1, 1, 5, 4));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "......",
                              "......",
                              "......",
                              "......",
                              "......",
                          },
                          kLegend));

    // The same holds on any background, with a brush, and for rectangles
    // reversed, thin, empty, partly or wholly outside. The fourth byte of
    // each pixel is kept.
    SelectObject(dib.dc(), brush);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            dib.At(x, y) = 0xA5000000u | static_cast<std::uint32_t>(0x013579 * (x + 7 * y));
    std::vector<std::uint32_t> before;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            before.push_back(dib.At(x, y));
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
                    << "pixel (" << x << ", " << y << ") after (" << r.left << ", " << r.top << ", "
                    << r.right << ", " << r.bottom << ") twice";
    }
}

TEST(BitBlt, CopiesTheSourceBoxOneToOne) {
    Dib source(3, 2);
    Dib target(5, 4);
    ASSERT_TRUE(source.Valid() && target.Valid());
    source.At(0, 0) = 1;
    source.At(1, 0) = 2;
    source.At(2, 0) = 3;
    source.At(0, 1) = 4;
    source.At(1, 1) = 5;
    source.At(2, 1) = 6;
    target.Fill(9);
    ASSERT_TRUE(BitBlt(target.dc(), 1, 2, 2, 2, source.dc(), 1, 0, SRCCOPY));
    EXPECT_TRUE(PixelsAre(target,
                          {
                              ".....",
                              ".....",
                              ".bc..",
                              ".ef..",
                          },
                          {{'.', 9}, {'b', 2}, {'c', 3}, {'e', 5}, {'f', 6}}));
}

// The view paints its image centred: a negative offset when the client is
// smaller cuts off columns and rows on both sides.
TEST(BitBlt, ClipsOnEverySideOfBothSurfaces) {
    Dib source(4, 4);
    ASSERT_TRUE(source.Valid());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            source.At(x, y) = static_cast<std::uint32_t>(0x10 * y + x + 1);
    const Legend legend = {{'.', 0},    {'a', 0x01}, {'b', 0x02}, {'c', 0x03}, {'d', 0x04},
                           {'e', 0x11}, {'f', 0x12}, {'g', 0x13}, {'h', 0x14}, {'i', 0x21},
                           {'j', 0x22}, {'k', 0x23}, {'l', 0x24}, {'m', 0x31}, {'n', 0x32},
                           {'o', 0x33}, {'p', 0x34}};
    {
        Dib target(3, 3);  // destination left of and above the target
        ASSERT_TRUE(BitBlt(target.dc(), -1, -1, 4, 4, source.dc(), 0, 0, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target,
                              {
                                  "fgh",
                                  "jkl",
                                  "nop",
                              },
                              legend));
    }
    {
        Dib target(3, 3);  // running off the right and bottom
        ASSERT_TRUE(BitBlt(target.dc(), 1, 2, 4, 4, source.dc(), 0, 0, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target,
                              {
                                  "...",
                                  "...",
                                  ".ab",
                              },
                              legend));
    }
    {
        Dib target(4, 4);  // a source box reaching outside the source on all sides
        ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 4, 4, source.dc(), -2, 3, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target,
                              {
                                  "..mn",
                                  "....",
                                  "....",
                                  "....",
                              },
                              legend));
        ASSERT_TRUE(BitBlt(target.dc(), 0, 1, 8, 8, source.dc(), 2, -1, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target,
                              {
                                  "..mn",
                                  "....",
                                  "cd..",
                                  "gh..",
                              },
                              legend));
    }
    {
        Dib target(2, 2);  // nothing in common: nothing changes, and no failure
        ASSERT_TRUE(BitBlt(target.dc(), 2, 0, 4, 4, source.dc(), 0, 0, SRCCOPY));
        ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 4, 4, source.dc(), 4, 4, SRCCOPY));
        ASSERT_TRUE(BitBlt(target.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, source.dc(), INT_MAX,
                           INT_MAX, SRCCOPY));
        ASSERT_TRUE(BitBlt(target.dc(), 0, 0, -4, -4, source.dc(), 0, 0, SRCCOPY));
        EXPECT_TRUE(PixelsAre(target,
                              {
                                  "..",
                                  "..",
                              },
                              legend));
    }
}

TEST(BitBlt, CopiesWithinOneSurfaceAsIfThroughACopy) {
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            dib.At(x, y) = static_cast<std::uint32_t>(0x10 * y + x + 1);
    const Legend legend = {{'a', 0x01}, {'b', 0x02}, {'c', 0x03}, {'d', 0x04},
                           {'e', 0x11}, {'f', 0x12}, {'g', 0x13}, {'h', 0x14},
                           {'i', 0x21}, {'j', 0x22}, {'k', 0x23}, {'l', 0x24}};
    ASSERT_TRUE(BitBlt(dib.dc(), 1, 1, 3, 2, dib.dc(), 0, 0, SRCCOPY));  // down and right
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "abcd",
                              "eabc",
                              "iefg",
                          },
                          legend));
    ASSERT_TRUE(BitBlt(dib.dc(), 0, 0, 3, 2, dib.dc(), 1, 1, SRCCOPY));  // back up and left
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "abcd",
                              "efgc",
                              "iefg",
                          },
                          legend));
}

TEST(BitBlt, FailsForOtherRasterOperationsAndInvalidDcs) {
    Dib a(2, 2);
    Dib b(2, 2);
    EXPECT_FALSE(BitBlt(a.dc(), 0, 0, 2, 2, b.dc(), 0, 0, 0x00660046));  // SRCINVERT
    EXPECT_FALSE(BitBlt(a.dc(), 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 2, 2, b.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(a.dc(), 0, 0, 2, 2, reinterpret_cast<HDC>(b.bitmap()), 0, 0, SRCCOPY));
}

}  // namespace
