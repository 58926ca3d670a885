// The explorer's window code on the real platform layer (offscreen), driven
// with messages as the user's actions would send them: start-up, commands,
// the Coordinates and Colors windows, the zoom gesture, resizing and exit.
// Each test starts its own explorer (CTest runs each test in its own process).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/app/explorer_support.h"
#include "engine/escape_time.h"
#include "engine/geometry.h"
#include "resources/resource.h"
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"
#include "tools/progress_window.h"
#include "view/color_map.h"
#include "view/fractal_view.h"
#include "view/zoom.h"

namespace {

int g_rowsComputed = 0;

void CountingKernel(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                    std::uint32_t limit) {
    ++g_rowsComputed;
    ComputeRowExact(out, width, x1, dx, y, limit);
}

std::string FieldText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

class Explorer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), engine_, accelerators_));
        RenderServices services;
        services.rowKernel = CountingKernel;
        SetRenderServices(services);
        g_rowsComputed = 0;
    }
    void TearDown() override { ::TearDown(accelerators_, engine_); }

    HWND Frame() const { return FrameWindow(); }
    HWND Coordinates() const { return TheCoordinatesWindow().Window(); }

    FractalEngine engine_;
    HACCEL accelerators_ = nullptr;
};

TEST_F(Explorer, FirstPictureIsComputedAtStartWithTheDefaultColours) {
    // Computed before any message is taken, at the view's size.
    ASSERT_NE(engine_.Counts(), nullptr);
    EXPECT_FALSE(engine_.dirty);
    const SIZE view = TheFractalView().ClientSize();
    EXPECT_EQ(engine_.width, view.cx);
    EXPECT_EQ(engine_.height, view.cy);
    EXPECT_EQ(engine_.iterationLimit, 500u);
    Region fitted = kDefaultRegion;
    FitRegionToAspect(view.cx, view.cy, fitted);
    EXPECT_EQ(engine_.region.X1, fitted.X1);
    EXPECT_EQ(engine_.region.Y2, fitted.Y2);

    // The frame's outer size is 550 x 300 (its place on the screen is checked
    // under a real X server, where the offscreen platform's offsets are absent).
    RECT frame{};
    GetWindowRect(Frame(), &frame);
    EXPECT_EQ(frame.right - frame.left, 550);
    EXPECT_EQ(frame.bottom - frame.top, 300);

    // The first paint colours it with the Colors window's defaults.
    Pump();
    EXPECT_EQ(TheFractalView().imageWidth, view.cx);
    const ColorRef defaults[3] = {0x000000, 0x000000, 0xFF0000};
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, defaults));
    EXPECT_EQ(FieldText(Coordinates(), IDC_COORD_ITERATIONS), "500");
    EXPECT_FALSE(IsWindowVisible(Coordinates()));
    EXPECT_FALSE(IsWindowVisible(TheColorsWindow().Window()));
}

TEST_F(Explorer, RefreshRecomputesAndAnUnchangedRequestDoesNot) {
    SendMessageA(Frame(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
    EXPECT_EQ(g_rowsComputed, engine_.height);
    g_rowsComputed = 0;
    RecomputeAndShow(false);
    EXPECT_EQ(g_rowsComputed, 0);
}

TEST_F(Explorer, AColourChangeRecoloursWithoutComputing) {
    Pump();
    TheColorsWindow().SetColor(2, 0x0000FF);  // gradient end: red
    RequestRecolor();
    RequestRecolor();
    Pump();
    EXPECT_EQ(g_rowsComputed, 0);
    EXPECT_EQ(TheFractalView().recolorPending, 0);
    const ColorRef colors[3] = {0x000000, 0x000000, 0x0000FF};
    EXPECT_EQ(ViewImage(), ExpectedImage(engine_, colors));
}

TEST_F(Explorer, ASwatchWithTheFocusShowsTheDottedFocusMark) {
    TheColorsWindow().SetColor(0, RGB(0, 0, 255));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 12;
    info.bmiHeader.biHeight = -8;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_COLOR_SET;
    item.itemAction = ODA_DRAWENTIRE;
    item.hDC = dc;
    item.rcItem = RECT{0, 0, 12, 8};
    // Row 3, columns 3 and 4: a dot of the mark (inverted blue) beside the swatch.
    for (UINT state : {0u, static_cast<UINT>(ODS_FOCUS)}) {
        item.itemState = state;
        SendMessageA(TheColorsWindow().Window(), WM_DRAWITEM, IDC_COLOR_SET,
                     reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(pixels[3 * 12 + 3] & 0xFFFFFF, state ? 0xFFFF00u : 0x0000FFu);
        EXPECT_EQ(pixels[3 * 12 + 4] & 0xFFFFFF, 0x0000FFu);
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST_F(Explorer, UpdateAppliesTheFittedRegionAndWritesItBack) {
    HWND dialog = Coordinates();
    SetDlgItemTextA(dialog, IDC_COORD_X1, "-1");
    SetDlgItemTextA(dialog, IDC_COORD_Y1, "  -1e0");
    SetDlgItemTextA(dialog, IDC_COORD_X2, "1.0abc");
    SetDlgItemTextA(dialog, IDC_COORD_Y2, "1");
    SetDlgItemTextA(dialog, IDC_COORD_ITERATIONS, "200");
    SendMessageA(dialog, WM_COMMAND, IDC_COORD_UPDATE, 0);
    Region expected{-1, -1, 1, 1};
    const SIZE view = TheFractalView().ClientSize();
    FitRegionToAspect(view.cx, view.cy, expected);
    EXPECT_EQ(engine_.region.X1, expected.X1);
    EXPECT_EQ(engine_.region.Y1, -1.0);
    EXPECT_EQ(engine_.iterationLimit, 200u);
    EXPECT_EQ(g_rowsComputed, engine_.height);
    EXPECT_EQ(FieldText(dialog, IDC_COORD_Y1), "-1.0000000000000000");
    EXPECT_NE(FieldText(dialog, IDC_COORD_X1), "-1.0000000000000000") << "written back fitted";
}

TEST_F(Explorer, UpdateKeepsCornersTheUserDidNotTouch) {
    // A deep Region whose corners 16 decimals cannot hold: changing only the
    // limit must not move it.
    Region deep{-0.74530000000000001234, 0.11270000000000000111, -0.74529999999999,
                0.1127000000001};
    const SIZE view = TheFractalView().ClientSize();
    FitRegionToAspect(view.cx, view.cy, deep);
    engine_.SetRegion(deep);
    ShowRegion(deep);
    SetDlgItemTextA(Coordinates(), IDC_COORD_ITERATIONS, "600");
    SendMessageA(Coordinates(), WM_COMMAND, IDC_COORD_UPDATE, 0);
    // Update fits what it reads once more; what it reads are the exact doubles.
    Region refitted = deep;
    FitRegionToAspect(view.cx, view.cy, refitted);
    EXPECT_EQ(std::memcmp(&engine_.region, &refitted, sizeof(Region)), 0);
    EXPECT_EQ(engine_.iterationLimit, 600u);
}

TEST_F(Explorer, ViewCommandsToggleToolWindowsAndTheirCheckMarks) {
    HMENU menu = GetMenu(Frame());
    ASSERT_NE(menu, nullptr);
    auto checked = [&](UINT id) {
        SendMessageA(Frame(), WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    EXPECT_FALSE(checked(IDM_VIEW_COLORS));
    SendMessageA(Frame(), WM_COMMAND, IDM_VIEW_COLORS, 0);
    EXPECT_TRUE(IsWindowVisible(TheColorsWindow().Window()));
    EXPECT_TRUE(checked(IDM_VIEW_COLORS));
    EXPECT_FALSE(checked(IDM_VIEW_COORDINATES));
    // Escape (IDCANCEL) in the tool window hides it; the mark follows.
    SendMessageA(TheColorsWindow().Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(TheColorsWindow().Window()));
    EXPECT_FALSE(checked(IDM_VIEW_COLORS));
    SendMessageA(Frame(), WM_COMMAND, IDM_VIEW_COORDINATES, 0);
    EXPECT_TRUE(checked(IDM_VIEW_COORDINATES));
    EXPECT_EQ(GetMenuState(menu, IDM_FILE_RENDERTOFILE, MF_BYCOMMAND) & MF_GRAYED,
              static_cast<UINT>(MF_GRAYED));
}

TEST_F(Explorer, AClickZoomsInThreeTimesAroundIt) {
    HWND view = TheFractalView().window;
    RECT client{};
    GetClientRect(view, &client);
    const Region before = engine_.region;
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
    SendMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    EXPECT_EQ(TheFractalView().selecting, 1);
    SendMessageA(view, WM_LBUTTONUP, 0, at);
    const Selection click{client.right / 2, client.bottom / 2, client.right / 2, client.bottom / 2};
    const auto expected = ZoomRegion(before, click, client.right, client.bottom, false);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(engine_.region.X1, expected->X1);
    EXPECT_EQ(engine_.region.Y2, expected->Y2);
    EXPECT_EQ(g_rowsComputed, engine_.height);
    EXPECT_EQ(TheFractalView().selecting, 0);
    EXPECT_EQ(TheFractalView().selection, (Selection{-1, -1, -1, -1}));
}

TEST_F(Explorer, ARightClickZoomsOutAsAnAltReleaseThere) {
    HWND view = TheFractalView().window;
    RECT client{};
    GetClientRect(view, &client);
    const Region before = engine_.region;
    const Selection point{30, 20, 30, 20};
    // A release with no press in the view, and one outside the client, do nothing.
    SendMessageA(view, WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
    SendMessageA(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 20));
    EXPECT_EQ(GetCapture(), view);
    SendMessageA(view, WM_RBUTTONUP, 0, MAKELPARAM(-5, 20));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(std::memcmp(&engine_.region, &before, sizeof(Region)), 0);
    EXPECT_EQ(g_rowsComputed, 0);
    SendMessageA(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 20));
    SendMessageA(view, WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
    const auto expected = ZoomRegion(before, point, client.right, client.bottom, true);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(std::memcmp(&engine_.region, &*expected, sizeof(Region)), 0);
    EXPECT_EQ(g_rowsComputed, engine_.height);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(TheFractalView().selection, (Selection{-1, -1, -1, -1}));
}

TEST_F(Explorer, LosingTheCaptureCancelsTheGesture) {
    HWND view = TheFractalView().window;
    const Region before = engine_.region;
    SendMessageA(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 60));
    SendMessageA(view, WM_CAPTURECHANGED, 0, 0);
    SendMessageA(view, WM_LBUTTONUP, 0, MAKELPARAM(80, 60));
    EXPECT_EQ(std::memcmp(&engine_.region, &before, sizeof(Region)), 0);
    EXPECT_EQ(g_rowsComputed, 0);
}

TEST_F(Explorer, MinimiseAndRestoreChangeNothing) {
    Pump();
    const Region before = engine_.region;
    const SIZE view = TheFractalView().ClientSize();
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Pump();
    EXPECT_EQ(std::memcmp(&engine_.region, &before, sizeof(Region)), 0);
    EXPECT_EQ(TheFractalView().ClientSize().cx, view.cx);
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    Pump();
    EXPECT_EQ(std::memcmp(&engine_.region, &before, sizeof(Region)), 0);
    EXPECT_EQ(g_rowsComputed, 0);
}

TEST_F(Explorer, AMaximiseKeepsTheScaleAndComputesOnce) {
    Pump();
    const Region before = engine_.region;
    const SIZE view = TheFractalView().ClientSize();
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    Pump();
    const SIZE grown = TheFractalView().ClientSize();
    if (grown.cx == view.cx && grown.cy == view.cy) {
        GTEST_SKIP() << "this platform gave the maximised window no other size";
    }
    EXPECT_EQ(g_rowsComputed, grown.cy) << "one computation at the new size";
    EXPECT_DOUBLE_EQ((engine_.region.X2 - engine_.region.X1) / grown.cx,
                     (before.X2 - before.X1) / view.cx);
    EXPECT_DOUBLE_EQ(engine_.region.X1 + engine_.region.X2, before.X1 + before.X2);
}

// Rows computed inside the kernel right now, and the most seen at once.
int g_kernelDepth = 0;
int g_deepest = 0;

void RequestingKernel(std::uint32_t* out, std::int32_t width, double x1, double dx, double y,
                      std::uint32_t limit) {
    ++g_kernelDepth;
    g_deepest = std::max(g_deepest, g_kernelDepth);
    if (g_rowsComputed++ == 0) {
        // What could start another computation arrives during this one: a
        // posted Refresh, a typed F5, and a direct request.
        PostMessageA(FrameWindow(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
        PostMessageA(FrameWindow(), WM_KEYDOWN, VK_F5, 1);
        RecomputeAndShow(true);
    }
    ComputeRowExact(out, width, x1, dx, y, limit);
    --g_kernelDepth;
}

TEST_F(Explorer, AComputationIsNeverReenteredByWhatArrivesDuringIt) {
    RenderServices services;
    services.rowKernel = RequestingKernel;
    // The real progress window, updated after every row: its showing and
    // repainting must not hand out what is queued.
    services.makeProgress = [] { return std::make_unique<ProgressWindow>(); };
    services.tickCount = [] {
        static std::uint32_t now = 0;
        return now += 100;
    };
    SetRenderServices(services);
    SendMessageA(Frame(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
    EXPECT_EQ(g_deepest, 1);
    EXPECT_EQ(g_rowsComputed, engine_.height) << "one computation, run to its end";
    Pump(accelerators_);
    EXPECT_EQ(g_deepest, 1);
    EXPECT_EQ(g_rowsComputed, 3 * engine_.height) << "what was queued ran afterwards";
}

TEST_F(Explorer, ExitDestroysTheFrameAndEndsTheLoop) {
    SendMessageA(Frame(), WM_COMMAND, IDM_FILE_EXIT, 0);
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_EQ(TheCoordinatesWindow().Window(), nullptr) << "the tool windows die with the frame";
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        quit = quit || msg.message == WM_QUIT;
    }
    EXPECT_TRUE(quit);
    EXPECT_EQ(GetEngine(), nullptr);
}

}  // namespace
