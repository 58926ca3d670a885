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

TEST(MemoryDc, StartsWithBlackPenWhiteBrushCopyModeAndASharedDefaultBitmap) {
    releasedAtExit.brush = CreateSolidBrush(RGB(1, 2, 3));
    releasedAtExit.dc = CreateCompatibleDC(nullptr);
    Dib dib(4, 3);
    ASSERT_TRUE(dib.Valid());
    dib.Fill(0x123456);
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 4, 3));
    EXPECT_TRUE(PixelsAre(dib, "####/#..#/####", {{'#', 0}, {'.', 0xFFFFFF}}));
    EXPECT_EQ(SelectObject(dib.dc(), GetStockObject(WHITE_PEN)), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SetROP2(dib.dc(), R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(SetROP2(dib.dc(), 0), 0) << "not a mix mode";
    EXPECT_EQ(SetROP2(dib.dc(), 17), 0) << "not a mix mode";
    EXPECT_EQ(GetROP2(dib.dc()), R2_XORPEN);

    // A brush is BGR as RGB() makes it, and comes back when replaced.
    const HBRUSH brush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(SelectObject(dib.dc(), brush), GetStockObject(WHITE_BRUSH));
    SelectObject(dib.dc(), GetStockObject(NULL_PEN));
    SetROP2(dib.dc(), R2_COPYPEN);
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 5, 4));
    EXPECT_TRUE(PixelsAre(dib, "bbbb/bbbb/bbbb", {{'b', 0x112233}}));
    EXPECT_EQ(SelectObject(dib.dc(), GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_TRUE(DeleteObject(brush));

    // Every new DC holds the same 1 x 1 default bitmap; a bitmap is selected
    // into one DC at a time, and free again once its DC is gone.
    const HDC first = CreateCompatibleDC(nullptr);
    const HDC second = CreateCompatibleDC(first);
    const BITMAPV4HEADER header = zembrix::test::ViewHeader(1, 1);
    const HBITMAP bitmap = CreateDIBSection(nullptr, zembrix::test::AsInfo(header), DIB_RGB_COLORS,
                                            nullptr, nullptr, 0);
    const HGDIOBJ defaultBitmap = SelectObject(first, bitmap);
    ASSERT_NE(defaultBitmap, nullptr);
    EXPECT_FALSE(DeleteObject(bitmap)) << "selected";
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_EQ(SelectObject(first, bitmap), bitmap) << "selecting it again where it is";
    ASSERT_TRUE(DeleteDC(first));
    EXPECT_EQ(SelectObject(second, bitmap), defaultBitmap);
    EXPECT_EQ(SelectObject(second, defaultBitmap), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(second));
}

TEST(StockObjects, AreFixedDistinctHandlesThatDeletingLeavesIntact) {
    std::set<HGDIOBJ> handles;
    for (int i : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                  WHITE_PEN, BLACK_PEN, NULL_PEN}) {
        ASSERT_NE(GetStockObject(i), nullptr) << i;
        EXPECT_EQ(GetStockObject(i), GetStockObject(i));
        handles.insert(GetStockObject(i));
    }
    EXPECT_EQ(handles.size(), 9u);
    EXPECT_EQ(GetStockObject(HOLLOW_BRUSH), GetStockObject(NULL_BRUSH));
    for (int i : {-1, 9, 1000})
        EXPECT_EQ(GetStockObject(i), nullptr) << i << ": palettes and fonts are not provided";

    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_PEN)));
    Dib dib(3, 1);
    SelectObject(dib.dc(), GetStockObject(WHITE_PEN));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 3, 1));
    EXPECT_TRUE(PixelsAre(dib, "www", {{'w', 0xFFFFFF}}));
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
    EXPECT_EQ(SelectObject(dc, dc), nullptr) << "a DC is not selectable";
    EXPECT_FALSE(DeleteObject(dc)) << "DCs are released with DeleteDC";
    ASSERT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_FALSE(Rectangle(dc, 0, 0, 1, 1));
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), 0);
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), nullptr);
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr) << "compatible with a deleted DC";

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

TEST(Handles, ABrushDeletedWhileSelectedDrawsUntilDeselected) {
    Dib dib(3, 3);
    ASSERT_TRUE(dib.Valid());
    const HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(dib.dc(), brush);
    EXPECT_TRUE(DeleteObject(brush));
    ASSERT_TRUE(Rectangle(dib.dc(), 0, 0, 3, 3));
    EXPECT_TRUE(PixelsAre(dib, "###/#b#/###", {{'#', 0x000000}, {'b', 0x0000FF}}));
    EXPECT_EQ(SelectObject(dib.dc(), GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_EQ(SelectObject(dib.dc(), brush), nullptr);
}

}  // namespace
