// The explorer's window code on the real platform layer (offscreen), driven
// with messages as the user's actions would send them: start-up, commands,
// the Coordinates and Colors windows, the zoom gestures and exit. (Resizing
// is the sizing machine's, tested on its own.)
// Each test starts its own explorer (CTest runs each test in its own process).
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/escape_time.h"
#include "engine/geometry.h"
#include "platform/internal/window_bridge.h"
#include "resources/resource.h"
#include "tests/app/explorer_support.h"
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"
#include "tools/progress_window.h"
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
    EXPECT_EQ(std::memcmp(&engine_.region, &fitted, sizeof(Region)), 0);

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
}

TEST_F(Explorer, RefreshRecomputesAndAnUnchangedRequestDoesNot) {
    SendMessageA(Frame(), WM_COMMAND, IDM_VIEW_REFRESH, 0);
    EXPECT_EQ(g_rowsComputed, engine_.height);
    g_rowsComputed = 0;
    RecomputeAndShow(false);
    EXPECT_EQ(g_rowsComputed, 0);
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

// A corner field takes at most the 63 characters that are read, so a long
// paste is cut where the user sees it, not silently when it is read.
TEST_F(Explorer, UpdateAppliesTheFittedRegionAndWritesItBack) {
    HWND dialog = Coordinates();
    ShowWindow(dialog, SW_SHOW);
    HWND x1 = GetDlgItem(dialog, IDC_COORD_X1);
    SetFocus(x1);
    SendMessageA(x1, EM_SETSEL, 0, -1);
    const std::string pasted = "-1." + std::string(96, '0') + "e9";
    QGuiApplication::clipboard()->setText(QString::fromStdString(pasted));
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent key(type, Qt::Key_V, Qt::ControlModifier);
        QCoreApplication::sendEvent(platform::WidgetOfWindow(x1), &key);
    }
    Pump();
    EXPECT_EQ(FieldText(dialog, IDC_COORD_X1), pasted.substr(0, 63));
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

TEST_F(Explorer, AClickZoomsInAndARightClickZoomsOutAsAnAltReleaseThere) {
    HWND view = TheFractalView().window;
    RECT client{};
    GetClientRect(view, &client);
    // A right release with no press in the view, and one outside the client,
    // do nothing.
    const Region start = engine_.region;
    SendMessageA(view, WM_RBUTTONUP, 0, MAKELPARAM(30, 20));
    SendMessageA(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 20));
    EXPECT_EQ(GetCapture(), view);
    SendMessageA(view, WM_RBUTTONUP, 0, MAKELPARAM(-5, 20));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(std::memcmp(&engine_.region, &start, sizeof(Region)), 0);
    EXPECT_EQ(g_rowsComputed, 0);
    for (const bool right : {false, true}) {
        const Region before = engine_.region;
        const Selection point{30, 20, 30, 20};
        SendMessageA(view, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                     MAKELPARAM(30, 20));
        SendMessageA(view, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
        const auto expected = ZoomRegion(before, point, client.right, client.bottom, right);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(std::memcmp(&engine_.region, &*expected, sizeof(Region)), 0) << right;
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(TheFractalView().selection, (Selection{-1, -1, -1, -1}));
    }
    EXPECT_EQ(g_rowsComputed, 2 * engine_.height);
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
