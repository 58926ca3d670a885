// Conformance of the message queue and painting: queued messages before
// paints, one WM_PAINT for any number of invalidations, erasing with the
// class brush, the quit message, capture and WM_CAPTURECHANGED, mouse and key
// input through the loop, and resize bursts that reach the program only
// after a computation has returned.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <chrono>

#include "platform/internal/window_bridge.h"
#include "tests/platform/user/support.h"

namespace {

HWND View(HWND frame) {
    RegisterTestClass("TestView", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr, IDC_CROSS);
    return CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, "TestView", "ZembrixViewWindow",
                           WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 100, 100, frame,
                           reinterpret_cast<HMENU>(1002), Instance(), nullptr);
}

std::vector<UINT> Drain(HWND filter = nullptr) {
    std::vector<UINT> out;
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, filter, 0, 0, PM_REMOVE); ++i) {
        out.push_back(msg.message);
        DispatchMessageA(&msg);
    }
    return out;
}

void SendMouse(HWND window, QEvent::Type type, QPoint clientPos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* w = WidgetOf(window);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT wr;
    GetWindowRect(window, &wr);
    QPointF local(clientPos.x() + origin.x - wr.left, clientPos.y() + origin.y - wr.top);
    QMouseEvent e(type, local, w->mapToGlobal(local), button, buttons, modifiers);
    QCoreApplication::sendEvent(w, &e);
}

// Pumps Qt (not the program's queue) until `done` holds; at most 3 s.
template <class F>
bool PumpQtUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

bool Queued(UINT message) {
    MSG m;
    return PeekMessageA(&m, nullptr, message, message, PM_NOREMOVE) != FALSE;
}

}  // namespace

// One WM_PAINT for any number of invalidations, after the posted messages;
// an empty rectangle invalidates nothing; a loop filtered on a frame also
// hands out its children's paints (the progress window's loop relies on it).
TEST(Painting, OnePaintAfterThePostedMessagesAlsoForAChildThroughItsFrame) {
    HWND frame = CreateFrame();
    HWND view = View(frame);
    ShowWindow(frame, SW_SHOW);
    Drain();
    RECT a{0, 0, 10, 10};
    RECT b{20, 30, 40, 50};
    InvalidateRect(frame, &a, FALSE);
    InvalidateRect(frame, &b, FALSE);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(frame, &update, FALSE));
    EXPECT_EQ(update.right, 40);
    EXPECT_EQ(update.bottom, 50);
    PostMessageA(frame, WM_USER + 1, 0, 0);
    EXPECT_EQ(Drain(), (std::vector<UINT>{WM_USER + 1, WM_PAINT}));
    EXPECT_FALSE(GetUpdateRect(frame, &update, FALSE));
    RECT empty{5, 5, 5, 9};
    InvalidateRect(frame, &empty, TRUE);
    EXPECT_TRUE(Drain().empty());
    InvalidateRect(view, nullptr, FALSE);
    EXPECT_EQ(Drain(frame), std::vector<UINT>{WM_PAINT});
}

// The surface keeps Win32's 0x00RRGGBB; the widget shows it opaque, so that
// no compositor blends the picture with what lies behind the window.
TEST(Painting, BeginPaintErasesWithTheClassBrushShownOpaqueAndEndsTheUpdate) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    Drain();
    std::uint32_t pixel = 0;
    ASSERT_TRUE(ReadPixel(frame, 5, 5, &pixel));
    COLORREF menu = GetSysColor(COLOR_MENU);
    EXPECT_EQ(pixel, (GetRValue(menu) << 16) | (GetGValue(menu) << 8) | GetBValue(menu));
    InvalidateRect(frame, nullptr, TRUE);
    Log().clear();
    Drain();
    EXPECT_EQ(MessagesOf(frame, {WM_PAINT, WM_ERASEBKGND}),
              (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(ShownPixel(frame, 5, 5), 0xFF000000u | pixel);
}

TEST(Queue, QuitEndsGetMessageAfterTheMessagesPostedBeforeIt) {
    HWND frame = CreateFrame();
    PostMessageA(frame, WM_USER, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST(Input, MouseMessagesCarrySignedClientCoordinatesAndTheKeyStateOfTheirMoment) {
    HWND frame = CreateFrame();
    HWND view = View(frame);
    ShowWindow(frame, SW_SHOW);
    Drain();
    SendMouse(view, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    SetCapture(view);
    SendMouse(view, QEvent::MouseMove, {-5, -7}, Qt::NoButton, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, {30, 40}, Qt::LeftButton, Qt::NoButton,
              Qt::AltModifier);
    SendMouse(view, QEvent::MouseMove, {31, 40}, Qt::NoButton, Qt::NoButton);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(msg.hwnd, view);
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(msg.lParam), 20);
    EXPECT_EQ(msg.wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), -5);
    EXPECT_EQ(GET_Y_LPARAM(msg.lParam), -7);
    EXPECT_GE(GetKeyState(VK_MENU), 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_LT(GetKeyState(VK_MENU), 0);  // Alt was down as of this message
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_GE(GetKeyState(VK_MENU), 0);
}

TEST(Resize, AResizeAndTheEndOfTheDragDuringAComputationReachTheProgramAfterIt) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    Drain();
    Log().clear();
    // The computation: Qt reports a border drag and its end while the
    // program's handler runs and the layer pumps (as when the progress
    // window is shown); nothing reaches the window procedure meanwhile.
    Log().push_back({frame, WM_USER, 0, 0});
    QWidget* w = WidgetOf(frame);
    w->windowHandle()->resize(600, 320);
    bool ended = PumpQtUntil([] { return Queued(WM_EXITSIZEMOVE); });
    Log().push_back({frame, WM_USER + 1, 0, 0});
    EXPECT_TRUE(ended);
    RECT r;
    GetWindowRect(frame, &r);
    EXPECT_EQ(r.right - r.left, 550);  // not applied while the program computes
    Drain();
    EXPECT_EQ(MessagesOf(frame, {WM_USER, WM_USER + 1, WM_ENTERSIZEMOVE, WM_SIZING, WM_SIZE,
                                 WM_EXITSIZEMOVE}),
              (std::vector<UINT>{WM_USER, WM_USER + 1, WM_ENTERSIZEMOVE, WM_SIZING, WM_SIZE,
                                 WM_EXITSIZEMOVE}));
    GetWindowRect(frame, &r);
    EXPECT_EQ(r.right - r.left, 600);
    GetClientRect(frame, &r);
    EXPECT_EQ(r.bottom, 320);
}

TEST(Resize, ChangesTheProgramMakesItselfStartNoBurst) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    Drain();
    Log().clear();
    SetWindowPos(frame, nullptr, 0, 0, 400, 200, SWP_NOZORDER | SWP_NOMOVE);
    PumpQtUntil([] { return false; });
    Drain();
    EXPECT_EQ(MessagesOf(frame, {WM_SIZING, WM_SIZE, WM_EXITSIZEMOVE}), std::vector<UINT>{WM_SIZE});
}

TEST(Input, KeysTypedDuringAComputationGoToTheWidgetThatHasTheFocusWhenTheyAreHandedOut) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    HWND first = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, frame,
                                 reinterpret_cast<HMENU>(1), Instance(), nullptr);
    HWND second = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 30, 80, 20, frame,
                                  reinterpret_cast<HMENU>(2), Instance(), nullptr);
    SetFocus(first);
    Drain();
    TypeKey(first, Qt::Key_X, Qt::NoModifier, "x");
    SetFocus(second);  // the computation moved the focus meanwhile
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    char text[4];
    GetWindowTextA(second, text, sizeof text);
    EXPECT_STREQ(text, "x");
    GetWindowTextA(first, text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST(ForeignModal, OurWindowsKeepWorkingInsideAForeignBoxsLoopAndTheOwnerIsDisabledMeanwhile) {
    HWND frame = CreateFrame();
    RegisterTestClass("TestOwned");
    HWND tool = CreateWindowExA(WS_EX_TOOLWINDOW, "TestOwned", "", WS_POPUP | WS_CAPTION, 0, 0, 50,
                                50, frame, nullptr, Instance(), nullptr);
    ShowWindow(frame, SW_SHOW);
    ShowWindow(tool, SW_SHOW);
    Drain();
    HWND view = View(frame);
    SetCapture(view);
    Log().clear();
    platform::BeginForeignModal(tool);
    EXPECT_EQ(MessagesOf(view, {WM_CAPTURECHANGED}).size(), 1u);  // the box takes the pointer
    platform::BeginForeignModal(tool);                            // nested boxes
    EXPECT_FALSE(IsWindowEnabled(tool));
    EXPECT_TRUE(IsWindowEnabled(frame));
    PostMessageA(frame, WM_USER, 0, 0);
    // Qt's loop of the box runs; it hands our messages to our windows.
    EXPECT_TRUE(PumpQtUntil([frame] { return !MessagesOf(frame, {WM_USER}).empty(); }));
    platform::EndForeignModal(tool);
    EXPECT_FALSE(IsWindowEnabled(tool));
    platform::EndForeignModal(tool);
    EXPECT_TRUE(IsWindowEnabled(tool));
    EXPECT_EQ(platform::WidgetOfWindow(nullptr), nullptr);
}

TEST(Resize, AnyInputEndsARunningBurstAndItsExitComesFirst) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    Drain();
    Log().clear();
    WidgetOf(frame)->windowHandle()->resize(580, 310);
    EXPECT_TRUE(PumpQtUntil([] { return Queued(WM_SIZE); }));
    TypeKey(frame, Qt::Key_A, Qt::NoModifier, "a");
    Drain();
    EXPECT_EQ(MessagesOf(frame, {WM_SIZING, WM_SIZE, WM_EXITSIZEMOVE, WM_KEYDOWN}),
              (std::vector<UINT>{WM_SIZING, WM_SIZE, WM_EXITSIZEMOVE, WM_KEYDOWN}));
}

TEST(Input, AutoRepeatReleasesAreDroppedAndRepeatsSetThePreviousStateBit) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    Drain();
    QWidget* w = WidgetOf(frame);
    QKeyEvent first(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(w, &first);
    QCoreApplication::sendEvent(w, &release);
    QCoreApplication::sendEvent(w, &again);
    MSG msg;
    std::vector<LPARAM> downs;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_RIGHT));
        downs.push_back(msg.lParam);
    }
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0] & (1 << 30), 0);
    EXPECT_NE(downs[1] & (1 << 30), 0);
}
