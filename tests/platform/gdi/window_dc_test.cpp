// Window DCs over the surface hooks: drawing lands in the window's surface at
// client coordinates, clipped to the surface and the DC's clip rectangle, and
// every lock is paired with an unlock that names the pixels touched.
#include <gtest/gtest.h>

#include <vector>

#include "platform/internal/surface.h"
#include "platform/win32.h"
#include "tests/platform/gdi/pixels.h"

namespace {

using zembrix::test::Dib;
using zembrix::test::Legend;
using zembrix::test::PixelsMatch;

// A window's surface as the window layer would lend it: 5 x 4 pixels in rows
// of 7, the last two of each row outside the surface.
struct FakeWindow {
    static constexpr int kWidth = 5, kHeight = 4, kStride = 7;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kStride * kHeight, 0x444444);
    bool available = true;
    int locks = 0;
    int unlocks = 0;
    std::vector<RECT> touched;
};

FakeWindow* theWindow = nullptr;
const HWND kWindow = reinterpret_cast<HWND>(0x5150);

bool Lock(HWND window, platform::PixelSurface* surface) {
    if (window != kWindow || theWindow == nullptr || !theWindow->available)
        return false;
    ++theWindow->locks;
    surface->pixels = theWindow->pixels.data();
    surface->width = FakeWindow::kWidth;
    surface->height = FakeWindow::kHeight;
    surface->stride = FakeWindow::kStride;
    return true;
}

void Unlock(HWND window, const RECT* touched) {
    ASSERT_EQ(window, kWindow);
    ++theWindow->unlocks;
    theWindow->touched.push_back(*touched);
}

class WindowDcTest : public ::testing::Test {
protected:
    WindowDcTest() {
        theWindow = &window;
        platform::SetWindowSurfaceHooks(platform::WindowSurfaceHooks{Lock, Unlock});
    }
    ~WindowDcTest() override {
        platform::SetWindowSurfaceHooks(platform::WindowSurfaceHooks{});
        theWindow = nullptr;
    }
    ::testing::AssertionResult SurfaceIs(const std::vector<std::string>& picture,
                                         const Legend& legend) {
        for (int y = 0; y < FakeWindow::kHeight; ++y)
            for (int x = FakeWindow::kWidth; x < FakeWindow::kStride; ++x)
                if (window.pixels[y * FakeWindow::kStride + x] != 0x444444)
                    return ::testing::AssertionFailure()
                           << "padding at (" << x << ", " << y << ") written";
        return PixelsMatch(
            FakeWindow::kWidth, FakeWindow::kHeight,
            [&](int x, int y) { return window.pixels[y * FakeWindow::kStride + x]; }, picture,
            legend);
    }
    FakeWindow window;
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(WindowDcTest, RectangleDrawsIntoTheSurfaceAndReportsTheTouchedBox) {
    const HDC dc = platform::CreateWindowDC(kWindow, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(platform::WindowFromWindowDC(dc), kWindow);
    SetROP2(dc, R2_XORPEN);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dc, 3, 1, 9, 3));  // reaches past the right edge
    EXPECT_TRUE(SurfaceIs(
        {
            ".....",
            "...xx",
            "...xx",
            ".....",
        },
        {{'.', 0x444444}, {'x', 0xBBBBBB}}));
    EXPECT_EQ(window.locks, 1);
    ASSERT_EQ(window.unlocks, 1);
    EXPECT_TRUE(SameRect(window.touched[0], RECT{3, 1, 5, 3}));
    ASSERT_TRUE(Rectangle(dc, 3, 1, 9, 3));
    EXPECT_TRUE(SurfaceIs(
        {
            ".....",
            ".....",
            ".....",
            ".....",
        },
        {{'.', 0x444444}}));
    platform::DeleteWindowDC(dc);
    EXPECT_EQ(platform::WindowFromWindowDC(dc), nullptr);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
}

TEST_F(WindowDcTest, DrawsOnlyInsideItsClipRectangle) {
    const RECT clip{1, 1, 3, 4};
    const HDC dc = platform::CreateWindowDC(kWindow, &clip);
    ASSERT_NE(dc, nullptr);
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    ASSERT_TRUE(Rectangle(dc, 0, 0, 6, 5));
    EXPECT_TRUE(SurfaceIs(
        {
            ".....",
            ".##..",
            ".##..",
            ".##..",
        },
        {{'.', 0x444444}, {'#', 0}}));
    ASSERT_EQ(window.touched.size(), 1u);
    EXPECT_TRUE(SameRect(window.touched[0], RECT{1, 1, 3, 4}));
    platform::DeleteWindowDC(dc);
}

TEST_F(WindowDcTest, BitBltFromAMemoryDcPlacesTheImageAtAnyOffset) {
    Dib image(3, 3);
    ASSERT_TRUE(image.Valid());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            image.At(x, y) = static_cast<std::uint32_t>(0x10 * y + x + 1);
    const HDC dc = platform::CreateWindowDC(kWindow, nullptr);
    ASSERT_TRUE(BitBlt(dc, -1, 2, 3, 3, image.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(SurfaceIs(
        {
            ".....",
            ".....",
            "bc...",
            "ef...",
        },
        {{'.', 0x444444}, {'b', 0x02}, {'c', 0x03}, {'e', 0x12}, {'f', 0x13}}));
    ASSERT_EQ(window.touched.size(), 1u);
    EXPECT_TRUE(SameRect(window.touched[0], RECT{0, 2, 2, 4}));

    // And back from the window into a memory DC.
    Dib copy(2, 1);
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 2, 1, dc, 0, 3, SRCCOPY));
    EXPECT_EQ(copy.At(0, 0), 0x12u);
    EXPECT_EQ(copy.At(1, 0), 0x13u);
    EXPECT_EQ(window.locks, window.unlocks);
    platform::DeleteWindowDC(dc);
}

TEST_F(WindowDcTest, FailsWithoutASurfaceAndRefusesBitmapsAndDeleteDc) {
    const HDC dc = platform::CreateWindowDC(kWindow, nullptr);
    ASSERT_NE(dc, nullptr);
    window.available = false;
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
    Dib image(1, 1);
    EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, image.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(window.unlocks, 0);
    window.available = true;

    const BITMAPV4HEADER header = zembrix::test::ViewHeader(1, 1);
    const HBITMAP bitmap = CreateDIBSection(nullptr, zembrix::test::AsInfo(header), DIB_RGB_COLORS,
                                            nullptr, nullptr, 0);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr) << "a window DC draws into its window only";
    DeleteObject(bitmap);
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs go back with ReleaseDC or EndPaint";
    EXPECT_EQ(platform::WindowFromWindowDC(image.dc()), nullptr);
    EXPECT_EQ(platform::CreateWindowDC(nullptr, nullptr), nullptr);
    platform::DeleteWindowDC(image.dc());  // not a window DC: left alone
    EXPECT_TRUE(Rectangle(image.dc(), 0, 0, 1, 1));
    platform::DeleteWindowDC(dc);

    platform::SetWindowSurfaceHooks(platform::WindowSurfaceHooks{});
    const HDC unhooked = platform::CreateWindowDC(kWindow, nullptr);
    EXPECT_FALSE(Rectangle(unhooked, 0, 0, 2, 2));
    platform::DeleteWindowDC(unhooked);
}

}  // namespace
