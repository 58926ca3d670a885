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

// A window's surface as the window layer would lend it: 5 x 4 pixels in rows
// of 7, the last two of each row outside the surface.
struct FakeWindow {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(7 * 4, 0x444444);
    bool available = true;
    int locks = 0;
    std::vector<RECT> touched;  // one per unlock
} window;
const HWND kWindow = reinterpret_cast<HWND>(0x5150);

class WindowDcTest : public ::testing::Test {
protected:
    WindowDcTest() {
        window = FakeWindow{};
        const auto lock = [](HWND hwnd, platform::PixelSurface* surface) {
            if (hwnd != kWindow || !window.available)
                return false;
            ++window.locks;
            *surface = platform::PixelSurface{window.pixels.data(), 5, 4, 7};
            return true;
        };
        const auto unlock = [](HWND, const RECT* touched) { window.touched.push_back(*touched); };
        platform::SetWindowSurfaceHooks(platform::WindowSurfaceHooks{lock, unlock});
    }
    ~WindowDcTest() override { platform::SetWindowSurfaceHooks(platform::WindowSurfaceHooks{}); }
    // The surface's rows of 7 as a picture: the two last columns are padding.
    static ::testing::AssertionResult SurfaceIs(const std::string& picture,
                                                const zembrix::test::Legend& legend) {
        return zembrix::test::PixelsMatch([](int x, int y) { return window.pixels[y * 7 + x]; },
                                          picture, legend);
    }
    static std::vector<LONG> Touched() {
        std::vector<LONG> all;
        for (const RECT& r : window.touched)
            all.insert(all.end(), {r.left, r.top, r.right, r.bottom});
        return all;
    }
};

TEST_F(WindowDcTest, DrawsIntoTheSurfaceClippedAndReportsTheTouchedBox) {
    const RECT clip{1, 0, 9, 9};
    const HDC dc = platform::CreateWindowDC(kWindow, &clip);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(platform::WindowFromWindowDC(dc), kWindow);
    SetROP2(dc, R2_XORPEN);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(Rectangle(dc, 0, 1, 9, 3));  // past the clip on the left, the surface on the right
    EXPECT_TRUE(SurfaceIs("......./.xxxx../.xxxx../.......", {{'.', 0x444444}, {'x', 0xBBBBBB}}));
    EXPECT_EQ(window.locks, 1);
    EXPECT_EQ(Touched(), (std::vector<LONG>{1, 1, 5, 3}));

    // From a memory DC at a negative offset, and back.
    Dib image(3, 3);
    image.Number();
    ASSERT_TRUE(BitBlt(dc, 0, 2, 3, 3, image.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(window.pixels[3 * 7 + 1], 0x12u);
    EXPECT_EQ(window.pixels[3 * 7 + 0], 0x444444u) << "outside the clip rectangle";
    Dib copy(2, 1);
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 2, 1, dc, 1, 3, SRCCOPY));
    EXPECT_EQ(copy.At(0, 0), 0x12u);
    EXPECT_EQ(copy.At(1, 0), 0x13u);
    EXPECT_EQ(window.locks, static_cast<int>(window.touched.size()));
    platform::DeleteWindowDC(dc);
    EXPECT_EQ(platform::WindowFromWindowDC(dc), nullptr);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
}

TEST_F(WindowDcTest, FailsWithoutASurfaceAndRefusesBitmapsAndDeleteDc) {
    const HDC dc = platform::CreateWindowDC(kWindow, nullptr);
    ASSERT_NE(dc, nullptr);
    window.available = false;
    Dib image(1, 1);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 2, 2));
    EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, image.dc(), 0, 0, SRCCOPY));
    EXPECT_TRUE(window.touched.empty());
    EXPECT_EQ(SelectObject(dc, image.bitmap()), nullptr) << "a window DC draws into its window";
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs go back with ReleaseDC or EndPaint";
    EXPECT_EQ(platform::WindowFromWindowDC(image.dc()), nullptr);
    EXPECT_EQ(platform::CreateWindowDC(nullptr, nullptr), nullptr);
    platform::DeleteWindowDC(image.dc());  // not a window DC: left alone
    EXPECT_TRUE(Rectangle(image.dc(), 0, 0, 1, 1));
    platform::DeleteWindowDC(dc);
}

}  // namespace
