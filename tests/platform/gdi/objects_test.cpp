// Device contexts and GDI objects: what a new memory DC holds, what
// SelectObject hands back, stock objects, and how deleted or foreign handles
// fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/win32.h"
#include "tests/platform/gdi/pixels.h"

namespace {

using zembrix::test::Dib;
using zembrix::test::PixelsAre;

// The program's static windows release their GDI objects at process exit,
// after main has returned: the object table must still serve them then. A
// failure aborts the test process, which CTest reports.
struct ReleasedAtExit {
    HBRUSH brush = nullptr;
    HDC dc = nullptr;
    ~ReleasedAtExit() {
        if (brush != nullptr && (!DeleteObject(brush) || DeleteObject(brush)))
            std::abort();
        if (dc != nullptr && !DeleteDC(dc))
            std::abort();
    }
} releasedAtExit;

TEST(Lifetime, ObjectsCanBeReleasedByStaticObjectsAtExit) {
    releasedAtExit.brush = CreateSolidBrush(RGB(1, 2, 3));
    releasedAtExit.dc = CreateCompatibleDC(nullptr);
    EXPECT_NE(releasedAtExit.brush, nullptr);
    EXPECT_NE(releasedAtExit.dc, nullptr);
}

TEST(MemoryDc, StartsWithTheDefaultBitmapBlackPenWhiteBrushAndCopyMode) {
    const HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_BRUSH)), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(SetROP2(dc, R2_COPYPEN), R2_XORPEN);
    EXPECT_EQ(SetROP2(dc, 0), 0) << "not a mix mode";
    EXPECT_EQ(SetROP2(dc, 17), 0) << "not a mix mode";
    EXPECT_EQ(GetROP2(dc), R2_COPYPEN);

    // Every new DC holds the same 1 x 1 default bitmap; it comes back when
    // another bitmap is selected, and hands that one back in turn.
    const BITMAPV4HEADER header = zembrix::test::ViewHeader(2, 2);
    const HBITMAP first = CreateDIBSection(nullptr, zembrix::test::AsInfo(header), DIB_RGB_COLORS,
                                           nullptr, nullptr, 0);
    const HBITMAP second = CreateDIBSection(nullptr, zembrix::test::AsInfo(header), DIB_RGB_COLORS,
                                            nullptr, nullptr, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const HDC other = CreateCompatibleDC(dc);
    ASSERT_NE(other, nullptr);
    const HGDIOBJ defaultBitmap = SelectObject(dc, first);
    ASSERT_NE(defaultBitmap, nullptr);
    EXPECT_EQ(SelectObject(other, second), defaultBitmap);
    EXPECT_EQ(SelectObject(dc, second), nullptr) << "a bitmap is selected into one DC at a time";
    EXPECT_EQ(SelectObject(dc, defaultBitmap), first);
    EXPECT_EQ(SelectObject(other, defaultBitmap), second);
    EXPECT_TRUE(DeleteObject(first));
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(MemoryDc, DrawsWithItsStartingObjects) {
    Dib dib(4, 4);
    ASSERT_TRUE(dib.Valid());
    dib.Fill(0x123456);
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 4, 4));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "####",
                              "#..#",
                              "#..#",
                              "####",
                          },
                          {{'#', 0x000000}, {'.', 0xFFFFFF}}));
}

TEST(StockObjects, AreFixedHandlesThatDeletingLeavesIntact) {
    std::set<HGDIOBJ> handles;
    for (int i : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                  WHITE_PEN, BLACK_PEN, NULL_PEN}) {
        const HGDIOBJ stock = GetStockObject(i);
        ASSERT_NE(stock, nullptr) << i;
        EXPECT_EQ(GetStockObject(i), stock);
        handles.insert(stock);
    }
    EXPECT_EQ(handles.size(), 9u);
    EXPECT_EQ(GetStockObject(HOLLOW_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr) << "palettes and fonts are not provided";
    EXPECT_EQ(GetStockObject(1000), nullptr);

    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_PEN)));
    Dib dib(3, 1);
    ASSERT_TRUE(dib.Valid());
    SelectObject(dib.dc(), GetStockObject(WHITE_PEN));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 3, 1));
    EXPECT_TRUE(PixelsAre(dib, {"www"}, {{'w', 0xFFFFFF}}));
}

TEST(SolidBrush, FillsWithItsColourGivenAsBgr) {
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    const HBRUSH brush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(SelectObject(dib.dc(), brush), GetStockObject(WHITE_BRUSH));
    SelectObject(dib.dc(), GetStockObject(NULL_PEN));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 5, 4));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "bbbb",
                              "bbbb",
                              "bbbb",
                          },
                          {{'b', 0x112233}}));
    EXPECT_EQ(SelectObject(dib.dc(), GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(Handles, DeletedAndForeignHandlesFailAndAreNeverReused) {
    const HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(0x1234)));

    const HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SelectObject(dc, brush), nullptr);
    EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
    EXPECT_EQ(SelectObject(dc, dc), nullptr) << "a DC is not selectable";
    EXPECT_FALSE(DeleteObject(dc)) << "DCs are released with DeleteDC";
    ASSERT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_FALSE(Rectangle(dc, 0, 0, 1, 1));
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), 0);
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), nullptr);
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr) << "compatible with a deleted DC";
    EXPECT_FALSE(DeleteDC(nullptr));

    std::set<HGDIOBJ> seen{brush, dc};
    for (int i = 0; i < 200; ++i) {
        const HBRUSH next = CreateSolidBrush(RGB(i, 0, 0));
        ASSERT_TRUE(seen.insert(next).second) << "handle reused after " << i << " objects";
        ASSERT_TRUE(DeleteObject(next));
        const HDC nextDc = CreateCompatibleDC(nullptr);
        ASSERT_TRUE(seen.insert(nextDc).second);
        ASSERT_TRUE(DeleteDC(nextDc));
    }
}

TEST(Handles, ABitmapCannotBeDeletedWhileSelectedButIsFreedWithItsDc) {
    Dib dib(2, 2);
    ASSERT_TRUE(dib.Valid());
    EXPECT_FALSE(DeleteObject(dib.bitmap()));
    EXPECT_EQ(SelectObject(dib.dc(), dib.bitmap()), dib.bitmap())
        << "selecting it again where it is";

    const BITMAPV4HEADER header = zembrix::test::ViewHeader(1, 1);
    const HBITMAP loose = CreateDIBSection(nullptr, zembrix::test::AsInfo(header), DIB_RGB_COLORS,
                                           nullptr, nullptr, 0);
    ASSERT_NE(loose, nullptr);
    const HDC holder = CreateCompatibleDC(nullptr);
    const HDC other = CreateCompatibleDC(nullptr);
    ASSERT_NE(SelectObject(holder, loose), nullptr);
    EXPECT_EQ(SelectObject(other, loose), nullptr);
    ASSERT_TRUE(DeleteDC(holder));
    const HGDIOBJ defaultBitmap = SelectObject(other, loose);
    EXPECT_NE(defaultBitmap, nullptr) << "free again once its DC is gone";
    EXPECT_EQ(SelectObject(other, defaultBitmap), loose);
    EXPECT_TRUE(DeleteObject(loose));
    EXPECT_TRUE(DeleteDC(other));
}

TEST(Handles, APenOrBrushDeletedWhileSelectedDrawsUntilDeselected) {
    Dib dib(3, 3);
    ASSERT_TRUE(dib.Valid());
    const HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(dib.dc(), brush);
    EXPECT_TRUE(DeleteObject(brush));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 3, 3));
    EXPECT_TRUE(PixelsAre(dib,
                          {
                              "###",
                              "#b#",
                              "###",
                          },
                          {{'#', 0x000000}, {'b', 0x0000FF}}));
    EXPECT_EQ(SelectObject(dib.dc(), GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_EQ(SelectObject(dib.dc(), brush), nullptr);
}

}  // namespace
